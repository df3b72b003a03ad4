// FastBlowFish: never fails, keeps the length, gives the text back when
// applied twice, tells exactly the zero results, and agrees with the
// step-by-step cipher and across its kernels.
#include <algorithm>

#include "fuzz_support.hpp"
#include "quillfern/ciphers/fastblowfish_kernels.hpp"
#include "quillfern/ciphers/fastblowfish_stream.hpp"
#include "tests/reference/fastblowfish_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint32_t cuts = input.byte();
  const std::string password = input.text(300);
  const std::string text = input.rest();
  std::vector<std::size_t> zeros;
  const std::string out =
      ciphers::fast_blow_fish(text, password, [&](std::size_t at) { zeros.push_back(at); });
  QF_FUZZ_CHECK(out.size() == text.size());
  QF_FUZZ_CHECK(ciphers::fast_blow_fish(out, password) == text);
  std::size_t inside = 0;
  for (std::size_t at : zeros) {
    QF_FUZZ_CHECK(at >= 1 && at <= (text.size() + 127) / 128 * 128);
    if (at <= text.size()) {
      QF_FUZZ_CHECK(out[at - 1] == '\0');
      ++inside;
    }
  }
  QF_FUZZ_CHECK(inside == static_cast<std::size_t>(std::count(out.begin(), out.end(), '\0')));
  const auto portable = ciphers::detail::fast_blow_fish(cpu::Kernel::portable, text, password, {});
  QF_FUZZ_CHECK(portable == out);
  // The stream, cut at random places and counting, gives the same.
  ciphers::FastBlowFishStream stream(text.size(), password);
  std::string streamed;
  std::size_t at = 0;
  for (std::size_t piece : fuzz::cut_points(text.size(), cuts)) {
    std::string chunk = text.substr(at, piece);
    at += piece;
    stream.process(chunk.data(), chunk.size(), chunk.data());
    streamed += chunk;
  }
  stream.finish();
  QF_FUZZ_CHECK(streamed == out);
  QF_FUZZ_CHECK(stream.zeros() == zeros.size());
  if (text.size() <= 2048) {
    const auto expected = reference::fast_blow_fish(text, password);
    QF_FUZZ_CHECK(expected.output == out);
    QF_FUZZ_CHECK(expected.zero_positions == zeros);
  }
  return 0;
}
