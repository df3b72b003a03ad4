// PowerEncryption: a keyless, one-way scrambling of a short text. The text
// is upper-cased and rewritten in place by a forward and a backward pass;
// every combination goes through safe_xor_code, which refuses outcomes in a
// fixed set of codes (controls, "=", "[", "]" and most of 127..159).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillfern/core/codepage.hpp"

namespace quillfern::transforms {

// The longest text PowerEncryption accepts: from 256 characters on, the
// length itself pushes the first code past 255.
inline constexpr std::size_t power_max_length = 255;

// The scrambled form of `text`. Upper-casing follows `page` (see
// upper_case_code). Throws quillfern::Error 6 for a text longer than 32767
// characters (before any work) and 5 for one of 256 to 32767 characters
// (at its first character). Different texts can give the same result.
[[nodiscard]] std::string power_encryption(std::string_view text, CodePage page = CodePage::cp1252);

// The guard behind every combination of PowerEncryption: key exclusive-or
// code, unless that value lies in 0..32, is 61, 91 or 93, or lies in
// 127..144 or 147..159; then code unchanged. The comparisons are signed: a
// negative value always passes. Private to the control; published here for
// its tests.
[[nodiscard]] std::int16_t safe_xor_code(std::int16_t key, std::int16_t code) noexcept;

// The upper case of a code in a code page, one code to one code: a to z
// always; with Latin-1 also the accented small letters 224..254 (except
// 247, the division sign); with Windows-1252 those and also the small s,
// z with caron, the small ligature oe and y with diaeresis (154, 158, 156,
// 255 to 138, 142, 140, 159). Letters whose capital the code page lacks
// (sharp s, micro sign, the small f with hook) stay as they are; with no
// code page only a to z change.
[[nodiscard]] std::uint8_t upper_case_code(CodePage page, std::uint8_t code) noexcept;

}  // namespace quillfern::transforms
