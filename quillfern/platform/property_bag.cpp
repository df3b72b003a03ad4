#include "quillfern/platform/property_bag.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "quillfern/core/error.hpp"
#include "quillfern/core/ascii.hpp"

namespace quillfern::platform {

bool PropertyBag::NameLess::operator()(std::string_view a, std::string_view b) const noexcept {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(ascii::to_lower(x)) < static_cast<unsigned char>(ascii::to_lower(y));
  });
}

Variant PropertyBag::read(std::string_view name, const Variant& default_value) const {
  return find(name).value_or(default_value);
}

std::optional<Variant> PropertyBag::find(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void PropertyBag::write(std::string_view name, const Variant& value, const Variant& default_value) {
  auto it = values_.find(name);
  if (value == default_value) {
    if (it != values_.end()) values_.erase(it);
    return;
  }
  if (it != values_.end()) {
    it->second = value;
  } else {
    values_.emplace(std::string(name), value);
  }
}

namespace {

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    auto code = static_cast<unsigned char>(ch);
    if (code < 0x20 || code >= 0x7f || ch == '"' || ch == '\\') {
      char buffer[5];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", code);
      out += buffer;
    } else {
      out += ch;
    }
  }
  out += '"';
  return out;
}

std::string format_value(const Variant& value) {
  std::string out(type_name(value));
  out += ' ';
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          out.pop_back();
        } else if constexpr (std::is_same_v<T, Bool>) {
          out += v.value ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::string>) {
          out += quote(v);
        } else if constexpr (std::is_same_v<T, double>) {
          char buffer[32];
          std::snprintf(buffer, sizeof buffer, "%.17g", v);
          out += buffer;
        } else {
          out += std::to_string(v);
        }
      },
      value);
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<std::string> unquote(std::string_view s) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::nullopt;
  s = s.substr(1, s.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') return std::nullopt;
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (s.size() - i < 4 || s[i + 1] != 'x') return std::nullopt;
    int high = ascii::hex_digit_value(s[i + 2]);
    int low = ascii::hex_digit_value(s[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 3;
  }
  return out;
}

template <typename T>
std::optional<T> parse_integer(std::string_view s) {
  long long value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    return std::nullopt;
  }
  return static_cast<T>(value);
}

std::optional<Variant> parse_value(std::string_view type, std::string_view text) {
  if (type == "Empty") return text.empty() ? std::optional<Variant>(Empty{}) : std::nullopt;
  if (type == "Boolean") {
    if (text == "True") return Variant(Bool{true});
    if (text == "False") return Variant(Bool{false});
    return std::nullopt;
  }
  if (type == "String") {
    auto s = unquote(text);
    if (!s) return std::nullopt;
    return Variant(std::move(*s));
  }
  if (type == "Integer") {
    if (auto v = parse_integer<std::int16_t>(text)) return Variant(*v);
    return std::nullopt;
  }
  if (type == "Long") {
    if (auto v = parse_integer<std::int32_t>(text)) return Variant(*v);
    return std::nullopt;
  }
  if (type == "Byte") {
    if (auto v = parse_integer<std::uint8_t>(text)) return Variant(*v);
    return std::nullopt;
  }
  if (type == "Double") {
    std::string copy(text);
    char* end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size()) return std::nullopt;
    return Variant(v);
  }
  return std::nullopt;
}

}  // namespace

std::string PropertyBag::to_text() const {
  std::string out;
  for (const auto& [name, value] : values_) {
    out += name;
    out += " = ";
    out += format_value(value);
    out += '\n';
  }
  return out;
}

PropertyBag PropertyBag::from_text(std::string_view text) {
  PropertyBag bag;
  std::size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    std::size_t end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;

    auto bad = [&] {
      return Error(ErrorNumber::invalid_call,
                   "property bag line " + std::to_string(line_number) + " is malformed");
    };
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) throw bad();
    std::string_view name = trim(line.substr(0, equals));
    std::string_view rest = trim(line.substr(equals + 1));
    std::size_t space = rest.find(' ');
    std::string_view type = rest.substr(0, space);
    std::string_view value = space == std::string_view::npos ? std::string_view{}
                                                             : trim(rest.substr(space + 1));
    auto parsed = parse_value(type, value);
    if (name.empty() || !parsed) throw bad();
    bag.values_.insert_or_assign(std::string(name), std::move(*parsed));
  }
  return bag;
}

}  // namespace quillfern::platform
