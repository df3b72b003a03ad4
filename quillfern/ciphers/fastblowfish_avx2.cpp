// The AVX2 exclusive-or kernel of FastBlowFish: 64 codes per step, the
// zero results found by one comparison per 32 codes.
#include <bit>

#include "quillfern/ciphers/fastblowfish_kernels.hpp"

#if QUILLFERN_X86_KERNELS
#include <immintrin.h>

namespace quillfern::ciphers::detail {

QUILLFERN_TARGET_AVX2 std::size_t xor_avx2(const std::uint8_t* in, const std::uint8_t* key, std::uint8_t* out,
                                           std::size_t count, std::size_t first_position,
                                           const ZeroNotice& on_zero) {
  std::size_t zeros = 0;
  std::size_t i = 0;
  const __m256i zero = _mm256_setzero_si256();
  for (; i + 64 <= count; i += 64) {
    const __m256i x0 = _mm256_xor_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i)),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(key + i)));
    const __m256i x1 = _mm256_xor_si256(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 32)),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(key + i + 32)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), x0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 32), x1);
    const auto m0 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x0, zero)));
    const auto m1 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x1, zero)));
    std::uint64_t mask = (std::uint64_t{m1} << 32) | m0;
    if (mask != 0) [[unlikely]] {
      zeros += static_cast<std::size_t>(std::popcount(mask));
      if (on_zero) {
        for (; mask != 0; mask &= mask - 1) {
          on_zero(first_position + i + static_cast<std::size_t>(std::countr_zero(mask)));
        }
      }
    }
  }
  return zeros + xor_portable(in + i, key + i, out + i, count - i, first_position + i, on_zero);
}

}  // namespace quillfern::ciphers::detail

#endif
