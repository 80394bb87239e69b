// Dialog 103: the LLRcalculator parameter block. It has no field for `res`,
// and the path field 1043 is for show: only the file browser changes `file`.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

// The block being edited; the dialog is modal, so one is open at a time.
LlrParams* gLlrBlock = nullptr;

void ShowPath(HWND dialog, const LlrParams& block) {
    ShowText(dialog, IDC_LLR_FILE, block.file, sizeof block.file);
}

void FillLlrDialog(HWND dialog, const LlrParams& block) {
    ShowReal(dialog, IDC_LLR_ESNO, "%2.2f", block.esno);
    ShowInteger(dialog, IDC_LLR_NUMSYM, block.numsym);
    ShowReal(dialog, IDC_LLR_QUANT_LIMIT, "%2.2f", block.quantLimit);
    ShowPath(dialog, block);
}

// Ids 1 and 2 (Enter, Escape, the close box) are deliberately not bound:
// only the dialog's own buttons 1032 and 1033 close it.
void OnLlrCommand(HWND dialog, int id) {
    LlrParams& block = *gLlrBlock;
    switch (id) {
        case IDC_LLR_OK:
            block.esno = ReadReal(dialog, IDC_LLR_ESNO);
            block.numsym = ReadInteger(dialog, IDC_LLR_NUMSYM);
            block.quantLimit = ReadReal(dialog, IDC_LLR_QUANT_LIMIT);
            EndDialog(dialog, 1);
            break;
        case IDC_LLR_CANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_LLR_BROWSE:
            BrowseConstellationFile(dialog, block.file);
            ShowPath(dialog, block);
            break;
        default:
            break;
    }
}

}  // namespace

INT_PTR CALLBACK LlrDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            gLlrBlock = reinterpret_cast<LlrParams*>(lParam);
            FillLlrDialog(dialog, *gLlrBlock);
            CentreOnDesktop(dialog);
            SetFocus(GetDlgItem(dialog, IDC_LLR_ESNO));
            return kHandled;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) return kNotHandled;
            OnLlrCommand(dialog, LOWORD(wParam));
            return kHandled;
        case WM_CTLCOLORDLG:
            return kDialogBackground;
        default:
            return kNotHandled;
    }
}

}  // namespace tpc
