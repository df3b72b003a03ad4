#include "quillfern/transforms/power.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>

#include "quillfern/control/encryption.hpp"
#include "testing/doubles.hpp"
#include "reference/transforms_reference.hpp"
#include "support.hpp"
#include "vectors.hpp"

namespace quillfern {
namespace {

using transforms::power_encryption;
using transforms::safe_xor_code;
using transforms::upper_case_code;

constexpr CodePage all_pages[] = {CodePage::cp1252, CodePage::latin1, CodePage::none};

QF_VECTOR_RUNNER("PowerEncryption", [](const test::VectorCase& c) {
  const auto page = parse_code_page(c.at("CodePage"));
  ASSERT_TRUE(page.has_value()) << c.at("CodePage");
  if (c.has("Error")) {
    EXPECT_QF_ERROR((void)power_encryption(c.at("InPutString"), *page), static_cast<ErrorNumber>(c.number("Error")));
  } else {
    EXPECT_EQ(power_encryption(c.at("InPutString"), *page), c.at("Result"));
  }
});

TEST(PowerEncryption, MatchesTheStepByStepPasses) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (CodePage page : all_pages) {
    for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 50u, 128u, 254u, 255u, 256u, 1000u, 32767u, 32768u}) {
      for (unsigned round = 0; round < 4; ++round) {
        const std::string text = test::random_text(length, seed + 1000u * round + static_cast<unsigned>(length));
        EXPECT_EQ(test::outcome([&] { return power_encryption(text, page); }),
                  test::outcome([&] { return reference::power_encryption(text, page); }))
            << to_string(page) << " length " << length;
      }
    }
  }
}

TEST(PowerEncryption, Accepts255CharactersAndFailsLongerTexts) {
  for (CodePage page : all_pages) {
    EXPECT_EQ(power_encryption(std::string(transforms::power_max_length, 'x'), page).size(), 255u);
    EXPECT_QF_ERROR((void)power_encryption(std::string(256, 'x'), page), ErrorNumber::invalid_call);
    EXPECT_QF_ERROR((void)power_encryption(std::string(32767, 'x'), page), ErrorNumber::invalid_call);
    EXPECT_QF_ERROR((void)power_encryption(std::string(32768, 'x'), page), ErrorNumber::overflow);
    EXPECT_EQ(power_encryption("", page), "");
  }
}

TEST(PowerEncryption, SafeXorCodeRefusesItsSetOfCodes) {
  auto refused = [](int v) {
    return (v >= 0 && v <= 32) || v == 61 || v == 91 || v == 93 || (v >= 127 && v <= 144) ||
           (v >= 147 && v <= 159);
  };
  int refused_count = 0;
  for (int key = -300; key <= 600; key += 3) {
    for (int code = -40; code <= 300; ++code) {
      const auto k = static_cast<std::int16_t>(key);
      const auto c = static_cast<std::int16_t>(code);
      const int v = key ^ code;
      EXPECT_EQ(safe_xor_code(k, c), refused(v) ? code : v) << key << " ^ " << code;
    }
  }
  for (int v = -5; v <= 300; ++v) refused_count += refused(v) ? 1 : 0;
  EXPECT_EQ(refused_count, 33 + 3 + 18 + 13);
  EXPECT_EQ(safe_xor_code(0, 77), 77);                  // key 0 changes nothing
  EXPECT_EQ(safe_xor_code(1, 144), 145);                // 145 and 146 pass
  EXPECT_EQ(safe_xor_code(-1, 5), -6);                  // a negative value passes
  EXPECT_EQ(safe_xor_code(23, 42), 42);                 // 61 is refused
}

TEST(PowerEncryption, UpperCasesLikeTheCodePage) {
  // Spot checks: e acute, s caron, oe, z caron, y diaeresis, sharp s, micro.
  EXPECT_EQ(upper_case_code(CodePage::cp1252, 0xE9), 0xC9);
  EXPECT_EQ(upper_case_code(CodePage::cp1252, 0x9A), 0x8A);
  EXPECT_EQ(upper_case_code(CodePage::cp1252, 0x9C), 0x8C);
  EXPECT_EQ(upper_case_code(CodePage::cp1252, 0x9E), 0x8E);
  EXPECT_EQ(upper_case_code(CodePage::cp1252, 0xFF), 0x9F);
  EXPECT_EQ(upper_case_code(CodePage::latin1, 0xFF), 0xFF);
  EXPECT_EQ(upper_case_code(CodePage::latin1, 0x9A), 0x9A);
  EXPECT_EQ(upper_case_code(CodePage::none, 0xE9), 0xE9);
  for (CodePage page : all_pages) {
    EXPECT_EQ(upper_case_code(page, 0xDF), 0xDF);
    EXPECT_EQ(upper_case_code(page, 0xB5), 0xB5);
    EXPECT_EQ(upper_case_code(page, 0xF7), 0xF7);
    EXPECT_EQ(upper_case_code(page, 'q'), 'Q');
    EXPECT_EQ(upper_case_code(page, '{'), '{');
  }
}

TEST(PowerEncryption, UpperCasingAgreesWithTheUnicodeCaseTable) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  if (std::towupper(0xE9) != 0xC9) {
    std::setlocale(LC_CTYPE, "C");
    GTEST_SKIP() << "the C.UTF-8 locale has no full case table";
  }
  for (CodePage page : {CodePage::cp1252, CodePage::latin1}) {
    for (int code = 0; code < 256; ++code) {
      const auto c = static_cast<std::uint8_t>(code);
      const char32_t upper = static_cast<char32_t>(std::towupper(static_cast<wint_t>(to_unicode(page, c))));
      const std::uint8_t expected = from_unicode(page, upper).value_or(c);
      EXPECT_EQ(upper_case_code(page, c), expected) << to_string(page) << " code " << code;
    }
  }
  std::setlocale(LC_CTYPE, "C");
}

TEST(PowerEncryption, IgnoresCaseAndTheControlUsesTheHostsCodePage) {
  const unsigned seed = test::test_seed();
  SCOPED_TRACE("QUILLFERN_TEST_SEED=" + std::to_string(seed));
  for (std::size_t length : {1u, 10u, 255u}) {
    const std::string lower = test::random_text(length, seed + static_cast<unsigned>(length), 'a', 'z');
    std::string upper = lower;
    for (char& ch : upper) ch = static_cast<char>(ch - 32);
    EXPECT_EQ(power_encryption(lower, CodePage::none), power_encryption(upper, CodePage::none));
  }
  testing::RecordingMessageBox box;
  platform::Host host(box);
  Encryption control(host);
  EXPECT_EQ(control.PowerEncryption("abc"), "kiC");
  EXPECT_EQ(control.PowerEncryption("\xe9"), control.PowerEncryption("\xc9"));
  host.set_code_page(CodePage::none);
  EXPECT_NE(control.PowerEncryption("\xe9"), control.PowerEncryption("\xc9"));
  std::string result = "before";
  EXPECT_QF_ERROR(result = control.PowerEncryption(std::string(256, 'a')), ErrorNumber::invalid_call);
  EXPECT_EQ(result, "before");
}

}  // namespace
}  // namespace quillfern
