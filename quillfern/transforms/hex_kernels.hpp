// The kernels behind the hexadecimal conversions, one source per level
// (hex_portable.cpp, hex_ssse3.cpp, hex_avx2.cpp, hex_avx512.cpp), and the
// conversions through a chosen one for the tests, the benchmarks and the
// fuzzers that compare them. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "quillfern/core/cpu_features.hpp"
#include "quillfern/transforms/hex.hpp"

namespace quillfern::transforms {

// The levels the conversions have kernels for. Every kernel gives exactly
// the results of the portable one.
inline constexpr std::array<cpu::Kernel, 4> hex_kernels = {cpu::Kernel::portable, cpu::Kernel::ssse3,
                                                           cpu::Kernel::avx2, cpu::Kernel::avx512};

// The kernel convert() and deconvert() run: chosen on the first call from
// cpu::kernel_level(), then cached.
[[nodiscard]] cpu::Kernel hex_kernel() noexcept;

// The conversions through the kernel of level `kernel`, or the best one
// below it that the processor runs.
void convert_to(cpu::Kernel kernel, std::string_view text, char* out) noexcept;
void deconvert_to(cpu::Kernel kernel, std::string_view hex, char* out) noexcept;

namespace detail {

// Each kernel converts `size` codes to 2 * size digits, and deconverts the
// size / 2 whole pairs of `size` characters (the caller reads a lone last
// one). The vector kernels finish their tails with the next level down.
void convert_portable(const unsigned char* in, std::size_t size, char* out) noexcept;
void deconvert_portable(const unsigned char* in, std::size_t size, char* out) noexcept;
#if QUILLFERN_X86_KERNELS
QUILLFERN_TARGET_SSSE3 void convert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept;
QUILLFERN_TARGET_SSSE3 void deconvert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept;
QUILLFERN_TARGET_AVX2 void convert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept;
QUILLFERN_TARGET_AVX2 void deconvert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept;
QUILLFERN_TARGET_AVX512 void convert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept;
QUILLFERN_TARGET_AVX512 void deconvert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept;
#endif

}  // namespace detail

}  // namespace quillfern::transforms
