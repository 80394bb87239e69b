// Steps shared by the three dialog procedures: edit-field text in and out,
// check marks, centring on the desktop and the constellation-file browser.
#pragma once

#include <cstdint>

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

}  // namespace tpc
