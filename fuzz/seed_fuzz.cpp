// The seed XOR cipher: the same result or error as the character loop, at
// lengths up to past the 32767 limit (input and seed are repeated to the
// lengths asked for); only errors 5 and 6; a success keeps the length and
// the same seed restores the text.
#include "fuzz_support.hpp"
#include "quillfern/transforms/seed.hpp"
#include "tests/reference/transforms_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::size_t length = input.loop_length();
  // The seed's length relative to the text: shorter, equal or longer.
  const int delta = static_cast<int>(input.byte() % 7) - 3;
  const std::size_t seed_length = static_cast<std::size_t>(std::max(0, static_cast<int>(length) + delta));
  const std::string seed = fuzz::repeated(input.text(64), seed_length);
  const std::string text = fuzz::repeated(input.rest(), length);

  const std::string got = fuzz::outcome([&] { return transforms::seed_encryption(text, seed); });
  QF_FUZZ_CHECK(got == fuzz::outcome([&] { return reference::seed_encryption(text, seed); }));
  if (got == "error 6") QF_FUZZ_CHECK(text.size() > transforms::seed_max_length);
  if (got == "error 5") QF_FUZZ_CHECK(seed.size() < text.size());
  if (got.rfind("ok:", 0) == 0) {
    const std::string result = got.substr(3);
    QF_FUZZ_CHECK(result.size() == text.size());
    QF_FUZZ_CHECK(transforms::seed_encryption(result, seed) == text);
  }
  return 0;
}
