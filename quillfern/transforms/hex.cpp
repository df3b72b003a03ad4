#include "quillfern/transforms/hex.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define QUILLFERN_HEX_X86 1
#include <immintrin.h>
#else
#define QUILLFERN_HEX_X86 0
#endif

namespace quillfern::transforms {
namespace {

// ---- the portable kernel ---------------------------------------------------

constexpr std::array<char, 512> make_digit_pairs() {
  constexpr char digits[] = "0123456789ABCDEF";
  std::array<char, 512> pairs{};
  for (std::size_t code = 0; code < 256; ++code) {
    pairs[2 * code] = digits[code >> 4];
    pairs[2 * code + 1] = digits[code & 15];
  }
  return pairs;
}
constexpr std::array<char, 512> digit_pairs = make_digit_pairs();

// The value of a hexadecimal digit, or 16 for any other character.
constexpr std::array<std::uint8_t, 256> make_digit_values() {
  std::array<std::uint8_t, 256> values{};
  for (std::size_t ch = 0; ch < 256; ++ch) {
    std::uint8_t value = 16;
    if (ch >= '0' && ch <= '9') value = static_cast<std::uint8_t>(ch - '0');
    if (ch >= 'A' && ch <= 'F') value = static_cast<std::uint8_t>(ch - 'A' + 10);
    if (ch >= 'a' && ch <= 'f') value = static_cast<std::uint8_t>(ch - 'a' + 10);
    values[ch] = value;
  }
  return values;
}
constexpr std::array<std::uint8_t, 256> digit_values = make_digit_values();

// The characters the number reader skips.
constexpr bool is_blank(unsigned char ch) noexcept { return ch == ' ' || ch == '\t' || ch == '\n'; }

// "&H" followed by the two characters a and b, read as a number.
constexpr char read_pair(unsigned char a, unsigned char b) noexcept {
  const unsigned high = digit_values[a];
  const unsigned low = digit_values[b];
  unsigned value = 0;
  if (high < 16) {
    value = low < 16 ? high * 16 + low : high;
  } else if (is_blank(a) && low < 16) {
    value = low;
  }
  return static_cast<char>(value);
}

void convert_portable(const unsigned char* in, std::size_t size, char* out) noexcept {
  for (std::size_t k = 0; k < size; ++k) std::memcpy(out + 2 * k, &digit_pairs[2 * in[k]], 2);
}

// Reads size / 2 whole pairs.
void deconvert_portable(const unsigned char* in, std::size_t size, char* out) noexcept {
  const std::size_t pairs = size / 2;
  for (std::size_t k = 0; k < pairs; ++k) out[k] = read_pair(in[2 * k], in[2 * k + 1]);
}

// ---- the vector kernels ----------------------------------------------------
//
// Encoding widens each code to a 16-bit lane holding its high nibble in the
// low byte and its low nibble in the high byte, then looks both nibbles up
// in the digit table with one byte shuffle: the lane's bytes are then the
// two digits in output order.
//
// Decoding classifies every byte of a pair (digit value, is-a-digit,
// is-blank) and combines the two bytes of each 16-bit lane (first character
// in the low byte) with one multiply-add: value = a * weight + b, where a is
// kept only when it is a digit, b only when it is a digit and a is a digit
// or a blank, and the weight of a is 16 when b is a digit and 1 otherwise.
// That is exactly read_pair() for every pair of bytes.

#if QUILLFERN_HEX_X86

#define QF_TARGET_SSSE3 __attribute__((target("ssse3")))
#define QF_TARGET_AVX2 __attribute__((target("avx2")))
#define QF_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))

// 16 codes to 32 digits.
QF_TARGET_SSSE3 void convert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m128i table = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B',
                                      'C', 'D', 'E', 'F');
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

// 8 pairs in, 8 values in 16-bit lanes out.
QF_TARGET_SSSE3 inline __m128i read_pairs_ssse3(__m128i ch) noexcept {
  const __m128i digit = _mm_sub_epi8(ch, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
  const __m128i letter = _mm_sub_epi8(_mm_or_si128(ch, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i is_letter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
  const __m128i is_hex = _mm_or_si128(is_digit, is_letter);
  const __m128i value =
      _mm_or_si128(_mm_and_si128(digit, is_digit),
                   _mm_and_si128(_mm_add_epi8(letter, _mm_set1_epi8(10)), is_letter));
  const __m128i is_blank =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(ch, _mm_set1_epi8(' ')),
                                _mm_cmpeq_epi8(ch, _mm_set1_epi8('\t'))),
                   _mm_cmpeq_epi8(ch, _mm_set1_epi8('\n')));
  const __m128i keep =
      _mm_and_si128(is_hex, _mm_or_si128(_mm_set1_epi16(0x00FF),
                                         _mm_slli_epi16(_mm_or_si128(is_hex, is_blank), 8)));
  const __m128i weight = _mm_add_epi8(_mm_set1_epi16(0x0101),
                                      _mm_and_si128(_mm_srli_epi16(is_hex, 8), _mm_set1_epi16(15)));
  return _mm_maddubs_epi16(_mm_and_si128(value, keep), weight);
}

// 32 digits to 16 codes.
QF_TARGET_SSSE3 void deconvert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 16 <= pairs; k += 16) {
    const __m128i first = read_pairs_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k)));
    const __m128i second = read_pairs_ssse3(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k + 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(first, second));
  }
  deconvert_portable(in + 2 * k, size - 2 * k, out + k);
}

