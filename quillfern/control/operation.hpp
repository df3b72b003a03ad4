// One row of the table of operations (interface.hpp) and how a row is made
// from a member function of Encryption. The member's signature says the
// parameter types, the result and how to call it; the row adds what a
// signature cannot say: the published names, the dispatch id, and for each
// reference the operation writes whether it only writes it (out) or reads
// and writes it (in-out). A row that disagrees with its member function
// does not compile.
//
// Every way into the control (the dispatcher, the command line, the Windows
// object, a binding) iterates rows and calls `Operation::invoke` with one
// variant per parameter; none needs code of its own per operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "quillfern/control/encryption.hpp"
#include "quillfern/core/error.hpp"
#include "quillfern/core/secret.hpp"
#include "quillfern/core/variant.hpp"

namespace quillfern {

using DispId = std::int32_t;

// The types of the published interface: the host's Boolean, Byte, String
// and Variant; none for an operation without a result.
enum class ValueType { none, boolean, byte, text, variant };
// How a parameter is passed: by reference and only read (in), by reference
// and only written (out), by reference read and written (in_out), or by
// value (the new value of a property).
enum class Direction { in, out, in_out, by_value };
enum class InvokeKind { method, property_get, property_put };

struct Parameter {
  std::string_view name;  // published name, exact case
  ValueType type = ValueType::none;
  Direction direction = Direction::in;
  bool file = false;  // a text that names a file the operation opens

  // True for the parameters whose value reaches the caller after a call.
  [[nodiscard]] constexpr bool written() const noexcept {
    return direction == Direction::out || direction == Direction::in_out;
  }
};

// The most parameters an operation of the interface has.
inline constexpr std::size_t max_parameters = 3;

struct Operation;

// The call of a row, over variants: `args` holds one value per parameter,
// in published order.
using OperationCall = Variant (*)(const Operation& operation, Encryption& control,
                                  std::span<Variant> args);

struct Operation {
  int order = 0;  // 1-based position in the table, after those of IDispatch
  std::string_view name;  // published name, exact case
  InvokeKind kind = InvokeKind::method;
  DispId dispid = 0;
  std::array<Parameter, max_parameters> parameters{};
  std::size_t parameter_count = 0;
  ValueType result = ValueType::none;
  OperationCall call = nullptr;

  [[nodiscard]] constexpr std::span<const Parameter> params() const noexcept {
    return std::span<const Parameter>(parameters).first(parameter_count);
  }

