// The hexadecimal conversion, the shift cipher, the seed XOR cipher and
// PowerEncryption written step by step from their descriptions, one
// character at a time with every rule checked where the control checks it:
// the references the fast versions are compared with in tests and
// benchmarks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "quillfern/core/rules.hpp"
#include "quillfern/transforms/power.hpp"

namespace quillfern::reference {

// The one-character substring at 1-based position i (empty past the end).
inline std::string_view piece(std::string_view text, std::int32_t i, std::int32_t length = 1) {
  const auto start = static_cast<std::size_t>(i - 1);
  return start < text.size() ? text.substr(start, static_cast<std::size_t>(length)) : std::string_view{};
}

inline std::string convert(std::string_view text) {
  std::string result;
  const auto n = static_cast<std::int32_t>(text.size());
  for (std::int32_t i = 1; i <= n; ++i) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(rules::asc(piece(text, i))));
    std::string h(digits);
    if (h.size() == 1) h = "0" + h;
    result += h;
  }
  return result;
}

// The number reader on "&H" followed by `digits`: blanks, tabs and line
// feeds dropped, then hexadecimal digits read up to the first other
// character.
inline std::int32_t read_hex_number(std::string_view text) {
  std::string compact;
  for (char ch : text) {
    if (ch != ' ' && ch != '\t' && ch != '\n') compact += ch;
  }
  if (compact.size() < 2 || compact[0] != '&' || (compact[1] != 'H' && compact[1] != 'h')) return 0;
  std::int32_t value = 0;
  for (std::size_t k = 2; k < compact.size(); ++k) {
    const char ch = compact[k];
    int digit = -1;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

inline std::string deconvert(std::string_view hex) {
  std::string result;
  const auto n = static_cast<std::int32_t>(hex.size());
  for (std::int32_t i = 1; i <= n; i += 2) {
    result += rules::chr(read_hex_number("&H" + std::string(piece(hex, i, 2))));
  }
  return result;
}

// A 16-bit counted loop from 1 to n: runs body(i) and steps the counter
// under the overflow rule after every pass, the last one included.
template <typename Body>
void count16(std::int16_t n, Body&& body) {
  for (std::int16_t i = 1; i <= n; i = rules::add16(i, 1)) {
    body(i);
  }
}

inline std::string shift(std::string_view text, std::int16_t step) {
  const std::int16_t n = rules::length16(text);
  std::string result;
  count16(n, [&](std::int16_t i) {
    const std::int16_t c = rules::asc(piece(text, i));
    result += rules::chr(rules::add16(c, step));
  });
  return result;
}

inline std::string seed_encryption(std::string_view text, std::string_view seed) {
  std::string result;
  const std::int16_t n = rules::length16(text);
  count16(n, [&](std::int16_t i) {
    const std::int16_t a = rules::asc(piece(text, i));
    const std::int16_t b = rules::asc(piece(seed, i));
    result += rules::chr(rules::xor16(a, b));
  });
  return result;
}

inline std::int16_t safe_xor_code(std::int16_t key, std::int16_t code) {
  const std::int16_t v = rules::xor16(key, code);
  const bool refused = (v >= 0 && v <= 32) || v == 61 || v == 91 || v == 93 ||
                       (v >= 127 && v <= 144) || (v >= 147 && v <= 159);
  return refused ? code : v;
}

inline std::string power_encryption(std::string_view text, CodePage page) {
  const std::int16_t n = rules::length16(text);
  std::string s;
  for (char ch : text) {
    s += static_cast<char>(transforms::upper_case_code(page, static_cast<std::uint8_t>(ch)));
  }
  count16(n, [&](std::int16_t i) {
    std::int16_t x = rules::asc(piece(s, i));
    x = safe_xor_code(n, x);
    if (i == 1) {
      x = safe_xor_code(42, x);
    } else {
      x = safe_xor_code(rules::sub16(i, 1), x);
      x = safe_xor_code(rules::asc(piece(s, rules::sub16(i, 1))), x);
    }
    s[static_cast<std::size_t>(i - 1)] = rules::chr(x);
  });
  if (n > 1) {
    for (std::int16_t i = n; i >= 1; i = rules::sub16(i, 1)) {
      std::int16_t x = rules::asc(piece(s, i));
      x = safe_xor_code(n, x);
      if (i == n) {
        x = safe_xor_code(42, x);
      } else {
        x = safe_xor_code(rules::sub16(i, 1), x);
        x = safe_xor_code(rules::asc(piece(s, rules::add16(i, 1))), x);
      }
      s[static_cast<std::size_t>(i - 1)] = rules::chr(x);
    }
  }
  return s;
}

}  // namespace quillfern::reference
