// A stand-in dialog window for driving the dialog procedures in tests, and a
// fixture that resets the stand-in desktop before each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/dialogs/win32_api.h"

using DialogProcedure = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

class StandinDialog {
public:
    StandinDialog(DialogProcedure procedure, const std::vector<int>& ids) : procedure_(procedure) {
        for (int id : ids) window_.AddItems({id});
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
    bool Checked(int id) { return IsDlgButtonChecked(&window_, id) == BST_CHECKED; }

private:
    DialogProcedure procedure_;
    StandinWindow window_;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Standin() = StandinDesktop{};
        Standin().window.rect = RECT{0, 0, 1024, 768};
    }
};
