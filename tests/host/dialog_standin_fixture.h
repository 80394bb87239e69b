// A stand-in dialog window for driving the dialog procedures in tests, and a
// fixture that resets the stand-in desktop before each test.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "host/dialogs/win32_api.h"

using DialogProcedure = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

class StandinDialog {
public:
    StandinDialog(DialogProcedure procedure, std::initializer_list<int> ids)
        : procedure_(procedure) {
        window_.AddItems(ids);
        window_.rect = RECT{0, 0, 400, 300};
    }

    HWND handle() { return &window_; }
    StandinWindow& window() { return window_; }

    INT_PTR Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return procedure_(&window_, message, wParam, lParam);
    }
    INT_PTR Open(void* block) { return Send(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(block)); }
    // A click, a key or a menu command: notification code 0.
    INT_PTR Command(int id) { return Send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0)); }

    std::string Text(int id) const {
        StandinWindow* item = window_.Item(id);
        return item ? item->text : "<no item " + std::to_string(id) + ">";
    }
    void Type(int id, const std::string& text) { SetDlgItemTextA(&window_, id, text.c_str()); }
    bool Checked(int id) const { return IsDlgButtonChecked(const_cast<StandinWindow*>(&window_), id) == BST_CHECKED; }
    bool ended() const { return window_.ended; }
    INT_PTR result() const { return window_.endResult; }

private:
    DialogProcedure procedure_;
    StandinWindow window_;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        StandinDesktop& desktop = Standin();
        desktop.window.rect = RECT{0, 0, 1024, 768};
        desktop.window.rectAvailable = true;
        desktop.window.moveCount = 0;
        desktop.focus = nullptr;
        desktop.openFileConfirms = false;
        desktop.openFileChoice.clear();
        desktop.openFileCalls = 0;
        desktop.lastOpenFile = OPENFILENAMEA{};
        desktop.initialFileName.clear();
    }
};

// Control ids of the three templates, the logo picture included.
#define ENCODER_DIALOG_ITEMS \
    {102, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031}
#define DECODER_DIALOG_ITEMS                                                                  \
    {1, 2, 102, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, \
     1013, 1014, 1015, 1016, 1040, 1041}
#define LLR_DIALOG_ITEMS {102, 1032, 1033, 1034, 1035, 1037, 1038, 1043}
