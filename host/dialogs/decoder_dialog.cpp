// Dialog 101: the TPCDECODE parameter block.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

// The block being edited; the dialog is modal, so one is open at a time.
DecoderParams* gDecoderBlock = nullptr;

void FillDecoderDialog(HWND dialog, const DecoderParams& block) {
    ShowInteger(dialog, IDC_DEC_NX, block.nx);
    ShowInteger(dialog, IDC_DEC_KX, block.kx);
    ShowInteger(dialog, IDC_DEC_NY, block.ny);
    ShowInteger(dialog, IDC_DEC_KY, block.ky);
    ShowInteger(dialog, IDC_DEC_NZ, block.nz);
    ShowInteger(dialog, IDC_DEC_KZ, block.kz);
    ShowInteger(dialog, IDC_DEC_NUMX, block.NUMX);
    ShowInteger(dialog, IDC_DEC_NUMY, block.NUMY);
    ShowInteger(dialog, IDC_DEC_NUMZ, block.NUMZ);
    ShowReal(dialog, IDC_DEC_QUANT_LIMIT, "%5.3f", block.quantLimit);
    ShowInteger(dialog, IDC_DEC_RESOLUTION, block.resolution);
    ShowInteger(dialog, IDC_DEC_ITERATIONS, block.iterations);
    ShowReal(dialog, IDC_DEC_DELAY, "%5.3f", block.delay);

    // In both pairs the second flag wins when both are set.
    if (block.inBits) {
        SetCheck(dialog, IDC_DEC_BITS, true);
        SetCheck(dialog, IDC_DEC_SECONDS, false);
    }
    if (block.inSeconds) {
        SetCheck(dialog, IDC_DEC_SECONDS, true);
        SetCheck(dialog, IDC_DEC_BITS, false);
    }
    SetCheck(dialog, IDC_DEC_DEINTERLEAVE, block.deinter != 0);
    SetCheck(dialog, IDC_DEC_SELECTIVE_STOP, block.selectstp != 0);
    if (block.bpsk) {
        SetCheck(dialog, IDC_DEC_BPSK, true);
        SetCheck(dialog, IDC_DEC_HIGHER_ORDER, false);
    }
    if (block.higherOrderMod) {
        SetCheck(dialog, IDC_DEC_BPSK, false);
        SetCheck(dialog, IDC_DEC_HIGHER_ORDER, true);
    }
}

// Each value goes into the block as soon as it is read.
void ReadDecoderDialog(HWND dialog, DecoderParams& block) {
    block.nx = ReadInteger(dialog, IDC_DEC_NX);
    block.ny = ReadInteger(dialog, IDC_DEC_NY);
    block.nz = ReadInteger(dialog, IDC_DEC_NZ);
    block.kx = ReadInteger(dialog, IDC_DEC_KX);
    block.ky = ReadInteger(dialog, IDC_DEC_KY);
    block.kz = ReadInteger(dialog, IDC_DEC_KZ);
    block.NUMX = ReadInteger(dialog, IDC_DEC_NUMX);
    block.NUMY = ReadInteger(dialog, IDC_DEC_NUMY);
    block.NUMZ = ReadInteger(dialog, IDC_DEC_NUMZ);
    block.resolution = ReadInteger(dialog, IDC_DEC_RESOLUTION);
    block.quantLimit = ReadReal(dialog, IDC_DEC_QUANT_LIMIT);
    block.iterations = ReadInteger(dialog, IDC_DEC_ITERATIONS);
    block.delay = ReadReal(dialog, IDC_DEC_DELAY);
}

void OnDecoderCommand(HWND dialog, int id) {
    DecoderParams& block = *gDecoderBlock;
    switch (id) {
        case IDC_DEC_OK:
            ReadDecoderDialog(dialog, block);
            EndDialog(dialog, 1);
            break;
        case IDC_DEC_CANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_DEC_DEINTERLEAVE:
            block.deinter ^= 1u;
            SetCheck(dialog, IDC_DEC_DEINTERLEAVE, block.deinter != 0);
            break;
        case IDC_DEC_SELECTIVE_STOP:
            block.selectstp ^= 1u;
            SetCheck(dialog, IDC_DEC_SELECTIVE_STOP, block.selectstp != 0);
            break;
        case IDC_DEC_SECONDS:
            block.inSeconds = 1;
            block.inBits = 0;
            CheckRadioButton(dialog, IDC_DEC_SECONDS, IDC_DEC_BITS, IDC_DEC_SECONDS);
            break;
        case IDC_DEC_BITS:
            block.inBits = 1;
            block.inSeconds = 0;
            CheckRadioButton(dialog, IDC_DEC_SECONDS, IDC_DEC_BITS, IDC_DEC_BITS);
            break;
        case IDC_DEC_BPSK:
            block.bpsk = 1;
            block.higherOrderMod = 0;
            CheckRadioButton(dialog, IDC_DEC_BPSK, IDC_DEC_HIGHER_ORDER, IDC_DEC_BPSK);
            break;
        case IDC_DEC_HIGHER_ORDER:
            block.higherOrderMod = 1;
            block.bpsk = 0;
            CheckRadioButton(dialog, IDC_DEC_BPSK, IDC_DEC_HIGHER_ORDER, IDC_DEC_HIGHER_ORDER);
            break;
        default:
            break;
    }
}

}  // namespace

INT_PTR CALLBACK DecoderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            gDecoderBlock = reinterpret_cast<DecoderParams*>(lParam);
            FillDecoderDialog(dialog, *gDecoderBlock);
            CentreOnDesktop(dialog);
            SetFocus(GetDlgItem(dialog, IDC_DEC_NX));
            return kHandled;
        case WM_COMMAND:
            if (HIWORD(wParam) != 0) return kNotHandled;
            OnDecoderCommand(dialog, LOWORD(wParam));
            return kHandled;
        case WM_CTLCOLORDLG:
            return kDialogBackground;
        default:
            return kNotHandled;
    }
}

}  // namespace tpc