// 16 codes to 32 digits, through 16-bit lanes.
QF_TARGET_AVX2 inline __m256i digits_avx2(__m128i codes, __m256i table) noexcept {
  const __m256i wide = _mm256_cvtepu8_epi16(codes);
  const __m256i index = _mm256_or_si256(_mm256_srli_epi16(wide, 4),
                                        _mm256_slli_epi16(_mm256_and_si256(wide, _mm256_set1_epi16(15)), 8));
  return _mm256_shuffle_epi8(table, index);
}

QF_TARGET_AVX2 void convert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m256i table = _mm256_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B',
                                         'C', 'D', 'E', 'F', '0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', 'A', 'B', 'C', 'D', 'E', 'F');
  std::size_t k = 0;
  for (; k + 32 <= size; k += 32) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k + 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k), digits_avx2(first, table));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * k + 32), digits_avx2(second, table));
  }
  convert_ssse3(in + k, size - k, out + 2 * k);
}

QF_TARGET_AVX2 inline __m256i read_pairs_avx2(__m256i ch) noexcept {
  const __m256i digit = _mm256_sub_epi8(ch, _mm256_set1_epi8('0'));
  const __m256i is_digit = _mm256_cmpeq_epi8(_mm256_min_epu8(digit, _mm256_set1_epi8(9)), digit);
  const __m256i letter =
      _mm256_sub_epi8(_mm256_or_si256(ch, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('a'));
  const __m256i is_letter = _mm256_cmpeq_epi8(_mm256_min_epu8(letter, _mm256_set1_epi8(5)), letter);
  const __m256i is_hex = _mm256_or_si256(is_digit, is_letter);
  const __m256i value =
      _mm256_or_si256(_mm256_and_si256(digit, is_digit),
                      _mm256_and_si256(_mm256_add_epi8(letter, _mm256_set1_epi8(10)), is_letter));
  const __m256i is_blank =
      _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(ch, _mm256_set1_epi8(' ')),
                                      _mm256_cmpeq_epi8(ch, _mm256_set1_epi8('\t'))),
                      _mm256_cmpeq_epi8(ch, _mm256_set1_epi8('\n')));
  const __m256i keep = _mm256_and_si256(
      is_hex, _mm256_or_si256(_mm256_set1_epi16(0x00FF),
                              _mm256_slli_epi16(_mm256_or_si256(is_hex, is_blank), 8)));
  const __m256i weight =
      _mm256_add_epi8(_mm256_set1_epi16(0x0101),
                      _mm256_and_si256(_mm256_srli_epi16(is_hex, 8), _mm256_set1_epi16(15)));
  return _mm256_maddubs_epi16(_mm256_and_si256(value, keep), weight);
}

