// The nearest of some names to a name that was mistyped, for "did you mean"
// hints on unknown commands and options.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillfern::cli {

// The candidate closest to `typed` by edit distance (insertions, deletions,
// substitutions and swapped neighbours, ignoring case), when it is close
// enough to be a likely typo: at most a third of its length, and at least 1.
[[nodiscard]] std::optional<std::string> nearest(std::string_view typed, std::span<const std::string> candidates);

}  // namespace quillfern::cli
