// Dialog 102: the TPCENCODE parameter block.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

constexpr CodeDimensionFields kCodeFields{IDC_ENC_NX, IDC_ENC_NY, IDC_ENC_NZ,
                                          IDC_ENC_KX, IDC_ENC_KY, IDC_ENC_KZ};

// The unit pair is two check boxes here, kept exclusive by the procedure.
void ShowOffsetUnit(HWND dialog, const EncoderParams& block) {
    ShowFlagPair(dialog, IDC_ENC_BITS, block.inBits, IDC_ENC_SECONDS, block.inSeconds);
}

void FillEncoderDialog(HWND dialog, const EncoderParams& block) {
    ShowCodeDimensions(dialog, kCodeFields, block);
    ShowReal(dialog, IDC_ENC_DELAY, "%5.3f", block.delay);
    ShowReal(dialog, IDC_ENC_THRESHOLD, "%5.3f", block.threshold);

    SetCheck(dialog, IDC_ENC_INTERLEAVE, block.interleave != 0);
    ShowOffsetUnit(dialog, block);
}

// Each value goes into the block as soon as it is read.
void ReadEncoderDialog(HWND dialog, EncoderParams& block) {
    ReadCodeDimensions(dialog, kCodeFields, block);
    block.delay = ReadReal(dialog, IDC_ENC_DELAY);
    block.threshold = ReadReal(dialog, IDC_ENC_THRESHOLD);
}

void OnEncoderButton(HWND dialog, EncoderParams& block, int id) {
    switch (id) {
        case IDC_ENC_INTERLEAVE:
            ToggleFlag(dialog, id, block.interleave);
            break;
        case IDC_ENC_SECONDS:
        case IDC_ENC_BITS:
            ChooseFlag(id == IDC_ENC_BITS, block.inBits, block.inSeconds);
            ShowOffsetUnit(dialog, block);
            break;
        default:
            break;
    }
}

// Ids 1 and 2 (Enter, Escape, the close box) are deliberately not bound:
// only the dialog's own buttons 1029 and 1030 close it.
constexpr ParameterDialog<EncoderParams> kEncoderParameters{
    FillEncoderDialog, ReadEncoderDialog, OnEncoderButton, IDC_ENC_OK, IDC_ENC_CANCEL, IDC_ENC_NX};

}  // namespace

const DialogProcedure EncoderDialogProc = ParameterDialogProcedure<kEncoderParameters>;

}  // namespace tpc
