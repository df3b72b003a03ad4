#include "quillfern/transforms/hex_kernels.hpp"

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

constexpr std::array<std::uint8_t, 16> digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                 '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

constexpr std::array<char, 512> make_digit_pairs() {
  std::array<char, 512> pairs{};
  for (std::size_t code = 0; code < 256; ++code) {
    pairs[2 * code] = static_cast<char>(digits[code >> 4]);
    pairs[2 * code + 1] = static_cast<char>(digits[code & 15]);
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
// Decoding looks every character up by its two nibbles in 16-entry tables
// (one byte shuffle each) and works on each pair as a 16-bit lane, first
// character in the low byte:
//   class   = class_high[c >> 4] & class_low[c & 15]: 1 a decimal digit,
//             2 a letter digit, 4 a tab or line feed, 8 a blank, else 0;
//   kind    = kind_of_class[class]: 1 a digit, 2 skipped, 0 anything else;
//   value   = (c & 15) + letter_bias[c >> 4], right for every digit;
//   index   = kind(a) + 4 * kind(b), one multiply-add per lane;
//   weights = first_weight[index] for a, second_weight[index] for b;
//   code    = value(a) * weight(a) + value(b) * weight(b), a multiply-add.
// The weights carry the whole reading rule; pair_rule_holds() below checks
// at compile time that this gives read_pair() for every pair of bytes.

constexpr std::array<std::uint8_t, 16> class_high = {4, 0, 8, 1, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> class_low = {9, 3, 3, 3, 3, 3, 3, 1, 1, 5, 4, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> kind_of_class = {0, 1, 1, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> letter_bias = {0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};

constexpr std::uint8_t kind_digit = 1;
constexpr std::uint8_t kind_skipped = 2;

// a is read when it is a digit, with weight 16 when b is one too; b is read
// when it is a digit and a was a digit or skipped. Index 0 must weigh 0:
// the high byte of every index lane is 0.
constexpr std::array<std::uint8_t, 16> make_weights(bool first) {
  std::array<std::uint8_t, 16> weights{};
  for (std::uint8_t a = 0; a < 4; ++a) {
    for (std::uint8_t b = 0; b < 4; ++b) {
      std::uint8_t weight = 0;
      if (first && a == kind_digit) weight = b == kind_digit ? 16 : 1;
      if (!first && b == kind_digit && (a == kind_digit || a == kind_skipped)) weight = 1;
      weights[static_cast<std::size_t>(a + 4 * b)] = weight;
    }
  }
  return weights;
}
constexpr std::array<std::uint8_t, 16> first_weight = make_weights(true);
constexpr std::array<std::uint8_t, 16> second_weight = make_weights(false);

constexpr std::uint8_t kind_of(unsigned char ch) noexcept {
  return kind_of_class[class_high[ch >> 4] & class_low[ch & 15]];
}
constexpr unsigned value_of(unsigned char ch) noexcept {
  return static_cast<unsigned>((ch & 15) + letter_bias[ch >> 4]);
}

// Every character gets the kind read_pair() gives it and every digit its
// value; then the weights reproduce read_pair() on every pair of a set that
// holds each digit and a character of every other kind.
constexpr bool pair_rule_holds() {
  for (unsigned ch = 0; ch < 256; ++ch) {
    const auto c = static_cast<unsigned char>(ch);
    const bool digit = digit_values[c] < 16;
    if (kind_of(c) != (digit ? kind_digit : is_blank(c) ? kind_skipped : 0)) return false;
    if (digit && value_of(c) != digit_values[c]) return false;
  }
  constexpr char sample[] = "0123456789ABCDEFabcdef \t\nZz@G/:\r&";
  for (char a : sample) {
    for (char b : sample) {
      const auto ca = static_cast<unsigned char>(a);
      const auto cb = static_cast<unsigned char>(b);
      const std::size_t index = kind_of(ca) + 4u * kind_of(cb);
      const unsigned code = value_of(ca) * first_weight[index] + value_of(cb) * second_weight[index];
      if (code != static_cast<unsigned char>(read_pair(ca, cb))) return false;
    }
  }
  return first_weight[0] == 0 && second_weight[0] == 0;
}
static_assert(pair_rule_holds(), "the vector tables must read every pair as the number reader does");

#if QUILLFERN_HEX_X86

#define QF_TARGET_SSSE3 __attribute__((target("ssse3")))
#define QF_TARGET_AVX2 __attribute__((target("avx2")))
#define QF_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))

QF_TARGET_SSSE3 inline __m128i load_table(const std::array<std::uint8_t, 16>& table) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data()));
}

// 16 codes to 32 digits.
QF_TARGET_SSSE3 void convert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
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

// Outputs of this size and more are written around the caches (streaming
// stores): they would not stay there anyway, and ordinary stores would
// first read every destination line from memory.
constexpr std::size_t stream_threshold = std::size_t{8} << 20;

inline std::uintptr_t address(const void* p) noexcept { return reinterpret_cast<std::uintptr_t>(p); }
// Bytes from p to the next multiple of `alignment`.
inline std::size_t misalignment(const void* p, std::size_t alignment) noexcept {
  return static_cast<std::size_t>((alignment - address(p) % alignment) % alignment);
}

// The decoding tables in registers of each width.
struct Tables128 {
  __m128i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};
struct Tables256 {
  __m256i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};
struct Tables512 {
  __m512i class_high, class_low, kind_of_class, letter_bias, first_weight, second_weight;
};

// 8 pairs in, 8 codes in 16-bit lanes out.
QF_TARGET_SSSE3 inline __m128i read_pairs_ssse3(__m128i ch, const Tables128& t) noexcept {
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

QF_TARGET_SSSE3 Tables128 tables_ssse3() noexcept {
  return {load_table(class_high),   load_table(class_low),    load_table(kind_of_class),
          load_table(letter_bias), load_table(first_weight), load_table(second_weight)};
}

// 32 digits to 16 codes.
QF_TARGET_SSSE3 void deconvert_ssse3(const unsigned char* in, std::size_t size, char* out) noexcept {
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

QF_TARGET_AVX2 inline __m256i broadcast_avx2(__m128i table) noexcept {
  return _mm256_broadcastsi128_si256(table);
}

// 16 codes to 32 digits, through 16-bit lanes.
QF_TARGET_AVX2 inline __m256i digits_avx2(__m128i codes, __m256i table) noexcept {
  const __m256i wide = _mm256_cvtepu8_epi16(codes);
  const __m256i index = _mm256_or_si256(_mm256_srli_epi16(wide, 4),
                                        _mm256_slli_epi16(_mm256_and_si256(wide, _mm256_set1_epi16(15)), 8));
  return _mm256_shuffle_epi8(table, index);
}

QF_TARGET_AVX2 void convert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
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

QF_TARGET_AVX2 inline __m256i read_pairs_avx2(__m256i ch, const Tables256& t) noexcept {
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

QF_TARGET_AVX2 void deconvert_avx2(const unsigned char* in, std::size_t size, char* out) noexcept {
  const Tables256 t{
      broadcast_avx2(load_table(class_high)),   broadcast_avx2(load_table(class_low)),
      broadcast_avx2(load_table(kind_of_class)), broadcast_avx2(load_table(letter_bias)),
      broadcast_avx2(load_table(first_weight)), broadcast_avx2(load_table(second_weight))};
  const std::size_t pairs = size / 2;
  // The pack works per 128-bit half; the permute puts the quarters back in
  // order.
  auto block = [&](std::size_t k) QF_TARGET_AVX2 {
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

// The zero-masking forms throughout: the plain broadcast and permute start
// from an undefined register, which some compilers flag as uninitialised.
QF_TARGET_AVX512 inline __m512i broadcast_avx512(__m128i table) noexcept {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, table);
}

QF_TARGET_AVX512 inline __m512i digits_avx512(__m256i codes, __m512i table) noexcept {
  const __m512i wide = _mm512_cvtepu8_epi16(codes);
  const __m512i index = _mm512_or_si512(_mm512_srli_epi16(wide, 4),
                                        _mm512_slli_epi16(_mm512_and_si512(wide, _mm512_set1_epi16(15)), 8));
  return _mm512_shuffle_epi8(table, index);
}

// Outputs large enough to go around the caches run at memory speed, which
// the AVX2 kernel's streaming stores already reach.
QF_TARGET_AVX512 void convert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
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

QF_TARGET_AVX512 inline __m512i read_pairs_avx512(__m512i ch, const Tables512& t) noexcept {
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

QF_TARGET_AVX512 void deconvert_avx512(const unsigned char* in, std::size_t size, char* out) noexcept {
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
