// Dialog 101: the TPCDECODE parameter block.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

constexpr CodeDimensionFields kCodeFields{IDC_DEC_NX, IDC_DEC_NY, IDC_DEC_NZ,
                                          IDC_DEC_KX, IDC_DEC_KY, IDC_DEC_KZ};

void FillDecoderDialog(HWND dialog, const DecoderParams& block) {
    ShowCodeDimensions(dialog, kCodeFields, block);
    ShowInteger(dialog, IDC_DEC_NUMX, block.NUMX);
    ShowInteger(dialog, IDC_DEC_NUMY, block.NUMY);
    ShowInteger(dialog, IDC_DEC_NUMZ, block.NUMZ);
    ShowReal(dialog, IDC_DEC_QUANT_LIMIT, "%5.3f", block.quantLimit);
    ShowInteger(dialog, IDC_DEC_RESOLUTION, block.resolution);
    ShowInteger(dialog, IDC_DEC_ITERATIONS, block.iterations);
    ShowReal(dialog, IDC_DEC_DELAY, "%5.3f", block.delay);

    ShowFlagPair(dialog, IDC_DEC_BITS, block.inBits, IDC_DEC_SECONDS, block.inSeconds);
    SetCheck(dialog, IDC_DEC_DEINTERLEAVE, block.deinter != 0);
    SetCheck(dialog, IDC_DEC_SELECTIVE_STOP, block.selectstp != 0);
    ShowFlagPair(dialog, IDC_DEC_BPSK, block.bpsk, IDC_DEC_HIGHER_ORDER, block.higherOrderMod);
}

// Each value goes into the block as soon as it is read.
void ReadDecoderDialog(HWND dialog, DecoderParams& block) {
    ReadCodeDimensions(dialog, kCodeFields, block);
    block.NUMX = ReadInteger(dialog, IDC_DEC_NUMX);
    block.NUMY = ReadInteger(dialog, IDC_DEC_NUMY);
    block.NUMZ = ReadInteger(dialog, IDC_DEC_NUMZ);
    block.resolution = ReadInteger(dialog, IDC_DEC_RESOLUTION);
    block.quantLimit = ReadReal(dialog, IDC_DEC_QUANT_LIMIT);
    block.iterations = ReadInteger(dialog, IDC_DEC_ITERATIONS);
    block.delay = ReadReal(dialog, IDC_DEC_DELAY);
}

// The unit and modulation pairs are radio buttons here.
void OnDecoderButton(HWND dialog, DecoderParams& block, int id) {
    switch (id) {
        case IDC_DEC_DEINTERLEAVE:
            ToggleFlag(dialog, id, block.deinter);
            break;
        case IDC_DEC_SELECTIVE_STOP:
            ToggleFlag(dialog, id, block.selectstp);
            break;
        case IDC_DEC_SECONDS:
        case IDC_DEC_BITS:
            ChooseFlag(id == IDC_DEC_SECONDS, block.inSeconds, block.inBits);
            CheckRadioButton(dialog, IDC_DEC_SECONDS, IDC_DEC_BITS, id);
            break;
        case IDC_DEC_BPSK:
        case IDC_DEC_HIGHER_ORDER:
            ChooseFlag(id == IDC_DEC_BPSK, block.bpsk, block.higherOrderMod);
            CheckRadioButton(dialog, IDC_DEC_BPSK, IDC_DEC_HIGHER_ORDER, id);
            break;
        default:
            break;
    }
}

constexpr ParameterDialog<DecoderParams> kDecoderParameters{
    FillDecoderDialog, ReadDecoderDialog, OnDecoderButton, IDC_DEC_OK, IDC_DEC_CANCEL, IDC_DEC_NX};

}  // namespace

const DialogProcedure DecoderDialogProc = ParameterDialogProcedure<kDecoderParameters>;

}  // namespace tpc
