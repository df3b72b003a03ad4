#include "quillfern/control/dispatcher.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#if !defined(__cpp_lib_to_chars)
#include <locale>
#include <sstream>
#endif

#include "quillfern/core/error.hpp"
#include "quillfern/core/ascii.hpp"

namespace quillfern {
namespace {

// `digits` as a whole, read as from_chars reads a decimal number in the
// general format (an optional minus, a fraction, an exponent). Standard
// libraries without from_chars for floating point (libc++ 13) read it with
// a stream in the classic locale instead, after refusing what from_chars
// would refuse at the start (blanks, a second sign).
bool read_decimal(std::string_view digits, double& value) {
#if defined(__cpp_lib_to_chars)
  const auto [stop, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
  return error == std::errc{} && stop == digits.data() + digits.size();
#else
  const std::string_view unsigned_part = !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
  if (unsigned_part.empty() || !(ascii::is_digit(unsigned_part.front()) || unsigned_part.front() == '.')) {
    return false;
  }
  std::istringstream in{std::string(digits)};
  in.imbue(std::locale::classic());
  in >> value;
  return !in.fail() && in.peek() == std::char_traits<char>::eof();
#endif
}

// The number a text stands for, as the host reads numeric text: optional
// blanks around a decimal number, or the words True and False.
double text_to_number(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t");
  std::size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) throw Error(ErrorNumber::type_mismatch);
  std::string trimmed = text.substr(begin, end - begin + 1);
  if (ascii::equal_ignoring_case(trimmed, "True")) return -1;
  if (ascii::equal_ignoring_case(trimmed, "False")) return 0;
  // A decimal number with an optional sign, fraction and exponent, read
  // the same whatever the process's locale; hexadecimal, infinities and
  // NaN are not numbers here.
  std::string_view digits = trimmed;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  double value = 0;
  if (!read_decimal(digits, value) || !std::isfinite(value) ||
      digits.find_first_of("xXnN") != std::string_view::npos) {
    throw Error(ErrorNumber::type_mismatch);
  }
  return value;
}

double to_number(const Variant& value) {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          return 0;
        } else if constexpr (std::is_same_v<T, Bool>) {
          return v.value ? -1 : 0;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return text_to_number(v);
        } else {
          return static_cast<double>(v);
        }
      },
      value);
}

std::string format_double(double value) {
  // Up to 15 significant digits, as the host formats a Double as text.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

}  // namespace

std::string to_text(const Variant& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          return {};  // an absent text counts as empty
        } else if constexpr (std::is_same_v<T, Bool>) {
          return v.value ? "True" : "False";
        } else if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, double>) {
          return format_double(v);
        } else {
          return std::to_string(v);
        }
      },
      value);
}

std::uint8_t to_byte(const Variant& value) {
  double number = to_number(value);
  // The host rounds to the nearest integer, an exact half to the even one.
  double rounded = std::nearbyint(number);
  if (!(rounded >= 0 && rounded <= 255)) throw Error(ErrorNumber::overflow);
  return static_cast<std::uint8_t>(rounded);
}

bool to_bool(const Variant& value) { return to_number(value) != 0; }

Variant invoke(Encryption& control, DispId dispid, InvokeKind kind, std::span<Variant> args) {
  const Operation* operation = find_operation(dispid, kind);
  if (operation == nullptr) {
    // A method id invoked as a property get is served as a call, as the
    // platform allows for members without parameters.
    if (kind == InvokeKind::property_get) operation = find_operation(dispid, InvokeKind::method);
    if (operation == nullptr) throw Error(ErrorNumber::no_such_member);
  }
  return operation->invoke(control, args);
}

Variant invoke(Encryption& control, std::string_view name, std::span<Variant> args) {
  const Operation* operation = find_operation(name);
  if (operation == nullptr) throw Error(ErrorNumber::no_such_member);
  InvokeKind kind = operation->kind;
  if (kind != InvokeKind::method) {
    kind = args.empty() ? InvokeKind::property_get : InvokeKind::property_put;
  }
  return invoke(control, operation->dispid, kind, args);
}

}  // namespace quillfern
