#include "quillfern/ciphers/textbox.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/dispatcher.hpp"
#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/textbox_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using ciphers::text_box_crypt;
using ciphers::text_box_decrypt;
using ciphers::text_box_key;

// Through the control (Password overwritten, the variant result) and the
// plain function (the codes dropped).
void run_text_box_vector(bool crypt, const test::VectorCase& c) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string password = c.at("Password");
  const std::optional<std::string> result =
      crypt ? control.TextBoxCrypt(c.at("InPutText"), password) : control.TextBoxDeCrypt(c.at("InPutText"), password);
  EXPECT_EQ(password, c.at("Password after"));
  if (c.is_empty_variant("Result")) {
    EXPECT_FALSE(result.has_value());
  } else {
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, c.at("Result"));
  }
  const auto key = text_box_key(c.at("Password"));
  const auto plain = crypt ? text_box_crypt(c.at("InPutText"), key) : text_box_decrypt(c.at("InPutText"), key);
  EXPECT_EQ(plain.dropped, static_cast<std::size_t>(std::stoul(c.at("Dropped"))));
  EXPECT_TRUE(box.messages().empty());
}

QF_VECTOR_RUNNER("TextBoxCrypt", [](const test::VectorCase& c) { run_text_box_vector(true, c); });
QF_VECTOR_RUNNER("TextBoxDeCrypt", [](const test::VectorCase& c) { run_text_box_vector(false, c); });

TEST(TextBox, KeyNumberIsTheCodeSumOver60) {
  EXPECT_EQ(ciphers::text_box_key_of_sum(59), 0u);
  EXPECT_EQ(ciphers::text_box_key_of_sum(60), 1u);
  EXPECT_EQ(ciphers::text_box_key_of_sum(231), 3u);
  EXPECT_EQ(text_box_key(""), 0u);
  EXPECT_EQ(text_box_key("LMN"), 3u);
  // The double-precision steps never fall short at whole multiples of 60.
  for (std::uint64_t sum = 0; sum < 10'000'000; sum += 1) {
    if (ciphers::text_box_key_of_sum(sum) != sum / 60) {
      ADD_FAILURE() << "code sum " << sum;
      break;
    }
  }
}

TEST(TextBox, KeyTextIsDigitsOnlyAndReadsBack) {
  EXPECT_EQ(ciphers::text_box_key_text(0), "0");
  EXPECT_EQ(ciphers::text_box_key_text(420), "420");
  for (std::uint64_t key : {0ull, 3ull, 263ull, 18446744073709551615ull}) {
    EXPECT_EQ(ciphers::text_box_read_key(ciphers::text_box_key_text(key)), key);
  }
  EXPECT_EQ(ciphers::text_box_read_key(" 12 "), 12u);
  EXPECT_EQ(ciphers::text_box_read_key("x"), 0u);
}

TEST(TextBox, MatchesTheStepByStepCipher) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t pw_length : {0u, 1u, 3u, 8u, 40u, 63u, 70u, 130u}) {
    for (std::size_t length : {0u, 1u, 5u, 6u, 7u, 959u, 960u, 961u, 5000u}) {
      const unsigned s = seed + static_cast<unsigned>(pw_length * 10007 + length);
      const std::string password = test::random_text(pw_length, s, 32, 255);
      // Mostly printable text, so that both kept and dropped codes occur.
      std::string text = test::random_text(length, s + 1, 20, 240);
      for (bool crypt : {true, false}) {
        std::string ref_password = password;
        const auto expected = reference::text_box(crypt, text, ref_password);
        const auto key = text_box_key(password);
        const auto got = crypt ? text_box_crypt(text, key) : text_box_decrypt(text, key);
        EXPECT_EQ(got.text, expected) << pw_length << " " << length << " " << crypt;
        EXPECT_EQ(got.dropped, text.size() - (expected ? expected->size() : 0));
        EXPECT_EQ(ciphers::text_box_key_text(key), ref_password);
      }
    }
  }
}

TEST(TextBox, DeCryptUndoesCryptWhenNothingWasDropped) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::uint64_t key : {0ull, 1ull, 4ull, 14ull, 100ull}) {
    const std::string text = test::random_text(3000, seed + static_cast<unsigned>(key), 110, 140);
    const auto there = text_box_crypt(text, key);
    ASSERT_EQ(there.dropped, 0u) << key;
    EXPECT_EQ(text_box_decrypt(*there.text, key).text, text) << key;
  }
}

TEST(TextBox, ReportsWhereCodesWereDropped) {
  // K = 0: phase 1 takes 4 away, phase 4 adds 7.
  std::string text = "abc\xfa" "ef\x02";
  const auto r = text_box_crypt(text, 0);
  EXPECT_EQ(r.dropped, 2u);
  EXPECT_EQ(r.first_dropped, 4u);
  ASSERT_TRUE(r.text);
  EXPECT_EQ(r.text->size(), 5u);
  // Dropping one code shifts the later phases: the result then differs.
  EXPECT_NE(text_box_decrypt(*r.text, 0).text, text);
  // A key of 263 or more drops every code.
  const auto all = text_box_crypt(std::string(1000, '\x80'), 263);
  EXPECT_FALSE(all.text);
  EXPECT_EQ(all.dropped, 1000u);
  EXPECT_EQ(all.first_dropped, 1u);
}

TEST(TextBox, TheControlOverwritesPasswordWithTheKeyNumber) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string password = "password";
  const auto scrambled = control.TextBoxCrypt("Hello", password);
  EXPECT_EQ(password, "14");
  // Unscrambling with the overwritten variable uses the key number of "14"
  // (code sum 101, K = 1), so it gives another text.
  const auto other = control.TextBoxDeCrypt(*scrambled, password);
  EXPECT_EQ(password, "1");
  EXPECT_NE(other, std::optional<std::string>("Hello"));
  // Only K = 0 survives: "0" has code sum 48.
  std::string zero = "";
  const auto z = control.TextBoxCrypt("Hello", zero);
  EXPECT_EQ(zero, "0");
  EXPECT_EQ(control.TextBoxDeCrypt(*z, zero), std::optional<std::string>("Hello"));
  // The empty text gives the empty variant, and Password is still overwritten.
  std::string p = "abc";
  EXPECT_EQ(control.TextBoxCrypt("", p), std::nullopt);
  EXPECT_EQ(p, "4");
  // One variable as both arguments: the text is read after Password was
  // overwritten, so the key text itself is scrambled ("4" under K = 4).
  std::string both = "abc";
  EXPECT_EQ(control.TextBoxCrypt(both, both), std::optional<std::string>("4"));
  EXPECT_EQ(both, "4");
}

TEST(TextBox, LateBoundCallersGetTheVariantAndTheNewPassword) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::vector<Variant> args{std::string("Hello!"), std::string("abc")};
  EXPECT_EQ(invoke(control, "TextBoxCrypt", args), Variant(std::string("Hgqos\x1f")));
  EXPECT_EQ(args[1], Variant(std::string("4")));
  std::vector<Variant> empty{std::string(""), std::string("abc")};
  EXPECT_EQ(invoke(control, "TextBoxDeCrypt", empty), Variant(Empty{}));
  EXPECT_EQ(empty[1], Variant(std::string("4")));
}

}  // namespace
}  // namespace quillfern
