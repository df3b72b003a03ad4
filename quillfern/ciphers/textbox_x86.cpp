// The vector kernels of the text-box stream, SSSE3 (sixteen codes a step)
// and AVX2 (thirty-two): codes moved with carries and borrows found by
// saturating arithmetic, and the kept ones packed eight at a time by one
// byte shuffle, the shuffle and the count looked up by the eight bits of
// what was kept. Both share the tables, hence one source.
#include "quillfern/ciphers/textbox_kernels.hpp"

#if QUILLFERN_X86_KERNELS
#include <immintrin.h>

#include <bit>

namespace quillfern::ciphers::detail {
namespace {

// For every set of kept codes among eight: the shuffle that gathers them
// at the front of an eight-byte half, as the lower half (indices 0..7) and
// as the upper one (8..15) of a sixteen-byte shuffle; and how many there
// are. Eight-byte entries, so that a set's bits index them directly.
struct Packing {
  alignas(8) std::array<std::array<std::uint8_t, 8>, 256> lower{};
  alignas(8) std::array<std::array<std::uint8_t, 8>, 256> upper{};
  std::array<std::uint8_t, 256> count{};
};

constexpr Packing make_packing() {
  Packing packing;
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned n = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((mask >> bit & 1u) == 0) continue;
      packing.lower[mask][n] = static_cast<std::uint8_t>(bit);
      packing.upper[mask][n] = static_cast<std::uint8_t>(8 + bit);
      ++n;
    }
    packing.count[mask] = static_cast<std::uint8_t>(n);
  }
  return packing;
}

constexpr Packing packing = make_packing();

// The results `y` of sixteen codes, of which `mask` says which are kept,
// packed to `out`; returns how many. Writes only the sixteen bytes from
// `out`, which lie within the codes already read.
QUILLFERN_TARGET_SSSE3 inline std::size_t pack16(__m128i y, unsigned mask, std::uint8_t* out) noexcept {
  const unsigned low = mask & 0xFFu, high = (mask >> 8) & 0xFFu;
  const __m128i order =
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(packing.lower[low].data())),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(packing.upper[high].data())));
  const __m128i packed = _mm_shuffle_epi8(y, order);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
  const std::size_t first = packing.count[low];
  _mm_storeh_pi(reinterpret_cast<__m64*>(out + first), _mm_castsi128_ps(packed));
  return first + packing.count[high];
}

// The moved codes of sixteen (thirty-two) codes into `y`; returns the mask
// of those kept: the addition did not carry and the subtraction does not
// borrow.
QUILLFERN_TARGET_SSSE3 inline unsigned moved16(const std::uint8_t* in, const std::uint8_t* add,
                                               const std::uint8_t* take, __m128i& y) noexcept {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(add)),
                t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(take)), up = _mm_add_epi8(c, a);
  y = _mm_sub_epi8(up, t);
  return static_cast<unsigned>(_mm_movemask_epi8(
      _mm_and_si128(_mm_cmpeq_epi8(_mm_adds_epu8(c, a), up), _mm_cmpeq_epi8(_mm_max_epu8(up, t), up))));
}

QUILLFERN_TARGET_AVX2 inline std::uint32_t moved32(const std::uint8_t* in, const std::uint8_t* add,
                                                   const std::uint8_t* take, __m256i& y) noexcept {
  const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)),
                a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add)),
                t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(take)), up = _mm256_add_epi8(c, a);
  y = _mm256_sub_epi8(up, t);
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(
      _mm256_cmpeq_epi8(_mm256_adds_epu8(c, a), up), _mm256_cmpeq_epi8(_mm256_max_epu8(up, t), up))));
}

using Kernel = std::size_t (*)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t,
                               std::uint8_t*, std::size_t&) noexcept;

// The end of a kernel: the codes from `i` on through the kernel below it,
// with the first drop among them noted too when there was none before.
std::size_t finish(Kernel below, const std::uint8_t* in, const std::uint8_t* add, const std::uint8_t* take,
                   std::size_t count, std::uint8_t* out, std::size_t i, std::size_t written, std::size_t first,
                   std::size_t& first_drop) noexcept {
  std::size_t below_first = 0;
  written += below(in + i, add + i, take + i, count - i, out + written, below_first);
  first_drop = (first == count && below_first != count - i) ? i + below_first : first;
  return written;
}

}  // namespace

QUILLFERN_TARGET_SSSE3 std::size_t text_box_ssse3(const std::uint8_t* in, const std::uint8_t* add,
                                                  const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                  std::size_t& first_drop) noexcept {
  std::size_t written = 0, first = count, i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i y;
    const unsigned mask = moved16(in + i, add + i, take + i, y);
    if (first == count && mask != 0xFFFFu) first = i + static_cast<std::size_t>(std::countr_one(mask));
    written += pack16(y, mask, out + written);
  }
  return finish(text_box_portable, in, add, take, count, out, i, written, first, first_drop);
}

QUILLFERN_TARGET_AVX2 std::size_t text_box_avx2(const std::uint8_t* in, const std::uint8_t* add,
                                                const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                std::size_t& first_drop) noexcept {
  std::size_t written = 0, first = count, i = 0;
  __m256i y;  // the moved codes of each step, packed half by half
  for (; i + 32 <= count; i += 32) {
    const std::uint32_t mask = moved32(in + i, add + i, take + i, y);
    if (first == count && mask != 0xFFFFFFFFu) first = i + static_cast<std::size_t>(std::countr_one(mask));
    written += pack16(_mm256_castsi256_si128(y), mask & 0xFFFFu, out + written);
    written += pack16(_mm256_extracti128_si256(y, 1), mask >> 16, out + written);
  }
  return finish(text_box_ssse3, in, add, take, count, out, i, written, first, first_drop);
}

}  // namespace quillfern::ciphers::detail

#endif
