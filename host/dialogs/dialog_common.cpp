// Field conversions, centring and the file browser shared by the dialogs.
#include "host/dialogs/dialog_common.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tpc {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipSpace(const char* text) {
    while (IsSpace(*text)) ++text;
    return text;
}

// Length of the decimal real number at the start of `text` (after optional
// sign): digits, an optional fraction, an optional exponent; 0 if there is
// no digit before the exponent.
size_t DecimalRealLength(const char* text) {
    const char* p = text;
    if (*p == '+' || *p == '-') ++p;
    bool digits = false;
    while (IsDigit(*p)) ++p, digits = true;
    if (*p == '.') {
        ++p;
        while (IsDigit(*p)) ++p, digits = true;
    }
    if (!digits) return 0;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') ++exponent;
        if (IsDigit(*exponent)) {
            p = exponent;
            while (IsDigit(*p)) ++p;
        }
    }
    return static_cast<size_t>(p - text);
}

// A formatted double can be far longer than the 9 characters a field is read
// with: "%5.3f" of the largest double has 309 integer digits. Formatting into
// a buffer with room for any double and showing the whole text keeps every
// value visible and can never overrun, at the price that such a field no
// longer reads back as the value it shows.
constexpr size_t kShownTextCapacity = 320;

}  // namespace

int32_t ParseFieldInteger(const char* text) {
    const char* p = SkipSpace(text);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // Saturates like the C library's conversion with a 32-bit long.
    int64_t magnitude = 0;
    const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : int64_t{INT32_MAX};
    for (; IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

double ParseFieldReal(const char* text) {
    const char* start = SkipSpace(text);
    size_t length = DecimalRealLength(start);
    if (length == 0) return 0.0;
    // Only the decimal prefix goes to strtod, so that hexadecimal, "inf" and
    // "nan" spellings read the same way on every C library: as no number.
    std::string number(start, length);
    return std::strtod(number.c_str(), nullptr);
}

void ShowInteger(HWND dialog, int id, int32_t value) {
    char text[kShownTextCapacity];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    SetDlgItemTextA(dialog, id, text);
}

void ShowReal(HWND dialog, int id, const char* format, double value) {
    char text[kShownTextCapacity];
    std::snprintf(text, sizeof text, format, value);
    SetDlgItemTextA(dialog, id, text);
}

void ShowText(HWND dialog, int id, const char* text, uint32_t capacity) {
    // The host's path field need not be terminated: never read past it.
    std::string shown(text, strnlen(text, capacity));
    SetDlgItemTextA(dialog, id, shown.c_str());
}

int32_t ReadInteger(HWND dialog, int id) {
    char text[kFieldReadCapacity];
    GetDlgItemTextA(dialog, id, text, kFieldReadCapacity);
    return ParseFieldInteger(text);
}

double ReadReal(HWND dialog, int id) {
    char text[kFieldReadCapacity];
    GetDlgItemTextA(dialog, id, text, kFieldReadCapacity);
    return ParseFieldReal(text);
}

void SetCheck(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ToggleFlag(HWND dialog, int id, uint32_t& flag) {
    flag ^= 1u;
    SetCheck(dialog, id, flag != 0);
}

void ShowFlagPair(HWND dialog, int firstId, uint32_t first, int secondId, uint32_t second) {
    if (first != 0) {
        SetCheck(dialog, firstId, true);
        SetCheck(dialog, secondId, false);
    }
    if (second != 0) {
        SetCheck(dialog, secondId, true);
        SetCheck(dialog, firstId, false);
    }
}

void ChooseFlag(bool chooseFirst, uint32_t& first, uint32_t& second) {
    first = chooseFirst ? 1 : 0;
    second = chooseFirst ? 0 : 1;
}

DialogOrigin CentredOrigin(const RECT& dialog, const RECT& desktop) {
    // In 64 bits so that absurd rectangles cannot overflow; C++ division
    // truncates toward zero, as the placement rule requires.
    int64_t width = int64_t{dialog.right} - dialog.left;
    int64_t height = int64_t{dialog.bottom} - dialog.top;
    return DialogOrigin{static_cast<int32_t>((desktop.right - width) / 2),
                        static_cast<int32_t>((desktop.bottom - height) / 2)};
}

void CentreOnDesktop(HWND dialog) {
    RECT dialogRect{};
    RECT desktopRect{};
    bool haveDialog = GetWindowRect(dialog, &dialogRect) != FALSE;
    bool haveDesktop = GetWindowRect(GetDesktopWindow(), &desktopRect) != FALSE;
    if (!haveDialog || !haveDesktop) return;
    DialogOrigin origin = CentredOrigin(dialogRect, desktopRect);
    MoveWindow(dialog, origin.x, origin.y, dialogRect.right - dialogRect.left,
               dialogRect.bottom - dialogRect.top, FALSE);
}

bool BrowseConstellationFile(HWND owner, char* file) {
    // The open-file dialog writes its "buffer too small" size into the buffer
    // on failure; the path must survive anything but a confirmed choice.
    char previous[kBrowserFileCapacity];
    std::memcpy(previous, file, sizeof previous);

    OPENFILENAMEA request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = "Text Files (*.TXT)\0*.txt\0All Files (*.*)\0*.*\0";
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = kBrowserFileCapacity;
    request.lpstrDefExt = "txt";
    request.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    if (GetOpenFileNameA(&request)) return true;
    std::memcpy(file, previous, sizeof previous);
    return false;
}

}  // namespace tpc
