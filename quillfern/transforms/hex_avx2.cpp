// The AVX2 hexadecimal kernels: 32 codes or 32 pairs per step; outputs
// past the stream threshold are written around the caches.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_vector_rule.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

QUILLFERN_TARGET_AVX2 inline __m256i broadcast_avx2(__m128i table) noexcept {
  return _mm256_broadcastsi128_si256(table);
}

QUILLFERN_HEX_VECTOR_RULE(QUILLFERN_TARGET_AVX2, __m256i, _mm256, si256, broadcast_avx2)
QUILLFERN_HEX_VECTOR_DIGITS(QUILLFERN_TARGET_AVX2, __m256i, __m128i, _mm256, si256)

}  // namespace

QUILLFERN_TARGET_AVX2 void convert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m256i table = broadcast_avx2(load_table(digits));
  // The 32 digits of the 16 codes at in + k.
  auto digits_at = [&](std::size_t k) QUILLFERN_TARGET_AVX2 {
    return digits_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k)), table);
  };
  std::size_t k = 0;
  if (2 * size >= stream_threshold && address(out) % 2 == 0) {
    k = (misalignment(out, 32)) / 2;
    convert_ssse3(in, k, out);
    for (; k + 32 <= size; k += 32) {
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 2 * k), digits_at(k));
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 2 * k + 32), digits_at(k + 16));
    }
    _mm_sfence();
  }
  for (; k + 32 <= size; k += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k), digits_at(k));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k + 32), digits_at(k + 16));
  }
  convert_ssse3(in + k, size - k, out + 2 * k);
}

QUILLFERN_TARGET_AVX2 void deconvert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const PairTables t = pair_tables();
  const std::size_t pairs = size / 2;
  // The pack works per 128-bit half; the permute puts the quarters back in
  // order.
  auto block = [&](std::size_t k) QUILLFERN_TARGET_AVX2 {
    const __m256i first = read_pairs(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k)), t);
    const __m256i second =
        read_pairs(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k + 32)), t);
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
  };
  std::size_t k = 0;
  if (pairs >= stream_threshold) {
    k = misalignment(out, 32);
    deconvert_ssse3(in, 2 * k, out);
    for (; k + 32 <= pairs; k += 32) _mm256_stream_si256(reinterpret_cast<__m256i*>(out + k), block(k));
    _mm_sfence();
  }
  for (; k + 32 <= pairs; k += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), block(k));
  deconvert_ssse3(in + 2 * k, size - 2 * k, out + k);
}

}  // namespace quillfern::transforms::detail

#endif
