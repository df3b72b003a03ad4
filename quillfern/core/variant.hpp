// The host's tagged value: what dispatch arguments, results and persisted
// properties are carried in. Its empty state is distinct from the empty text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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

// The arguments of one call through the table of operations, whose texts
// (passwords among them) are wiped when the list goes.
struct WipedVariants {
  std::vector<Variant> values;
  WipedVariants() = default;
  WipedVariants(const WipedVariants&) = delete;
  WipedVariants& operator=(const WipedVariants&) = delete;
  ~WipedVariants() {
    for (Variant& value : values) wipe(value);
  }
};

}  // namespace quillfern
