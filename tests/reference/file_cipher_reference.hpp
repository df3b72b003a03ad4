// The file cipher written draw by draw from its description, on a
// generator written from its definition with single-precision draws,
// round-half-to-even rounding and a reseed that reads the bits of a
// double: the reference the fast key stream is compared with in tests and
// benchmarks.
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "quillfern/core/rules.hpp"

namespace quillfern::reference {

struct ClassicRandom {
  std::uint32_t state = 0x50000;

  float draw() {
    state = static_cast<std::uint32_t>((std::uint64_t{state} * 0xFD43FDu + 0xC39EC3u) % 16777216u);
    return static_cast<float>(state) / 16777216.0f;
  }

  void reseed(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const auto h = static_cast<std::uint32_t>(bits >> 32);
    state = (((h & 0xFFFFu) << 8) ^ ((h >> 8) & 0xFFFF00u)) | (state & 0xFFu);
  }
};

// Rounds like the runtime's integer conversion: to nearest, a half to even.
inline std::int16_t round_half_even(float value) {
  return static_cast<std::int16_t>(std::nearbyint(value));  // default mode: FE_TONEAREST
}

// The cipher over `data` with `password`, from and advancing `random`.
inline std::string file_cipher(std::string_view data, std::string_view password, ClassicRandom& random) {
  using namespace quillfern::rules;
  std::int16_t last_rounded = 0;
  for (std::size_t i = 0; i < password.size(); ++i) {
    const std::int16_t c = asc(password.substr(i, 1));
    for (std::int16_t k = 1; k <= c; ++k) last_rounded = round_half_even(random.draw());
    random.reseed(last_rounded);
  }
  std::string out;
  std::size_t cursor = 0;
  for (std::size_t n = 0; n < data.size(); ++n) {
    const auto key = static_cast<int>(std::floor(random.draw() * 256.0f));
    out += static_cast<char>(static_cast<unsigned char>(data[n]) ^ key);
    cursor += 1;
    if (cursor > password.size()) cursor = 1;
    // The character at the cursor; past the end (an empty password) it is
    // the empty text, which fails the Asc rule.
    const std::string_view at = cursor <= password.size() ? password.substr(cursor - 1, 1) : std::string_view{};
    const std::int16_t skip = mul16(2, asc(at));
    for (std::int16_t k = 1; k <= skip; ++k) (void)random.draw();
  }
  return out;
}

}  // namespace quillfern::reference
