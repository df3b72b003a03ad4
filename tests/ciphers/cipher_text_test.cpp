#include "quillfern/ciphers/cipher_text.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/cipher_text_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using ciphers::CipherVerdict;
using ciphers::decipher_text;
using ciphers::encipher_text;

std::size_t number_or_zero(const test::VectorCase& c, const std::string& key) {
  return c.has(key) ? static_cast<std::size_t>(std::stoul(c.at(key))) : 0;
}

// Through the control (result and boxes) and the plain function (where the
// cipher was cut or deciphering stopped).
void run_cipher_text_vector(bool encipher, const test::VectorCase& c) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  const std::string& in = c.at(encipher ? "CipherInString" : "CipherString");
  const std::string& password = c.at("Password");
  EXPECT_EQ(encipher ? control.EnCipherText(in, password) : control.DeCipherText(in, password), c.at("Result"));
  if (c.has("Box")) {
    ASSERT_EQ(box.messages().size(), 1u);
    EXPECT_EQ(box.messages()[0], (platform::Message{c.at("Box"), 12, "Oldvane"}));
  } else {
    EXPECT_TRUE(box.messages().empty());
  }
  if (encipher) {
    EXPECT_EQ(encipher_text(in, password).cut_at, number_or_zero(c, "CutAt"));
  } else {
    EXPECT_EQ(decipher_text(in, password).stopped_at, number_or_zero(c, "StoppedAt"));
  }
}

QF_VECTOR_RUNNER("EnCipherText", [](const test::VectorCase& c) { run_cipher_text_vector(true, c); });
QF_VECTOR_RUNNER("DeCipherText", [](const test::VectorCase& c) { run_cipher_text_vector(false, c); });

TEST(CipherText, MatchesTheStepByStepCipher) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t pw_length : {1u, 2u, 7u, 100u, 20000u}) {
    for (std::size_t length : {0u, 1u, 6u, 100u, 16383u, 16384u, 40000u}) {
      for (int high : {127, 140, 255}) {
        const unsigned s = seed + static_cast<unsigned>(pw_length * 31 + length * 7 + static_cast<std::size_t>(high));
        const std::string password = test::random_text(pw_length, s, 1, high == 255 ? 127 : high);
        const std::string text = test::random_text(length, s + 1, 0, high);
        const auto enc = encipher_text(text, password);
        ASSERT_EQ(enc.verdict, CipherVerdict::done);
        EXPECT_EQ(enc.text, *reference::encipher_text(text, password)) << pw_length << " " << length;
        EXPECT_EQ(enc.cut_at == 0, enc.text.size() == pw_length + length);
        if (enc.cut_at != 0) {
          EXPECT_EQ(enc.cut_at, enc.text.size() + 1);
        }
        // Deciphering its own cipher text with the right password, and a
        // damaged or random text with it.
        for (const std::string& cipher : {enc.text, test::random_text(pw_length + length, s + 2)}) {
          const auto dec = decipher_text(cipher, password);
          const auto expected = reference::decipher_text(cipher, password);
          EXPECT_EQ(dec.verdict == CipherVerdict::done, expected.has_value());
          if (expected) {
            EXPECT_EQ(dec.text, *expected);
          }
        }
      }
    }
  }
}

TEST(CipherText, RoundTripsEveryPasswordAndTextBelow128) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t pw_length : {1u, 3u, 50u}) {
    for (std::size_t length : {0u, 1u, 49u, 50u, 51u, 40000u}) {
      const unsigned s = seed + static_cast<unsigned>(pw_length * 1000 + length);
      const std::string password = test::random_text(pw_length, s, 0, 127);
      const std::string text = test::random_text(length, s + 1, 0, 127);
      const auto enc = encipher_text(text, password);
      ASSERT_EQ(enc.cut_at, 0u);  // sums of at most 254 are never cut
      const auto dec = decipher_text(enc.text, password);
      ASSERT_EQ(dec.verdict, CipherVerdict::done);
      EXPECT_EQ(dec.text, text);
      EXPECT_EQ(dec.stopped_at, 0u);
    }
  }
}

TEST(CipherText, RightPasswordsBelowTheDigitOneAreAccepted) {
  // The check accepts a deciphered text that begins with the password,
  // whatever the password's first code.
  for (std::string password : {std::string("0pen"), std::string(" space"), std::string("\x01", 1),
                               std::string("\x00x", 2), std::string("!"), std::string("1")}) {
    const auto enc = encipher_text("the message", password);
    const auto dec = decipher_text(enc.text, password);
    EXPECT_EQ(dec.verdict, CipherVerdict::done) << password;
    EXPECT_EQ(dec.text, "the message") << password;
  }
}

TEST(CipherText, AWrongPasswordFoundLaterIsRefused) {
  // Under "9" this cipher text deciphers to "A9B": the password occurs at
  // position 2, but the text does not begin with it.
  EXPECT_EQ(decipher_text("zr{", "9").verdict, CipherVerdict::access_denied);
  // A right cipher text whose message contains the wrong password.
  const auto enc = encipher_text("xx" "secret", "ab");
  EXPECT_EQ(decipher_text(enc.text, "secret").verdict, CipherVerdict::access_denied);
  // The cipher text does not record the password's length, so a leading
  // part of the right password also begins the deciphered text.
  const auto enc2 = encipher_text("message", "abc");
  EXPECT_EQ(decipher_text(enc2.text, "ab").verdict, CipherVerdict::done);
}

TEST(CipherText, TheControlRefusesAndReturnsTheCipherTextUnchanged) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  const std::string cipher = control.EnCipherText("hello", "pw");
  EXPECT_EQ(control.DeCipherText(cipher, "pw"), "hello");
  EXPECT_TRUE(box.messages().empty());
  EXPECT_EQ(control.DeCipherText(cipher, "px"), cipher);
  EXPECT_EQ(control.EnCipherText("hello", ""), "");
  EXPECT_EQ(control.DeCipherText(cipher, ""), "");
  ASSERT_EQ(box.messages().size(), 3u);
  EXPECT_EQ(box.messages()[0], (platform::Message{"Access Denied", 12, "Oldvane"}));
  EXPECT_EQ(box.messages()[1], (platform::Message{"Please put in a password", 12, "Oldvane"}));
  EXPECT_EQ(box.messages()[2], (platform::Message{"Please put in a password", 12, "Oldvane"}));
  // Texts longer than 32767 characters have no limit of their own.
  const std::string long_text(70000, 'q');
  EXPECT_EQ(control.DeCipherText(control.EnCipherText(long_text, "pw"), "pw"), long_text);
}

}  // namespace
}  // namespace quillfern