  // Calls the operation with one variant per parameter, converted to the
  // parameter's type as the host converts a variant (to_text, to_byte,
  // to_bool), and returns its result (Empty for an operation without one;
  // the text-box pair's empty result is Empty too). Every argument is
  // converted before the call, and the out and in-out parameters are
  // written back into `args` only when the call succeeded: on failure no
  // argument is changed. Throws quillfern::Error 450 for a wrong number of
  // arguments, 13 when an argument cannot be converted, 6 when a number
  // does not fit, and whatever the operation raises.
  Variant invoke(Encryption& control, std::span<Variant> args) const {
    if (args.size() != parameter_count) throw Error(ErrorNumber::wrong_arguments);
    return call(*this, control, args);
  }
};

// The argument conversions of the table, as the host's own conversion of a
// variant to a parameter's type does: Empty is the empty text and 0, a
// Boolean is -1 or 0, numeric text is read as the host reads it. to_byte
// rounds half to even and throws Error 6 outside 0..255; to_byte and
// to_bool throw Error 13 for text that is not a number.
[[nodiscard]] std::string to_text(const Variant& value);
[[nodiscard]] std::uint8_t to_byte(const Variant& value);
[[nodiscard]] bool to_bool(const Variant& value);

namespace table {

// How a parameter type of a member function of Encryption is published.
template <typename T>
struct ArgumentOf;
template <>
struct ArgumentOf<const std::uint8_t&> {
  using Value = std::uint8_t;
  static constexpr ValueType type = ValueType::byte;
  static constexpr bool written = false, by_value = false;
  static Value read(const Variant& v) { return to_byte(v); }
};
template <>
struct ArgumentOf<const std::string&> {
  using Value = WipedString;  // a password among them is wiped after the call
  static constexpr ValueType type = ValueType::text;
  static constexpr bool written = false, by_value = false;
  static Value read(const Variant& v) { return to_text(v); }
};
template <>
struct ArgumentOf<std::string&> {
  using Value = WipedString;
  static constexpr ValueType type = ValueType::text;
  static constexpr bool written = true, by_value = false;
  static Value read(const Variant& v) { return to_text(v); }
};
template <>
struct ArgumentOf<bool> {
  using Value = bool;
  static constexpr ValueType type = ValueType::boolean;
  static constexpr bool written = false, by_value = true;
  static Value read(const Variant& v) { return to_bool(v); }
};

// How a result type is published, and its variant.
template <typename T>
struct ResultOf;
template <>
struct ResultOf<void> {
  static constexpr ValueType type = ValueType::none;
};
template <>
struct ResultOf<bool> {
  static constexpr ValueType type = ValueType::boolean;
  static Variant to_variant(bool value) { return Bool{value}; }
};
template <>
struct ResultOf<std::string> {
  static constexpr ValueType type = ValueType::text;
  static Variant to_variant(std::string&& value) { return Variant(std::move(value)); }
};
template <>
struct ResultOf<std::optional<std::string>> {
  static constexpr ValueType type = ValueType::variant;
  static Variant to_variant(std::optional<std::string>&& value) {
    if (!value) return Empty{};
    return Variant(std::move(*value));
  }
};

template <typename M>
struct MemberOf;
template <typename R, typename... A>
struct MemberOf<R (Encryption::*)(A...)> {
  using Result = R;
  using Arguments = std::tuple<A...>;
};
template <typename R, typename... A>
struct MemberOf<R (Encryption::*)(A...) const> : MemberOf<R (Encryption::*)(A...)> {};
template <typename R, typename... A>
struct MemberOf<R (Encryption::*)(A...) noexcept> : MemberOf<R (Encryption::*)(A...)> {};
template <typename R, typename... A>
struct MemberOf<R (Encryption::*)(A...) const noexcept> : MemberOf<R (Encryption::*)(A...)> {};

template <auto Method, std::size_t I>
using ArgumentAt = ArgumentOf<std::tuple_element_t<I, typename MemberOf<decltype(Method)>::Arguments>>;

// The one call of every row: convert, call, then write back.
template <auto Method, std::size_t... I>
Variant call(const Operation& operation, Encryption& control, std::span<Variant> args,
             std::index_sequence<I...>) {
  using Result = typename MemberOf<decltype(Method)>::Result;
  (void)operation;  // an operation without parameters reads neither
  (void)args;
  // Converted in published order (a braced list is evaluated left to
  // right); an out parameter is only written, so it starts empty.
  std::tuple<typename ArgumentAt<Method, I>::Value...> values{
      (operation.parameters[I].direction == Direction::out
           ? typename ArgumentAt<Method, I>::Value{}
           : ArgumentAt<Method, I>::read(args[I]))...};
  Variant result;
  if constexpr (std::is_void_v<Result>) {
    (control.*Method)(std::get<I>(values)...);
  } else {
    result = ResultOf<Result>::to_variant((control.*Method)(std::get<I>(values)...));
  }
  // The one write-back rule: once the call succeeded, every out and in-out
  // parameter; moving a text into a variant cannot fail.
  (
      [&] {
        if constexpr (ArgumentAt<Method, I>::written) args[I] = std::move(std::get<I>(values));
      }(),
      ...);
  return result;
}

template <auto Method>
Variant call(const Operation& operation, Encryption& control, std::span<Variant> args) {
  constexpr std::size_t count = std::tuple_size_v<typename MemberOf<decltype(Method)>::Arguments>;
  return call<Method>(operation, control, args, std::make_index_sequence<count>());
}

// A published parameter name, with the direction of a reference the
// operation writes (plain names are for parameters it only reads).
struct Name {
  std::string_view name;
  std::optional<Direction> direction;
  bool file = false;
  constexpr Name(const char* plain) : name(plain) {}  // implicit: a row lists plain names as they are
  constexpr Name(std::string_view written, Direction how) : name(written), direction(how) {}
  constexpr Name(std::string_view file_name, bool names_file) : name(file_name), file(names_file) {}
};

template <typename A>
constexpr Parameter parameter(const Name& given) {
  using Argument = ArgumentOf<A>;
  if constexpr (Argument::written) {
    if (!given.direction) throw "a reference the operation writes is named with out() or in_out()";
    return Parameter{given.name, Argument::type, *given.direction, false};
  } else {
    if (given.direction) throw "only a reference the operation writes is out or in-out";
    if (given.file && Argument::type != ValueType::text) throw "a file is named by a text";
    return Parameter{given.name, Argument::type,
                     Argument::by_value ? Direction::by_value : Direction::in, given.file};
  }
}

// A row as it is written: the operation of the member function `Method`,
// whose type names the member so that operation_of can find it.
template <auto Method>
struct Row {
  Operation operation;
};

template <auto Method, typename... Names>
consteval Row<Method> row(InvokeKind kind, std::string_view name, DispId dispid, Names... names) {
  using Member = MemberOf<decltype(Method)>;
  static_assert(sizeof...(Names) == std::tuple_size_v<typename Member::Arguments>,
                "a row names every parameter of its member function");
  static_assert(sizeof...(Names) <= max_parameters);
  Operation operation;
  operation.name = name;
  operation.kind = kind;
  operation.dispid = dispid;
  operation.parameter_count = sizeof...(Names);
  const std::array<Name, sizeof...(Names)> given{Name(names)...};
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    ((operation.parameters[I] =
          parameter<std::tuple_element_t<I, typename Member::Arguments>>(given[I])),
     ...);
  }(std::make_index_sequence<sizeof...(Names)>());
  operation.result = ResultOf<typename Member::Result>::type;
  operation.call = &call<Method>;
  return Row<Method>{operation};
}

// The position of the row of `Method` among `Rows`; their count when none.
template <auto Method, typename Rows, std::size_t... I>
consteval std::size_t index_of_row(std::index_sequence<I...>) {
  std::size_t found = sizeof...(I);
  ((found = std::is_same_v<std::tuple_element_t<I, Rows>, Row<Method>> ? I : found), ...);
  return found;
}

}  // namespace table

