// The exclusive-or kernels behind FastBlowFish, for the tests, the
// benchmarks and the fuzzers that compare them. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/core/secret.hpp"

namespace quillfern::ciphers {

namespace detail {

// The exclusive-or kernels, chosen at run time. Both give identical results.
enum class XorKernel { scalar, avx2 };

// True when this build has the kernel and the processor can run it.
[[nodiscard]] bool kernel_available(XorKernel kernel) noexcept;
// The fastest available kernel.
[[nodiscard]] XorKernel best_kernel() noexcept;

// out[i] = in[i] ^ key[i] for i < count; calls on_zero(first_position + i)
// for every zero result, in order, and returns how many there were.
std::size_t xor_with_key(XorKernel kernel, const std::uint8_t* in, const std::uint8_t* key,
                         std::uint8_t* out, std::size_t count, std::size_t first_position,
                         const ZeroNotice& on_zero);

// fast_blow_fish with a given kernel, for tests and benchmarks.
[[nodiscard]] std::string fast_blow_fish(XorKernel kernel, std::string_view text,
                                         std::string_view password, const ZeroNotice& on_zero);

// The key bytes of processed positions 0 .. count-1 under `password` and
// its password key, walked step by step (for the stream, which reuses them).
[[nodiscard]] SecretBytes fast_blow_fish_key_stream(std::size_t count,
                                                                  std::string_view password,
                                                                  std::uint32_t password_key);

}  // namespace detail

}  // namespace quillfern::ciphers
