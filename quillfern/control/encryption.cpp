// The control's own operations: Enabled, its persistence and the Hide event.
#include "quillfern/control/encryption.hpp"

#include "quillfern/core/identity.hpp"
#include "quillfern/core/ascii.hpp"

namespace quillfern {

namespace {
constexpr std::string_view enabled_name = "Enabled";
}

Encryption::Encryption(platform::Host& host, platform::Container* container) noexcept
    : ControlBase(container), host_(&host) {}

bool Encryption::Enabled() const noexcept { return base_enabled(); }

void Encryption::Enabled(bool value) {
  set_base_enabled(value);
  property_changed(enabled_name);
}

void Encryption::ReadProperties(const platform::PropertyBag& bag) {
  const Variant value = bag.read(enabled_name, Bool{true});
  // Any non-zero value is true, whatever type the bag kept it as.
  const bool enabled = std::visit(
      [](const auto& v) -> bool {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          return false;
        } else if constexpr (std::is_same_v<T, Bool>) {
          return v.value;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return !(v.empty() || v == "0" || ascii::equal_ignoring_case(v, "False"));
        } else {
          return v != 0;
        }
      },
      value);
  set_base_enabled(enabled);
}

void Encryption::WriteProperties(platform::PropertyBag& bag) const {
  bag.write(enabled_name, Bool{base_enabled()}, Bool{true});
}

void Encryption::on_hidden() {
  raise_event(identity::hide_event_dispid, identity::hide_event_name);
}

}  // namespace quillfern
