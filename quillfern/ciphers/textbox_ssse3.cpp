// The SSSE3 kernel of the text-box stream: sixteen codes per step, moved
// with carries and borrows found by saturating arithmetic, and the kept
// ones packed eight at a time by one byte shuffle, with the shuffle and
// the count looked up by the eight bits of what was kept.
#include "quillfern/ciphers/textbox_kernels.hpp"

#if QUILLFERN_X86_KERNELS
#include <immintrin.h>

#include <bit>

namespace quillfern::ciphers::detail {
namespace {

// For every set of kept codes among eight: their indices in order (the
// rest 0x80, which a shuffle turns into zero) and how many there are.
struct Packing {
  std::array<std::uint64_t, 256> shuffle{};
  std::array<std::uint8_t, 256> count{};
};

constexpr Packing make_packing() {
  Packing packing;
  for (unsigned mask = 0; mask < 256; ++mask) {
    std::uint64_t indices = 0x8080808080808080u;
    unsigned n = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((mask >> bit & 1u) == 0) continue;
      indices &= ~(std::uint64_t{0xFF} << (8 * n));
      indices |= std::uint64_t{bit} << (8 * n);
      ++n;
    }
    packing.shuffle[mask] = indices;
    packing.count[mask] = static_cast<std::uint8_t>(n);
  }
  return packing;
}

constexpr Packing packing = make_packing();

}  // namespace

QUILLFERN_TARGET_SSSE3 std::size_t text_box_ssse3(const std::uint8_t* in, const std::uint8_t* add,
                                                  const std::uint8_t* take, std::size_t count, std::uint8_t* out,
                                                  std::size_t& first_drop) noexcept {
  std::size_t written = 0;
  std::size_t first = count;
  std::size_t i = 0;
  // The shuffle of the upper eight codes reads from bytes 8..15.
  const __m128i upper = _mm_set_epi64x(0x0808080808080808, 0);
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
    const unsigned low = mask & 0xFFu, high = mask >> 8;
    const __m128i order = _mm_add_epi8(
        _mm_set_epi64x(static_cast<long long>(packing.shuffle[high]), static_cast<long long>(packing.shuffle[low])),
        upper);
    const __m128i packed = _mm_shuffle_epi8(_mm_sub_epi8(up, t), order);
    // Both stores lie within the sixteen codes already read.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + written), packed);
    written += packing.count[low];
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + written), _mm_unpackhi_epi64(packed, packed));
    written += packing.count[high];
  }
  std::size_t tail_first = 0;
  written += text_box_portable(in + i, add + i, take + i, count - i, out + written, tail_first);
  if (first == count && tail_first != count - i) first = i + tail_first;
  first_drop = first;
  return written;
}

}  // namespace quillfern::ciphers::detail

#endif
