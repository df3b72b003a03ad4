// The exclusive-or kernels behind FastBlowFish (the portable one in
// fastblowfish.cpp, the AVX2 one in fastblowfish_avx2.cpp), and the cipher
// through a chosen one for the tests, the benchmarks and the fuzzers that
// compare them. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/ciphers/fastblowfish.hpp"
#include "quillfern/core/cpu_features.hpp"
#include "quillfern/core/secret.hpp"

namespace quillfern::ciphers {

// The key stream walked step by step, as the cipher walks it, from the
// first processed position on and in pieces of any size.
class FastBlowFishKeyWalker {
 public:
  FastBlowFishKeyWalker(std::string_view password, std::uint32_t password_key);

  // The key bytes of the next `count` processed positions into `out`.
  void walk(std::uint8_t* out, std::size_t count) noexcept;

 private:
  SecretBytes password_;
  std::uint32_t password_key_;
  std::size_t position_ = 0;
  std::size_t cursor_ = 0;
  std::uint32_t index_ = 0;
  std::uint32_t a_ = 0, b_ = 0, c_ = 0, d_ = 0;
};

namespace detail {

// The levels FastBlowFish has kernels for. Both give identical results.
inline constexpr std::array<cpu::Kernel, 2> xor_kernels = {cpu::Kernel::portable, cpu::Kernel::avx2};

// The kernel fast_blow_fish() runs: chosen on the first call from
// cpu::kernel_level(), then cached.
[[nodiscard]] cpu::Kernel fast_blow_fish_kernel() noexcept;

// out[i] = in[i] ^ key[i] for i < count; calls on_zero(first_position + i)
// for every zero result, in order, and returns how many there were.
// Through the kernel of level `kernel`, or the best one below it that the
// processor runs.
std::size_t xor_with_key(cpu::Kernel kernel, const std::uint8_t* in, const std::uint8_t* key,
                         std::uint8_t* out, std::size_t count, std::size_t first_position,
                         const ZeroNotice& on_zero);

// fast_blow_fish through the kernel of level `kernel` (or the best one
// below it), for tests and benchmarks.
[[nodiscard]] std::string fast_blow_fish(cpu::Kernel kernel, std::string_view text,
                                         std::string_view password, const ZeroNotice& on_zero);


// The key bytes of processed positions 0 .. count-1 under `password` and
// its password key, walked step by step (for the stream, which reuses them).
[[nodiscard]] SecretBytes fast_blow_fish_key_stream(std::size_t count,
                                                                  std::string_view password,
                                                                  std::uint32_t password_key);

// The kernels themselves, as xor_with_key() without the choice.
std::size_t xor_portable(const std::uint8_t* in, const std::uint8_t* key, std::uint8_t* out,
                         std::size_t count, std::size_t first_position, const ZeroNotice& on_zero);
#if QUILLFERN_X86_KERNELS
QUILLFERN_TARGET_AVX2 std::size_t xor_avx2(const std::uint8_t* in, const std::uint8_t* key, std::uint8_t* out,
                                           std::size_t count, std::size_t first_position,
                                           const ZeroNotice& on_zero);
#endif

}  // namespace detail

}  // namespace quillfern::ciphers
