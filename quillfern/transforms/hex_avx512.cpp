// The AVX-512 (F and BW) hexadecimal kernels: 64 codes or 64 pairs per
// step. Outputs large enough to go around the caches run at memory speed,
// which the AVX2 kernels' streaming stores already reach, so those go to
// them.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_vector_rule.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

// The zero-masking forms throughout: the plain broadcast and permute start
// from an undefined register, which some compilers flag as uninitialised.
QUILLFERN_TARGET_AVX512 inline __m512i broadcast_avx512(__m128i table) noexcept {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, table);
}

QUILLFERN_HEX_VECTOR_RULE(QUILLFERN_TARGET_AVX512, __m512i, _mm512, si512, broadcast_avx512)
QUILLFERN_HEX_VECTOR_DIGITS(QUILLFERN_TARGET_AVX512, __m512i, __m256i, _mm512, si512)

}  // namespace

QUILLFERN_TARGET_AVX512 void convert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  if (2 * size >= stream_threshold) return convert_avx2(in, size, out);
  const __m512i table = broadcast_avx512(load_table(digits));
  std::size_t k = 0;
  for (; k + 64 <= size; k += 64) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 32));
    _mm512_storeu_si512(out + 2 * k, digits_of(first, table));
    _mm512_storeu_si512(out + 2 * k + 64, digits_of(second, table));
  }
  convert_avx2(in + k, size - k, out + 2 * k);
}

QUILLFERN_TARGET_AVX512 void deconvert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  if (size / 2 >= stream_threshold) return deconvert_avx2(in, size, out);
  const PairTables t = pair_tables();
  const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 64 <= pairs; k += 64) {
    const __m512i first = read_pairs(_mm512_loadu_si512(in + 2 * k), t);
    const __m512i second = read_pairs(_mm512_loadu_si512(in + 2 * k + 64), t);
    // The pack works per 128-bit quarter; put the eighths back in order.
    const __m512i packed = _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(first, second));
    _mm512_storeu_si512(out + k, packed);
  }
  deconvert_avx2(in + 2 * k, size - 2 * k, out + k);
}

}  // namespace quillfern::transforms::detail

#endif
