#include "quillfern/transforms/shift.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/transforms_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using transforms::easy_crypt_decode;
using transforms::easy_crypt_encode;

void run_shift_vector(bool encode, const test::VectorCase& c) {
  const std::string& in = c.at("InPutString");
  if (c.has("Error")) {
    EXPECT_QF_ERROR((void)(encode ? easy_crypt_encode(in) : easy_crypt_decode(in)),
                    static_cast<ErrorNumber>(c.number("Error")));
  } else {
    EXPECT_EQ(encode ? easy_crypt_encode(in) : easy_crypt_decode(in), c.at("OutPut"));
  }
}

QF_VECTOR_RUNNER("EasyCryptEnCode", [](const test::VectorCase& c) { run_shift_vector(true, c); });
QF_VECTOR_RUNNER("EasyCryptDeCode", [](const test::VectorCase& c) { run_shift_vector(false, c); });

TEST(ShiftCipher, MatchesTheCharacterLoopAtEveryLimit) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {0u, 1u, 2u, 100u, 32766u, 32767u, 32768u, 40000u}) {
    const auto s = seed + static_cast<unsigned>(length);
    // Whole range (bad codes likely), and texts without the bad code except
    // perhaps at the very end, where it must win over the final overflow.
    for (const std::string& text :
         {test::random_text(length, s), test::random_text(length, s, 1, 254),
          test::random_text(length, s, 1, 254) + "\xff", test::random_text(length, s, 1, 254) + '\0'}) {
      EXPECT_EQ(test::outcome([&] { return easy_crypt_encode(text); }),
                test::outcome([&] { return reference::shift(text, 1); }))
          << "length " << text.size();
      EXPECT_EQ(test::outcome([&] { return easy_crypt_decode(text); }),
                test::outcome([&] { return reference::shift(text, -1); }))
          << "length " << text.size();
    }
  }
}

TEST(ShiftCipher, Succeeds32766AndFails32767WithOverflow) {
  const std::string longest(transforms::shift_max_length, 'a');
  EXPECT_EQ(easy_crypt_encode(longest), std::string(32766, 'b'));
  EXPECT_EQ(easy_crypt_decode(longest), std::string(32766, '`'));
  EXPECT_QF_ERROR((void)easy_crypt_encode(longest + 'a'), ErrorNumber::overflow);
  EXPECT_QF_ERROR((void)easy_crypt_decode(longest + 'a'), ErrorNumber::overflow);
  // A bad character inside a 32767-character text fails first with 5, a
  // longer text fails with 6 before any character is read.
  EXPECT_QF_ERROR((void)easy_crypt_encode(longest + '\xff'), ErrorNumber::invalid_call);
  EXPECT_QF_ERROR((void)easy_crypt_decode(std::string(1, '\0') + longest), ErrorNumber::invalid_call);
  EXPECT_QF_ERROR((void)easy_crypt_encode("\xff" + longest + "a"), ErrorNumber::overflow);
}

TEST(ShiftCipher, RoundTripsWhereverTheFirstStepSucceeds) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {0u, 1u, 255u, 32766u}) {
    const std::string text = test::random_text(length, seed + 7u * static_cast<unsigned>(length), 1, 254);
    const std::string encoded = easy_crypt_encode(text);
    EXPECT_EQ(encoded.size(), text.size());
    EXPECT_EQ(easy_crypt_decode(encoded), text);
    EXPECT_EQ(easy_crypt_encode(easy_crypt_decode(text)), text);
  }
}

TEST(ShiftCipher, TheControlLeavesOutPutAsItWasWhenItFails) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string out = "before";
  EXPECT_QF_ERROR(control.EasyCryptEnCode(std::string(32767, 'a'), out), ErrorNumber::overflow);
  EXPECT_QF_ERROR(control.EasyCryptDeCode(std::string("a\0", 2), out), ErrorNumber::invalid_call);
  EXPECT_EQ(out, "before");
  std::string same = "abc";
  control.EasyCryptEnCode(same, same);
  EXPECT_EQ(same, "bcd");
  control.EasyCryptDeCode(same, same);
  EXPECT_EQ(same, "abc");
}

}  // namespace
}  // namespace quillfern
