// The kernels behind the hexadecimal conversions, for the tests, the
// benchmarks and the fuzzers that compare them. Internal: not installed.
#pragma once

#include <string_view>

#include "quillfern/transforms/hex.hpp"

namespace quillfern::transforms {

// The kernels behind the conversions. The best one the processor supports
// is used; every kernel gives exactly the results of the portable one.
enum class HexKernel { portable, ssse3, avx2, avx512 };

[[nodiscard]] std::string_view to_string(HexKernel kernel) noexcept;
// True when this build has the kernel and the processor can run it.
[[nodiscard]] bool hex_kernel_available(HexKernel kernel) noexcept;
// The fastest available kernel.
[[nodiscard]] HexKernel best_hex_kernel() noexcept;
// The conversions through one kernel; an unavailable kernel falls back to
// the portable one.
void convert_to(HexKernel kernel, std::string_view text, char* out) noexcept;
void deconvert_to(HexKernel kernel, std::string_view hex, char* out) noexcept;

}  // namespace quillfern::transforms
