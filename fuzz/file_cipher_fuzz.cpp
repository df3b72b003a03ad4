// The file cipher's key stream in memory: only error 5 (an empty password
// with data), lengths kept, a second pass from the same state restores the
// data, the AVX2 and portable lanes agree with each other and, on short
// inputs, with the draw-by-draw reference, whatever the pieces the stream
// is applied in.
#include <algorithm>

#include "fuzz_support.hpp"
#include "quillfern/files/file_cipher_kernels.hpp"
#include "../tests/reference/file_cipher_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint32_t state = (std::uint32_t{input.byte()} << 16 | std::uint32_t{input.byte()} << 8 | input.byte()) & 0xFFFFFFu;
  const std::size_t piece = 1 + input.byte() * 7u;
  const std::string password = input.text(300);
  const std::string text = input.rest();

  files::BasicRandom random(state);
  std::string coded;
  try {
    coded = files::encode_decode(text, password, random);
  } catch (const Error& e) {
    QF_FUZZ_CHECK(fuzz::error_is(e, {ErrorNumber::invalid_call}));
    QF_FUZZ_CHECK(password.empty() && !text.empty());
    QF_FUZZ_CHECK(random.state() == state);
    return 0;
  }
  QF_FUZZ_CHECK(coded.size() == text.size());
  files::BasicRandom again(state);
  QF_FUZZ_CHECK(files::encode_decode(coded, password, again) == text);
  QF_FUZZ_CHECK(again.state() == random.state());
  if (text.empty()) return 0;

  // Both kinds of lanes, in pieces.
  for (cpu::Kernel kernel : files::lane_kernels) {
    files::KeyStream keys(password, files::BasicRandom(state));
    files::KeyStreamKernels::use(keys, kernel);
    std::string out = text;
    for (std::size_t done = 0; done < out.size(); done += piece) {
      keys.apply(reinterpret_cast<unsigned char*>(out.data() + done), std::min(piece, out.size() - done));
    }
    QF_FUZZ_CHECK(out == coded);
    QF_FUZZ_CHECK(keys.state() == random.state());
  }
  if (text.size() <= 600 && password.size() <= 40) {
    reference::ClassicRandom slow{state};
    QF_FUZZ_CHECK(reference::file_cipher(text, password, slow) == coded);
    QF_FUZZ_CHECK(slow.state == random.state());
  }
  return 0;
}
