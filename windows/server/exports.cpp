// The four entry points of the in-process server.
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

}  // extern "C"
