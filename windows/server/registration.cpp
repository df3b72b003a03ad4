#include "windows/server/registration.hpp"

#include <cwchar>
#include <string>
#include <string_view>

#include "quillfern/core/identity.hpp"
#include "windows/server/module.hpp"

// The per-user registration of a type library (Windows Vista and later),
// which the MinGW headers do not declare; the import library has both.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* help_folder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID library, WORD major, WORD minor, LCID locale, SYSKIND kind);
}

namespace quillfern::server {
namespace {

std::wstring widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring class_key() { return L"CLSID\\" + widen(identity::class_guid); }

// The library's version as the type library's registration writes it, in
// hexadecimal: 34.0 is "22.0".
std::wstring version_key() {
  wchar_t version[16];
  swprintf(version, 16, L"%x.%x", unsigned{identity::library_version_major},
           unsigned{identity::library_version_minor});
  return version;
}

// Where a scope's class keys live: the machine's classes (HKEY_CLASSES_ROOT
// writes there for an administrator) or the current user's own,
// HKEY_CURRENT_USER\Software\Classes, which needs no administrator.
struct Root {
  HKEY key;
  std::wstring prefix;
};
Root root_of(Scope scope) {
  if (scope == Scope::user) return {HKEY_CURRENT_USER, L"Software\\Classes\\"};
  return {HKEY_CLASSES_ROOT, L""};
}

LSTATUS set_value(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_WRITE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

LSTATUS delete_tree(const Root& root, const std::wstring& name) {
  const std::wstring key = root.prefix + name;
  const LSTATUS status = RegDeleteTreeW(root.key, key.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    const LSTATUS removed = RegDeleteKeyW(root.key, key.c_str());
    return removed == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : removed;
  }
  return status;
}

HRESULT write_keys(const Root& root, const std::wstring& path) {
  const std::wstring clsid = class_key();
  const std::wstring prog_id = widen(identity::prog_id);
  const std::wstring version = version_key();
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {clsid, nullptr, widen(identity::class_name)},
      {clsid + L"\\InprocServer32", nullptr, path},
      {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {clsid + L"\\ProgID", nullptr, prog_id},
      {clsid + L"\\TypeLib", nullptr, widen(identity::library_guid)},
      {clsid + L"\\Version", nullptr, version},
      {clsid + L"\\Control", nullptr, L""},
      {clsid + L"\\ToolboxBitmap32", nullptr,
       path + L", " + std::to_wstring(identity::toolbox_bitmap_resource)},
      {clsid + L"\\MiscStatus", nullptr, L"0"},
      {clsid + L"\\MiscStatus\\1", nullptr, std::to_wstring(misc_status)},
      {prog_id, nullptr, widen(identity::class_name)},
      {prog_id + L"\\CLSID", nullptr, widen(identity::class_guid)},
  };
  for (const auto& v : values) {
    if (LSTATUS status = set_value(root.key, root.prefix + v.key, v.name, v.value); status != ERROR_SUCCESS) {
      return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
    }
  }
  return S_OK;
}

}  // namespace

HRESULT register_server(Scope scope) noexcept {
  try {
    const std::wstring path = module_path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = write_keys(root_of(scope), path);
    if (SUCCEEDED(hr)) {
      ITypeLib* library = nullptr;
      hr = type_library(&library);
      if (SUCCEEDED(hr)) {
        hr = scope == Scope::user ? RegisterTypeLibForUser(library, const_cast<LPOLESTR>(path.c_str()), nullptr)
                                  : RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), nullptr);
      }
    }
    if (FAILED(hr)) {
      (void)unregister_server(scope);
      return hr == TYPE_E_REGISTRYACCESS ? SELFREG_E_TYPELIB : hr;
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT unregister_server(Scope scope) noexcept {
  try {
    HRESULT result = S_OK;
    for (const std::wstring& key : {class_key(), widen(identity::prog_id)}) {
      if (LSTATUS status = delete_tree(root_of(scope), key); status != ERROR_SUCCESS) {
        result = HRESULT_FROM_WIN32(static_cast<DWORD>(status));
      }
    }
    // The user's CLSID key, when the class was the last one in it: a user
    // who never registered anything before has none (a key that still
    // holds other classes is not deleted by RegDeleteKey).
    if (scope == Scope::user) (void)RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID");
    GUID library_id{};
    const std::wstring library_guid = widen(identity::library_guid);
    if (FAILED(CLSIDFromString(const_cast<LPOLESTR>(library_guid.c_str()), &library_id))) return E_UNEXPECTED;
    // A library that is not registered (any more) is no failure here; the
    // system answers differently for it, so look first (in the merged
    // view, which holds the user's classes and the machine's).
    HKEY registered = nullptr;
    const std::wstring library_key = L"TypeLib\\" + library_guid + L"\\" + version_key();
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, library_key.c_str(), 0, KEY_READ, &registered) != ERROR_SUCCESS) {
      return result;
    }
    RegCloseKey(registered);
    const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const HRESULT hr =
        scope == Scope::user
            ? UnRegisterTypeLibForUser(library_id, identity::library_version_major, identity::library_version_minor,
                                       identity::library_locale, kind)
            : UnRegisterTypeLib(library_id, identity::library_version_major, identity::library_version_minor,
                                identity::library_locale, kind);
    if (FAILED(hr)) result = hr;
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace quillfern::server
