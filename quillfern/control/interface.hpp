// The table of operations of _Encryption: one row per operation of the
// published interface, in its published order, each made from the member
// function of Encryption that carries it out (operation.hpp). Every way in
// reads this table and has no list of operations of its own: the
// dispatcher (invoke), the `interface` listing and the command names of the
// quillfern tool, the Windows object's methods and its IDispatch::Invoke,
// and the table-driven tests (the type library's source, the dispatcher,
// the vector files, the Windows client and script test).
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "quillfern/control/operation.hpp"

namespace quillfern {

// The rows as written, each of its own type (table::Row<&Encryption::X>),
// and the operations they make, numbered in order.
// clang-format off
inline constexpr std::tuple operation_rows{
    property_get<member<bool() const noexcept>(&Encryption::Enabled)>("Enabled", 0x68030000),
    property_put<member<void(bool)>(&Encryption::Enabled)>("Enabled", 0x68030000, "Enabled"),
    method<&Encryption::About>("About", 0x60030004),
    method<&Encryption::EncryptPassword>("EncryptPassword", 0x60030005, "Number", "DecryptedPassword", out("OutPut")),
    method<&Encryption::DecryptPassword>("DecryptPassword", 0x60030006, "Number", "EncryptedPassword", out("OutPut")),
    method<&Encryption::convert>("convert", 0x60030007, "InPutString", out("OutPut")),
    method<&Encryption::DeConvert>("DeConvert", 0x60030008, "InPutString", out("OutPut")),
    method<&Encryption::EasyCryptEnCode>("EasyCryptEnCode", 0x60030009, "InPutString", out("OutPut")),
    method<&Encryption::EasyCryptDeCode>("EasyCryptDeCode", 0x6003000a, "InPutString", out("OutPut")),
    method<&Encryption::EncodeDecodeFile>("EncodeDecodeFile", 0x6003000b, file_name("InputFile"), file_name("OutputFile"), "Password"),
    method<&Encryption::PowerEncryption>("PowerEncryption", 0x6003000c, "InPutString"),
    method<&Encryption::FastBlowFish>("FastBlowFish", 0x6003000e, "InPutString", out("OutPut"), "Password"),
    method<&Encryption::SeedEncryption>("SeedEncryption", 0x6003000f, "InPutString", "SeedPassword"),
    method<&Encryption::TextBoxCrypt>("TextBoxCrypt", 0x60030010, "InPutText", in_out("Password")),
    method<&Encryption::TextBoxDeCrypt>("TextBoxDeCrypt", 0x60030011, "InPutText", in_out("Password")),
    method<&Encryption::DeCipherText>("DeCipherText", 0x60030012, "CipherString", "Password"),
    method<&Encryption::EnCipherText>("EnCipherText", 0x60030013, "CipherInString", "Password"),
    method<&Encryption::WipeFileClean>("WipeFileClean", 0x60030014, file_name("FileName")),
};
// clang-format on

inline constexpr std::array operations = numbered(operation_rows);

// How many operations the interface has.
inline constexpr std::size_t operation_count = operations.size();

[[nodiscard]] constexpr std::span<const Operation> interface_table() noexcept { return operations; }

// The row of a member function of Encryption, found while compiling:
// operation_of<&Encryption::convert>().name is "convert".
template <auto Method>
[[nodiscard]] consteval const Operation& operation_of() {
  using Rows = std::remove_cvref_t<decltype(operation_rows)>;
  constexpr std::size_t at =
      table::index_of_row<Method, Rows>(std::make_index_sequence<std::tuple_size_v<Rows>>());
  static_assert(at < operation_count, "no row of the table of operations calls this member function");
  return operations[at];
}

// Operations found by published name, compared without regard to case as
// the platform's name lookup does. Enabled has two rows (read, write); the
// first one is returned.
[[nodiscard]] const Operation* find_operation(std::string_view name) noexcept;
[[nodiscard]] const Operation* find_operation(DispId dispid, InvokeKind kind) noexcept;

// The dispatch id of a published name, case-insensitive; none when the
// interface has no such member.
[[nodiscard]] std::optional<DispId> find_dispid(std::string_view name) noexcept;

// The names the interface listing shows: the host's type names (Boolean,
// Byte, String, Variant, or none) and the passing of a parameter (in, out,
// "in, out", "by value").
[[nodiscard]] std::string_view to_string(ValueType type) noexcept;
[[nodiscard]] std::string_view to_string(Direction direction) noexcept;

}  // namespace quillfern
