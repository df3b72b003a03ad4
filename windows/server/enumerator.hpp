// A snapshot enumerator over add-ref'ed interface pointers or plain
// values, for IEnumConnectionPoints and IEnumConnections.
#pragma once

#include <atomic>
#include <new>
#include <vector>

#include "quillfern/platform/win32/windows_api.hpp"
#include "windows/server/query.hpp"

namespace quillfern::server {

// Holds one reference to every element of `items` (Item is an interface
// pointer or CONNECTDATA, whose sink it holds) and hands out copies with a
// reference of their own.
template <typename Interface, typename Item>
class Enumerator final : public Interface {
 public:
  Enumerator(REFIID iid, std::vector<Item> items) : iid_(iid), items_(std::move(items)) {
    for (Item& item : items_) unknown(item)->AddRef();
  }
  ~Enumerator() {
    for (Item& item : items_) unknown(item)->Release();
  }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return query_one(static_cast<Interface*>(this), iid_, riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < count && next_ < items_.size()) {
      out[n] = items_[next_++];
      unknown(out[n])->AddRef();
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** copy) override {
    if (copy == nullptr) return E_POINTER;
    *copy = nullptr;
    auto* made = new (std::nothrow) Enumerator(iid_, items_);
    if (made == nullptr) return E_OUTOFMEMORY;
    made->next_ = next_;
    *copy = made;
    return S_OK;
  }

 private:
  static IUnknown* unknown(IUnknown* item) noexcept { return item; }
  static IUnknown* unknown(const CONNECTDATA& item) noexcept { return item.pUnk; }

  std::atomic<ULONG> references_{1};
  IID iid_;
  std::vector<Item> items_;
  std::size_t next_ = 0;
};

}  // namespace quillfern::server
