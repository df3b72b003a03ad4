#include "quillfern/core/variant.hpp"

namespace quillfern {

std::string_view type_name(const Variant& value) noexcept {
  switch (value.index()) {
    case 0: return "Empty";
    case 1: return "Integer";
    case 2: return "Long";
    case 3: return "Byte";
    case 4: return "Boolean";
    case 5: return "Double";
    default: return "String";
  }
}

}  // namespace quillfern
