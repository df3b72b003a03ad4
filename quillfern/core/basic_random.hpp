// The runtime's random-number generator: the 24-bit linear congruential
// generator of the classic BASIC runtimes, with its draw and reseed
// operations, and the affine maps that skip any number of draws at once.
// Files encoded by such a runtime in a fresh process decode with this one,
// and the other way round.
#pragma once

#include <cstdint>

namespace quillfern::files {

// s -> (multiplier * s + increment) mod 2^24. Every run of draws is such a
// map, so skipping k draws costs one multiply-add once the map is known.
// The low 24 bits of a product depend only on the low 24 bits of its
// factors, so a map may be applied in 32-bit arithmetic and masked last.
struct AffineMap {
  std::uint32_t multiplier = 1;
  std::uint32_t increment = 0;

  [[nodiscard]] constexpr std::uint32_t operator()(std::uint32_t state) const noexcept {
    return (multiplier * state + increment) & 0xFFFFFFu;
  }
  // This map followed by `next`.
  [[nodiscard]] constexpr AffineMap then(AffineMap next) const noexcept {
    return {(next.multiplier * multiplier) & 0xFFFFFFu,
            (next.multiplier * increment + next.increment) & 0xFFFFFFu};
  }
};

class BasicRandom {
 public:
  static constexpr std::uint32_t start_state = 0x50000;  // a new runtime's state
  static constexpr std::uint32_t multiplier = 0xFD43FD;
  static constexpr std::uint32_t increment = 0xC39EC3;
  static constexpr std::uint32_t state_mask = 0xFFFFFF;

  // Starts at `state` (masked to 24 bits); a new runtime starts at start_state.
  constexpr explicit BasicRandom(std::uint32_t state = start_state) noexcept
      : state_(state & state_mask) {}

  [[nodiscard]] constexpr std::uint32_t state() const noexcept { return state_; }
  constexpr void set_state(std::uint32_t state) noexcept { state_ = state & state_mask; }

  // The next value of the sequence, state / 2^24, exact in single precision
  // and in [0, 1).
  float draw() noexcept;

  // The next value as the key byte floor(draw * 256): the top 8 bits of the
  // new state.
  std::uint8_t draw_byte() noexcept;

  // The next value rounded to an integer, an exact half going to the even
  // neighbour: 0 for draws up to and including 0.5, 1 above.
  int draw_rounded() noexcept;

  // Reseeds with `value`: the upper 32 bits h of its IEEE-754 double set
  // the state's middle 16 bits to (h & 0xFFFF) xor (h >> 16); the low 8
  // bits of the state are kept. Reseeding with 0 keeps only the low 8 bits,
  // with 1 sets the middle bits to 0x3FF0.
  void reseed(double value) noexcept;

  // The runtime's Rnd(argument). A positive argument (or a NaN) draws the
  // next value, as draw() does; zero gives the last value again without
  // advancing; a negative argument first sets the state from its own bits,
  // state = (b + (b >> 24)) mod 2^24 with b the 32 bits of the single, and
  // then draws once. Rnd without an argument is rnd(1).
  float rnd(float argument) noexcept;

  // Rnd(0): the value of the current state, state / 2^24.
  [[nodiscard]] float last() const noexcept;

  // The runtime's Randomize with an argument: the argument as a double,
  // folded into the state's middle 16 bits as reseed() does. The runtime
  // shifts the upper word h as a signed number, so for a negative argument
  // the fold also sets bits 24 to 31 of its 32-bit state word; no draw ever
  // sees them (every draw is taken mod 2^24), and this generator keeps 24
  // bits only, so last() stays below 1 here.
  void randomize(double value) noexcept;

  // The runtime's Randomize without an argument. It reads the timer
  // (seconds since midnight, a single) and folds the 32 bits of that single
  // itself, not of a double, the same way. (Randomize Timer, with the
  // timer as an argument, goes through the double: randomize(timer).)
  void randomize_timer(float timer) noexcept;

  // Skips `count` draws.
  void skip(std::uint64_t count) noexcept;

  // The map of `count` draws.
  [[nodiscard]] static AffineMap steps(std::uint64_t count) noexcept;

 private:
  std::uint32_t state_;
};

}  // namespace quillfern::files
