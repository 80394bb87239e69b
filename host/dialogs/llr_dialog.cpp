// Dialog 103: the LLRcalculator parameter block. It has no field for `res`,
// and the path field 1043 is for show: only the file browser changes `file`.
#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_ids.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/records.h"

namespace tpc {

namespace {

void ShowPath(HWND dialog, const LlrParams& block) {
    ShowText(dialog, IDC_LLR_FILE, block.file, sizeof block.file);
}

void FillLlrDialog(HWND dialog, const LlrParams& block) {
    ShowReal(dialog, IDC_LLR_ESNO, "%2.2f", block.esno);
    ShowInteger(dialog, IDC_LLR_NUMSYM, block.numsym);
    ShowReal(dialog, IDC_LLR_QUANT_LIMIT, "%2.2f", block.quantLimit);
    ShowPath(dialog, block);
}

void ReadLlrDialog(HWND dialog, LlrParams& block) {
    block.esno = ReadReal(dialog, IDC_LLR_ESNO);
    block.numsym = ReadInteger(dialog, IDC_LLR_NUMSYM);
    block.quantLimit = ReadReal(dialog, IDC_LLR_QUANT_LIMIT);
}

void OnLlrButton(HWND dialog, LlrParams& block, int id) {
    if (id != IDC_LLR_BROWSE) return;
    BrowseConstellationFile(dialog, block.file);
    ShowPath(dialog, block);
}

// Ids 1 and 2 (Enter, Escape, the close box) are deliberately not bound:
// only the dialog's own buttons 1032 and 1033 close it.
constexpr ParameterDialog<LlrParams> kLlrParameters{
    FillLlrDialog, ReadLlrDialog, OnLlrButton, IDC_LLR_OK, IDC_LLR_CANCEL, IDC_LLR_ESNO};

}  // namespace

const DialogProcedure LlrDialogProc = ParameterDialogProcedure<kLlrParameters>;

}  // namespace tpc
