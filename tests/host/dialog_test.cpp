// The dialog procedures and their shared field, centring and browser code,
// driven through a stand-in of the few windowing calls they make. The three
// dialogs run from one table of their fields and buttons: what they show,
// what OK reads into which member, what the buttons write at once and what
// Cancel keeps. Windows builds compile the real dialogs instead, which the
// wine program drives.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "host/dialogs/dialog_common.h"
#include "host/dialogs/dialog_procedures.h"
#include "host/dialogs/win32_api.h"
#include "host/parameter_blocks.h"

namespace {

using DialogProcedure = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// A dialog window holding only the template's control ids (a procedure
// touching any other id is caught), driven message by message.
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

// Every test starts on a fresh 1024 x 768 stand-in desktop.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Standin() = StandinDesktop{};
        Standin().window.rect = RECT{0, 0, 1024, 768};
    }
};

TEST(DialogFields, IntegerTextParsesLikeTheCLibrary) {
    const std::pair<const char*, int32_t> cases[] = {
        {"", 0},           {"abc", 0},          {"  42", 42},           {"\t\n 5", 5},
        {"+7", 7},         {"-13x", -13},       {"- 5", 0},             {"12a34", 12},
        {"007", 7},        {"1.9", 1},          {"0x10", 0},            {"123456789", 123456789},
        {"-2147483648", INT32_MIN},             {"99999999999", INT32_MAX},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseFieldInteger(text), value) << '"' << text << '"';
}

TEST(DialogFields, RealTextParsesAsADecimalNumberOnly) {
    const std::pair<const char*, double> cases[] = {
        {"", 0.0},      {"abc", 0.0},    {"1.5", 1.5},     {" -2.25e1", -22.5}, {".5", 0.5},
        {"5.", 5.0},    {"1e", 1.0},     {"1e+", 1.0},     {"2E-1x", 0.2},      {"1,5", 1.0},
        {"-.e5", 0.0},  {".", 0.0},      {"+", 0.0},       {"inf", 0.0},        {"nan", 0.0},
        {"0x1p3", 0.0}, {"12345.678", 12345.678},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseFieldReal(text), value) << '"' << text << '"';
}

TEST_F(DialogTest, LongFormattedValuesAreShownWhole) {
    StandinDialog dialog(nullptr, {1000});
    for (double value : {1e300, -DBL_MAX, DBL_MAX, 123456789012.0}) {
        ShowReal(dialog.handle(), 1000, "%5.3f", value);
        std::string text = dialog.Text(1000);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_EQ(text.substr(text.size() - 4), ".000") << text;
    }
    ShowReal(dialog.handle(), 1000, "%5.3f", -DBL_MAX);
    EXPECT_EQ(dialog.Text(1000).size(), 314u);  // sign, 309 digits, point, 3 decimals
    ShowInteger(dialog.handle(), 1000, INT32_MIN);
    EXPECT_EQ(dialog.Text(1000), "-2147483648");
}

