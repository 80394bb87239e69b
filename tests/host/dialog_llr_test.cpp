// The LLR calculator dialog procedure (template 103) through the windowing
// stand-in, with its constellation-file browser.
#include <cstring>
#include <string>

#include "dialog_standin_fixture.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/parameter_blocks.h"

namespace {

class LlrDialog : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::memset(&block, 0, sizeof block);
        WriteLlrDefaults(block);
        std::strcpy(block.file, "C:\\tpc\\qam16.txt");
    }
    LlrParams block;
    StandinDialog dialog{LlrDialogProc, LLR_DIALOG_ITEMS};
};

TEST_F(LlrDialog, OpensWithTheDefaultsAndThePath) {
    EXPECT_EQ(dialog.Open(&block), 1);
    EXPECT_EQ(dialog.Text(1035), "11.50");
    EXPECT_EQ(dialog.Text(1037), "2");
    EXPECT_EQ(dialog.Text(1038), "1.50");
    EXPECT_EQ(dialog.Text(1043), "C:\\tpc\\qam16.txt");
    EXPECT_EQ(Standin().focus, GetDlgItem(dialog.handle(), 1035));
    EXPECT_EQ(dialog.window().moveCount, 1);
}

// The host's path need not be terminated; the field shows its 260 bytes.
TEST_F(LlrDialog, UnterminatedPathIsShownWithoutOverrun) {
    std::memset(block.file, 'p', sizeof block.file);
    dialog.Open(&block);
    EXPECT_EQ(dialog.Text(1043), std::string(260, 'p'));
}

TEST_F(LlrDialog, OkReadsThreeFieldsButNeverThePath) {
    dialog.Open(&block);
    dialog.Type(1035, "7.25");
    dialog.Type(1037, "12345678901");
    dialog.Type(1038, "q");
    dialog.Type(1043, "D:\\typed.txt");
    LlrParams before = block;
    EXPECT_EQ(dialog.Command(1032), 1);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(block.esno, 7.25);
    EXPECT_EQ(block.numsym, 123456789);
    EXPECT_EQ(block.quantLimit, 0.0);
    EXPECT_EQ(block.res, before.res);
    EXPECT_EQ(std::memcmp(block.file, before.file, sizeof block.file), 0);
}

TEST_F(LlrDialog, StandardIdsLeaveItOpen) {
    dialog.Open(&block);
    dialog.Type(1035, "1");
    LlrParams before = block;
    for (int id : {1, 2, 1036, 102}) {
        EXPECT_EQ(dialog.Command(id), 1) << id;
        EXPECT_FALSE(dialog.ended()) << id;
    }
    EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(1034, 0x0300)), 0);
    EXPECT_EQ(Standin().openFileCalls, 0);
    EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
    EXPECT_EQ(dialog.Send(WM_CTLCOLORDLG), 2);
    EXPECT_EQ(dialog.Command(1033), 1);
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(LlrDialog, BrowsedPathSurvivesCancel) {
    dialog.Open(&block);
    Standin().openFileConfirms = true;
    Standin().openFileChoice = "C:\\const\\psk8.txt";
    EXPECT_EQ(dialog.Command(1034), 1);
    EXPECT_EQ(Standin().openFileCalls, 1);
    EXPECT_EQ(Standin().lastOpenFile.hwndOwner, dialog.handle());
    EXPECT_EQ(Standin().lastOpenFile.lpstrFile, block.file);
    EXPECT_EQ(Standin().initialFileName, "C:\\tpc\\qam16.txt");
    EXPECT_STREQ(block.file, "C:\\const\\psk8.txt");
    EXPECT_EQ(dialog.Text(1043), "C:\\const\\psk8.txt");
    EXPECT_FALSE(dialog.ended());
    dialog.Command(1033);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_STREQ(block.file, "C:\\const\\psk8.txt");
}

TEST_F(LlrDialog, CancelledBrowserRestoresTheField) {
    dialog.Open(&block);
    dialog.Type(1043, "typed over");
    EXPECT_EQ(dialog.Command(1034), 1);
    EXPECT_STREQ(block.file, "C:\\tpc\\qam16.txt");
    EXPECT_EQ(dialog.Text(1043), "C:\\tpc\\qam16.txt");
}

}  // namespace
