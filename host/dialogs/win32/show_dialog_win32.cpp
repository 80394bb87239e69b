// ShowParameterDialog on Windows: a modal dialog from the library's own
// templates, owned by the host's window.
#include <windows.h>

#include "host/dialogs/dialog_procedures.h"
#include "host/dialogs/show_dialog.h"

namespace tpc {

namespace {

// The library's module handle, where the dialog templates and the logo live.
HINSTANCE gModule = nullptr;

DLGPROC ProcedureOf(int32_t dialogId) {
    switch (dialogId) {
        case kEncoderDialog: return EncoderDialogProc;
        case kDecoderDialog: return DecoderDialogProc;
        case kLlrDialog: return LlrDialogProc;
        default: return nullptr;
    }
}

}  // namespace

int32_t ShowParameterDialog(int32_t dialogId, void* block, void* parentWindow) {
    DLGPROC procedure = ProcedureOf(dialogId);
    if (!procedure) return -1;
    INT_PTR result = DialogBoxParamA(gModule, MAKEINTRESOURCEA(dialogId),
                                     static_cast<HWND>(parentWindow), procedure,
                                     reinterpret_cast<LPARAM>(block));
    // -1 when the dialog could not be created. The host is told only that, so
    // the system's error code (GetLastError) is left unread and as it was.
    return static_cast<int32_t>(result);
}

}  // namespace tpc

// Loading records the module handle and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    using namespace tpc;
    if (reason == DLL_PROCESS_ATTACH) gModule = module;
    return TRUE;
}
