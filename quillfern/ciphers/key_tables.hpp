// The eight constant key tables that FastBlowFish draws its key stream
// from: fixed key material, the same for every call and every build.
// Tables 1 to 4 (the wide group) are read at the full lookup index, tables
// 5 to 8 (the narrow group) at the index reduced modulo 256. Their exact
// lengths decide which lookups find nothing, so they are part of the
// cipher: a table one code longer or shorter gives a different cipher.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillfern::ciphers {

inline constexpr int key_table_count = 8;

// The length of key table 1 to 8, in codes.
inline constexpr std::array<std::size_t, key_table_count> key_table_lengths = {
    508, 512, 508, 502, 253, 252, 254, 253};

// The codes of key table `number` (1 to 8), each 1..255, in order; an empty
// span for any other number. The codes are our own, generated once by
// scripts/make_key_tables.py and committed.
[[nodiscard]] std::span<const std::uint8_t> key_table(int number) noexcept;

// The code at 1-based `position` of key table `number`, or nothing when the
// position is below 1 or past the table's end (or the number is not 1..8).
[[nodiscard]] inline std::optional<std::uint8_t> key_table_lookup(int number,
                                                                  std::int64_t position) noexcept {
  const std::span<const std::uint8_t> table = key_table(number);
  if (position < 1 || static_cast<std::uint64_t>(position) > table.size()) return std::nullopt;
  return table[static_cast<std::size_t>(position - 1)];
}

}  // namespace quillfern::ciphers
