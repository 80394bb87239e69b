// What the three parameter dialogs share: one procedure (opening, OK, Cancel,
// background), edit-field text in and out, check marks, centring on the
// desktop and the constellation-file browser.
#pragma once

#include <cstdint>
#include <type_traits>

#include "host/dialogs/win32_api.h"

namespace tpc {

// Answers of a dialog procedure.
inline constexpr INT_PTR kHandled = 1;
inline constexpr INT_PTR kNotHandled = 0;
// Answer to the background colour request, taken by the platform as a brush.
inline constexpr INT_PTR kDialogBackground = 2;

// Fields are read with room for 9 characters and the terminating zero.
inline constexpr int kFieldReadCapacity = 10;

// Text to number the way the C library's decimal conversions do: leading
// white space, an optional sign, then digits (and for reals a fraction and an
// exponent) up to the first other character; no number at all gives 0.
int32_t ParseFieldInteger(const char* text);
double ParseFieldReal(const char* text);

// Writes `value` with "%d", or with `format` (one double conversion), into
// field `id` of `dialog`.
void ShowInteger(HWND dialog, int id, int32_t value);
void ShowReal(HWND dialog, int id, const char* format, double value);
// Writes a zero-terminated text of at most `capacity` bytes into field `id`.
void ShowText(HWND dialog, int id, const char* text, uint32_t capacity);

// Read the first 9 characters of field `id`.
int32_t ReadInteger(HWND dialog, int id);
double ReadReal(HWND dialog, int id);

void SetCheck(HWND dialog, int id, bool checked);

// A check box bound to a flag of the block: a click flips the flag and the
// mark follows it.
void ToggleFlag(HWND dialog, int id, uint32_t& flag);

// Two exclusive flags of a block (offset in bits or seconds; BPSK or higher
// order modulation), each with its own button. Shown as check marks when the
// dialog opens; when both are set the second wins, when neither is, the marks
// are left alone.
void ShowFlagPair(HWND dialog, int firstId, uint32_t first, int secondId, uint32_t second);
// A click on one of the two buttons: its flag becomes 1, the other's 0.
void ChooseFlag(bool chooseFirst, uint32_t& first, uint32_t& second);

// The edit fields of the six code dimensions in the encoder and decoder dialogs.
struct CodeDimensionFields {
    int nx, ny, nz, kx, ky, kz;
};

template <class Block>
void ShowCodeDimensions(HWND dialog, const CodeDimensionFields& fields, const Block& block) {
    ShowInteger(dialog, fields.nx, block.nx);
    ShowInteger(dialog, fields.kx, block.kx);
    ShowInteger(dialog, fields.ny, block.ny);
    ShowInteger(dialog, fields.ky, block.ky);
    ShowInteger(dialog, fields.nz, block.nz);
    ShowInteger(dialog, fields.kz, block.kz);
}

// Each value goes into the block as soon as it is read.
template <class Block>
void ReadCodeDimensions(HWND dialog, const CodeDimensionFields& fields, Block& block) {
    block.nx = ReadInteger(dialog, fields.nx);
    block.ny = ReadInteger(dialog, fields.ny);
    block.nz = ReadInteger(dialog, fields.nz);
    block.kx = ReadInteger(dialog, fields.kx);
    block.ky = ReadInteger(dialog, fields.ky);
    block.kz = ReadInteger(dialog, fields.kz);
}

// Where centring puts a dialog whose window rectangle is `dialog` on a desktop
// whose rectangle is `desktop`: x, y of the new top-left corner.
struct DialogOrigin {
    int32_t x;
    int32_t y;
};
DialogOrigin CentredOrigin(const RECT& dialog, const RECT& desktop);

// Moves `dialog` to the centre of the desktop without repainting, keeping its
// size; leaves it where it is when either rectangle is unavailable.
void CentreOnDesktop(HWND dialog);

// Capacity the file browser declares for the file name buffer.
inline constexpr uint32_t kBrowserFileCapacity = 256;

// Shows the open-file dialog owned by `owner` on `file` (in/out, the block's
// path field, offered as the initial name). On confirmation the chosen path
// replaces `file` and true is returned; otherwise `file` is unchanged.
bool BrowseConstellationFile(HWND owner, char* file);

// What sets one parameter dialog apart from the others.
template <class Block>
struct ParameterDialog {
    using BlockType = Block;
    void (*fill)(HWND dialog, const Block& block);  // every field and mark
    void (*read)(HWND dialog, Block& block);        // the fields OK takes over
    // Any other button; ids no action is bound to change nothing.
    void (*onButton)(HWND dialog, Block& block, int id);
    int okId;
    int cancelId;
    int firstField;  // focused on opening
};

// The procedure of the parameter dialog `kind`. WM_INITDIALOG brings the
// block, which the dialog then edits in place: its fields are filled, the
// dialog is centred and the first field focused. OK reads the fields into the
// block and ends the dialog with 1, Cancel ends it with 0. Button notices
// other than a click are left to the platform.
template <const auto& kind>
INT_PTR CALLBACK ParameterDialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
    using Block = typename std::decay_t<decltype(kind)>::BlockType;
    // The dialog is modal, so one block of a kind is edited at a time.
    static Block* edited = nullptr;
    switch (message) {
        case WM_INITDIALOG:
            edited = reinterpret_cast<Block*>(lParam);
            kind.fill(dialog, *edited);
            CentreOnDesktop(dialog);
            SetFocus(GetDlgItem(dialog, kind.firstField));
            return kHandled;
        case WM_COMMAND: {
            if (HIWORD(wParam) != 0) return kNotHandled;
            const int id = LOWORD(wParam);
            if (id == kind.okId) {
                kind.read(dialog, *edited);
                EndDialog(dialog, 1);
            } else if (id == kind.cancelId) {
                EndDialog(dialog, 0);
            } else {
                kind.onButton(dialog, *edited, id);
            }
            return kHandled;
        }
        case WM_CTLCOLORDLG:
            return kDialogBackground;
        default:
            return kNotHandled;
    }
}

}  // namespace tpc
