#include "windows/server/connection_point.hpp"

#include <algorithm>

#include "windows/server/enumerator.hpp"

namespace quillfern::server {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, REFIID interface_id,
                                 bool dispatch_fallback) noexcept
    : owner_(owner), interface_id_(interface_id), dispatch_fallback_(dispatch_fallback) {}

ConnectionPoint::~ConnectionPoint() {
  for (const Connection& c : connections_) c.sink->Release();
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* interface_id) {
  if (interface_id == nullptr) return E_POINTER;
  *interface_id = interface_id_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  owner_->AddRef();
  *container = owner_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  IUnknown* held = nullptr;
  HRESULT hr = sink->QueryInterface(interface_id_, reinterpret_cast<void**>(&held));
  if (FAILED(hr) && dispatch_fallback_) {
    hr = sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&held));
  }
  if (FAILED(hr)) return CONNECT_E_CANNOTCONNECT;
  try {
    connections_.push_back(Connection{next_cookie_, held});
  } catch (...) {
    held->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = next_cookie_++;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [cookie](const Connection& c) { return c.cookie == cookie; });
  if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
  IUnknown* sink = it->sink;
  connections_.erase(it);
  sink->Release();
  return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  try {
    std::vector<CONNECTDATA> data;
    for (const Connection& c : connections_) data.push_back(CONNECTDATA{c.sink, c.cookie});
    *connections = new Enumerator<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, std::move(data));
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

std::vector<IUnknown*> ConnectionPoint::sinks() const {
  std::vector<IUnknown*> out;
  out.reserve(connections_.size());
  for (const Connection& c : connections_) {
    c.sink->AddRef();
    out.push_back(c.sink);
  }
  return out;
}

}  // namespace quillfern::server
