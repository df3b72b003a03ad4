// The eight FastBlowFish key tables. Their codes are generated data, kept in
// key_tables.inc (see scripts/make_key_tables.py); this file only cuts them
// into the eight tables.
#include "quillfern/ciphers/key_tables.hpp"

namespace quillfern::ciphers {
namespace {

// Where each table starts in all_codes, and where the last one ends.
constexpr std::array<std::size_t, key_table_count + 1> table_starts = [] {
  std::array<std::size_t, key_table_count + 1> starts{};
  for (std::size_t t = 0; t < key_table_lengths.size(); ++t) {
    starts[t + 1] = starts[t] + key_table_lengths[t];
  }
  return starts;
}();
constexpr std::size_t all_codes_length = table_starts.back();

constexpr std::array<std::uint8_t, all_codes_length> all_codes = {
#include "quillfern/ciphers/key_tables.inc"
};
// Every code is 1..255, so a data file one code short would leave a 0 here;
// one code too many does not compile.
static_assert(all_codes.back() != 0, "key_tables.inc holds fewer codes than the tables' lengths");

}  // namespace

std::span<const std::uint8_t> key_table(int number) noexcept {
  if (number < 1 || number > key_table_count) return {};
  const auto index = static_cast<std::size_t>(number - 1);
  return std::span<const std::uint8_t>(all_codes).subspan(table_starts[index],
                                                          key_table_lengths[index]);
}

}  // namespace quillfern::ciphers
