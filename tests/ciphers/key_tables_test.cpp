#include "quillfern/ciphers/key_tables.hpp"

#include <gtest/gtest.h>

#include <set>

namespace quillfern {
namespace {

using ciphers::key_table;
using ciphers::key_table_lookup;

TEST(KeyTables, HaveTheirExactLengthsAndOnlyCodes1To255) {
  const std::size_t lengths[] = {508, 512, 508, 502, 253, 252, 254, 253};
  std::set<int> seen;
  std::size_t total = 0;
  for (int n = 1; n <= 8; ++n) {
    const auto table = key_table(n);
    EXPECT_EQ(table.size(), lengths[n - 1]) << n;
    EXPECT_EQ(ciphers::key_table_lengths[static_cast<std::size_t>(n - 1)], lengths[n - 1]);
    bool control = false, high = false;
    for (std::uint8_t code : table) {
      EXPECT_NE(code, 0) << "table " << n;
      seen.insert(code);
      control = control || code < 32;
      high = high || code > 126;
    }
    // Spread over the whole range, not only printable codes.
    EXPECT_TRUE(control && high) << n;
    total += table.size();
  }
  EXPECT_EQ(total, 3042u);
  EXPECT_EQ(seen.size(), 255u);  // every code 1..255 occurs somewhere
  EXPECT_TRUE(key_table(0).empty());
  EXPECT_TRUE(key_table(9).empty());
}

TEST(KeyTables, LookupFindsNothingBelowOneAndPastTheEnd) {
  for (int n = 1; n <= 8; ++n) {
    const auto table = key_table(n);
    const auto last = static_cast<std::int64_t>(table.size());
    EXPECT_EQ(key_table_lookup(n, 1), table.front()) << n;
    EXPECT_EQ(key_table_lookup(n, last), table.back()) << n;
    EXPECT_FALSE(key_table_lookup(n, last + 1)) << n;
    EXPECT_FALSE(key_table_lookup(n, 0)) << n;
    EXPECT_FALSE(key_table_lookup(n, -1)) << n;
  }
  EXPECT_FALSE(key_table_lookup(9, 1));
}

TEST(KeyTables, OnlyTable2IsNeverRunPast) {
  // Lookup index 2..511 (0 with an empty password) plus each wide offset;
  // reduced index 0..255 plus each narrow offset.
  const int offsets[] = {0, 1, 2, 3, 7, 2, 4, 9};
  for (int n = 1; n <= 8; ++n) {
    const int highest = (n <= 4 ? 511 : 255) + offsets[n - 1];
    EXPECT_EQ(key_table_lookup(n, highest).has_value(), n == 2) << n;
  }
}

}  // namespace
}  // namespace quillfern
