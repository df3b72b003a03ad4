// Why a text operation raised error 5 or 6, worked out by the tool from the
// operation's plain inputs once the library has raised: the position and
// the code that failed and the rule it broke, or the length and the limit.
// The library's own errors stay as they are; the tool only adds the detail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillfern/control/operation.hpp"
#include "quillfern/core/error.hpp"

namespace quillfern::cli {

struct FailedCall {
  const Operation& operation;
  std::string_view text;       // the text the operation was given
  std::uint8_t number = 0;     // the key of the password cipher
  std::size_t seed_size = 0;   // the seed's length, for SeedEncryption
};

// The detail for `error`, empty when there is nothing to add.
[[nodiscard]] std::string explain(const FailedCall& call, const Error& error);

// `error` with the explanation as its detail (or as it was).
[[nodiscard]] Error explained(const FailedCall& call, const Error& error);

}  // namespace quillfern::cli
