#include "quillfern/control/interface.hpp"

#include <algorithm>

#include "quillfern/core/ascii.hpp"

namespace quillfern {
namespace {

using enum ValueType;
using enum Direction;
using enum InvokeKind;

constexpr Parameter none_param{};

constexpr Operation op(int order, std::string_view name, InvokeKind kind, DispId dispid,
                       std::array<Parameter, 3> params, std::size_t count, ValueType result,
                       std::string_view summary) {
  return Operation{order, name, kind, dispid, params, count, result, summary};
}

constexpr std::array<Operation, 18> table{{
    op(1, "Enabled", property_get, dispids::Enabled, {none_param, none_param, none_param}, 0, boolean,
       "whether the control is enabled"),
    op(2, "Enabled", property_put, dispids::Enabled,
       {Parameter{"Enabled", boolean, by_value}, none_param, none_param}, 1, none,
       "enable or disable the control"),
    op(3, "About", method, dispids::About, {none_param, none_param, none_param}, 0, none,
       "show the About window"),
    op(4, "EncryptPassword", method, dispids::EncryptPassword,
       {Parameter{"Number", byte, in}, Parameter{"DecryptedPassword", text, in},
        Parameter{"OutPut", text, out}},
       3, none, "scramble a password under a one-byte key"),
    op(5, "DecryptPassword", method, dispids::DecryptPassword,
       {Parameter{"Number", byte, in}, Parameter{"EncryptedPassword", text, in},
        Parameter{"OutPut", text, out}},
       3, none, "restore a scrambled password"),
    op(6, "convert", method, dispids::convert,
       {Parameter{"InPutString", text, in}, Parameter{"OutPut", text, out}, none_param}, 2, none,
       "text to upper-case hexadecimal digits"),
    op(7, "DeConvert", method, dispids::DeConvert,
       {Parameter{"InPutString", text, in}, Parameter{"OutPut", text, out}, none_param}, 2, none,
       "hexadecimal digits back to text"),
    op(8, "EasyCryptEnCode", method, dispids::EasyCryptEnCode,
       {Parameter{"InPutString", text, in}, Parameter{"OutPut", text, out}, none_param}, 2, none,
       "raise every character code by one"),
    op(9, "EasyCryptDeCode", method, dispids::EasyCryptDeCode,
       {Parameter{"InPutString", text, in}, Parameter{"OutPut", text, out}, none_param}, 2, none,
       "lower every character code by one"),
    op(10, "EncodeDecodeFile", method, dispids::EncodeDecodeFile,
       {Parameter{"InputFile", text, in}, Parameter{"OutputFile", text, in},
        Parameter{"Password", text, in}},
       3, none, "encode or decode a file under a password"),
    op(11, "PowerEncryption", method, dispids::PowerEncryption,
       {Parameter{"InPutString", text, in}, none_param, none_param}, 1, text,
       "one-way scrambling"),
    op(12, "FastBlowFish", method, dispids::FastBlowFish,
       {Parameter{"InPutString", text, in}, Parameter{"OutPut", text, out},
        Parameter{"Password", text, in}},
       3, none, "self-inverse table-driven block cipher"),
    op(13, "SeedEncryption", method, dispids::SeedEncryption,
       {Parameter{"InPutString", text, in}, Parameter{"SeedPassword", text, in}, none_param}, 2,
       text, "exclusive-or with a seed text"),
    op(14, "TextBoxCrypt", method, dispids::TextBoxCrypt,
       {Parameter{"InPutText", text, in}, Parameter{"Password", text, in_out}, none_param}, 2,
       variant, "text-box cipher: scramble"),
    op(15, "TextBoxDeCrypt", method, dispids::TextBoxDeCrypt,
       {Parameter{"InPutText", text, in}, Parameter{"Password", text, in_out}, none_param}, 2,
       variant, "text-box cipher: unscramble"),
    op(16, "DeCipherText", method, dispids::DeCipherText,
       {Parameter{"CipherString", text, in}, Parameter{"Password", text, in}, none_param}, 2,
       text, "decipher a password-carrying cipher text"),
    op(17, "EnCipherText", method, dispids::EnCipherText,
       {Parameter{"CipherInString", text, in}, Parameter{"Password", text, in}, none_param}, 2,
       text, "encipher into a password-carrying cipher text"),
    op(18, "WipeFileClean", method, dispids::WipeFileClean,
       {Parameter{"FileName", text, in}, none_param, none_param}, 1, none,
       "overwrite and delete a file"),
}};

}  // namespace

std::span<const Operation> interface_table() noexcept { return table; }

const Operation* find_operation(std::string_view name) noexcept {
  auto it = std::find_if(table.begin(), table.end(),
                         [&](const Operation& o) { return ascii::equal_ignoring_case(o.name, name); });
  return it == table.end() ? nullptr : &*it;
}

const Operation* find_operation(DispId dispid, InvokeKind kind) noexcept {
  auto it = std::find_if(table.begin(), table.end(), [&](const Operation& o) {
    return o.dispid == dispid && o.kind == kind;
  });
  return it == table.end() ? nullptr : &*it;
}

std::optional<DispId> find_dispid(std::string_view name) noexcept {
  const Operation* found = find_operation(name);
  if (found == nullptr) return std::nullopt;
  return found->dispid;
}

std::string_view to_string(ValueType type) noexcept {
  switch (type) {
    case ValueType::none: return "none";
    case ValueType::boolean: return "Boolean";
    case ValueType::byte: return "Byte";
    case ValueType::text: return "String";
    case ValueType::variant: return "Variant";
  }
  return "?";
}

std::string_view to_string(Direction direction) noexcept {
  switch (direction) {
    case Direction::in: return "in";
    case Direction::out: return "out";
    case Direction::in_out: return "in, out";
    case Direction::by_value: return "by value";
  }
  return "?";
}

}  // namespace quillfern
