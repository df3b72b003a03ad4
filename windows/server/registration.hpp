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

// For the whole machine (DllRegisterServer, needs an administrator) or for
// the current user only (DllInstall with "user": regsvr32 /n /i:user),
// under HKEY_CURRENT_USER\Software\Classes, the type library with
// RegisterTypeLibForUser.
enum class Scope { machine, user };

[[nodiscard]] HRESULT register_server(Scope scope = Scope::machine) noexcept;
// Removes the keys of register_server in the same scope, and only those;
// keys that are already gone are no failure.
[[nodiscard]] HRESULT unregister_server(Scope scope = Scope::machine) noexcept;

}  // namespace quillfern::server
