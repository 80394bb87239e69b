// Stand-in for the few Win32 calls the dialog procedures make, for the tests
// of builds without the windowing services; the library never contains it
// (tpc_dialog_standin in CMakeLists.txt). A "window" is a StandinWindow owned
// by the caller (a test); dialog items live inside it, keyed by control id.
// Only the behaviour the procedures rely on is modelled: item text with the
// length limit of GetDlgItemTextA, check marks, EndDialog, window rectangles,
// MoveWindow, focus and a scripted open-file dialog.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

using BOOL = int;
using UINT = unsigned int;
using DWORD = uint32_t;
using WORD = uint16_t;
using LONG = int32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LPCSTR = const char*;
using LPSTR = char*;

struct StandinWindow;
using HWND = StandinWindow*;

#define CALLBACK
#define TRUE 1
#define FALSE 0

inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_CTLCOLORDLG = 0x0136;
inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_CREATEPROMPT = 0x00002000;

inline WORD LOWORD(WPARAM value) { return static_cast<WORD>(value & 0xFFFF); }
inline WORD HIWORD(WPARAM value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
inline WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}

struct RECT {
    LONG left, top, right, bottom;
};

struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    void* hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
};

// A dialog, one of its items, or the desktop. A dialog has items only for the
// ids the test declares, so a procedure touching a wrong id is caught.
struct StandinWindow {
    std::string text;
    UINT check = BST_UNCHECKED;
    std::map<int, std::unique_ptr<StandinWindow>> items;
    RECT rect{0, 0, 0, 0};
    bool rectAvailable = true;
    bool ended = false;
    INT_PTR endResult = 0;
    int moveCount = 0;
    bool lastMoveRepainted = false;

    // Declares the items of a dialog.
    void AddItems(std::initializer_list<int> ids);
    StandinWindow* Item(int id) const;  // null for an undeclared id
};

// Process-wide stand-in state that a test sets up and inspects.
struct StandinDesktop {
    StandinWindow window;
    HWND focus = nullptr;  // window that last received SetFocus
    // What the next GetOpenFileNameA call does: confirm with `openFileChoice`
    // or cancel. `lastOpenFile` is a copy of what the procedure passed in;
    // its string pointers are valid only while their owners are.
    bool openFileConfirms = false;
    std::string openFileChoice;
    int openFileCalls = 0;
    OPENFILENAMEA lastOpenFile{};
    std::string initialFileName;  // lpstrFile's text when the dialog opened
};
StandinDesktop& Standin();

HWND GetDlgItem(HWND dialog, int id);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int capacity);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDesktopWindow();
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
HWND SetFocus(HWND window);
BOOL GetOpenFileNameA(OPENFILENAMEA* request);
