// The SSSE3 hexadecimal kernels: 16 codes or 16 pairs per step, through the
// byte shuffles described in hex_tables.hpp.
#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_vector_rule.hpp"

#if QUILLFERN_X86_KERNELS

namespace quillfern::transforms::detail {
namespace {

QUILLFERN_TARGET_SSSE3 inline __m128i as_is(__m128i table) noexcept { return table; }

// 8 pairs in, 8 codes in 16-bit lanes out.
QUILLFERN_HEX_VECTOR_RULE(QUILLFERN_TARGET_SSSE3, __m128i, _mm, si128, as_is)

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
  const PairTables t = pair_tables();
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 16 <= pairs; k += 16) {
    const __m128i first = read_pairs(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k)), t);
    const __m128i second = read_pairs(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k + 16)), t);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(first, second));
  }
  deconvert_portable(in + 2 * k, size - 2 * k, out + k);
}

}  // namespace quillfern::transforms::detail

#endif
