// The shift cipher: the same result or error as the character loop, at any
// length up to past the 32767 limit (the input is repeated to the length it
// asks for); only errors 5 and 6, error 6 only from 32767 characters on;
// lengths kept, and decoding restores what encoding produced.
#include "fuzz_support.hpp"
#include "quillfern/transforms/shift.hpp"
#include "tests/reference/transforms_reference.hpp"

using namespace quillfern;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::size_t length = input.loop_length();
  const std::string text = fuzz::repeated(input.rest(), length);

  for (bool encode : {true, false}) {
    const std::string got = fuzz::outcome([&] {
      return encode ? transforms::easy_crypt_encode(text) : transforms::easy_crypt_decode(text);
    });
    QF_FUZZ_CHECK(got == fuzz::outcome([&] { return reference::shift(text, encode ? 1 : -1); }));
    if (got == "error 6") QF_FUZZ_CHECK(text.size() > transforms::shift_max_length);
    if (got.rfind("ok:", 0) == 0) {
      const std::string result = got.substr(3);
      QF_FUZZ_CHECK(result.size() == text.size());
      QF_FUZZ_CHECK((encode ? transforms::easy_crypt_decode(result) : transforms::easy_crypt_encode(result)) == text);
    }
  }
  return 0;
}
