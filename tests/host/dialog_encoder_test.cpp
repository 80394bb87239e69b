// The encoder dialog procedure (template 102) through the windowing stand-in.
#include <cstring>

#include "dialog_standin_fixture.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/parameter_blocks.h"

namespace {

constexpr uint8_t kSentinel = 0xA5;

class EncoderDialog : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::memset(&block, kSentinel, sizeof block);
        WriteEncoderDefaults(block);
    }
    EncoderParams block;
    StandinDialog dialog{EncoderDialogProc, ENCODER_DIALOG_ITEMS};
};

TEST_F(EncoderDialog, OpensWithTheBlockCentredAndFocused) {
    block.delay = 2.5;
    block.threshold = -0.25;
    EXPECT_EQ(dialog.Open(&block), 1);
    const std::pair<int, const char*> shown[] = {{1019, "64"}, {1020, "64"},    {1021, "1"},
                                                 {1022, "57"}, {1023, "57"},    {1024, "1"},
                                                 {1025, "2.500"}, {1031, "-0.250"}};
    for (const auto& [id, text] : shown) EXPECT_EQ(dialog.Text(id), text) << id;
    EXPECT_FALSE(dialog.Checked(1026));
    EXPECT_FALSE(dialog.Checked(1027));
    EXPECT_TRUE(dialog.Checked(1028));
    EXPECT_EQ(Standin().focus, GetDlgItem(dialog.handle(), 1019));
    EXPECT_EQ(dialog.window().rect.left, 312);
    EXPECT_EQ(dialog.window().rect.top, 234);
    EXPECT_FALSE(dialog.ended());
}

TEST_F(EncoderDialog, CheckMarksFollowTheFlags) {
    struct Case {
        uint32_t interleave, inSeconds, inBits;
        bool interleaveMark, secondsMark, bitsMark;
    } cases[] = {
        {0, 0, 1, false, false, true}, {1, 1, 0, true, true, false},
        {7, 1, 1, true, true, false},  // both units set: "Seconds" wins
        {0, 0, 0, false, false, false},
    };
    for (const Case& c : cases) {
        StandinDialog fresh(EncoderDialogProc, ENCODER_DIALOG_ITEMS);
        block.interleave = c.interleave;
        block.inSeconds = c.inSeconds;
        block.inBits = c.inBits;
        fresh.Open(&block);
        EXPECT_EQ(fresh.Checked(1026), c.interleaveMark) << c.interleave;
        EXPECT_EQ(fresh.Checked(1027), c.secondsMark) << c.inSeconds << c.inBits;
        EXPECT_EQ(fresh.Checked(1028), c.bitsMark) << c.inSeconds << c.inBits;
    }
}

// Fields are read with the short read (9 characters, numbers up to the
// first other character).
TEST_F(EncoderDialog, OkReadsEveryFieldIntoItsOwnMember) {
    dialog.Open(&block);
    const std::pair<int, const char*> typed[] = {{1019, "12345678901"}, {1020, "32"}, {1021, "8"},
                                                 {1022, "11"}, {1023, "26"}, {1024, "7"},
                                                 {1025, "12.5"}, {1031, "  -3.5volts"}};
    for (const auto& [id, text] : typed) dialog.Type(id, text);
    EXPECT_EQ(dialog.Command(1029), 1);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), 1);
    const double got[] = {1.0 * block.nx, 1.0 * block.ny, 1.0 * block.nz, 1.0 * block.kx,
                          1.0 * block.ky, 1.0 * block.kz, block.delay, block.threshold};
    const double want[] = {123456789, 32, 8, 11, 26, 7, 12.5, -3.5};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << "field " << typed[i].first;
    EXPECT_EQ(block.inBits, 1u);
    for (uint8_t byte : block.reserved0) EXPECT_EQ(byte, kSentinel);
}

// The toggle flips bit 0 of any value and the unit buttons write at once;
// Cancel discards typed text but keeps what the buttons wrote.
TEST_F(EncoderDialog, ButtonsWriteAtOnceAndSurviveCancel) {
    block.interleave = 6;
    dialog.Open(&block);
    dialog.Type(1019, "8");
    EXPECT_EQ(dialog.Command(1026), 1);
    EXPECT_EQ(block.interleave, 7u);
    EXPECT_TRUE(dialog.Checked(1026));
    block.interleave = 1;
    dialog.Command(1026);
    EXPECT_EQ(block.interleave, 0u);
    EXPECT_FALSE(dialog.Checked(1026));
    EXPECT_EQ(dialog.Command(1027), 1);
    EXPECT_TRUE(block.inSeconds == 1u && block.inBits == 0u);
    EXPECT_TRUE(dialog.Checked(1027) && !dialog.Checked(1028));
    dialog.Command(1028);
    EXPECT_TRUE(block.inSeconds == 0u && block.inBits == 1u);
    EXPECT_TRUE(!dialog.Checked(1027) && dialog.Checked(1028));
    dialog.Command(1027);
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(dialog.Command(1030), 1);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(block.interleave, 0u);
    EXPECT_EQ(block.inSeconds, 1u);
    EXPECT_EQ(block.nx, 64);
}

// Enter, Escape and the close box send ids 1 and 2, which this dialog ignores.
TEST_F(EncoderDialog, UnboundIdsAndNotificationsChangeNothing) {
    dialog.Open(&block);
    dialog.Type(1019, "8");
    EncoderParams before = block;
    for (int id : {1, 2, 102, 1000, 1040, 9999}) {
        EXPECT_EQ(dialog.Command(id), 1) << id;
        EXPECT_FALSE(dialog.ended()) << id;
    }
    // An edit field's change notice, or a click notice with its code, is not acted on.
    EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(1029, 0x0300)), 0);
    EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(1026, 1)), 0);
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
    EXPECT_EQ(dialog.Send(WM_CTLCOLORDLG), 2);
    EXPECT_EQ(dialog.Send(0x000F /* paint */), 0);
}

}  // namespace
