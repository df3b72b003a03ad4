// The tables the hexadecimal kernels share: the digits, the number
// reader's rule for a pair of characters, and the same rule in the form the
// vector kernels compute it. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "quillfern/core/cpu_features.hpp"

#if QUILLFERN_X86_KERNELS
#include <immintrin.h>
#endif

namespace quillfern::transforms::detail {

inline constexpr std::array<std::uint8_t, 16> digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                        '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// The value of a hexadecimal digit, or 16 for any other character.
inline constexpr std::array<std::uint8_t, 256> digit_values = [] {
  std::array<std::uint8_t, 256> values{};
  for (std::size_t ch = 0; ch < 256; ++ch) {
    std::uint8_t value = 16;
    if (ch >= '0' && ch <= '9') value = static_cast<std::uint8_t>(ch - '0');
    if (ch >= 'A' && ch <= 'F') value = static_cast<std::uint8_t>(ch - 'A' + 10);
    if (ch >= 'a' && ch <= 'f') value = static_cast<std::uint8_t>(ch - 'a' + 10);
    values[ch] = value;
  }
  return values;
}();

// The characters the number reader skips.
constexpr bool is_blank(unsigned char ch) noexcept { return ch == ' ' || ch == '\t' || ch == '\n'; }

// "&H" followed by the two characters a and b, read as a number.
constexpr char read_pair(unsigned char a, unsigned char b) noexcept {
  const unsigned high = digit_values[a];
  const unsigned low = digit_values[b];
  unsigned value = 0;
  if (high < 16) {
    value = low < 16 ? high * 16 + low : high;
  } else if (is_blank(a) && low < 16) {
    value = low;
  }
  return static_cast<char>(value);
}

// ---- the pair rule for the vector kernels ----------------------------------
//
// Encoding widens each code to a 16-bit lane holding its high nibble in the
// low byte and its low nibble in the high byte, then looks both nibbles up
// in the digit table with one byte shuffle: the lane's bytes are then the
// two digits in output order.
//
// Decoding looks every character up by its two nibbles in 16-entry tables
// (one byte shuffle each) and works on each pair as a 16-bit lane, first
// character in the low byte:
//   class   = class_high[c >> 4] & class_low[c & 15]: 1 a decimal digit,
//             2 a letter digit, 4 a tab or line feed, 8 a blank, else 0;
//   kind    = kind_of_class[class]: 1 a digit, 2 skipped, 0 anything else;
//   value   = (c & 15) + letter_bias[c >> 4], right for every digit;
//   index   = kind(a) + 4 * kind(b), one multiply-add per lane;
//   weights = first_weight[index] for a, second_weight[index] for b;
//   code    = value(a) * weight(a) + value(b) * weight(b), a multiply-add.
// The weights carry the whole reading rule; pair_rule_holds() below checks
// at compile time that this gives read_pair() for every pair of bytes.

inline constexpr std::array<std::uint8_t, 16> class_high = {4, 0, 8, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline constexpr std::array<std::uint8_t, 16> class_low = {9, 3, 3, 3, 3, 3, 3, 1, 1, 5, 4, 0, 0, 0, 0, 0};
inline constexpr std::array<std::uint8_t, 16> kind_of_class = {0, 1, 1, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
inline constexpr std::array<std::uint8_t, 16> letter_bias = {0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};

inline constexpr std::uint8_t kind_digit = 1;
inline constexpr std::uint8_t kind_skipped = 2;

// a is read when it is a digit, with weight 16 when b is one too; b is read
// when it is a digit and a was a digit or skipped. Index 0 must weigh 0:
// the high byte of every index lane is 0.
constexpr std::array<std::uint8_t, 16> make_weights(bool first) {
  std::array<std::uint8_t, 16> weights{};
  for (std::uint8_t a = 0; a < 4; ++a) {
    for (std::uint8_t b = 0; b < 4; ++b) {
      std::uint8_t weight = 0;
      if (first && a == kind_digit) weight = b == kind_digit ? 16 : 1;
      if (!first && b == kind_digit && (a == kind_digit || a == kind_skipped)) weight = 1;
      weights[static_cast<std::size_t>(a + 4 * b)] = weight;
    }
  }
  return weights;
}
inline constexpr std::array<std::uint8_t, 16> first_weight = make_weights(true);
inline constexpr std::array<std::uint8_t, 16> second_weight = make_weights(false);

constexpr std::uint8_t kind_of(unsigned char ch) noexcept {
  return kind_of_class[class_high[ch >> 4] & class_low[ch & 15]];
}
constexpr unsigned value_of(unsigned char ch) noexcept {
  return static_cast<unsigned>((ch & 15) + letter_bias[ch >> 4]);
}

// Every character gets the kind read_pair() gives it and every digit its
// value; then the weights reproduce read_pair() on every pair of a set that
// holds each digit and a character of every other kind.
constexpr bool pair_rule_holds() {
  for (unsigned ch = 0; ch < 256; ++ch) {
    const auto c = static_cast<unsigned char>(ch);
    const bool digit = digit_values[c] < 16;
    if (kind_of(c) != (digit ? kind_digit : is_blank(c) ? kind_skipped : 0)) return false;
    if (digit && value_of(c) != digit_values[c]) return false;
  }
  constexpr char sample[] = "0123456789ABCDEFabcdef \t\nZz@G/:\r&";
  for (char a : sample) {
    for (char b : sample) {
      const auto ca = static_cast<unsigned char>(a);
      const auto cb = static_cast<unsigned char>(b);
      const std::size_t index = kind_of(ca) + 4u * kind_of(cb);
      const unsigned code = value_of(ca) * first_weight[index] + value_of(cb) * second_weight[index];
      if (code != static_cast<unsigned char>(read_pair(ca, cb))) return false;
    }
  }
  return first_weight[0] == 0 && second_weight[0] == 0;
}

// Outputs of this size and more are written around the caches (streaming
// stores): they would not stay there anyway, and ordinary stores would
// first read every destination line from memory.
inline constexpr std::size_t stream_threshold = std::size_t{8} << 20;

inline std::uintptr_t address(const void* p) noexcept { return reinterpret_cast<std::uintptr_t>(p); }
// Bytes from p to the next multiple of `alignment`.
inline std::size_t misalignment(const void* p, std::size_t alignment) noexcept {
  return static_cast<std::size_t>((alignment - address(p) % alignment) % alignment);
}

#if QUILLFERN_X86_KERNELS
QUILLFERN_TARGET_SSSE3 inline __m128i load_table(const std::array<std::uint8_t, 16>& table) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}
#endif

}  // namespace quillfern::transforms::detail