QF_TARGET_AVX2 void deconvert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 32 <= pairs; k += 32) {
    const __m256i first = read_pairs_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k)));
    const __m256i second =
        read_pairs_avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * k + 32)));
    // The pack works per 128-bit half; put the quarters back in order.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), packed);
  }
  deconvert_ssse3(in + 2 * k, size - 2 * k, out + k);
}

QF_TARGET_AVX512 inline __m512i digits_avx512(__m256i codes, __m512i table) noexcept {
  const __m512i wide = _mm512_cvtepu8_epi16(codes);
  const __m512i index = _mm512_or_si512(_mm512_srli_epi16(wide, 4),
                                        _mm512_slli_epi16(_mm512_and_si512(wide, _mm512_set1_epi16(15)), 8));
  return _mm512_shuffle_epi8(table, index);
}

QF_TARGET_AVX512 void convert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  // The zero-masking forms: the plain ones start from an undefined
  // register, which some compilers flag as uninitialised.
  const __m512i table = _mm512_maskz_broadcast_i32x4(
      0xFFFF,
      _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'));
  std::size_t k = 0;
  for (; k + 64 <= size; k += 64) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 32));
    _mm512_storeu_si512(out + 2 * k, digits_avx512(first, table));
    _mm512_storeu_si512(out + 2 * k + 64, digits_avx512(second, table));
  }
  convert_ssse3(in + k, size - k, out + 2 * k);
}

QF_TARGET_AVX512 inline __m512i read_pairs_avx512(__m512i ch) noexcept {
  constexpr __mmask64 first_of_pair = 0x5555555555555555ULL;
  constexpr __mmask64 second_of_pair = 0xAAAAAAAAAAAAAAAAULL;
  const __m512i digit = _mm512_sub_epi8(ch, _mm512_set1_epi8('0'));
  const __mmask64 is_digit = _mm512_cmple_epu8_mask(digit, _mm512_set1_epi8(9));
  const __m512i letter =
      _mm512_sub_epi8(_mm512_or_si512(ch, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('a'));
  const __mmask64 is_letter = _mm512_cmple_epu8_mask(letter, _mm512_set1_epi8(5));
  const __mmask64 is_hex = is_digit | is_letter;
  const __mmask64 is_blank = _mm512_cmpeq_epi8_mask(ch, _mm512_set1_epi8(' ')) |
                             _mm512_cmpeq_epi8_mask(ch, _mm512_set1_epi8('\t')) |
                             _mm512_cmpeq_epi8_mask(ch, _mm512_set1_epi8('\n'));
  const __m512i value = _mm512_mask_blend_epi8(
      is_letter, digit, _mm512_add_epi8(letter, _mm512_set1_epi8(10)));
  // Bit 2k is the first character of pair k, bit 2k+1 the second.
  const __mmask64 keep = (is_hex & first_of_pair) | (is_hex & ((is_hex | is_blank) << 1) & second_of_pair);
  const __mmask64 sixteen = (is_hex >> 1) & first_of_pair;
  const __m512i weight = _mm512_mask_blend_epi8(sixteen, _mm512_set1_epi8(1), _mm512_set1_epi8(16));
  return _mm512_maddubs_epi16(_mm512_maskz_mov_epi8(keep, value), weight);
}

QF_TARGET_AVX512 void deconvert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
  const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
  const std::size_t pairs = size / 2;
  std::size_t k = 0;
  for (; k + 64 <= pairs; k += 64) {
    const __m512i first = read_pairs_avx512(_mm512_loadu_si512(in + 2 * k));
    const __m512i second = read_pairs_avx512(_mm512_loadu_si512(in + 2 * k + 64));
    // The pack works per 128-bit quarter; put the eighths back in order.
    const __m512i packed = _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(first, second));
    _mm512_storeu_si512(out + k, packed);
  }
  deconvert_avx2(in + 2 * k, size - 2 * k, out + k);
}

