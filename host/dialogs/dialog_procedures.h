// The procedures of the three modal parameter dialogs. Each is handed its
// node's parameter block as the creation parameter of WM_INITDIALOG and edits
// it in place; the dialog ends with 1 after OK and 0 after Cancel.
#pragma once

#include "host/dialogs/win32_api.h"

namespace tpc {

INT_PTR CALLBACK EncoderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DecoderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LlrDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tpc
