#include "quillfern/core/variant.hpp"

#include "quillfern/core/secret.hpp"

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

void wipe(Variant& value) noexcept {
  if (auto* text = std::get_if<std::string>(&value)) {
    secure_wipe(text->data(), text->capacity());
    text->clear();
  }
}

}  // namespace quillfern
