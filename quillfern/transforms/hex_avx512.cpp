// The AVX-512 (F and BW) hexadecimal kernels: 64 codes or 64 pairs per
// step. Outputs large enough to go around the caches run at memory speed,
// which the AVX2 kernels' streaming stores already reach, so those go to
// them.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_tables.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

struct Tables512 {
  __m512i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};

// The zero-masking forms throughout: the plain broadcast and permute start
// from an undefined register, which some compilers flag as uninitialised.
QUILLFERN_TARGET_AVX512 inline __m512i broadcast_avx512(__m128i table) noexcept {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, table);
}

QUILLFERN_TARGET_AVX512 inline __m512i digits_avx512(__m256i codes, __m512i table) noexcept {
  const __m512i wide = _mm512_cvtepu8_epi16(codes);
  const __m512i index = _mm512_or_si512(_mm512_srli_epi16(wide, 4),
                                        _mm512_slli_epi16(_mm512_and_si512(wide, _mm512_set1_epi16(15)), 8));
  return _mm512_shuffle_epi8(table, index);
}

QUILLFERN_TARGET_AVX512 inline __m512i read_pairs_avx512(__m512i ch, const Tables512& t) noexcept {
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m512i high = _mm512_and_si512(_mm512_srli_epi16(ch, 4), nibble);
  const __m512i low = _mm512_and_si512(ch, nibble);
  const __m512i cls =
      _mm512_and_si512(_mm512_shuffle_epi8(t.class_high, high), _mm512_shuffle_epi8(t.class_low, low));
  const __m512i kind = _mm512_shuffle_epi8(t.kind_of_class, cls);
  const __m512i value = _mm512_add_epi8(low, _mm512_shuffle_epi8(t.letter_bias, high));
  const __m512i index = _mm512_maddubs_epi16(kind, _mm512_set1_epi16(0x0401));
  const __m512i weight = _mm512_or_si512(_mm512_shuffle_epi8(t.first_weight, index),
                                         _mm512_slli_epi16(_mm512_shuffle_epi8(t.second_weight, index), 8));
  return _mm512_maddubs_epi16(value, weight);
}

}  // namespace

QUILLFERN_TARGET_AVX512 void convert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  if (2 * size >= stream_threshold) return convert_avx2(in, size, out);
  const __m512i table = broadcast_avx512(load_table(digits));
  std::size_t k = 0;
  for (; k + 64 <= size; k += 64) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 32));
    _mm512_storeu_si512(out + 2 * k, digits_avx512(first, table));
    _mm512_storeu_si512(out + 2 * k + 64, digits_avx512(second, table));
  }
  convert_avx2(in + k, size - k, out + 2 * k);
}

QUILLFERN_TARGET_AVX512 void deconvert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  if (size / 2 >= stream_threshold) return deconvert_avx2(in, size, out);
  const Tables512 t{
      broadcast_avx512(load_table(class_high)),   broadcast_avx512(load_table(class_low)),
      broadcast_avx512(load_table(kind_of_class)), broadcast_avx512(load_table(letter_bias)),
      broadcast_avx512(load_table(first_weight)), broadcast_avx512(load_table(second_weight))};
  const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 64 <= pairs; k += 64) {
    const __m512i first = read_pairs_avx512(_mm512_loadu_si512(in + 2 * k), t);
    const __m512i second = read_pairs_avx512(_mm512_loadu_si512(in + 2 * k + 64), t);
    // The pack works per 128-bit quarter; put the eighths back in order.
    const __m512i packed = _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(first, second));
    _mm512_storeu_si512(out + k, packed);
  }
  deconvert_avx2(in + 2 * k, size - 2 * k, out + k);
}

}  // namespace quillfern::transforms::detail

#endif
