// The dialog procedures and their field, centring and browser code, driven through the stand-in of the few
// windowing calls they make. What a user sees and clicks in the real dialogs is the wine program's part; here:
// parsing and formatting edge cases, unbound ids and notices, every field read into its own member, the flags the
// buttons set and the marks that show them, the host's path buffer.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <cfloat>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/dialogs/win32_api.h"
#include "host/parameter_blocks.h"

using namespace tpc;

namespace {

TEST(DialogFields, TextParsesAsADecimalNumberOnly) {
    const std::pair<const char*, int32_t> integers[] = {
        {"", 0}, {"abc", 0}, {"\t\n 5", 5}, {"+7", 7}, {"-13x", -13}, {"- 5", 0}, {"12a34", 12}, {"1.9", 1},
        {"0x10", 0}, {"-2147483648", INT32_MIN}, {"-99999999999", INT32_MIN}, {"99999999999", INT32_MAX}};
    for (const auto& [text, value] : integers) EXPECT_EQ(ParseFieldInteger(text), value) << '"' << text << '"';
    const std::pair<const char*, double> reals[] = {
        {"", 0.0}, {"abc", 0.0}, {" -2.25e1", -22.5}, {".5", 0.5}, {"5.", 5.0}, {"1e+", 1.0}, {"2E-1x", 0.2},
        {"1,5", 1.0}, {"-.e5", 0.0}, {".", 0.0}, {"+", 0.0}, {"inf", 0.0}, {"nan", 0.0}, {"0x1p3", 0.0},
        {"12345.678", 12345.678}};
    for (const auto& [text, value] : reals) EXPECT_EQ(ParseFieldReal(text), value) << '"' << text << '"';
}

TEST(DialogFields, LongFormattedValuesAreShownWhole) {
    StandinWindow window;
    window.AddItems({1000});
    const std::string& text = window.Item(1000)->text;
    for (double value : {1e300, -DBL_MAX, 123456789012.0}) {
        ShowReal(&window, 1000, "%5.3f", value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_EQ(text.substr(text.size() - 4), ".000") << text;
    }
    EXPECT_EQ(text.size(), 16u);
    ShowReal(&window, 1000, "%5.3f", -DBL_MAX);
    EXPECT_EQ(text.size(), 314u);  // sign, 309 digits, point, 3 decimals
    ShowInteger(&window, 1000, INT32_MIN);
    EXPECT_EQ(text, "-2147483648");
}

union Block { EncoderParams encoder; DecoderParams decoder; LlrParams llr; };

struct Field { int id; size_t offset; bool real; const char* typed; double read; };  // real: a double, else int32_t

struct Dialog {
    INT_PTR (*procedure)(HWND, UINT, WPARAM, LPARAM);
    std::vector<int> items;  // the template's control ids: a procedure touching another is caught
    int ok;
    std::vector<Field> fields;  // the first one gets the focus
    std::vector<int> unbound;   // ids no action is bound to
    int notified;               // a button whose notices carry a nonzero code
    void (*defaults)(Block&);
};

#define E(member) offsetof(EncoderParams, member)
#define D(member) offsetof(DecoderParams, member)
#define L(member) offsetof(LlrParams, member)

// Typed values differ from field to field, so a value read into the wrong
// member shows; only the first 9 characters of a field count.
const Dialog kDialogs[] = {
    {EncoderDialogProc, {102, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031}, 1029,
     {{1019, E(nx), false, "12345678901", 123456789}, {1020, E(ny), false, "32", 32}, {1021, E(nz), false, "8", 8},
      {1022, E(kx), false, "11", 11}, {1023, E(ky), false, "26", 26}, {1024, E(kz), false, "7", 7},
      {1025, E(delay), true, "12345.678901", 12345.678}, {1031, E(threshold), true, "  -3.5volts", -3.5}},
     {1, 2, 102, 1000, 1040, 9999}, 1026,
     [](Block& b) { WriteEncoderDefaults(b.encoder); }},
    {DecoderDialogProc, {1, 2, 102, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012,
                         1013, 1014, 1015, 1016, 1040, 1041}, 1,
     {{1000, D(nx), false, "8", 8}, {1001, D(ny), false, "16", 16}, {1002, D(nz), false, "32", 32},
      {1003, D(kx), false, "4", 4}, {1004, D(ky), false, "11", 11}, {1005, D(kz), false, "26", 26},
      {1006, D(NUMX), false, "3", 3}, {1007, D(NUMY), false, "5", 5}, {1008, D(NUMZ), false, "9", 9},
      {1009, D(resolution), false, "6", 6}, {1010, D(quantLimit), true, "1.0000001e5", 1.0000001},
      {1011, D(iterations), false, "-1234567890", -12345678}, {1014, D(delay), true, "0.5", 0.5}},
     {102, 1029, 1030, 1032, 1042, 0}, 1012,
     [](Block& b) { WriteDecoderDefaults(b.decoder); }},
    {LlrDialogProc, {102, 1032, 1033, 1034, 1035, 1037, 1038, 1043}, 1032,
     {{1035, L(esno), true, "7.25", 7.25}, {1037, L(numsym), false, "12345678901", 123456789},
      {1038, L(quantLimit), true, "q", 0.0}},
     {1, 2, 1036, 102}, 1034,
     [](Block& b) { WriteLlrDefaults(b.llr), std::strcpy(b.llr.file, "C:\\tpc\\qam16.txt"); }},
};

template <class T>
T& At(Block& block, size_t offset) {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(&block) + offset);
}

// A dialog of the table opened on its defaults (bytes without one hold a
// sentinel), on a fresh 1024 x 768 stand-in desktop.
struct Opened {
    explicit Opened(const Dialog& d) : d(d) {
        Standin() = StandinDesktop{};
        Standin().window.rect = RECT{0, 0, 1024, 768};
        std::memset(&block, 0x5A, sizeof block);
        d.defaults(block);
        for (int id : d.items) window.AddItems({id});
        window.rect = RECT{0, 0, 400, 300};
        EXPECT_EQ(Send(WM_INITDIALOG, reinterpret_cast<LPARAM>(&block)), 1);
    }
    INT_PTR Send(UINT message, LPARAM lParam = 0, WPARAM wParam = 0) {
        return d.procedure(&window, message, wParam, lParam);
    }
    INT_PTR Command(int id, WORD code = 0) { return Send(WM_COMMAND, 0, MAKEWPARAM(static_cast<WORD>(id), code)); }
    void Type(int id, const char* text) { SetDlgItemTextA(&window, id, text); }

