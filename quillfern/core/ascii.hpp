// Small ASCII helpers shared by the parsers of the library and the tool:
// letters and digits whatever the locale, names compared without regard to
// case (as the platform compares member and property names) and
// hexadecimal digit values.
#pragma once

#include <string_view>

namespace quillfern::ascii {

// True for A to Z and a to z, whatever the locale.
[[nodiscard]] constexpr bool is_letter(char ch) noexcept {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// True for 0 to 9.
[[nodiscard]] constexpr bool is_digit(char ch) noexcept { return ch >= '0' && ch <= '9'; }

// `ch` in lower case when it is one of A to Z; any other code as it is.
[[nodiscard]] constexpr char to_lower(char ch) noexcept {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

// True when `a` and `b` differ at most in the case of the letters A to Z.
[[nodiscard]] constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (to_lower(a[i]) != to_lower(b[i])) return false;
  }
  return true;
}

// The value of a hexadecimal digit (either case), or -1.
[[nodiscard]] constexpr int hex_digit_value(char ch) noexcept {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace quillfern::ascii
