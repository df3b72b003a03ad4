// The interfaces and identifiers generated from quillfern.idl. The
// WINDOW_STATES members share their names with the system's show-window
// macros, which are set aside while the generated header is read.
#pragma once

#include "quillfern/platform/win32/windows_api.hpp"

#pragma push_macro("SW_SHOWNORMAL")
#pragma push_macro("SW_SHOWMINIMIZED")
#pragma push_macro("SW_SHOWMAXIMIZED")
#undef SW_SHOWNORMAL
#undef SW_SHOWMINIMIZED
#undef SW_SHOWMAXIMIZED
#include "quillfern_h.h"
#pragma pop_macro("SW_SHOWMAXIMIZED")
#pragma pop_macro("SW_SHOWMINIMIZED")
#pragma pop_macro("SW_SHOWNORMAL")
