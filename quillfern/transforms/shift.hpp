// The shift cipher: every code moves up by one (EasyCryptEnCode) or down by
// one (EasyCryptDeCode), without wrapping around.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfern::transforms {

// The longest text the shift cipher accepts: its 16-bit position counter
// overflows when it steps past 32767.
inline constexpr std::size_t shift_max_length = 32766;

// `text` with every code raised by one. Throws quillfern::Error 6 for a
// text longer than 32767 characters (before any work); otherwise 5 at the
// first character of code 255; otherwise 6 for a text of exactly 32767
// characters (after the last one).
[[nodiscard]] std::string easy_crypt_encode(std::string_view text);

// `text` with every code lowered by one; as easy_crypt_encode, with code 0
// as the character that fails with error 5.
[[nodiscard]] std::string easy_crypt_decode(std::string_view text);

}  // namespace quillfern::transforms
