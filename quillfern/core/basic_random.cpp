#include "quillfern/core/basic_random.hpp"

#include <bit>

namespace quillfern::files {

namespace {
constexpr AffineMap one_draw{BasicRandom::multiplier, BasicRandom::increment};
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
  const auto high = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(value) >> 32);
  const std::uint32_t middle = ((high & 0xFFFFu) << 8) ^ ((high >> 8) & 0xFFFF00u);
  state_ = (middle | (state_ & 0xFFu)) & state_mask;
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
