#include "quillfern/core/basic_random.hpp"

#include "quillfern/core/bits.hpp"

namespace quillfern::files {

namespace {
constexpr AffineMap one_draw{BasicRandom::multiplier, BasicRandom::increment};

// Randomize's fold of a 32-bit word into the state: (h & 0xFFFF) xor
// (h >> 16) becomes the middle 16 bits, the low 8 bits stay.
constexpr std::uint32_t fold(std::uint32_t state, std::uint32_t word) noexcept {
  return ((((word & 0xFFFFu) ^ (word >> 16)) << 8) | (state & 0xFFu)) & BasicRandom::state_mask;
}
}  // namespace

float BasicRandom::draw() noexcept {
  state_ = one_draw(state_);
  return static_cast<float>(state_) / 16777216.0f;
}

std::uint8_t BasicRandom::draw_byte() noexcept {
  state_ = one_draw(state_);
  return static_cast<std::uint8_t>(state_ >> 16);
}

int BasicRandom::draw_rounded() noexcept {
  state_ = one_draw(state_);
  return state_ > 0x800000u ? 1 : 0;
}

void BasicRandom::reseed(double value) noexcept {
  const auto high = static_cast<std::uint32_t>(bits::bit_cast<std::uint64_t>(value) >> 32);
  const std::uint32_t middle = ((high & 0xFFFFu) << 8) ^ ((high >> 8) & 0xFFFF00u);
  state_ = (middle | (state_ & 0xFFu)) & state_mask;
}

float BasicRandom::rnd(float argument) noexcept {
  if (argument == 0.0f) return last();
  if (argument < 0.0f) {
    const auto pattern = bits::bit_cast<std::uint32_t>(argument);
    state_ = (pattern + (pattern >> 24)) & state_mask;
  }
  return draw();
}

float BasicRandom::last() const noexcept { return static_cast<float>(state_) / 16777216.0f; }

void BasicRandom::randomize(double value) noexcept {
  state_ = fold(state_, static_cast<std::uint32_t>(bits::bit_cast<std::uint64_t>(value) >> 32));
}

void BasicRandom::randomize_timer(float timer) noexcept {
  state_ = fold(state_, bits::bit_cast<std::uint32_t>(timer));
}

void BasicRandom::skip(std::uint64_t count) noexcept { state_ = steps(count)(state_); }

AffineMap BasicRandom::steps(std::uint64_t count) noexcept {
  // Square and multiply over the map of one draw.
  AffineMap result;
  AffineMap power = one_draw;
  while (count != 0) {
    if (count & 1u) result = result.then(power);
    power = power.then(power);
    count >>= 1;
  }
  return result;
}

}  // namespace quillfern::files
