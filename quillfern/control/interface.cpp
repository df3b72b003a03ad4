#include "quillfern/control/interface.hpp"

#include <algorithm>

#include "quillfern/core/ascii.hpp"

namespace quillfern {

const Operation* find_operation(std::string_view name) noexcept {
  auto it = std::find_if(operations.begin(), operations.end(),
                         [&](const Operation& o) { return ascii::equal_ignoring_case(o.name, name); });
  return it == operations.end() ? nullptr : &*it;
}

const Operation* find_operation(DispId dispid, InvokeKind kind) noexcept {
  auto it = std::find_if(operations.begin(), operations.end(), [&](const Operation& o) {
    return o.dispid == dispid && o.kind == kind;
  });
  return it == operations.end() ? nullptr : &*it;
}

std::optional<DispId> find_dispid(std::string_view name) noexcept {
  const Operation* found = find_operation(name);
  if (found == nullptr) return std::nullopt;
  return found->dispid;
}

std::string_view to_string(ValueType type) noexcept {
  switch (type) {
    case ValueType::none: return "none";
    case ValueType::boolean: return "Boolean";
    case ValueType::byte: return "Byte";
    case ValueType::text: return "String";
    case ValueType::variant: return "Variant";
  }
  return "?";
}

std::string_view to_string(Direction direction) noexcept {
  switch (direction) {
    case Direction::in: return "in";
    case Direction::out: return "out";
    case Direction::in_out: return "in, out";
    case Direction::by_value: return "by value";
  }
  return "?";
}

}  // namespace quillfern
