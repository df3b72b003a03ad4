#include "windows/server/module.hpp"

#include <atomic>
#include <mutex>

#include "quillfern/platform/win32/message_box.hpp"
#include "quillfern/platform/win32/text.hpp"
#include "quillfern/platform/win32/window_system.hpp"

namespace quillfern::server {
namespace {

HMODULE this_module = nullptr;
std::atomic<long> references{0};

}  // namespace

HMODULE module_handle() noexcept { return this_module; }

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(this_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void add_module_reference() noexcept { ++references; }
void release_module_reference() noexcept { --references; }
bool module_in_use() noexcept { return references.load() != 0; }

platform::Host& host() {
  // The services are made before the host and so outlive it.
  static win32::Win32MessageBox box;
#ifdef QUILLFERN_WIN32_WINDOW_SYSTEM
  static win32::Win32WindowSystem windows;
#endif
  static platform::Host the_host(box, win32::host_code_page());
#ifdef QUILLFERN_WIN32_WINDOW_SYSTEM
  static const bool lent = (the_host.set_window_system(windows), true);
  (void)lent;
#endif
  return the_host;
}

HRESULT type_library(ITypeLib** library) noexcept {
  // Loaded on first use and kept for the life of the process: the object
  // lives in the system's automation library, not in this module.
  static std::mutex guard;
  static ITypeLib* loaded = nullptr;
  std::lock_guard lock(guard);
  if (loaded == nullptr) {
    std::wstring path;
    try {
      path = module_path();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    if (HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded); FAILED(hr)) return hr;
  }
  *library = loaded;
  return S_OK;
}

HRESULT type_info(REFGUID guid, ITypeInfo** info) noexcept {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* library = nullptr;
  if (HRESULT hr = type_library(&library); FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(guid, info);
}

}  // namespace quillfern::server

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    quillfern::server::this_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
