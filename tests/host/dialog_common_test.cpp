// Field conversions, the no-overrun display of long values, centring and the
// constellation-file browser, through the windowing stand-in.
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialog_standin_fixture.h"
#include "host/dialogs/dialog_common.h"

namespace {

TEST(DialogFields, IntegerTextParsesLikeTheCLibrary) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"", 0},           {"abc", 0},          {"  42", 42},           {"\t\n 5", 5},
        {"+7", 7},         {"-13x", -13},       {"- 5", 0},             {"12a34", 12},
        {"007", 7},        {"1.9", 1},          {"0x10", 0},            {"123456789", 123456789},
        {"-2147483648", INT32_MIN},             {"99999999999", INT32_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFieldInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(DialogFields, RealTextParsesAsADecimalNumberOnly) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"", 0.0},      {"abc", 0.0},    {"1.5", 1.5},     {" -2.25e1", -22.5}, {".5", 0.5},
        {"5.", 5.0},    {"1e", 1.0},     {"1e+", 1.0},     {"2E-1x", 0.2},      {"1,5", 1.0},
        {"-.e5", 0.0},  {".", 0.0},      {"+", 0.0},       {"inf", 0.0},        {"nan", 0.0},
        {"0x1p3", 0.0}, {"12345.678", 12345.678},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFieldReal(c.text), c.value) << '"' << c.text << '"';
}

class DialogFieldsInWindow : public DialogTest {};

TEST_F(DialogFieldsInWindow, LongFormattedValuesAreShownWhole) {
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
TEST_F(DialogFieldsInWindow, CentringMovesOnlyWhenBothRectanglesAreKnown) {
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

TEST_F(DialogFieldsInWindow, CancelledOrFailedBrowserKeepsThePath) {
    StandinDialog owner(nullptr, {});
    char file[260] = "keep.txt";
    EXPECT_FALSE(BrowseConstellationFile(owner.handle(), file));
    EXPECT_STREQ(file, "keep.txt");
    // A choice that does not fit the declared 256 characters fails too.
    Standin().openFileConfirms = true;
    Standin().openFileChoice = std::string(256, 'a');
    EXPECT_FALSE(BrowseConstellationFile(owner.handle(), file));
    EXPECT_STREQ(file, "keep.txt");
    Standin().openFileChoice = std::string(255, 'b');
    EXPECT_TRUE(BrowseConstellationFile(owner.handle(), file));
    EXPECT_EQ(std::string(file), std::string(255, 'b'));
    EXPECT_EQ(Standin().openFileCalls, 3);
}

}  // namespace
