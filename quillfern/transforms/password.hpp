// The password cipher: scrambles a short text under a one-byte key and
// restores it. Odd positions move up by the key and even positions down,
// then every code is combined by exclusive-or with the mask 10 - key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillfern::transforms {

// The longest text either direction accepts: the byte position counter
// overflows when it steps from 255 to 256.
inline constexpr std::size_t password_max_length = 254;

// Scrambles `text` under `number`. Throws quillfern::Error 5 at the first
// character whose code leaves 0..255 (every non-empty text when number is
// 11 or more), and 6 after the 255th character of a longer text.
[[nodiscard]] std::string encrypt_password(std::uint8_t number, std::string_view text);

// Restores a text scrambled by encrypt_password with the same number. Same
// errors as encrypt_password.
[[nodiscard]] std::string decrypt_password(std::uint8_t number, std::string_view text);

}  // namespace quillfern::transforms
