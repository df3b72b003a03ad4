// One outgoing interface of a control: the sinks that hosts advised,
// reached through IConnectionPoint. The point lives inside its control and
// shares the control's reference count.
#pragma once

#include <vector>

#include "quillfern/platform/win32/windows_api.hpp"
#include "windows/server/query.hpp"

namespace quillfern::server {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `owner` is the control's IConnectionPointContainer; `interface_id` the
  // outgoing interface. A sink that lacks that interface is accepted as a
  // plain IDispatch when `dispatch_fallback` is set.
  ConnectionPoint(IConnectionPointContainer* owner, REFIID interface_id, bool dispatch_fallback) noexcept;
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  // The point is part of its control and counts the control's references.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return query_one(static_cast<IConnectionPoint*>(this), IID_IConnectionPoint, riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* interface_id) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  [[nodiscard]] const IID& interface_id() const noexcept { return interface_id_; }

  // The advised sinks, add-ref'ed, so that a sink may unadvise while it is
  // being called; the caller releases them.
  [[nodiscard]] std::vector<IUnknown*> sinks() const;

 private:
  struct Connection {
    DWORD cookie;
    IUnknown* sink;
  };
  IConnectionPointContainer* owner_;
  IID interface_id_;
  bool dispatch_fallback_;
  DWORD next_cookie_ = 1;
  std::vector<Connection> connections_;
};

}  // namespace quillfern::server
