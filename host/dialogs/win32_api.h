// The windowing calls the dialog procedures make. Windows builds use the real
// API; every other build uses a small in-process stand-in that records what
// the procedures do, so that the same procedure code is unit-tested there.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "host/dialogs/portable/win32_standin.h"
#endif
