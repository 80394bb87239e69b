// The procedures of the three modal parameter dialogs. Each is handed its
// node's parameter block as the creation parameter of WM_INITDIALOG and edits
// it in place; the dialog ends with 1 after OK and 0 after Cancel.
#pragma once

#include "host/dialogs/win32_api.h"

namespace tpc {

using DialogProcedure = INT_PTR(CALLBACK*)(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam);

extern const DialogProcedure EncoderDialogProc;
extern const DialogProcedure DecoderDialogProc;
extern const DialogProcedure LlrDialogProc;

}  // namespace tpc
