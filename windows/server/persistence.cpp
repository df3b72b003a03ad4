// Persistence of the control's one property, Enabled (default true), in a
// host's property bag and in a stream. The stream holds the library's text
// form of a property bag ("Enabled = Boolean False"), after its length as
// a 32-bit little-endian number.
#include <cstdint>
#include <string>

#include "quillfern/core/error.hpp"
#include "quillfern/core/identity.hpp"
#include "quillfern/platform/property_bag.hpp"
#include "windows/server/automation.hpp"
#include "windows/server/com_errors.hpp"
#include "windows/server/encryption_object.hpp"

namespace quillfern::server {
namespace {

constexpr const wchar_t* enabled_name = L"Enabled";
constexpr std::uint32_t largest_stream = 64 * 1024;

HRESULT read_exactly(IStream* stream, void* buffer, ULONG size) {
  ULONG read = 0;
  const HRESULT hr = stream->Read(buffer, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : STG_E_READFAULT;
}

HRESULT write_exactly(IStream* stream, const void* buffer, ULONG size) {
  ULONG written = 0;
  const HRESULT hr = stream->Write(buffer, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_WRITEFAULT;
}

}  // namespace

HRESULT EncryptionObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Encryption;
  return S_OK;
}

HRESULT EncryptionObject::InitNew() {
  control_.set_base_enabled(true);
  dirty_ = false;
  return S_OK;
}

HRESULT EncryptionObject::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  VARIANT value;
  VariantInit(&value);
  // A bag without the name (or that cannot read it) gives the default.
  const HRESULT read = bag->Read(enabled_name, &value, log);
  const HRESULT hr = guarded(IID_IPersistPropertyBag, [&] {
    platform::PropertyBag copy;
    if (SUCCEEDED(read)) {
      if (auto v = from_automation(value)) {
        copy.write("Enabled", *v, Empty{});
      } else {
        throw Error(ErrorNumber::type_mismatch);
      }
    }
    control_.ReadProperties(copy);
  });
  VariantClear(&value);
  if (SUCCEEDED(hr)) dirty_ = false;
  return hr;
}

HRESULT EncryptionObject::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) {
  if (bag == nullptr) return E_POINTER;
  platform::PropertyBag saved;
  const HRESULT prepared = guarded(IID_IPersistPropertyBag, [&] { control_.WriteProperties(saved); });
  if (FAILED(prepared)) return prepared;
  // The library leaves out a value equal to its default; a host that asks
  // for every property gets it all the same.
  std::optional<Variant> value = saved.find("Enabled");
  if (!value && save_all) value = Variant(Bool{true});
  if (value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = std::get<Bool>(*value).value ? VARIANT_TRUE : VARIANT_FALSE;
    if (HRESULT hr = bag->Write(enabled_name, &v); FAILED(hr)) return hr;
  }
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

HRESULT EncryptionObject::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT EncryptionObject::Load(LPSTREAM stream) {
  if (stream == nullptr) return E_POINTER;
  unsigned char header[4];
  if (HRESULT hr = read_exactly(stream, header, sizeof header); FAILED(hr)) return hr;
  const std::uint32_t length = header[0] | (header[1] << 8) | (header[2] << 16) |
                               (static_cast<std::uint32_t>(header[3]) << 24);
  if (length > largest_stream) return STG_E_READFAULT;
  std::string text;
  try {
    text.resize(length);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  if (length != 0) {
    if (HRESULT hr = read_exactly(stream, text.data(), length); FAILED(hr)) return hr;
  }
  const HRESULT hr = guarded(IID_IPersistStreamInit, [&] {
    control_.ReadProperties(platform::PropertyBag::from_text(text));
  });
  if (SUCCEEDED(hr)) dirty_ = false;
  return hr;
}

HRESULT EncryptionObject::Save(LPSTREAM stream, BOOL clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  std::string text;
  const HRESULT prepared = guarded(IID_IPersistStreamInit, [&] {
    platform::PropertyBag saved;
    control_.WriteProperties(saved);
    text = saved.to_text();
  });
  if (FAILED(prepared)) return prepared;
  const auto length = static_cast<std::uint32_t>(text.size());
  const unsigned char header[4] = {
      static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
      static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
  if (HRESULT hr = write_exactly(stream, header, sizeof header); FAILED(hr)) return hr;
  if (length != 0) {
    if (HRESULT hr = write_exactly(stream, text.data(), length); FAILED(hr)) return hr;
  }
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

HRESULT EncryptionObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  // "Enabled = Boolean False\n" and its length.
  size->QuadPart = 4 + 64;
  return S_OK;
}

}  // namespace quillfern::server
