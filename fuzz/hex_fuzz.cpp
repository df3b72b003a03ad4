// Hexadecimal conversion: every kernel agrees with the portable one, convert
// round trips through DeConvert with twice the length, DeConvert reads any
// bytes as the number reader does, and converting in even pieces gives the
// whole result. Neither direction may raise an error.
#include "fuzz_support.hpp"
#include "quillfern/transforms/hex_kernels.hpp"
#include "tests/reference/transforms_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::size_t cut = input.byte();
  const std::string text = input.rest();

  const std::string hex = transforms::convert(text);
  QF_FUZZ_CHECK(hex.size() == 2 * text.size());
  QF_FUZZ_CHECK(transforms::deconvert(hex) == text);

  const std::string codes = transforms::deconvert(text);
  QF_FUZZ_CHECK(codes.size() == transforms::deconverted_size(text.size()));
  QF_FUZZ_CHECK(codes == reference::deconvert(text));

  for (cpu::Kernel kernel : transforms::hex_kernels) {
    if (!cpu::supported(kernel)) continue;
    std::string out(hex.size(), '\0');
    transforms::convert_to(kernel, text, out.data());
    QF_FUZZ_CHECK(out == hex);
    out.assign(codes.size(), '\0');
    transforms::deconvert_to(kernel, text, out.data());
    QF_FUZZ_CHECK(out == codes);
  }

  // Pieces split at an even position read the same pairs.
  const std::size_t even = std::min(text.size(), 2 * cut) & ~std::size_t{1};
  const std::string_view view(text);
  QF_FUZZ_CHECK(transforms::deconvert(view.substr(0, even)) + transforms::deconvert(view.substr(even)) == codes);
  return 0;
}
