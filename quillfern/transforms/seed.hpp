// The seed XOR cipher: a text combined, code by code, with the codes of a
// seed at least as long. Applying it twice with one seed restores the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillfern::transforms {

// The longest text SeedEncryption accepts: its 16-bit position counter
// overflows when it steps past 32767.
inline constexpr std::size_t seed_max_length = 32766;

// `text` with each code exclusive-ored with the code of `seed` at the same
// position; seed codes past the text's length are not read. Throws
// quillfern::Error 6 for a text longer than 32767 characters (before any
// work); otherwise 5 when `seed` is shorter than `text` (the seed runs
// out); otherwise 6 for a text of exactly 32767 characters.
[[nodiscard]] std::string seed_encryption(std::string_view text, std::string_view seed);

}  // namespace quillfern::transforms
