// The SSSE3 hexadecimal kernels: 16 codes or 16 pairs per step, through the
// byte shuffles described in hex_tables.hpp.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_tables.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

struct Tables128 {
  __m128i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};

// 8 pairs in, 8 codes in 16-bit lanes out.
QUILLFERN_TARGET_SSSE3 inline __m128i read_pairs_ssse3(__m128i ch, const Tables128& t) noexcept {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(ch, 4), nibble);
  const __m128i low = _mm_and_si128(ch, nibble);
  const __m128i cls = _mm_and_si128(_mm_shuffle_epi8(t.class_high, high), _mm_shuffle_epi8(t.class_low, low));
  const __m128i kind = _mm_shuffle_epi8(t.kind_of_class, cls);
  const __m128i value = _mm_add_epi8(low, _mm_shuffle_epi8(t.letter_bias, high));
  const __m128i index = _mm_maddubs_epi16(kind, _mm_set1_epi16(0x0401));
  const __m128i weight = _mm_or_si128(_mm_shuffle_epi8(t.first_weight, index),
                                      _mm_slli_epi16(_mm_shuffle_epi8(t.second_weight, index), 8));
  return _mm_maddubs_epi16(value, weight);
}

QUILLFERN_TARGET_SSSE3 Tables128 tables_ssse3() noexcept {
  return {load_table(class_high),   load_table(class_low),    load_table(kind_of_class),
          load_table(letter_bias), load_table(first_weight), load_table(second_weight)};
}

}  // namespace

// 16 codes to 32 digits.
QUILLFERN_TARGET_SSSE3 void convert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m128i table = load_table(digits);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  std::size_t k = 0;
  for (; k + 16 <= size; k += 16) {
    const __m128i codes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    const __m128i high = _mm_shuffle_epi8(table, _mm_and_si128(_mm_srli_epi16(codes, 4), nibble));
    const __m128i low = _mm_shuffle_epi8(table, _mm_and_si128(codes, nibble));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_unpacklo_epi8(high, low));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 16), _mm_unpackhi_epi8(high, low));
  }
  convert_portable(in + k, size - k, out + 2 * k);
}

// 32 digits to 16 codes.
QUILLFERN_TARGET_SSSE3 void deconvert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
  const Tables128 t = tables_ssse3();
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 16 <= pairs; k += 16) {
    const __m128i first = read_pairs_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k)), t);
    const __m128i second = read_pairs_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k + 16)), t);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(first, second));
  }
  deconvert_portable(in + 2 * k, size - 2 * k, out + k);
}

}  // namespace quillfern::transforms::detail

#endif
