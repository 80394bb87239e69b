// The stand-in windowing calls; see win32_standin.h.
#include "host/dialogs/portable/win32_standin.h"

#include <cstring>

void StandinWindow::AddItems(std::initializer_list<int> ids) {
    for (int id : ids) items[id] = std::make_unique<StandinWindow>();
}

StandinWindow* StandinWindow::Item(int id) const {
    auto found = items.find(id);
    return found == items.end() ? nullptr : found->second.get();
}

StandinDesktop& Standin() {
    static StandinDesktop desktop;
    return desktop;
}

HWND GetDlgItem(HWND dialog, int id) { return dialog ? dialog->Item(id) : nullptr; }

// Like the real call: at most capacity - 1 characters and a terminating zero.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int capacity) {
    if (capacity <= 0) return 0;
    text[0] = '\0';
    HWND item = GetDlgItem(dialog, id);
    if (!item) return 0;
    size_t count = item->text.size();
    if (count > static_cast<size_t>(capacity - 1)) count = static_cast<size_t>(capacity - 1);
    std::memcpy(text, item->text.data(), count);
    text[count] = '\0';
    return static_cast<UINT>(count);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    item->text = text;
    return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return FALSE;
    item->check = check;
    return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    if (!GetDlgItem(dialog, checkId)) return FALSE;
    for (auto& [id, item] : dialog->items) {
        if (id >= firstId && id <= lastId) item->check = id == checkId ? BST_CHECKED : BST_UNCHECKED;
    }
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? item->check : BST_UNCHECKED;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!dialog) return FALSE;
    dialog->ended = true;
    dialog->endResult = result;
    return TRUE;
}

HWND GetDesktopWindow() { return &Standin().window; }

BOOL GetWindowRect(HWND window, RECT* rect) {
    if (!window || !window->rectAvailable) return FALSE;
    *rect = window->rect;
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    if (!window) return FALSE;
    window->rect = RECT{x, y, x + width, y + height};
    ++window->moveCount;
    window->lastMoveRepainted = repaint != FALSE;
    return TRUE;
}

HWND SetFocus(HWND window) {
    HWND previous = Standin().focus;
    Standin().focus = window;
    return previous;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
    StandinDesktop& desktop = Standin();
    ++desktop.openFileCalls;
    desktop.lastOpenFile = *request;
    desktop.initialFileName.assign(request->lpstrFile, strnlen(request->lpstrFile, request->nMaxFile));
    if (!desktop.openFileConfirms) return FALSE;
    // The real dialog refuses a choice that does not fit the declared room.
    if (desktop.openFileChoice.size() + 1 > request->nMaxFile) return FALSE;
    std::memcpy(request->lpstrFile, desktop.openFileChoice.c_str(), desktop.openFileChoice.size() + 1);
    return TRUE;
}
