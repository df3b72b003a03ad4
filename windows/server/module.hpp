// The server's module: its handle and path, the count of live objects and
// locks that DllCanUnloadNow answers from, the host that lends every
// control its services, and the type library read from the module's own
// resources.
#pragma once

#include <string>

#include "quillfern/platform/host.hpp"
#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::server {

[[nodiscard]] HMODULE module_handle() noexcept;
// The full path of quillfern.dll.
[[nodiscard]] std::wstring module_path();

// Objects and IClassFactory::LockServer calls keep the module loaded.
void add_module_reference() noexcept;
void release_module_reference() noexcept;
[[nodiscard]] bool module_in_use() noexcept;

// The host of every control of the process: the system's message box and
// the code page that matches the system's ANSI code page.
[[nodiscard]] platform::Host& host();

// The type library embedded in the module (resource 1), loaded once; the
// pointer is borrowed. Type information for one of its GUIDs, add-ref'ed.
[[nodiscard]] HRESULT type_library(ITypeLib** library) noexcept;
[[nodiscard]] HRESULT type_info(REFGUID guid, ITypeInfo** info) noexcept;

}  // namespace quillfern::server
