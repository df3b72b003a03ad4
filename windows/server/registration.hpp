// What DllRegisterServer writes and DllUnregisterServer removes: the class
// with its in-process server, ProgID, type library, version, control and
// toolbox-image keys; the ProgID; the type library and its interfaces.
#pragma once

#include "quillfern/platform/win32/windows_api.hpp"

namespace quillfern::server {

// OLEMISC flags of the control, written under MiscStatus\1 and answered by
// IOleObject::GetMiscStatus.
inline constexpr DWORD misc_status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

[[nodiscard]] HRESULT register_server() noexcept;
// Removes the keys of register_server, and only those; keys that are
// already gone are no failure.
[[nodiscard]] HRESULT unregister_server() noexcept;

}  // namespace quillfern::server
