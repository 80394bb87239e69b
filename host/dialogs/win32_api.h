// The windowing calls the dialog procedures make. Windows builds use the real
// API. Elsewhere the library has no dialogs and the procedures are built only
// for the tests, against a small in-process stand-in that records what they
// do, so that the same procedure code is unit-tested there.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include "host/dialogs/portable/win32_standin.h"
#endif
