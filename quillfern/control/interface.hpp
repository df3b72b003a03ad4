// The interface table of _Encryption: its 18 operations in their published
// order, with dispatch ids, parameters and results. The dispatcher, the
// `interface` listing of the command line and its help all read this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quillfern {

using DispId = std::int32_t;

// The published dispatch ids of _Encryption.
namespace dispids {
inline constexpr DispId Enabled = 0x68030000;
inline constexpr DispId About = 0x60030004;
inline constexpr DispId EncryptPassword = 0x60030005;
inline constexpr DispId DecryptPassword = 0x60030006;
inline constexpr DispId convert = 0x60030007;
inline constexpr DispId DeConvert = 0x60030008;
inline constexpr DispId EasyCryptEnCode = 0x60030009;
inline constexpr DispId EasyCryptDeCode = 0x6003000a;
inline constexpr DispId EncodeDecodeFile = 0x6003000b;
inline constexpr DispId PowerEncryption = 0x6003000c;
inline constexpr DispId FastBlowFish = 0x6003000e;
inline constexpr DispId SeedEncryption = 0x6003000f;
inline constexpr DispId TextBoxCrypt = 0x60030010;
inline constexpr DispId TextBoxDeCrypt = 0x60030011;
inline constexpr DispId DeCipherText = 0x60030012;
inline constexpr DispId EnCipherText = 0x60030013;
inline constexpr DispId WipeFileClean = 0x60030014;
}  // namespace dispids

enum class ValueType { none, boolean, byte, text, variant };
enum class Direction { in, out, in_out, by_value };
enum class InvokeKind { method, property_get, property_put };

struct Parameter {
  std::string_view name;
  ValueType type;
  Direction direction;
};

struct Operation {
  int order;                       // 1-based position in the table of operations
  std::string_view name;           // published name, exact case
  InvokeKind kind;
  DispId dispid;
  std::array<Parameter, 3> parameters;
  std::size_t parameter_count;
  ValueType result;
  std::string_view summary;

  [[nodiscard]] std::span<const Parameter> params() const noexcept {
    return std::span<const Parameter>(parameters).first(parameter_count);
  }
};

// The table of operations of _Encryption, in order.
[[nodiscard]] std::span<const Operation> interface_table() noexcept;

// Operations found by published name, compared without regard to case as
// the platform's name lookup does. Enabled has two entries (read, write);
// the first one is returned.
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
