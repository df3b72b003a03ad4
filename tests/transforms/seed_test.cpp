#include "quillfern/transforms/seed.hpp"

#include <gtest/gtest.h>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/transforms_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using transforms::seed_encryption;

QF_VECTOR_RUNNER("SeedEncryption", [](const test::VectorCase& c) {
  if (c.has("Error")) {
    EXPECT_QF_ERROR((void)seed_encryption(c.at("InPutString"), c.at("SeedPassword")),
                    static_cast<ErrorNumber>(c.number("Error")));
  } else {
    EXPECT_EQ(seed_encryption(c.at("InPutString"), c.at("SeedPassword")), c.at("Result"));
  }
});

TEST(SeedCipher, MatchesTheCharacterLoopAtEveryLimit) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {0u, 1u, 2u, 100u, 32766u, 32767u, 32768u}) {
    const std::string text = test::random_text(length, seed + static_cast<unsigned>(length));
    const std::string key = test::random_text(length + 1, seed * 5 + static_cast<unsigned>(length));
    for (std::size_t seed_length : {std::size_t{0}, length / 2, length > 0 ? length - 1 : 0, length, length + 1}) {
      const std::string_view key_part = std::string_view(key).substr(0, seed_length);
      EXPECT_EQ(test::outcome([&] { return seed_encryption(text, key_part); }),
                test::outcome([&] { return reference::seed_encryption(text, key_part); }))
          << "length " << length << " seed length " << seed_length;
    }
  }
}

TEST(SeedCipher, LimitsAndTheirOrder) {
  const std::string longest(transforms::seed_max_length, 'a');
  const std::string key(40000, 'b');
  EXPECT_EQ(seed_encryption(longest, key), std::string(32766, '\x03'));
  EXPECT_QF_ERROR((void)seed_encryption(longest + 'a', key), ErrorNumber::overflow);
  // A seed that runs out within 32767 characters fails first with 5; a
  // longer text fails with 6 before the seed is read.
  EXPECT_QF_ERROR((void)seed_encryption(longest + 'a', longest), ErrorNumber::invalid_call);
  EXPECT_QF_ERROR((void)seed_encryption(longest + "aa", ""), ErrorNumber::overflow);
  EXPECT_QF_ERROR((void)seed_encryption("a", ""), ErrorNumber::invalid_call);
  EXPECT_EQ(seed_encryption("", ""), "");
}

TEST(SeedCipher, IsItsOwnInverseAndReadsOnlyTheSeedItNeeds) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {1u, 64u, 32766u}) {
    const std::string text = test::random_text(length, seed + static_cast<unsigned>(length));
    const std::string key = test::random_text(length, seed + 99u + static_cast<unsigned>(length));
    const std::string combined = seed_encryption(text, key);
    EXPECT_EQ(combined.size(), text.size());
    EXPECT_EQ(seed_encryption(combined, key), text);
    EXPECT_EQ(seed_encryption(text, key + "anything after"), combined);
    EXPECT_EQ(seed_encryption(text, text), std::string(length, '\0'));
  }
}

TEST(SeedCipher, TheControlReturnsNothingWhenItFails) {
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  std::string result = "before";
  EXPECT_QF_ERROR(result = control.SeedEncryption("abc", "ab"), ErrorNumber::invalid_call);
  EXPECT_EQ(result, "before");
  EXPECT_EQ(control.SeedEncryption("abc", "abc"), std::string(3, '\0'));
}

}  // namespace
}  // namespace quillfern
