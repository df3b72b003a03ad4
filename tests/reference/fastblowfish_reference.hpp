// FastBlowFish written step by step from its description: the working
// text, blocks of 128 filled with spaces, the password cursor, the lookup
// index (unset until a password character sets it), the four slots that
// keep their code when a lookup finds nothing, and the two mixes. The
// reference the fast version is compared with in tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillfern/ciphers/key_tables.hpp"
#include "quillfern/core/rules.hpp"

namespace quillfern::reference {

// The substring rule: from 1-based `position`, at most `count` characters,
// cut at the end; past the end it is empty.
inline std::string_view mid(std::string_view text, std::size_t position, std::size_t count) {
  if (position > text.size()) return {};
  return text.substr(position - 1, count);
}

struct FastBlowFishOutcome {
  std::string output;
  std::vector<std::size_t> zero_positions;  // 1-based, fill positions included
};

inline FastBlowFishOutcome fast_blow_fish(std::string_view InPutString, std::string_view Password) {
  using namespace quillfern::rules;
  FastBlowFishOutcome outcome;
  std::string working(InPutString);
  const std::size_t length = InPutString.size();
  const std::size_t n = Password.size();

  std::int64_t key = static_cast<std::int64_t>(n);
  for (std::size_t i = 1; i <= n; ++i) {
    key = (key ^ asc(mid(Password, i, 1))) ^ static_cast<std::int64_t>(length % 256);
  }
  key = (2 * key) % 513;

  std::size_t cursor = 0;
  std::optional<std::int64_t> index;  // unset
  std::int64_t a = 0, b = 0, c = 0, d = 0;
  for (std::size_t start = 1; start <= length; start += 128) {
    std::string buffer(mid(InPutString, start, 128));
    buffer.resize(128, ' ');
    std::string block_output;
    for (std::int64_t j = 1; j <= 128; ++j) {
      const std::int64_t code = asc(mid(buffer, static_cast<std::size_t>(j), 1));
      cursor = cursor + 1;
      if (cursor + 1 > n) cursor = 1;
      try {
        index = 2 * j + asc(mid(Password, cursor, 1));
      } catch (const Error&) {
        // An empty password has no character at the cursor: the step is skipped.
      }
      std::int64_t at = index.value_or(0);
      if (auto v = ciphers::key_table_lookup(1, at)) a = *v;
      if (auto v = ciphers::key_table_lookup(2, at + 1)) b = *v;
      if (auto v = ciphers::key_table_lookup(3, at + 2)) c = *v;
      if (auto v = ciphers::key_table_lookup(4, at + 3)) d = *v;
      const std::int64_t first_mix = (a + b) ^ ((d + c) % 256);
      at = at % 256;
      index = at;
      if (auto v = ciphers::key_table_lookup(5, at + 7)) a = *v;
      if (auto v = ciphers::key_table_lookup(6, at + 2)) b = *v;
      if (auto v = ciphers::key_table_lookup(7, at + 4)) c = *v;
      if (auto v = ciphers::key_table_lookup(8, at + 9)) d = *v;
      const std::int64_t second_mix = (a + b) ^ ((d + c) % 256);
      const std::int64_t r = (((code ^ key) ^ first_mix) ^ second_mix) % 256;
      if (r == 0) outcome.zero_positions.push_back(start + static_cast<std::size_t>(j) - 1);
      block_output += chr(static_cast<std::int32_t>(r));
    }
    const std::size_t keep = std::min<std::size_t>(128, length - start + 1);
    working.replace(start - 1, keep, block_output.substr(0, keep));
  }
  outcome.output = working;
  return outcome;
}

}  // namespace quillfern::reference
