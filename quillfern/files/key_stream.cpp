// The key stream of the file cipher: the generator seeded from the
// password, run byte by byte or as 32 lanes that each leap 32 bytes at a
// time (in plain C++ or with AVX2).
#include "quillfern/files/file_cipher.hpp"

#include <array>
#include <numeric>

#include "quillfern/core/error.hpp"
#include "quillfern/files/file_cipher_kernels.hpp"

#if QUILLFERN_X86_KERNELS
#include <immintrin.h>
#endif

namespace quillfern::files {
namespace {

constexpr AffineMap one_draw{BasicRandom::multiplier, BasicRandom::increment};
constexpr std::size_t lane_count = KeyStream::lanes;
// Beyond this many step phases (a password of thousands of characters)
// the lane tables would outgrow the caches; such passwords go byte by byte.
constexpr std::size_t max_phases = 4096;

// Lane m (kernel order, m = 8k + j: vector k, element j) keys the byte at
// this offset of each 32-byte chunk. The order is the one the AVX2 kernel's
// two narrowing packs produce, so its output needs no shuffle.
constexpr std::array<std::uint8_t, lane_count> lane_offsets = [] {
  std::array<std::uint8_t, lane_count> offsets{};
  for (std::size_t m = 0; m < lane_count; ++m) {
    const std::size_t k = m / 8, j = m % 8;
    offsets[m] = static_cast<std::uint8_t>(16 * (j / 4) + 4 * k + j % 4);
  }
  return offsets;
}();

// The lanes in plain C++: the keys of `chunks` chunks of 32 bytes; lane m
// holds the state right after the draw that keys its byte. The lanes move
// on between chunks but not after the last one.
void run_lanes_portable(const unsigned char* in, unsigned char* out, std::size_t chunks, std::uint32_t* state,
                        const std::uint32_t* multipliers, const std::uint32_t* increments,
                        std::size_t phases, std::size_t phase) noexcept {
  for (std::size_t chunk = 0;; ++chunk, in += lane_count, out += lane_count) {
    for (std::size_t m = 0; m < lane_count; ++m) {
      out[lane_offsets[m]] = static_cast<unsigned char>(in[lane_offsets[m]] ^ (state[m] >> 16));
    }
    if (chunk + 1 == chunks) break;
    const std::uint32_t* a = multipliers + phase * lane_count;
    const std::uint32_t* c = increments + phase * lane_count;
    for (std::size_t m = 0; m < lane_count; ++m) state[m] = a[m] * state[m] + c[m];
    if (++phase == phases) phase = 0;
  }
}

#if QUILLFERN_X86_KERNELS
#define QF_AVX2 __attribute__((target("avx2"), always_inline)) inline

QF_AVX2 __m256i load_lanes(const std::uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QF_AVX2 void store_lanes(std::uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Bits 16..23 of a vector's states, as 32-bit values.
QF_AVX2 __m256i key_bytes(__m256i states) {
  return _mm256_and_si256(_mm256_srli_epi32(states, 16), _mm256_set1_epi32(0xFF));
}

// One leap of eight lanes: the state times the multiplier plus the increment.
QF_AVX2 __m256i leap(__m256i states, const std::uint32_t* multipliers, const std::uint32_t* increments) {
  return _mm256_add_epi32(_mm256_mullo_epi32(states, load_lanes(multipliers)), load_lanes(increments));
}

// The same lanes as four AVX2 vectors of eight. States are kept modulo
// 2^32: the low 24 bits, the generator's state, depend on nothing above.
QUILLFERN_TARGET_AVX2 void run_lanes_avx2(const unsigned char* in, unsigned char* out, std::size_t chunks,
                                          std::uint32_t* state, const std::uint32_t* multipliers,
                                          const std::uint32_t* increments, std::size_t phases,
                                          std::size_t phase) noexcept {
  __m256i s0 = load_lanes(state), s1 = load_lanes(state + 8);
  __m256i s2 = load_lanes(state + 16), s3 = load_lanes(state + 24);
  for (std::size_t chunk = 0;; ++chunk, in += lane_count, out += lane_count) {
    // The key bytes narrowed 32 -> 16 -> 8 bits; the packs interleave the
    // vectors in the order of lane_offsets.
    const __m256i keys = _mm256_packus_epi16(_mm256_packus_epi32(key_bytes(s0), key_bytes(s1)),
                                             _mm256_packus_epi32(key_bytes(s2), key_bytes(s3)));
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_xor_si256(bytes, keys));
    if (chunk + 1 == chunks) break;
    const std::uint32_t* a = multipliers + phase * lane_count;
    const std::uint32_t* c = increments + phase * lane_count;
    s0 = leap(s0, a, c);
    s1 = leap(s1, a + 8, c + 8);
    s2 = leap(s2, a + 16, c + 16);
    s3 = leap(s3, a + 24, c + 24);
    if (++phase == phases) phase = 0;
  }
  store_lanes(state, s0);
  store_lanes(state + 8, s1);
  store_lanes(state + 16, s2);
  store_lanes(state + 24, s3);
}
#undef QF_AVX2
#endif

}  // namespace

std::uint32_t KeyStream::seeded_state(std::string_view password, std::uint32_t state) noexcept {
  BasicRandom random(state);
  int last_rounded = 0;
  for (char ch : password) {
    const auto code = static_cast<unsigned char>(ch);
    if (code != 0) {
      random.skip(code - 1u);
      last_rounded = random.draw_rounded();
    }
    random.reseed(last_rounded);
  }
  return random.state();
}

// The tables wipe themselves; the state is the last of the secret.
KeyStream::~KeyStream() { secure_wipe(&state_, sizeof state_); }

cpu::Kernel lane_kernel() noexcept {
  static const cpu::Kernel chosen = cpu::pick(lane_kernels, cpu::kernel_level());
  return chosen;
}

void KeyStreamKernels::use(KeyStream& keys, cpu::Kernel kernel) noexcept {
  keys.fast_lanes_ = cpu::pick(lane_kernels, kernel) == cpu::Kernel::avx2;
}

cpu::Kernel KeyStreamKernels::used(const KeyStream& keys) noexcept {
  return keys.fast_lanes_ ? cpu::Kernel::avx2 : cpu::Kernel::portable;
}

KeyStream::KeyStream(std::string_view password, const BasicRandom& random)
    : state_(seeded_state(password, random.state())) {
  if (password.empty()) throw Error(ErrorNumber::invalid_call);
  fast_lanes_ = lane_kernel() == cpu::Kernel::avx2;

  // After each byte's draw, 2p draws are skipped.
  std::array<AffineMap, 256> skip_of{};
  for (std::size_t p = 0; p < 256; ++p) skip_of[p] = BasicRandom::steps(2 * p);
  const std::size_t length = password.size();
  skip_maps_.reserve(length);
  for (char ch : password) skip_maps_.push_back(skip_of[static_cast<unsigned char>(ch)]);

  alignment_ = std::gcd(length, lane_count);
  const std::size_t phases = length / alignment_;
  if (phases > max_phases) return;

  // From the state right after the draw of a byte at position q to the
  // state right after the draw of the byte 32 further on.
  SecretVector<AffineMap> leap(length);
  for (std::size_t q = 0; q < length; ++q) {
    AffineMap map;
    for (std::size_t i = 0; i < lane_count; ++i) {
      map = map.then(skip_maps_[(q + i) % length]).then(one_draw);
    }
    leap[q] = map;
  }
  lane_multipliers_.resize(phases * lane_count);
  lane_increments_.resize(phases * lane_count);
  phase_of_.resize(phases);
  for (std::size_t phase = 0; phase < phases; ++phase) {
    const std::size_t start = (lane_count * phase) % length;
    phase_of_[start / alignment_] = static_cast<std::uint32_t>(phase);
    for (std::size_t m = 0; m < lane_count; ++m) {
      const AffineMap& map = leap[(start + lane_offsets[m]) % length];
      lane_multipliers_[phase * lane_count + m] = map.multiplier;
      lane_increments_[phase * lane_count + m] = map.increment;
    }
  }
  phases_ = phases;
}

void KeyStream::apply_bytes(const unsigned char* in, unsigned char* out, std::size_t size) noexcept {
  const std::size_t length = skip_maps_.size();
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t drawn = one_draw(state_);
    out[i] = static_cast<unsigned char>(in[i] ^ (drawn >> 16));
    state_ = skip_maps_[position_](drawn);
    if (++position_ == length) position_ = 0;
  }
}

void KeyStream::apply(const unsigned char* in, unsigned char* out, std::size_t size) noexcept {
  if (phases_ == 0 || size < 4 * lane_count) {
    apply_bytes(in, out, size);
    return;
  }
  const std::size_t length = skip_maps_.size();
  // Bytes one at a time until the password position is one that a lane
  // step can start from.
  const std::size_t head = (alignment_ - position_ % alignment_) % alignment_;
  apply_bytes(in, out, head);
  in += head;
  out += head;
  size -= head;
  const std::size_t chunks = size / lane_count;

  // Lane states for the first chunk, the bytes one after another.
  std::array<std::uint32_t, lane_count> by_offset{};
  std::uint32_t state = state_;
  for (std::size_t o = 0; o < lane_count; ++o) {
    by_offset[o] = one_draw(state);
    state = skip_maps_[(position_ + o) % length](by_offset[o]);
  }
  std::array<std::uint32_t, lane_count> lanes_state{};
  for (std::size_t m = 0; m < lane_count; ++m) lanes_state[m] = by_offset[lane_offsets[m]];

  const std::size_t phase = phase_of_[position_ / alignment_];
#if QUILLFERN_X86_KERNELS
  if (fast_lanes_) {
    run_lanes_avx2(in, out, chunks, lanes_state.data(), lane_multipliers_.data(),
                   lane_increments_.data(), phases_, phase);
  } else
#endif
  {
    run_lanes_portable(in, out, chunks, lanes_state.data(), lane_multipliers_.data(),
                       lane_increments_.data(), phases_, phase);
  }
  // The lane of the last byte carries the stream on.
  std::size_t last_lane = 0;
  while (lane_offsets[last_lane] != lane_count - 1) ++last_lane;
  const std::size_t done = chunks * lane_count;
  const std::size_t last_position = (position_ + done - 1) % length;
  state_ = skip_maps_[last_position](lanes_state[last_lane] & BasicRandom::state_mask);
  position_ = (last_position + 1) % length;
  apply_bytes(in + done, out + done, size - done);
}

}  // namespace quillfern::files