TEST(DialogCentring, OriginArithmetic) {
    struct Case {
        RECT dialog, desktop;
        int32_t x, y;
    } cases[] = {
        {{0, 0, 400, 300}, {0, 0, 1024, 768}, 312, 234},
        {{10, 20, 111, 221}, {0, 0, 1000, 700}, 449, 249},   // odd sizes round down
        {{0, 0, 501, 301}, {0, 0, 100, 100}, -200, -100},    // truncation toward zero
        {{50, 60, 0, 0}, {0, 0, 1023, 767}, 536, 413},       // negative width and height
        {{100, 100, 300, 300}, {-1280, 0, 1280, 1024}, 540, 412},  // only right and bottom count
        {{0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        DialogOrigin origin = CentredOrigin(c.dialog, c.desktop);
        EXPECT_EQ(origin.x, c.x) << c.dialog.left << ',' << c.dialog.right << " on " << c.desktop.right;
        EXPECT_EQ(origin.y, c.y) << c.dialog.top << ',' << c.dialog.bottom << " on " << c.desktop.bottom;
    }
}

// The move keeps the size and does not repaint; with either rectangle
// unavailable the dialog stays where it is.
TEST_F(DialogTest, CentringMovesOnlyWhenBothRectanglesAreKnown) {
    StandinDialog dialog(nullptr, {});
    StandinWindow& window = dialog.window();
    window.rect = RECT{5, 7, 306, 208};  // 301 x 201
    CentreOnDesktop(dialog.handle());
    EXPECT_TRUE(window.rect.left == 361 && window.rect.top == 283 && window.rect.right == 662 &&
                window.rect.bottom == 484 && window.moveCount == 1 && !window.lastMoveRepainted);
    for (bool dialogKnown : {false, true}) {
        window.rectAvailable = dialogKnown;
        Standin().window.rectAvailable = !dialogKnown;
        CentreOnDesktop(dialog.handle());
        EXPECT_EQ(window.moveCount, 1) << dialogKnown;
    }
}

constexpr uint8_t kSentinel = 0x5A;

union Block {
    EncoderParams encoder;
    DecoderParams decoder;
    LlrParams llr;
};

struct Field {
    int id;
    size_t offset;
    bool real;           // double, else int32_t
    const char* shown;   // with the defaults
    const char* typed;   // then read by OK as `read`
    double read;
};

struct Dialog {
    const char* name;
    DialogProcedure procedure;
    std::vector<int> items;  // the template's control ids, the logo included
    int ok, cancel;
    std::vector<Field> fields;  // the first one gets the focus
    std::vector<size_t> flags;  // uint32_t members the buttons write
    std::vector<int> buttons;   // the buttons that show them
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
    {"encoder", EncoderDialogProc,
     {102, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031}, 1029, 1030,
     {{1019, E(nx), false, "64", "12345678901", 123456789}, {1020, E(ny), false, "64", "32", 32},
      {1021, E(nz), false, "1", "8", 8}, {1022, E(kx), false, "57", "11", 11},
      {1023, E(ky), false, "57", "26", 26}, {1024, E(kz), false, "1", "7", 7},
      {1025, E(delay), true, "0.000", "12345.678901", 12345.678},
      {1031, E(threshold), true, "0.500", "  -3.5volts", -3.5}},
     {E(interleave), E(inSeconds), E(inBits)}, {1026, 1027, 1028}, {1, 2, 102, 1000, 1040, 9999}, 1026,
     [](Block& b) { WriteEncoderDefaults(b.encoder); }},
    {"decoder", DecoderDialogProc,
     {1, 2, 102, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013,
      1014, 1015, 1016, 1040, 1041}, 1, 2,
     {{1000, D(nx), false, "64", "8", 8}, {1001, D(ny), false, "64", "16", 16},
      {1002, D(nz), false, "1", "32", 32}, {1003, D(kx), false, "57", "4", 4},
      {1004, D(ky), false, "57", "11", 11}, {1005, D(kz), false, "1", "26", 26},
      {1006, D(NUMX), false, "7", "3", 3}, {1007, D(NUMY), false, "7", "5", 5},
      {1008, D(NUMZ), false, "7", "9", 9}, {1009, D(resolution), false, "5", "6", 6},
      {1010, D(quantLimit), true, "1.400", "1.0000001e5", 1.0000001},
      {1011, D(iterations), false, "64", "-1234567890", -12345678}, {1014, D(delay), true, "0.000", "0.5", 0.5}},
     {D(deinter), D(selectstp), D(inSeconds), D(inBits), D(bpsk), D(higherOrderMod)},
     {1012, 1013, 1015, 1016, 1040, 1041}, {102, 1029, 1030, 1032, 1042, 0}, 1012,
     [](Block& b) { WriteDecoderDefaults(b.decoder); }},
    {"llr", LlrDialogProc, {102, 1032, 1033, 1034, 1035, 1037, 1038, 1043}, 1032, 1033,
     {{1035, L(esno), true, "11.50", "7.25", 7.25}, {1037, L(numsym), false, "2", "12345678901", 123456789},
      {1038, L(quantLimit), true, "1.50", "q", 0.0}},
     {}, {}, {1, 2, 1036, 102}, 1034,
     [](Block& b) {
         WriteLlrDefaults(b.llr);
         std::strcpy(b.llr.file, "C:\\tpc\\qam16.txt");
     }},
};

// A member of the block by its offset.
template <class T>
T& At(Block& block, size_t offset) {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(&block) + offset);
}
double Member(Block& block, const Field& f) {
    return f.real ? At<double>(block, f.offset) : At<int32_t>(block, f.offset);
}
std::vector<uint32_t> Flags(Block& block, const Dialog& d) {
    std::vector<uint32_t> values;
    for (size_t offset : d.flags) values.push_back(At<uint32_t>(block, offset));
    return values;
}
std::vector<int> CheckedButtons(StandinDialog& dialog, const Dialog& d) {
    std::vector<int> checked;
    std::copy_if(d.buttons.begin(), d.buttons.end(), std::back_inserter(checked),
                 [&](int id) { return dialog.Checked(id); });
    return checked;
}
Block Defaults(const Dialog& d) {
    Block block;
    std::memset(&block, kSentinel, sizeof block);
    d.defaults(block);
    return block;
}

using Dialogs = DialogTest;

TEST_F(Dialogs, OpenShowsTheBlockCentredAndFocused) {
    for (const Dialog& d : kDialogs) {
        SCOPED_TRACE(d.name);
        Block block = Defaults(d);
        StandinDialog dialog(d.procedure, d.items);
        EXPECT_EQ(dialog.Open(&block), 1);
        for (const Field& f : d.fields) EXPECT_EQ(dialog.Text(f.id), f.shown) << f.id;
        EXPECT_EQ(Standin().focus, GetDlgItem(dialog.handle(), d.fields[0].id));
        EXPECT_EQ(dialog.window().moveCount, 1);
        EXPECT_TRUE(dialog.window().rect.left == 312 && dialog.window().rect.top == 234);
        EXPECT_FALSE(dialog.window().ended);
    }
}

TEST_F(Dialogs, CheckMarksFollowTheFlags) {
    const struct {
        int dialog;
        std::vector<uint32_t> flags;
        std::vector<int> checked;
    } cases[] = {
        // encoder: interleave, inSeconds, inBits; both units set: "Seconds" wins
        {0, {0, 0, 1}, {1028}}, {0, {1, 1, 0}, {1026, 1027}}, {0, {7, 1, 1}, {1026, 1027}}, {0, {0, 0, 0}, {}},
        // decoder: deinter, selectstp, inSeconds, inBits, bpsk, higherOrderMod
        {1, {0, 0, 1, 1, 1, 1}, {1015, 1041}}, {1, {1, 0, 0, 0, 0, 0}, {1012}},
        {1, {0, 2, 1, 0, 0, 1}, {1013, 1015, 1041}}, {1, {3, 1, 0, 1, 1, 0}, {1012, 1013, 1016, 1040}},
    };
    for (const auto& c : cases) {
        const Dialog& d = kDialogs[c.dialog];
        Block block = Defaults(d);
        for (size_t i = 0; i < c.flags.size(); ++i) At<uint32_t>(block, d.flags[i]) = c.flags[i];
        StandinDialog dialog(d.procedure, d.items);
        dialog.Open(&block);
        EXPECT_EQ(CheckedButtons(dialog, d), c.checked) << d.name << " case " << (&c - cases);
    }
}

TEST_F(Dialogs, OkReadsEveryFieldIntoItsOwnMember) {
    for (const Dialog& d : kDialogs) {
        SCOPED_TRACE(d.name);
        Block block = Defaults(d);
        StandinDialog dialog(d.procedure, d.items);
        dialog.Open(&block);
        for (const Field& f : d.fields) dialog.Type(f.id, f.typed);
        if (d.procedure == LlrDialogProc) dialog.Type(1043, "D:\\typed.txt");  // shown only
        const Block before = block;
        EXPECT_EQ(dialog.Command(d.ok), 1);
        EXPECT_TRUE(dialog.window().ended);
        EXPECT_EQ(dialog.window().endResult, 1);
        Block expected = before;
        for (const Field& f : d.fields) {
            EXPECT_EQ(Member(block, f), f.read) << f.id;
            std::memcpy(&At<char>(expected, f.offset), &At<char>(block, f.offset), f.real ? 8 : 4);
        }
        EXPECT_EQ(std::memcmp(&expected, &block, sizeof block), 0) << "a byte beyond the fields changed";
    }
}

// Toggles flip bit 0 (the mark follows the whole value), selections write
// their pair at once; Cancel keeps what the buttons wrote but discards typed
// text.
TEST_F(Dialogs, ButtonsWriteAtOnceAndCancelKeepsThem) {
    const struct {
        int dialog;
        std::vector<uint32_t> start;
        std::vector<std::pair<int, std::vector<uint32_t>>> clicks;
    } cases[] = {
        {0, {6, 0, 1}, {{1026, {7, 0, 1}}, {1026, {6, 0, 1}}, {1027, {6, 1, 0}}, {1028, {6, 0, 1}},
                        {1027, {6, 1, 0}}}},
        {1, {2, 0, 0, 1, 1, 0}, {{1012, {3, 0, 0, 1, 1, 0}}, {1013, {3, 1, 0, 1, 1, 0}},
                                 {1013, {3, 0, 0, 1, 1, 0}}, {1015, {3, 0, 1, 0, 1, 0}},
                                 {1041, {3, 0, 1, 0, 0, 1}}, {1040, {3, 0, 1, 0, 1, 0}},
                                 {1016, {3, 0, 0, 1, 1, 0}}, {1012, {2, 0, 0, 1, 1, 0}}}},
    };
    for (const auto& c : cases) {
        const Dialog& d = kDialogs[c.dialog];
        SCOPED_TRACE(d.name);
        Block block = Defaults(d);
        for (size_t i = 0; i < c.start.size(); ++i) At<uint32_t>(block, d.flags[i]) = c.start[i];
        StandinDialog dialog(d.procedure, d.items);
        dialog.Open(&block);
        dialog.Type(d.fields[0].id, "8");
        for (const auto& [id, flags] : c.clicks) {
            EXPECT_EQ(dialog.Command(id), 1);
            EXPECT_EQ(Flags(block, d), flags) << "after " << id;
            // Marks: a toggle shows a nonzero value, a selection its own flag.
            std::vector<int> marks;
            for (size_t i = 0; i < flags.size(); ++i) {
                if (flags[i] != 0) marks.push_back(d.buttons[i]);
            }
            EXPECT_EQ(CheckedButtons(dialog, d), marks) << "after " << id;
        }
        EXPECT_FALSE(dialog.window().ended);
        EXPECT_EQ(dialog.Command(d.cancel), 1);
        EXPECT_EQ(dialog.window().endResult, 0);
        EXPECT_EQ(Flags(block, d), c.clicks.back().second);
        EXPECT_EQ(Member(block, d.fields[0]), 64);
    }
}

// Enter, Escape and the close box send ids 1 and 2, which only the decoder
// dialog binds; notices with a code are not acted on.
TEST_F(Dialogs, UnboundIdsAndNotificationsChangeNothing) {
    for (const Dialog& d : kDialogs) {
        SCOPED_TRACE(d.name);
        Block block = Defaults(d);
        StandinDialog dialog(d.procedure, d.items);
        dialog.Open(&block);
        dialog.Type(d.fields[0].id, "8");
        const Block before = block;
        for (int id : d.unbound) EXPECT_EQ(dialog.Command(id), 1) << id;
        EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(d.ok), 0x0300)), 0);
        EXPECT_EQ(dialog.Send(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(d.notified), 1)), 0);
        EXPECT_FALSE(dialog.window().ended);
        EXPECT_EQ(Standin().openFileCalls, 0);
        EXPECT_EQ(std::memcmp(&before, &block, sizeof block), 0);
        EXPECT_EQ(dialog.Send(WM_CTLCOLORDLG), 2);
        EXPECT_EQ(dialog.Send(0x000F /* paint */), 0);
    }
}

