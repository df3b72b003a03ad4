#include "windows/server/automation.hpp"

#include "quillfern/core/error.hpp"
#include "quillfern/platform/win32/text.hpp"

namespace quillfern::server {
namespace {

// The variant at the end of a chain of references to variants.
const VARIANT* follow(const VARIANT* argument) noexcept {
  while (argument->vt == (VT_BYREF | VT_VARIANT) && argument->pvarVal != nullptr) {
    argument = argument->pvarVal;
  }
  return argument;
}

VARIANT* follow(VARIANT* argument) noexcept {
  while (argument->vt == (VT_BYREF | VT_VARIANT) && argument->pvarVal != nullptr) {
    argument = argument->pvarVal;
  }
  return argument;
}

}  // namespace

std::optional<Variant> file_name_from_automation(const VARIANT& argument) {
  const VARIANT* v = follow(&argument);
  const BSTR* text = v->vt == VT_BSTR ? &v->bstrVal : v->vt == (VT_BYREF | VT_BSTR) ? v->pbstrVal : nullptr;
  if (text == nullptr) return from_automation(argument);
  std::optional<std::string> name = win32::to_utf8(*text, SysStringLen(*text));
  if (!name) throw Error(ErrorNumber::bad_file_name, "a file name that is not well-formed UTF-16");
  return Variant(std::move(*name));
}

std::optional<Variant> from_automation(const VARIANT& argument) {
  const VARIANT* v = follow(&argument);
  switch (v->vt) {
    case VT_EMPTY: return Variant(Empty{});
    case VT_BSTR: return Variant(win32::to_codes(v->bstrVal));
    case VT_BYREF | VT_BSTR: return Variant(win32::to_codes(*v->pbstrVal));
    case VT_I2: return Variant(std::int16_t{v->iVal});
    case VT_BYREF | VT_I2: return Variant(std::int16_t{*v->piVal});
    case VT_I4: return Variant(std::int32_t{v->lVal});
    case VT_BYREF | VT_I4: return Variant(std::int32_t{*v->plVal});
    case VT_INT: return Variant(std::int32_t{v->intVal});
    case VT_UI1: return Variant(std::uint8_t{v->bVal});
    case VT_BYREF | VT_UI1: return Variant(std::uint8_t{*v->pbVal});
    case VT_BOOL: return Variant(Bool{v->boolVal != VARIANT_FALSE});
    case VT_BYREF | VT_BOOL: return Variant(Bool{*v->pboolVal != VARIANT_FALSE});
    case VT_R8: return Variant(v->dblVal);
    case VT_BYREF | VT_R8: return Variant(*v->pdblVal);
    case VT_R4: return Variant(double{v->fltVal});
    default: break;
  }
  if (v->vt == VT_ERROR || v->vt == VT_NULL || (v->vt & VT_ARRAY) != 0) return std::nullopt;
  // Other numbers (currency, decimal, 64-bit and unsigned integers) go
  // through the system's conversion to a double.
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(v), 0, VT_R8))) return std::nullopt;
  return Variant(number.dblVal);
}

void to_automation(const Variant& value, VARIANT& out) {
  VariantInit(&out);
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Empty>) {
          out.vt = VT_EMPTY;
        } else if constexpr (std::is_same_v<T, Bool>) {
          out.vt = VT_BOOL;
          out.boolVal = v.value ? VARIANT_TRUE : VARIANT_FALSE;
        } else if constexpr (std::is_same_v<T, std::string>) {
          out.bstrVal = win32::to_bstr(v);
          out.vt = VT_BSTR;
        } else if constexpr (std::is_same_v<T, std::int16_t>) {
          out.vt = VT_I2;
          out.iVal = v;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          out.vt = VT_I4;
          out.lVal = v;
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
          out.vt = VT_UI1;
          out.bVal = v;
        } else {
          out.vt = VT_R8;
          out.dblVal = v;
        }
      },
      value);
}

bool can_write_text(const VARIANT& argument) noexcept {
  if (argument.vt == (VT_BYREF | VT_BSTR)) return argument.pbstrVal != nullptr;
  if (argument.vt != (VT_BYREF | VT_VARIANT) || argument.pvarVal == nullptr) return false;
  const VARIANT* target = follow(&argument);
  // A reference to a variant that itself refers to something else than a
  // text is left alone: writing through it would change its type.
  return (target->vt & VT_BYREF) == 0 || target->vt == (VT_BYREF | VT_BSTR);
}

void write_text(VARIANT& argument, BSTR text) noexcept {
  VARIANT* target = argument.vt == (VT_BYREF | VT_VARIANT) ? follow(&argument) : &argument;
  if (target->vt == (VT_BYREF | VT_BSTR)) {
    SysFreeString(*target->pbstrVal);
    *target->pbstrVal = text;
    return;
  }
  VariantClear(target);
  target->vt = VT_BSTR;
  target->bstrVal = text;
}

}  // namespace quillfern::server
