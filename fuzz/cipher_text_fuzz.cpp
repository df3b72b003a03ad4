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
  const std::uint32_t cuts = input.byte();
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

  // The streams, cut at random places, give the same.
  {
    ciphers::EnCipherStream stream(password);
    std::string streamed(password.size(), '\0');
    streamed.resize(stream.begin(streamed.data()));
    std::size_t at = 0;
    for (std::size_t piece : fuzz::cut_points(text.size(), cuts)) {
      std::string chunk = text.substr(at, piece);
      at += piece;
      chunk.resize(stream.process(chunk.data(), chunk.size(), chunk.data()));
      streamed += chunk;
    }
    QF_FUZZ_CHECK(stream.verdict() == enc.verdict && streamed == enc.text && stream.cut_at() == enc.cut_at);
  }
  for (const std::string* cipher : {&enc.text, &text}) {
    const auto whole = ciphers::decipher_text(*cipher, password);
    ciphers::DeCipherStream stream(password);
    std::string streamed;
    std::size_t at = 0;
    for (std::size_t piece : fuzz::cut_points(cipher->size(), cuts + 1)) {
      std::string chunk = cipher->substr(at, piece);
      at += piece;
      chunk.resize(stream.process(chunk.data(), chunk.size(), chunk.data()));
      streamed += chunk;
      QF_FUZZ_CHECK(!stream.decided() || stream.verdict() == whole.verdict);
    }
    QF_FUZZ_CHECK(stream.finish() == whole.verdict);
    if (whole.verdict == CipherVerdict::done) {
      QF_FUZZ_CHECK(streamed == whole.text && stream.stopped_at() == whole.stopped_at);
    } else {
      QF_FUZZ_CHECK(streamed.empty());
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