// The host's path need not be terminated: the field shows its 260 bytes.
// A cancelled browser restores the field from the block; a browsed path is
// written at once and survives Cancel.
TEST_F(Dialogs, LlrPathIsShownBrowsedAndKept) {
    const Dialog& d = kDialogs[2];
    Block block = Defaults(d);
    std::memset(block.llr.file, 'p', sizeof block.llr.file);
    StandinDialog unterminated(d.procedure, d.items);
    unterminated.Open(&block);
    EXPECT_EQ(unterminated.Text(1043), std::string(260, 'p'));

    block = Defaults(d);
    StandinDialog dialog(d.procedure, d.items);
    dialog.Open(&block);
    EXPECT_EQ(dialog.Text(1043), "C:\\tpc\\qam16.txt");
    dialog.Type(1043, "typed over");
    EXPECT_EQ(dialog.Command(1034), 1);
    EXPECT_STREQ(block.llr.file, "C:\\tpc\\qam16.txt");
    EXPECT_EQ(dialog.Text(1043), "C:\\tpc\\qam16.txt");

    Standin().openFileConfirms = true;
    Standin().openFileChoice = "C:\\const\\psk8.txt";
    EXPECT_EQ(dialog.Command(1034), 1);
    EXPECT_EQ(Standin().openFileCalls, 2);
    const OPENFILENAMEA& request = Standin().lastOpenFile;
    EXPECT_EQ(request.lStructSize, sizeof(OPENFILENAMEA));
    EXPECT_EQ(request.hwndOwner, dialog.handle());
    static const char kFilter[] = "Text Files (*.TXT)\0*.txt\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(std::memcmp(request.lpstrFilter, kFilter, sizeof kFilter), 0);
    EXPECT_EQ(request.nFilterIndex, 1u);
    EXPECT_EQ(request.lpstrFile, block.llr.file);
    EXPECT_EQ(request.nMaxFile, 256u);
    EXPECT_EQ(Standin().initialFileName, "C:\\tpc\\qam16.txt");
    EXPECT_STREQ(request.lpstrDefExt, "txt");
    EXPECT_EQ(request.Flags, OFN_HIDEREADONLY | OFN_CREATEPROMPT);
    EXPECT_EQ(dialog.Text(1043), "C:\\const\\psk8.txt");
    EXPECT_FALSE(dialog.window().ended);
    dialog.Command(1033);
    EXPECT_EQ(dialog.window().endResult, 0);
    EXPECT_STREQ(block.llr.file, "C:\\const\\psk8.txt");
}

}  // namespace
#endif  // !_WIN32