// The rows of the table, one line each:
//   method<&Encryption::convert>("convert", 0x60030007, "InPutString", out("OutPut"))
// A plain name is a parameter the operation only reads; out(), in_out()
// and file_name() say more about one.
template <auto Method, typename... Names>
consteval table::Row<Method> method(std::string_view name, DispId dispid, Names... names) {
  return table::row<Method>(InvokeKind::method, name, dispid, names...);
}
template <auto Method, typename... Names>
consteval table::Row<Method> property_get(std::string_view name, DispId dispid, Names... names) {
  return table::row<Method>(InvokeKind::property_get, name, dispid, names...);
}
template <auto Method, typename... Names>
consteval table::Row<Method> property_put(std::string_view name, DispId dispid, Names... names) {
  return table::row<Method>(InvokeKind::property_put, name, dispid, names...);
}
consteval table::Name out(std::string_view name) { return {name, Direction::out}; }
consteval table::Name in_out(std::string_view name) { return {name, Direction::in_out}; }
// A text parameter that names a file, which a binding may take as a path.
consteval table::Name file_name(std::string_view name) { return {name, true}; }

// One of several member functions of the same name, by its signature:
// member<bool() const noexcept>(&Encryption::Enabled).
template <typename Signature>
consteval Signature Encryption::*member(Signature Encryption::*pointer) {
  return pointer;
}

// The operations of the rows, numbered in their order.
template <typename... Rows>
consteval std::array<Operation, sizeof...(Rows)> numbered(const std::tuple<Rows...>& rows) {
  std::array<Operation, sizeof...(Rows)> out = std::apply(
      [](const auto&... row) { return std::array<Operation, sizeof...(Rows)>{row.operation...}; }, rows);
  for (std::size_t i = 0; i < out.size(); ++i) out[i].order = static_cast<int>(i + 1);
  return out;
}

}  // namespace quillfern
