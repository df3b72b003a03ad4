// The entry points of the in-process server: the four standard ones and
// DllInstall, through which regsvr32 /n /i:user registers for the current
// user only.
#include "windows/server/class_factory.hpp"
#include "windows/server/module.hpp"
#include "windows/server/registration.hpp"

#include "windows/server/typelib.hpp"

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  static quillfern::server::ClassFactory factory;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_Encryption) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return quillfern::server::module_in_use() ? S_FALSE : S_OK;
}

HRESULT STDAPICALLTYPE DllRegisterServer() { return quillfern::server::register_server(); }

HRESULT STDAPICALLTYPE DllUnregisterServer() { return quillfern::server::unregister_server(); }

// regsvr32 /n /i:user (install) and /u /n /i:user (uninstall): the keys of
// the current user; without a command line, the machine's, as
// DllRegisterServer. Any other command line is refused.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, PCWSTR command_line) {
  using quillfern::server::Scope;
  Scope scope = Scope::machine;
  if (command_line != nullptr && command_line[0] != L'\0') {
    if (_wcsicmp(command_line, L"user") != 0) return E_INVALIDARG;
    scope = Scope::user;
  }
  return install ? quillfern::server::register_server(scope) : quillfern::server::unregister_server(scope);
}

}  // extern "C"
