// The AVX2 hexadecimal kernels: 32 codes or 32 pairs per step; outputs
// past the stream threshold are written around the caches.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_tables.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

struct Tables256 {
  __m256i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};

QUILLFERN_TARGET_AVX2 inline __m256i broadcast_avx2(__m128i table) noexcept {
  return _mm256_broadcastsi128_si256(table);
}

// 16 codes to 32 digits, through 16-bit lanes.
QUILLFERN_TARGET_AVX2 inline __m256i digits_avx2(__m128i codes, __m256i table) noexcept {
  const __m256i wide = _mm256_cvtepu8_epi16(codes);
  const __m256i index = _mm256_or_si256(_mm256_srli_epi16(wide, 4),
                                        _mm256_slli_epi16(_mm256_and_si256(wide, _mm256_set1_epi16(15)), 8));
  return _mm256_shuffle_epi8(table, index);
}

QUILLFERN_TARGET_AVX2 inline __m256i read_pairs_avx2(__m256i ch, const Tables256& t) noexcept {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(ch, 4), nibble);
  const __m256i low = _mm256_and_si256(ch, nibble);
  const __m256i cls =
      _mm256_and_si256(_mm256_shuffle_epi8(t.class_high, high), _mm256_shuffle_epi8(t.class_low, low));
  const __m256i kind = _mm256_shuffle_epi8(t.kind_of_class, cls);
  const __m256i value = _mm256_add_epi8(low, _mm256_shuffle_epi8(t.letter_bias, high));
  const __m256i index = _mm256_maddubs_epi16(kind, _mm256_set1_epi16(0x0401));
  const __m256i weight = _mm256_or_si256(_mm256_shuffle_epi8(t.first_weight, index),
                                         _mm256_slli_epi16(_mm256_shuffle_epi8(t.second_weight, index), 8));
  return _mm256_maddubs_epi16(value, weight);
}

}  // namespace

QUILLFERN_TARGET_AVX2 void convert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m256i table = broadcast_avx2(load_table(digits));
  std::size_t k = 0;
  if (2 * size >= stream_threshold && address(out) % 2 == 0) {
    k = (misalignment(out, 32)) / 2;
    convert_ssse3(in, k, out);
    for (; k + 32 <= size; k += 32) {
      const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
      const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k + 16));
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 2 * k), digits_avx2(first, table));
      _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 2 * k + 32), digits_avx2(second, table));
    }
    _mm_sfence();
  }
  for (; k + 32 <= size; k += 32) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k + 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k), digits_avx2(first, table));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k + 32), digits_avx2(second, table));
  }
  convert_ssse3(in + k, size - k, out + 2 * k);
}

QUILLFERN_TARGET_AVX2 void deconvert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const Tables256 t{
      broadcast_avx2(load_table(class_high)),   broadcast_avx2(load_table(class_low)),
      broadcast_avx2(load_table(kind_of_class)), broadcast_avx2(load_table(letter_bias)),
      broadcast_avx2(load_table(first_weight)), broadcast_avx2(load_table(second_weight))};
  const std::size_t pairs = size / 2;
  // The pack works per 128-bit half; the permute puts the quarters back in
  // order.
  auto block = [&](std::size_t k) QUILLFERN_TARGET_AVX2 {
    const __m256i first = read_pairs_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k)), t);
    const __m256i second =
        read_pairs_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k + 32)), t);
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
