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

}  // namespace

QUILLFERN_TARGET_SSSE3 std::size_t text_box_ssse3(const std::uint8_t* in, const std::uint8_t* add,
                                                  const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                  std::size_t& first_drop) noexcept {
  std::size_t written = 0;
  std::size_t first = count;
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + i));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(take + i));
    const __m128i up = _mm_add_epi8(c, a);
    // Kept: the addition did not carry and the subtraction does not borrow.
    const __m128i kept = _mm_and_si128(_mm_cmpeq_epi8(_mm_adds_epu8(c, a), up),
                                       _mm_cmpeq_epi8(_mm_max_epu8(up, t), up));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(kept));
    if (first == count && mask != 0xFFFFu) first = i + static_cast<std::size_t>(std::countr_one(mask));
    written += pack16(_mm_sub_epi8(up, t), mask, out + written);
  }
  std::size_t tail_first = 0;
  written += text_box_portable(in + i, add + i, take + i, count - i, out + written, tail_first);
  if (first == count && tail_first != count - i) first = i + tail_first;
  first_drop = first;
  return written;
}

QUILLFERN_TARGET_AVX2 std::size_t text_box_avx2(const std::uint8_t* in, const std::uint8_t* add,
                                                const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                std::size_t& first_drop) noexcept {
  std::size_t written = 0;
  std::size_t first = count;
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add + i));
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(take + i));
    const __m256i up = _mm256_add_epi8(c, a);
    const __m256i kept = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_adds_epu8(c, a), up),
                                          _mm256_cmpeq_epi8(_mm256_max_epu8(up, t), up));
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(kept));
    if (first == count && mask != 0xFFFFFFFFu) first = i + static_cast<std::size_t>(std::countr_one(mask));
    const __m256i y = _mm256_sub_epi8(up, t);
    written += pack16(_mm256_castsi256_si128(y), mask & 0xFFFFu, out + written);
    written += pack16(_mm256_extracti128_si256(y, 1), mask >> 16, out + written);
  }
  std::size_t tail_first = 0;
  written += text_box_ssse3(in + i, add + i, take + i, count - i, out + written, tail_first);
  if (first == count && tail_first != count - i) first = i + tail_first;
  first_drop = first;
  return written;
}

}  // namespace quillfern::ciphers::detail

#endif
