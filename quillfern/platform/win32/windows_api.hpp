// The Windows headers as the Windows-only code includes them. windows.h
// defines MessageBox as a macro; it is removed here because the library
// has a class of that name (quillfern::platform::MessageBox).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>

#undef MessageBox
