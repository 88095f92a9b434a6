// The Windows headers, brought in after the platform interface. Several of its method names are
// also macros of <windows.h> (LoadLibrary, RegOpenKey...), which would rename the methods here;
// those macros are dropped, so Windows calls of these names take their explicit A form.
#pragma once

#include "platform/win32/win32_platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef LoadLibrary
#undef GetSystemDirectory
#undef RegOpenKey
#undef RegCreateKey
#undef RegQueryValue
#undef RegSetValue
