// The portable hexadecimal kernel: a table of digit pairs one way, the
// number reader's rule pair by pair the other.
#include <array>
#include <cstring>

#include "quillfern/transforms/hex_kernels.hpp"
#include "quillfern/transforms/hex_tables.hpp"

namespace quillfern::transforms::detail {
namespace {

static_assert(pair_rule_holds(), "the vector tables must read every pair as the number reader does");

constexpr std::array<char, 512> digit_pairs = [] {
  std::array<char, 512> pairs{};
  for (std::size_t code = 0; code < 256; ++code) {
    pairs[2 * code] = static_cast<char>(digits[code >> 4]);
    pairs[2 * code + 1] = static_cast<char>(digits[code & 15]);
  }
  return pairs;
}();

}  // namespace

void convert_portable(const unsigned char* in, std::size_t size, char* out) noexcept {
  for (std::size_t k = 0; k < size; ++k) std::memcpy(out + 2 * k, &digit_pairs[2 * in[k]], 2);
}

void deconvert_portable(const unsigned char* in, std::size_t size, char* out) noexcept {
  const std::size_t pairs = size / 2;
  for (std::size_t k = 0; k < pairs; ++k) out[k] = read_pair(in[2 * k], in[2 * k + 1]);
}

}  // namespace quillfern::transforms::detail