bool cpu_has(HexKernel kernel) noexcept {
  __builtin_cpu_init();
  switch (kernel) {
    case HexKernel::portable: return true;
    case HexKernel::ssse3: return __builtin_cpu_supports("ssse3");
    case HexKernel::avx2: return __builtin_cpu_supports("avx2");
    case HexKernel::avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  }
  return false;
}

#else

bool cpu_has(HexKernel kernel) noexcept { return kernel == HexKernel::portable; }

#endif

}  // namespace

std::string_view to_string(HexKernel kernel) noexcept {
  switch (kernel) {
    case HexKernel::portable: return "portable";
    case HexKernel::ssse3: return "ssse3";
    case HexKernel::avx2: return "avx2";
    case HexKernel::avx512: return "avx512";
  }
  return "unknown";
}

bool hex_kernel_available(HexKernel kernel) noexcept { return cpu_has(kernel); }

HexKernel best_hex_kernel() noexcept {
  for (HexKernel kernel : {HexKernel::avx512, HexKernel::avx2, HexKernel::ssse3}) {
    if (cpu_has(kernel)) return kernel;
  }
  return HexKernel::portable;
}

void convert_to(HexKernel kernel, std::string_view text, char* out) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  if (!cpu_has(kernel)) kernel = HexKernel::portable;
  switch (kernel) {
#if QUILLFERN_HEX_X86
    case HexKernel::ssse3: convert_ssse3(in, text.size(), out); return;
    case HexKernel::avx2: convert_avx2(in, text.size(), out); return;
    case HexKernel::avx512: convert_avx512(in, text.size(), out); return;
#endif
    default: convert_portable(in, text.size(), out); return;
  }
}

void deconvert_to(HexKernel kernel, std::string_view hex, char* out) noexcept {
  const auto* in = reinterpret_cast<const unsigned char*>(hex.data());
  if (!cpu_has(kernel)) kernel = HexKernel::portable;
  switch (kernel) {
#if QUILLFERN_HEX_X86
    case HexKernel::ssse3: deconvert_ssse3(in, hex.size(), out); break;
    case HexKernel::avx2: deconvert_avx2(in, hex.size(), out); break;
    case HexKernel::avx512: deconvert_avx512(in, hex.size(), out); break;
#endif
    default: deconvert_portable(in, hex.size(), out); break;
  }
  // A lone last character reads as a pair whose second character is
  // missing: its own value when it is a digit, otherwise 0.
  if (hex.size() % 2 != 0) {
    const unsigned value = digit_values[in[hex.size() - 1]];
    out[hex.size() / 2] = static_cast<char>(value < 16 ? value : 0);
  }
}

void convert_to(std::string_view text, char* out) noexcept {
  convert_to(best_hex_kernel(), text, out);
}

void deconvert_to(std::string_view hex, char* out) noexcept {
  deconvert_to(best_hex_kernel(), hex, out);
}

namespace {

// A string of `size` bytes filled by `fill`, without clearing it first
// where the library allows that.
template <typename Fill>
std::string make_filled(std::size_t size, Fill fill) {
  std::string out;
#if defined(__cpp_lib_string_resize_and_overwrite)
  out.resize_and_overwrite(size, [&](char* data, std::size_t n) {
    fill(data);
    return n;
  });
#else
  out.resize(size);
  fill(out.data());
#endif
  return out;
}

}  // namespace

std::string convert(std::string_view text) {
  const HexKernel kernel = best_hex_kernel();
  return make_filled(converted_size(text.size()), [&](char* out) { convert_to(kernel, text, out); });
}

std::string deconvert(std::string_view hex) {
  const HexKernel kernel = best_hex_kernel();
  return make_filled(deconverted_size(hex.size()), [&](char* out) { deconvert_to(kernel, hex, out); });
}

}  // namespace quillfern::transforms
