// Dialog 102: the TPCENCODE parameter block.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

// The block being edited; the dialog is modal, so one is open at a time.
EncoderParams* gEncoderBlock = nullptr;

void FillEncoderDialog(HWND dialog, const EncoderParams& block) {
    ShowInteger(dialog, IDC_ENC_NX, block.nx);
    ShowInteger(dialog, IDC_ENC_KX, block.kx);
    ShowInteger(dialog, IDC_ENC_NY, block.ny);
    ShowInteger(dialog, IDC_ENC_KY, block.ky);
    ShowInteger(dialog, IDC_ENC_NZ, block.nz);
    ShowInteger(dialog, IDC_ENC_KZ, block.kz);
    ShowReal(dialog, IDC_ENC_DELAY, "%5.3f", block.delay);
    ShowReal(dialog, IDC_ENC_THRESHOLD, "%5.3f", block.threshold);

    SetCheck(dialog, IDC_ENC_INTERLEAVE, block.interleave != 0);
    // When both unit flags are set, "Seconds" wins because it comes second.
    if (block.inBits) {
        SetCheck(dialog, IDC_ENC_BITS, true);
        SetCheck(dialog, IDC_ENC_SECONDS, false);
    }
    if (block.inSeconds) {
        SetCheck(dialog, IDC_ENC_SECONDS, true);
        SetCheck(dialog, IDC_ENC_BITS, false);
    }
}

// Each value goes into the block as soon as it is read.
void ReadEncoderDialog(HWND dialog, EncoderParams& block) {
    block.nx = ReadInteger(dialog, IDC_ENC_NX);
    block.ny = ReadInteger(dialog, IDC_ENC_NY);
    block.nz = ReadInteger(dialog, IDC_ENC_NZ);
    block.kx = ReadInteger(dialog, IDC_ENC_KX);
    block.ky = ReadInteger(dialog, IDC_ENC_KY);
    block.kz = ReadInteger(dialog, IDC_ENC_KZ);
    block.delay = ReadReal(dialog, IDC_ENC_DELAY);
    block.threshold = ReadReal(dialog, IDC_ENC_THRESHOLD);
}

// Ids 1 and 2 (Enter, Escape, the close box) are deliberately not bound:
// only the dialog's own buttons 1029 and 1030 close it.
void OnEncoderCommand(HWND dialog, int id) {
    EncoderParams& block = *gEncoderBlock;
    switch (id) {
        case IDC_ENC_OK:
            ReadEncoderDialog(dialog, block);
            EndDialog(dialog, 1);
            break;
        case IDC_ENC_CANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_ENC_INTERLEAVE:
            block.interleave ^= 1u;
            SetCheck(dialog, IDC_ENC_INTERLEAVE, block.interleave != 0);
            break;
        case IDC_ENC_SECONDS:
            block.inSeconds = 1;
            block.inBits = 0;
            SetCheck(dialog, IDC_ENC_SECONDS, true);
            SetCheck(dialog, IDC_ENC_BITS, false);
            break;
        case IDC_ENC_BITS:
            block.inBits = 1;
            block.inSeconds = 0;
            SetCheck(dialog, IDC_ENC_BITS, true);
            SetCheck(dialog, IDC_ENC_SECONDS, false);
            break;
        default:
            break;
    }
}

}  // namespace

INT_PTR CALLBACK EncoderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            gEncoderBlock = reinterpret_cast<EncoderParams*>(lParam);
            FillEncoderDialog(dialog, *gEncoderBlock);
            CentreOnDesktop(dialog);
            SetFocus(GetDlgItem(dialog, IDC_ENC_NX));
            return kHandled;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) return kNotHandled;
            OnEncoderCommand(dialog, LOWORD(wParam));
            return kHandled;
        case WM_CTLCOLORDLG:
            return kDialogBackground;
        default:
            return kNotHandled;
    }
}

}  // namespace tpc
