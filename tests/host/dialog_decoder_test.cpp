// The decoder dialog procedure (template 101) through the windowing stand-in.
#include <algorithm>
#include <cstring>

#include "dialog_standin_fixture.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/parameter_blocks.h"

namespace {

constexpr uint8_t kSentinel = 0x5A;

class DecoderDialog : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::memset(&block, kSentinel, sizeof block);
        WriteDecoderDefaults(block);
    }
    DecoderParams block;
    StandinDialog dialog{DecoderDialogProc, DECODER_DIALOG_ITEMS};
};

TEST_F(DecoderDialog, OpensWithTheDefaultsFormatted) {
    EXPECT_EQ(dialog.Open(&block), 1);
    const std::pair<int, const char*> shown[] = {
        {1000, "64"}, {1001, "64"}, {1002, "1"},     {1003, "57"}, {1004, "57"},
        {1005, "1"},  {1006, "7"},  {1007, "7"},     {1008, "7"},  {1009, "5"},
        {1010, "1.400"}, {1011, "64"}, {1014, "0.000"}};
    for (const auto& [id, text] : shown) EXPECT_EQ(dialog.Text(id), text) << id;
    EXPECT_TRUE(dialog.Checked(1016));
    EXPECT_TRUE(dialog.Checked(1040));
    for (int id : {1012, 1013, 1015, 1041}) EXPECT_FALSE(dialog.Checked(id)) << id;
    EXPECT_EQ(Standin().focus, GetDlgItem(dialog.handle(), 1000));
    EXPECT_EQ(dialog.window().moveCount, 1);
}

TEST_F(DecoderDialog, CheckMarksFollowTheFlags) {
    struct Case {
        uint32_t inSeconds, inBits, deinter, selectstp, bpsk, higherOrderMod;
        int checked[4];  // expected checked ids; 0 = none
    } cases[] = {
        {1, 1, 0, 0, 1, 1, {1015, 1041, 0, 0}},  // both of each pair: the second wins
        {0, 0, 1, 0, 0, 0, {1012, 0, 0, 0}},
        {1, 0, 0, 2, 0, 1, {1015, 1013, 1041, 0}},
        {0, 1, 3, 1, 1, 0, {1016, 1012, 1013, 1040}},
    };
    const int buttons[] = {1012, 1013, 1015, 1016, 1040, 1041};
    for (const Case& c : cases) {
        StandinDialog fresh(DecoderDialogProc, DECODER_DIALOG_ITEMS);
        block.inSeconds = c.inSeconds;
        block.inBits = c.inBits;
        block.deinter = c.deinter;
        block.selectstp = c.selectstp;
        block.bpsk = c.bpsk;
        block.higherOrderMod = c.higherOrderMod;
        fresh.Open(&block);
        for (int id : buttons) {
            bool expected = false;
            for (int checked : c.checked) expected = expected || id == checked;
            EXPECT_EQ(fresh.Checked(id), expected)
                << "button " << id << " with seconds " << c.inSeconds << " bits " << c.inBits
                << " bpsk " << c.bpsk << " higher " << c.higherOrderMod;
        }
    }
}

TEST_F(DecoderDialog, OkReadsAllThirteenFields) {
    dialog.Open(&block);
    const std::pair<int, const char*> typed[] = {
        {1000, "8"},  {1001, "16"}, {1002, "32"}, {1003, "4"},    {1004, "11"},
        {1005, "26"}, {1006, "3"},  {1007, "5"},  {1008, "9"},    {1009, "6"},
        {1010, "2.75"}, {1011, "12"}, {1014, "0.5"}};
    for (const auto& [id, text] : typed) dialog.Type(id, text);
    EXPECT_EQ(dialog.Command(1), 1);
    EXPECT_TRUE(dialog.ended());
    EXPECT_EQ(dialog.result(), 1);
    const int32_t expected[] = {8, 16, 32, 4, 11, 26, 3, 5, 9, 6, 12};
    const int32_t actual[] = {block.nx, block.ny, block.nz, block.kx, block.ky, block.kz,
                              block.NUMX, block.NUMY, block.NUMZ, block.resolution, block.iterations};
    for (size_t i = 0; i < 11; ++i) EXPECT_EQ(actual[i], expected[i]) << "field " << i;
    EXPECT_EQ(block.quantLimit, 2.75);
    EXPECT_EQ(block.delay, 0.5);
    for (uint8_t byte : block.reserved0) EXPECT_EQ(byte, kSentinel);
}

// Toggles and selections write at once, groups leave the toggles alone, and
// Cancel (id 2) keeps all of it but discards typed text.
TEST_F(DecoderDialog, ButtonsWriteAtOnceAndSurviveCancel) {
    dialog.Open(&block);
    dialog.Type(1011, "12");
    auto state = [&] {
        return testing::Message() << block.deinter << block.selectstp << block.inSeconds
                                  << block.inBits << block.bpsk << block.higherOrderMod;
    };
    const struct {
        int id;
        const char* flags;  // deinter selectstp inSeconds inBits bpsk higherOrderMod
        int checked[4];     // of 1012, 1013, 1015, 1016, 1040, 1041; 0 = none
    } clicks[] = {
        {1012, "100110", {1012, 1016, 1040}}, {1013, "110110", {1012, 1013, 1016, 1040}},
        {1013, "100110", {1012, 1016, 1040}}, {1015, "101010", {1012, 1015, 1040}},
        {1041, "101001", {1012, 1015, 1041}}, {1040, "101010", {1012, 1015, 1040}},
        {1016, "100110", {1012, 1016, 1040}},
    };
    for (const auto& click : clicks) {
        EXPECT_EQ(dialog.Command(click.id), 1);
        EXPECT_EQ(state().GetString(), click.flags) << "after " << click.id;
        for (int id : {1012, 1013, 1015, 1016, 1040, 1041}) {
            const bool expected = std::count(click.checked, click.checked + 4, id) != 0;
            EXPECT_EQ(dialog.Checked(id), expected) << "button " << id << " after " << click.id;
        }
    }
    EXPECT_EQ(dialog.Command(2), 1);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(block.deinter, 1u);
    EXPECT_EQ(block.iterations, 64);
}

TEST_F(DecoderDialog, UnboundIdsAndNotificationsChangeNothing) {
    dialog.Open(&block);
    DecoderParams before = block;
    for (int id : {102, 1029, 1030, 1032, 1042, 0}) {
        EXPECT_EQ(dialog.Command(id), 1) << id;
        EXPECT_FALSE(dialog.ended()) << id;
    }
    EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(1, 0x0300)), 0);
    EXPECT_FALSE(dialog.ended());
    EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
    EXPECT_EQ(dialog.Send(WM_CTLCOLORDLG), 2);
}

}  // namespace