    const Dialog& d;
    Block block;
    StandinWindow window;
};

// Opening centres the dialog (312 = (1024 - 400) / 2) and focuses its first
// field. Enter, Escape and the close box send ids 1 and 2, which only the
// decoder dialog binds; unbound ids and notices with a code change nothing.
// OK reads every field into its own member and writes nothing else.
TEST(Dialogs, UnboundIdsChangeNothingThenOkReadsEveryFieldIntoItsOwnMember) {
    for (const Dialog& d : kDialogs) {
        Opened dialog(d);
        SCOPED_TRACE(d.ok);
        EXPECT_EQ(Standin().focus, dialog.window.Item(d.fields[0].id));
        EXPECT_TRUE(dialog.window.rect.left == 312 && dialog.window.rect.top == 234);
        for (const Field& f : d.fields) dialog.Type(f.id, f.typed);
        if (d.procedure == LlrDialogProc) dialog.Type(1043, "D:\\typed.txt");  // shown only
        Block expected = dialog.block;
        for (int id : d.unbound) EXPECT_EQ(dialog.Command(id), 1) << id;
        EXPECT_TRUE(dialog.Command(d.ok, 0x0300) == 0 && dialog.Command(d.notified, 1) == 0);
        EXPECT_TRUE(dialog.Send(WM_CTLCOLORDLG) == 2 && dialog.Send(0x000F /* paint */) == 0);
        EXPECT_TRUE(!dialog.window.ended && Standin().openFileCalls == 0);
        EXPECT_EQ(std::memcmp(&expected, &dialog.block, sizeof(Block)), 0);
        EXPECT_EQ(dialog.Command(d.ok), 1);
        EXPECT_TRUE(dialog.window.ended && dialog.window.endResult == 1);
        for (const Field& f : d.fields) {
            const double read = f.real ? At<double>(dialog.block, f.offset) : At<int32_t>(dialog.block, f.offset);
            EXPECT_EQ(read, f.read) << f.id;
            std::memcpy(&At<char>(expected, f.offset), &At<char>(dialog.block, f.offset), f.real ? 8 : 4);
        }
        EXPECT_EQ(std::memcmp(&expected, &dialog.block, sizeof(Block)), 0) << "a byte beyond the fields changed";
    }
}

// Each step clicks a button (0: opens the dialog instead, on the defaults with the flags of `set` raised) and then
// expects these flags in the block and these marks. Of two exclusive flags both set, the second listed in the
// block wins the marks; a click on either sets its own and clears the other.
struct FlagStep { int click; std::vector<size_t> set; std::vector<std::pair<size_t, uint32_t>> flags;
                  std::vector<std::pair<int, bool>> marks; };

TEST(Dialogs, ButtonsSetTheirFlagsAndMarks) {
    const std::pair<const Dialog*, std::vector<FlagStep>> cases[] = {
        {&kDialogs[0],
         {{0, {}, {{E(interleave), 0}, {E(inBits), 1}, {E(inSeconds), 0}},
           {{1026, false}, {1027, false}, {1028, true}}},
          {1026, {}, {{E(interleave), 1}}, {{1026, true}}},
          {1026, {}, {{E(interleave), 0}}, {{1026, false}}},
          {1027, {}, {{E(inSeconds), 1}, {E(inBits), 0}}, {{1027, true}, {1028, false}}},
          {1028, {}, {{E(inBits), 1}, {E(inSeconds), 0}}, {{1028, true}, {1027, false}}},
          {0, {E(inSeconds)}, {}, {{1027, true}, {1028, false}}}}},
        {&kDialogs[1],
         {{0, {}, {}, {{1012, false}, {1013, false}, {1015, false}, {1016, true}, {1040, true}, {1041, false}}},
          {1012, {}, {{D(deinter), 1}, {D(selectstp), 0}}, {{1012, true}, {1013, false}}},
          {1013, {}, {{D(selectstp), 1}, {D(deinter), 1}}, {{1013, true}}},
          {1012, {}, {{D(deinter), 0}}, {{1012, false}, {1013, true}}},
          {1015, {}, {{D(inSeconds), 1}, {D(inBits), 0}}, {{1015, true}, {1016, false}, {1040, true}}},
          {1041, {}, {{D(higherOrderMod), 1}, {D(bpsk), 0}, {D(inSeconds), 1}}, {{1041, true}, {1040, false}}},
          {1040, {}, {{D(bpsk), 1}, {D(higherOrderMod), 0}}, {{1040, true}, {1041, false}, {1015, true}}},
          {1016, {}, {{D(inBits), 1}, {D(inSeconds), 0}}, {{1016, true}, {1015, false}}},
          {0, {D(inSeconds), D(higherOrderMod)}, {}, {{1015, true}, {1016, false}, {1040, false}, {1041, true}}}}},
    };
    for (const auto& [d, steps] : cases) {
        std::unique_ptr<Opened> dialog;
        for (size_t i = 0; i < steps.size(); ++i) {
            const FlagStep& step = steps[i];
            SCOPED_TRACE(testing::Message() << "dialog " << d->ok << ", step " << i);
            if (step.click == 0) {
                dialog = std::make_unique<Opened>(*d);
                for (size_t offset : step.set) At<uint32_t>(dialog->block, offset) = 1;
                dialog->Send(WM_INITDIALOG, reinterpret_cast<LPARAM>(&dialog->block));
            } else {
                EXPECT_EQ(dialog->Command(step.click), 1);
            }
            for (const auto& [offset, value] : step.flags)
                EXPECT_EQ(At<uint32_t>(dialog->block, offset), value) << offset;
            for (const auto& [id, checked] : step.marks)
                EXPECT_EQ(IsDlgButtonChecked(&dialog->window, id), checked ? BST_CHECKED : BST_UNCHECKED) << id;
        }
        EXPECT_FALSE(dialog->window.ended);
    }
}

// The host's path need not be terminated: the field shows its 260 bytes. The
// browser writes into the block itself, never past 256 bytes; a cancelled
// browser restores the field from the block.
TEST(Dialogs, LlrPathBufferIsTheHosts) {
    Opened unterminated(kDialogs[2]);
    std::memset(unterminated.block.llr.file, 'p', sizeof unterminated.block.llr.file);
    unterminated.Send(WM_INITDIALOG, reinterpret_cast<LPARAM>(&unterminated.block));
    EXPECT_EQ(unterminated.window.Item(1043)->text, std::string(260, 'p'));

    Opened dialog(kDialogs[2]);
    dialog.Type(1043, "typed over");
    EXPECT_EQ(dialog.Command(1034), 1);
    EXPECT_STREQ(dialog.block.llr.file, "C:\\tpc\\qam16.txt");
    EXPECT_EQ(dialog.window.Item(1043)->text, "C:\\tpc\\qam16.txt");
    const OPENFILENAMEA& request = Standin().lastOpenFile;
    EXPECT_TRUE(request.lpstrFile == dialog.block.llr.file && request.nMaxFile == 256u &&
                request.hwndOwner == &dialog.window && Standin().initialFileName == "C:\\tpc\\qam16.txt");
}

}  // namespace
#endif  // !_WIN32
