#include "windows/server/class_factory.hpp"

#include <new>

#include "windows/server/encryption_object.hpp"
#include "windows/server/module.hpp"
#include "windows/server/query.hpp"

namespace quillfern::server {

// The class object is static: its references only keep the module loaded.
HRESULT ClassFactory::QueryInterface(REFIID riid, void** object) {
  return query_one(static_cast<IClassFactory*>(this), IID_IClassFactory, riid, object);
}

ULONG ClassFactory::AddRef() {
  add_module_reference();
  return 2;
}

ULONG ClassFactory::Release() {
  release_module_reference();
  return 1;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* control = new (std::nothrow) EncryptionObject();
  if (control == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = control->QueryInterface(riid, object);
  control->Release();  // the creator's reference; QueryInterface added its own
  return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    add_module_reference();
  } else {
    release_module_reference();
  }
  return S_OK;
}

}  // namespace quillfern::server
