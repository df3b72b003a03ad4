// The password-carrying cipher text: never fails, cuts only at a sum above
// 255, deciphers its own complete cipher text back, accepts exactly the
// texts that decipher to the password first, and agrees with the
// step-by-step cipher.
#include "fuzz_support.hpp"
#include "quillfern/ciphers/cipher_text.hpp"
#include "tests/reference/cipher_text_reference.hpp"

using namespace quillfern;
using ciphers::CipherVerdict;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::string password = input.text(300);
  const std::string text = input.rest();

  const auto enc = ciphers::encipher_text(text, password);
  if (password.empty()) {
    QF_FUZZ_CHECK(enc.verdict == CipherVerdict::no_password && enc.text.empty());
  } else {
    QF_FUZZ_CHECK(enc.verdict == CipherVerdict::done);
    QF_FUZZ_CHECK(enc.text == *reference::encipher_text(text, password));
    QF_FUZZ_CHECK((enc.cut_at == 0) == (enc.text.size() == password.size() + text.size()));
    QF_FUZZ_CHECK(enc.cut_at == 0 || enc.cut_at == enc.text.size() + 1);
    if (enc.cut_at == 0) {
      const auto dec = ciphers::decipher_text(enc.text, password);
      QF_FUZZ_CHECK(dec.verdict == CipherVerdict::done && dec.text == text && dec.stopped_at == 0);
    }
  }

  // Any text as a cipher text.
  const auto dec = ciphers::decipher_text(text, password);
  const auto expected = reference::decipher_text(text, password);
  if (password.empty()) {
    QF_FUZZ_CHECK(dec.verdict == CipherVerdict::no_password);
  } else {
    QF_FUZZ_CHECK((dec.verdict == CipherVerdict::done) == expected.has_value());
    if (expected) {
      QF_FUZZ_CHECK(dec.text == *expected);
      QF_FUZZ_CHECK(dec.text.size() + password.size() <= text.size());
      QF_FUZZ_CHECK((dec.stopped_at == 0) == (dec.text.size() + password.size() == text.size()));
    }
  }
  return 0;
}
