#include "quillfern/transforms/power.hpp"

#include <array>

#include "quillfern/core/rules.hpp"

namespace quillfern::transforms {
namespace {

// The refused values, all within 0..255: controls and blank, "=", "[", "]",
// and 127..159 except 145 and 146.
constexpr std::array<bool, 256> make_refused() {
  std::array<bool, 256> refused{};
  for (int value = 0; value < 256; ++value) {
    refused[static_cast<std::size_t>(value)] =
        value <= 32 || value == 61 || value == 91 || value == 93 || (value >= 127 && value <= 144) ||
        (value >= 147 && value <= 159);
  }
  return refused;
}
constexpr std::array<bool, 256> refused = make_refused();

constexpr bool rejected(std::int16_t value) noexcept {
  return value >= 0 && value < 256 && refused[static_cast<std::size_t>(value)];
}

// The code of the character of `s` at 1-based `position`.
std::int16_t code_at_position(std::string_view s, std::int16_t position) {
  return rules::code_at(s, static_cast<std::size_t>(position - 1));
}

}  // namespace

std::int16_t safe_xor_code(std::int16_t key, std::int16_t code) noexcept {
  const std::int16_t value = rules::xor16(key, code);
  return rejected(value) ? code : value;
}

std::uint8_t upper_case_code(CodePage page, std::uint8_t code) noexcept {
  if (code >= 'a' && code <= 'z') return static_cast<std::uint8_t>(code - 32);
  if (page == CodePage::none) return code;
  if (code >= 0xE0 && code <= 0xFE && code != 0xF7) return static_cast<std::uint8_t>(code - 32);
  if (page == CodePage::cp1252) {
    switch (code) {
      case 0x9A: return 0x8A;  // s with caron
      case 0x9C: return 0x8C;  // ligature oe
      case 0x9E: return 0x8E;  // z with caron
      case 0xFF: return 0x9F;  // y with diaeresis
      default: break;
    }
  }
  return code;
}

std::string power_encryption(std::string_view text, CodePage page) {
  const std::int16_t n = rules::length16(text);
  std::string s(text);
  for (char& ch : s) {
    ch = static_cast<char>(upper_case_code(page, static_cast<std::uint8_t>(ch)));
  }

  // From 256 characters on, the first step below yields a code above 255
  // and the Chr rule stops the method at position 1, before any character
  // is replaced; up to 255 every key and code stays in 0..255, so neither
  // the Chr rule nor the 16-bit counters can fail.
  for (std::int16_t i = 1; i <= n; i = static_cast<std::int16_t>(i + 1)) {
    std::int16_t x = code_at_position(s, i);
    x = safe_xor_code(n, x);
    if (i == 1) {
      x = safe_xor_code(42, x);
    } else {
      x = safe_xor_code(static_cast<std::int16_t>(i - 1), x);
      x = safe_xor_code(code_at_position(s, static_cast<std::int16_t>(i - 1)), x);
    }
    s[static_cast<std::size_t>(i - 1)] = rules::chr(x);
  }
  if (n > 1) {
    for (std::int16_t i = n; i >= 1; i = static_cast<std::int16_t>(i - 1)) {
      std::int16_t x = code_at_position(s, i);
      x = safe_xor_code(n, x);
      if (i == n) {
        x = safe_xor_code(42, x);
      } else {
        x = safe_xor_code(static_cast<std::int16_t>(i - 1), x);
        x = safe_xor_code(code_at_position(s, static_cast<std::int16_t>(i + 1)), x);
      }
      s[static_cast<std::size_t>(i - 1)] = rules::chr(x);
    }
  }
  return s;
}

}  // namespace quillfern::transforms
