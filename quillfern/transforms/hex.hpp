// Hexadecimal conversion: every code becomes two upper-case hexadecimal
// digits, and pairs of digits are read back as the control's "&H" number
// reader reads them, malformed pairs included. Neither direction has a
// length limit, so both run on vector kernels (SSSE3, AVX2, AVX-512) chosen
// at run time, with a portable kernel that gives identical results.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfern::transforms {

// The hexadecimal form of `text`: two upper-case digits per code, most
// significant first, no separators. Never throws (except std::bad_alloc).
[[nodiscard]] std::string convert(std::string_view text);

// The text whose hexadecimal form `hex` is. Every pair of characters at
// positions 1-2, 3-4, ... (and a lone last character) gives one code, read
// as "&H" followed by the pair:
//   - digits 0-9, A-F and a-f are read until the first other character;
//     no digit at all gives 0 (so "ZZ" gives 0 and "4Z" gives 4);
//   - a blank, tab or line feed is skipped, as the number reader skips it,
//     so " 4" gives 4 (a pair never spans more than its two characters).
// Never throws (except std::bad_alloc): every pair reads as 0..255.
[[nodiscard]] std::string deconvert(std::string_view hex);

// Output sizes of the two directions.
[[nodiscard]] constexpr std::size_t converted_size(std::size_t text_size) noexcept {
  return 2 * text_size;
}
[[nodiscard]] constexpr std::size_t deconverted_size(std::size_t hex_size) noexcept {
  return hex_size / 2 + hex_size % 2;
}

// The same conversions into a caller's buffer of converted_size() or
// deconverted_size() bytes, for streaming. `out` must not overlap the input.
void convert_to(std::string_view text, char* out) noexcept;
void deconvert_to(std::string_view hex, char* out) noexcept;

}  // namespace quillfern::transforms
