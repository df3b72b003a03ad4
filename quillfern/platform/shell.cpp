// What the shells of every system share: telling addresses from paths.
#include "quillfern/platform/shell.hpp"

#include <algorithm>

#include "quillfern/core/ascii.hpp"

namespace quillfern::platform {

bool is_address(std::string_view target) noexcept {
  const auto colon = target.find(':');
  // One letter before the colon is a drive, not a scheme.
  if (colon == std::string_view::npos || colon < 2 || !ascii::is_letter(target[0])) return false;
  return std::all_of(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon), [](char ch) {
    return ascii::is_letter(ch) || ascii::is_digit(ch) || ch == '+' || ch == '-' || ch == '.';
  });
}

bool is_web_address(std::string_view target) noexcept {
  if (!is_address(target)) return false;
  const std::string_view scheme = target.substr(0, target.find(':'));
  return ascii::equal_ignoring_case(scheme, "http") || ascii::equal_ignoring_case(scheme, "https");
}

}  // namespace quillfern::platform
