#include "quillfern/control/dispatcher.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quillfern/core/error.hpp"
#include "quillfern/core/ascii.hpp"

namespace quillfern {
namespace {

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
  const auto [stop, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
  if (error != std::errc{} || stop != digits.data() + digits.size() || !std::isfinite(value) ||
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

// The value of an argument for a parameter, converted to the parameter's type.
struct Converted {
  std::string text;
  std::uint8_t byte = 0;
  bool boolean = false;
};

Converted convert_argument(const Parameter& parameter, const Variant& value) {
  Converted out;
  switch (parameter.type) {
    case ValueType::text: out.text = to_text(value); break;
    case ValueType::byte: out.byte = to_byte(value); break;
    case ValueType::boolean: out.boolean = to_bool(value); break;
    case ValueType::variant:
    case ValueType::none: break;
  }
  return out;
}

Variant from_optional(std::optional<std::string> value) {
  if (!value) return Empty{};
  return Variant(std::move(*value));
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
  const auto params = operation->params();
  if (args.size() != params.size()) throw Error(ErrorNumber::wrong_arguments);

  // Convert every argument first: a conversion failure changes nothing.
  std::array<Converted, 3> a{};
  for (std::size_t i = 0; i < params.size(); ++i) a[i] = convert_argument(params[i], args[i]);

  // Every output goes to a local first and reaches the caller's argument
  // only once the operation has succeeded.
  std::string out;
  using namespace dispids;
  switch (operation->dispid) {
    case Enabled:
      if (operation->kind == InvokeKind::property_get) return Bool{control.Enabled()};
      control.Enabled(a[0].boolean);
      return Empty{};
    case About: control.About(); return Empty{};
    case EncryptPassword: control.EncryptPassword(a[0].byte, a[1].text, out); break;
    case DecryptPassword: control.DecryptPassword(a[0].byte, a[1].text, out); break;
    case convert: control.convert(a[0].text, out); break;
    case DeConvert: control.DeConvert(a[0].text, out); break;
    case EasyCryptEnCode: control.EasyCryptEnCode(a[0].text, out); break;
    case EasyCryptDeCode: control.EasyCryptDeCode(a[0].text, out); break;
    case EncodeDecodeFile:
      control.EncodeDecodeFile(a[0].text, a[1].text, a[2].text);
      return Empty{};
    case PowerEncryption: return control.PowerEncryption(a[0].text);
    case FastBlowFish: control.FastBlowFish(a[0].text, out, a[2].text); break;
    case SeedEncryption: return control.SeedEncryption(a[0].text, a[1].text);
    case TextBoxCrypt:
    case TextBoxDeCrypt: {
      std::optional<std::string> result = operation->dispid == TextBoxCrypt
                                              ? control.TextBoxCrypt(a[0].text, a[1].text)
                                              : control.TextBoxDeCrypt(a[0].text, a[1].text);
      args[1] = std::move(a[1].text);  // the key number written back into Password
      return from_optional(std::move(result));
    }
    case DeCipherText: return control.DeCipherText(a[0].text, a[1].text);
    case EnCipherText: return control.EnCipherText(a[0].text, a[1].text);
    case WipeFileClean: control.WipeFileClean(a[0].text); return Empty{};
    default: throw Error(ErrorNumber::no_such_member);
  }
  // The operations that reach here set their one out parameter, OutPut.
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i].direction == Direction::out) args[i] = std::move(out);
  }
  return Empty{};
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
