// The kernels of the file cipher's lanes (portable and AVX2, in
// file_cipher.cpp), and the choice of one for the tests, the benchmarks and
// the fuzzers that compare them. Internal: not installed.
#pragma once

#include <array>

#include "quillfern/core/cpu_features.hpp"
#include "quillfern/files/file_cipher.hpp"

namespace quillfern::files {

// The levels the lanes have kernels for. Both give identical results.
inline constexpr std::array<cpu::Kernel, 2> lane_kernels = {cpu::Kernel::portable, cpu::Kernel::avx2};

// The kernel a new KeyStream runs: chosen on the first call from
// cpu::kernel_level(), then cached.
[[nodiscard]] cpu::Kernel lane_kernel() noexcept;

class KeyStreamKernels {
 public:
  // Makes `keys` run the lanes of level `kernel`, or the best ones below
  // it that the processor runs.
  static void use(KeyStream& keys, cpu::Kernel kernel) noexcept;
  // The level of the lanes `keys` runs.
  [[nodiscard]] static cpu::Kernel used(const KeyStream& keys) noexcept;
};

}  // namespace quillfern::files
