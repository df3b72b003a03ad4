// The kernels behind the text-box stream (the portable one in textbox.cpp,
// the SSSE3 and AVX2 ones in textbox_x86.cpp): every code moved by its amount, the
// codes that leave 0..255 dropped and the kept ones packed together, with
// no branch per code. And the choice of kernel for the tests, the
// benchmarks and the fuzzers that compare them. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "quillfern/ciphers/textbox.hpp"
#include "quillfern/core/cpu_features.hpp"

namespace quillfern::ciphers {

namespace detail {

// The levels the text-box stream has kernels for. All give identical results.
inline constexpr std::array<cpu::Kernel, 3> text_box_kernels = {cpu::Kernel::portable, cpu::Kernel::ssse3,
                                                                cpu::Kernel::avx2};

// The kernel a new TextBoxStream runs: chosen on the first call from
// cpu::kernel_level(), then cached.
[[nodiscard]] cpu::Kernel text_box_kernel() noexcept;

// For i < count: y = in[i] + add[i] - take[i]; a y in 0..255 is kept and
// written at out[0], out[1], ... in order, any other is dropped. Returns
// how many were kept, and sets `first_drop` to the index of the first
// dropped code (count when none was). `out` may be `in` itself, or must
// not overlap it; it is written only below out + count.
std::size_t text_box_portable(const std::uint8_t* in, const std::uint8_t* add, const std::uint8_t* take,
                              std::size_t count, std::uint8_t* out, std::size_t& first_drop) noexcept;
#if QUILLFERN_X86_KERNELS
QUILLFERN_TARGET_SSSE3 std::size_t text_box_ssse3(const std::uint8_t* in, const std::uint8_t* add,
                                                  const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                  std::size_t& first_drop) noexcept;
QUILLFERN_TARGET_AVX2 std::size_t text_box_avx2(const std::uint8_t* in, const std::uint8_t* add,
                                                const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                std::size_t& first_drop) noexcept;
#endif

}  // namespace detail

class TextBoxKernels {
 public:
  // Makes `stream` run the kernel of level `kernel`, or the best one below
  // it that the processor runs.
  static void use(TextBoxStream& stream, cpu::Kernel kernel) noexcept;
  // The level of the kernel `stream` runs.
  [[nodiscard]] static cpu::Kernel used(const TextBoxStream& stream) noexcept;
};

}  // namespace quillfern::ciphers
