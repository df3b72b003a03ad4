// QueryInterface of the server's small objects, each of which serves one
// interface besides IUnknown (the class object, a connection point, the
// enumerators).
#pragma once

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::server {

// Hands out `self` for IUnknown and for `iid`, with a reference added.
template <typename Interface>
HRESULT query_one(Interface* self, REFIID iid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == iid) {
    *object = self;
    self->AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

}  // namespace quillfern::server
