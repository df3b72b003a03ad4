#include "quillfern/transforms/password.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/password_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using transforms::decrypt_password;
using transforms::encrypt_password;

void run_password_vector(bool encrypt, const test::VectorCase& c) {
  const auto number = static_cast<std::uint8_t>(c.number("Number"));
  const std::string& in = c.at(encrypt ? "DecryptedPassword" : "EncryptedPassword");
  if (c.has("Error")) {
    const auto expected = static_cast<ErrorNumber>(c.number("Error"));
    EXPECT_QF_ERROR((void)(encrypt ? encrypt_password(number, in) : decrypt_password(number, in)),
                    expected);
  } else {
    EXPECT_EQ(encrypt ? encrypt_password(number, in) : decrypt_password(number, in), c.at("OutPut"));
  }
}

QF_VECTOR_RUNNER("EncryptPassword", [](const test::VectorCase& c) { run_password_vector(true, c); });
QF_VECTOR_RUNNER("DecryptPassword", [](const test::VectorCase& c) { run_password_vector(false, c); });

TEST(PasswordCipher, MatchesTheStepByStepRulesForEveryKey) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (int number = 0; number <= 255; ++number) {
    for (std::size_t length : {0u, 1u, 2u, 7u, 254u, 255u, 256u, 400u}) {
      const unsigned case_seed = seed + static_cast<unsigned>(number) * 1000u + static_cast<unsigned>(length);
      const std::string text = test::random_text(length, case_seed);
      const auto n = static_cast<std::uint8_t>(number);
      for (bool encrypt : {true, false}) {
        EXPECT_EQ(test::outcome([&] { return encrypt ? encrypt_password(n, text) : decrypt_password(n, text); }),
                  test::outcome([&] { return reference::password_cipher(encrypt, n, text); }))
            << "number " << number << " length " << length << (encrypt ? " encrypt" : " decrypt");
      }
    }
  }
}

TEST(PasswordCipher, RoundTripsPrintableTextsUpTo254ForKeys0To10) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::uint8_t number = 0; number <= 10; ++number) {
    for (std::size_t length : {0u, 1u, 2u, 3u, 100u, 253u, 254u}) {
      const std::string text = test::random_text(length, seed + number * 31u + static_cast<unsigned>(length), 32, 126);
      const std::string scrambled = encrypt_password(number, text);
      EXPECT_EQ(scrambled.size(), text.size());
      EXPECT_EQ(decrypt_password(number, scrambled), text);
      // The reverse order restores too.
      EXPECT_EQ(encrypt_password(number, decrypt_password(number, text)), text);
    }
  }
}

TEST(PasswordCipher, Fails255CharactersWithOverflowAfterTheLastOne) {
  const std::string text(255, 'a');
  for (std::uint8_t number = 0; number <= 10; ++number) {
    EXPECT_QF_ERROR((void)encrypt_password(number, text), ErrorNumber::overflow);
    EXPECT_QF_ERROR((void)decrypt_password(number, text), ErrorNumber::overflow);
  }
  // A bad code at the 255th character is found before the counter overflows.
  std::string bad_last(254, 'a');
  bad_last += '\xff';
  EXPECT_QF_ERROR((void)encrypt_password(5, bad_last), ErrorNumber::invalid_call);
}

TEST(PasswordCipher, KeysFrom11FailEveryNonEmptyText) {
  for (int number : {11, 12, 128, 255}) {
    const auto n = static_cast<std::uint8_t>(number);
    EXPECT_QF_ERROR((void)encrypt_password(n, "x"), ErrorNumber::invalid_call);
    EXPECT_QF_ERROR((void)decrypt_password(n, "x"), ErrorNumber::invalid_call);
    EXPECT_EQ(encrypt_password(n, ""), "");
  }
}

TEST(PasswordCipher, OddPositionsMoveUpAndEvenPositionsDown) {
  // Key 10 has mask 0: a pure alternating shift.
  EXPECT_EQ(encrypt_password(10, "AAAA"), "K7K7");
  // Key 0 shifts nothing and exclusive-ors every code with 10.
  EXPECT_EQ(encrypt_password(0, "AB"), "KH");
  // The limits of the codes that key 5 accepts at each parity.
  EXPECT_NO_THROW((void)encrypt_password(5, "\xfa"));
  EXPECT_QF_ERROR((void)encrypt_password(5, "\xfb"), ErrorNumber::invalid_call);
  EXPECT_NO_THROW((void)encrypt_password(5, "a\x05"));
  EXPECT_QF_ERROR((void)encrypt_password(5, "a\x04"), ErrorNumber::invalid_call);
}

TEST(PasswordCipher, TheControlLeavesOutPutAsItWasWhenItFails) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string out = "before";
  const std::uint8_t number = 3;
  EXPECT_QF_ERROR(control.EncryptPassword(number, std::string(255, 'a'), out), ErrorNumber::overflow);
  EXPECT_EQ(out, "before");
  EXPECT_QF_ERROR(control.DecryptPassword(std::uint8_t{11}, "a", out), ErrorNumber::invalid_call);
  EXPECT_EQ(out, "before");
  // The same variable may be both input and output.
  std::string same = "Secret1";
  control.EncryptPassword(number, same, same);
  control.DecryptPassword(number, same, same);
  EXPECT_EQ(same, "Secret1");
}

}  // namespace
}  // namespace quillfern
