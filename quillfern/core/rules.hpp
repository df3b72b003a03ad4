// The shared rules that every method of the control follows: the text
// model (one byte is one character code), the Asc and Chr rules, checked
// 16-bit signed arithmetic, the length and byte conversions and the
// counting-loop rule. Each rule raises exactly the error the control raised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "quillfern/core/error.hpp"

namespace quillfern::rules {

// A text is a counted string of character codes 0..255, one per byte.
using Text = std::string;
using TextView = std::string_view;

// The code of a byte of a text, 0..255.
[[nodiscard]] constexpr std::int16_t code_at(TextView text, std::size_t index) noexcept {
  return static_cast<std::int16_t>(static_cast<unsigned char>(text[index]));
}

// Asc: the code of the text's first character; the empty text is error 5.
[[nodiscard]] inline std::int16_t asc(TextView text) {
  if (text.empty()) throw Error(ErrorNumber::invalid_call);
  return code_at(text, 0);
}

// Chr: the one character of a code 0..255; any other code is error 5.
// A 16-bit result arrives sign-extended, so a pattern with its top bit set
// is a negative code here. Nothing is clamped or masked.
[[nodiscard]] inline char chr(std::int32_t code) {
  if (code < 0 || code > 255) throw Error(ErrorNumber::invalid_call);
  return static_cast<char>(static_cast<unsigned char>(code));
}

// Checked 16-bit signed arithmetic: a result outside -32768..32767 is error 6.
[[nodiscard]] inline std::int16_t to_int16(std::int64_t value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw Error(ErrorNumber::overflow);
  }
  return static_cast<std::int16_t>(value);
}
[[nodiscard]] inline std::int16_t add16(std::int16_t a, std::int16_t b) {
  return to_int16(std::int64_t{a} + b);
}
[[nodiscard]] inline std::int16_t sub16(std::int16_t a, std::int16_t b) {
  return to_int16(std::int64_t{a} - b);
}
[[nodiscard]] inline std::int16_t mul16(std::int16_t a, std::int16_t b) {
  return to_int16(std::int64_t{a} * b);
}

// Exclusive-or and complement on 16-bit patterns never fail.
[[nodiscard]] constexpr std::int16_t xor16(std::int16_t a, std::int16_t b) noexcept {
  return static_cast<std::int16_t>(a ^ b);
}
[[nodiscard]] constexpr std::int16_t not16(std::int16_t a) noexcept {
  return static_cast<std::int16_t>(~a);
}

// A text length as a 16-bit signed integer; longer than 32767 is error 6.
[[nodiscard]] inline std::int16_t length16(TextView text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw Error(ErrorNumber::overflow);
  }
  return static_cast<std::int16_t>(text.size());
}

// A value converted to a byte; outside 0..255 is error 6.
[[nodiscard]] inline std::uint8_t to_byte(std::int64_t value) {
  if (value < 0 || value > 255) throw Error(ErrorNumber::overflow);
  return static_cast<std::uint8_t>(value);
}

// The counting-loop rule: a counted loop adds its step after its last pass
// too. A 16-bit loop from 1 to `last` in steps of 1 therefore fails with
// error 6 after its last pass when `last` is 32767. Fast paths that replace
// the loop call this once all passes have run.
inline void finish_loop16(std::int16_t last) {
  if (last == std::numeric_limits<std::int16_t>::max()) throw Error(ErrorNumber::overflow);
}

// The longest input a 16-bit counted loop from 1 handles without failing.
inline constexpr std::size_t max_loop16_length = 32766;

}  // namespace quillfern::rules
