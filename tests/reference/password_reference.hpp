// The password cipher written step by step from its description, with every
// rule checked where the control checks it: the reference the fast version
// is compared with in tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillfern/core/rules.hpp"

namespace quillfern::reference {

inline std::string password_cipher(bool encrypt, std::uint8_t number, std::string_view text) {
  using namespace quillfern::rules;
  std::string result;
  std::uint8_t i = 1;
  const std::int16_t n = number;
  const std::int16_t m = sub16(10, n);
  for (;;) {
    if (static_cast<std::size_t>(i) == text.size() + 1) break;
    // The one-character substring at i (never below 1; past the end it is empty).
    const std::string_view piece = i <= text.size() ? text.substr(i - 1, 1) : std::string_view{};
    const std::int16_t c = asc(piece);
    std::int16_t r = 0;
    if (encrypt) {
      const std::int16_t t = (i % 2 == 1) ? add16(c, n) : sub16(c, n);
      r = xor16(t, m);
    } else {
      const std::int16_t x = xor16(c, m);
      r = (i % 2 == 1) ? sub16(x, n) : add16(x, n);
    }
    result += chr(r);
    i = to_byte(std::int64_t{i} + 1);
  }
  return result;
}

}  // namespace quillfern::reference
