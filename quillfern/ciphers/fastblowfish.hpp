// FastBlowFish: the self-inverse block cipher of the control. Each code is
// combined by exclusive-or with a key byte drawn from the eight key tables
// by the position within its block of 128 and by the password, and mixed
// with a password key. The key stream depends only on the password, the
// text's length and the position, so one function enciphers and deciphers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillfern::ciphers {

// The block length of the cipher: the last block is filled up with spaces
// (code 32) to this length, and those fill positions are processed too.
inline constexpr std::size_t fast_blow_fish_block = 128;

// Told the 1-based position of a processed position whose result is code 0.
// Positions past the text's length are fill positions of the last block.
using ZeroNotice = std::function<void(std::size_t position)>;

// The password key, 0..512: (2 * (n ^ c1 ^ ... ^ cn ^ e)) mod 513 with n the
// password's length, c its codes and e the text length mod 256 when n is
// odd, 0 when n is even.
[[nodiscard]] std::uint32_t fast_blow_fish_key(std::size_t text_length,
                                               std::string_view password) noexcept;

// Enciphers or deciphers `text` under `password` (any length, empty
// included). The result has the text's length; applying the function to
// it with the same password gives `text` back. `on_zero`, when set, is
// called once for every processed position whose result is 0, in order,
// fill positions included. Never throws by itself (only what `on_zero` or
// an allocation throws); no length limit.
[[nodiscard]] std::string fast_blow_fish(std::string_view text, std::string_view password,
                                         const ZeroNotice& on_zero = {});

}  // namespace quillfern::ciphers
