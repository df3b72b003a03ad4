// The host's tagged value: what dispatch arguments, results and persisted
// properties are carried in. Its empty state is distinct from the empty text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace quillfern {

struct Empty {
  friend bool operator==(Empty, Empty) noexcept = default;
};

// The host's Boolean (true is -1 when seen as a number).
struct Bool {
  bool value = false;
  friend bool operator==(Bool, Bool) noexcept = default;
};

using Variant = std::variant<Empty, std::int16_t, std::int32_t, std::uint8_t, Bool, double, std::string>;

// The host's name of the type a variant holds: Empty, Integer, Long, Byte,
// Boolean, Double, String.
[[nodiscard]] std::string_view type_name(const Variant& value) noexcept;

// Overwrites the text `value` holds, its whole buffer, and leaves the text
// empty; for variants that may have carried a password.
void wipe(Variant& value) noexcept;

}  // namespace quillfern
