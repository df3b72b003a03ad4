// The property bag a container hands a control when it loads or saves it,
// with a text form so that a host can keep the bag in a file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "quillfern/core/variant.hpp"

namespace quillfern::platform {

class PropertyBag {
 public:
  // The value stored under `name`, or `default_value` when there is none.
  [[nodiscard]] Variant read(std::string_view name, const Variant& default_value) const;
  [[nodiscard]] std::optional<Variant> find(std::string_view name) const;

  // Stores `value` under `name`. A value equal to its default is not kept
  // (reading it back gives the default all the same).
  void write(std::string_view name, const Variant& value, const Variant& default_value);

  [[nodiscard]] bool empty() const noexcept { return values_.empty(); }
  [[nodiscard]] std::size_t size() const noexcept { return values_.size(); }

  // Text form: one property per line, `Name = Type Value`, for example
  // `Enabled = Boolean False` or `Caption = String "a\x0Ab"`. Lines that
  // start with '#' and blank lines are ignored. from_text throws
  // quillfern::Error (5) naming the line of a malformed entry.
  [[nodiscard]] std::string to_text() const;
  [[nodiscard]] static PropertyBag from_text(std::string_view text);

  friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

 private:
  // Names compare without regard to case, as the platform's bag does.
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
  };
  std::map<std::string, Variant, NameLess> values_;
};

}  // namespace quillfern::platform
