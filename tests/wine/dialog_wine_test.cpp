// Drives the real parameter dialogs of tpc.dll (run under wine by
// scripts/wine_tests.sh). The main thread calls PARAMETER, which runs the
// modal dialog; a driver thread finds the dialog by its caption and works it
// the way a user would: typing into fields, clicking buttons, pressing Enter
// and Escape, browsing for a file. Then the block bytes and the result are
// checked. With a second argument the driver also saves a picture of each
// dialog as first opened (with the defaults) into that folder, as BMP.
//
// Usage: dialog_wine_test.exe PATH\tpc.dll [SCREENSHOT_FOLDER]
// Prints one PASS or FAIL line per check; exits nonzero on any failure.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "host/records.h"

namespace {

using ParameterEntry = int32_t (*)(int32_t, ParameterRequest*);

int gFailures = 0;
int gPasses = 0;
const char* gScreenshotFolder = nullptr;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    (ok ? gPasses : gFailures)++;
}

// ---- helpers the driver thread uses on the dialog ------------------------

// Asks `found` every 50 ms until it answers a window, for at most timeoutMs.
template <class Find>
HWND PollFor(Find found, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50, Sleep(50)) {
        if (HWND window = found()) return window;
    }
    return nullptr;
}

HWND WaitForVisibleWindow(const char* caption, DWORD timeoutMs) {
    return PollFor([&] {
        HWND window = FindWindowA(nullptr, caption);
        return window && IsWindowVisible(window) ? window : nullptr;
    }, timeoutMs);
}

// The file browser: a visible top-level window owned by the dialog. (A
// named callback: 32-bit lambdas do not convert to stdcall pointers.)
BOOL CALLBACK FindOwned(HWND window, LPARAM parameter) {
    auto& [owner, found] = *reinterpret_cast<std::pair<HWND, HWND>*>(parameter);
    if (GetWindow(window, GW_OWNER) != owner || !IsWindowVisible(window)) return TRUE;
    found = window;
    return FALSE;
}

HWND WaitForOwnedPopup(HWND owner, DWORD timeoutMs) {
    return PollFor([&] {
        std::pair<HWND, HWND> search{owner, nullptr};
        EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }, timeoutMs);
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    return PollFor([&] { return !IsWindow(window) || !IsWindowVisible(window) ? window : nullptr; },
                   timeoutMs) != nullptr;
}

std::string FieldText(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void Type(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

// A click that returns once the dialog has acted on it.
void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A click whose handling opens or closes a modal window: do not wait for it.
void ClickLater(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// What Enter and Escape send to a dialog.
void PressEnter(HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0); }
void PressEscape(HWND dialog) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); }

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void CheckFields(HWND dialog, const char* name, std::initializer_list<std::pair<int, const char*>> fields) {
    for (const auto& [id, expected] : fields) {
        const std::string shown = FieldText(dialog, id);
        Check(shown == expected, std::string(name) + " field " + std::to_string(id) + " shows '" + expected +
                                     "' (got '" + shown + "')");
    }
}

void CheckMarks(HWND dialog, const char* name, std::initializer_list<std::pair<int, bool>> marks) {
    for (const auto& [id, expected] : marks) {
        Check(Checked(dialog, id) == expected,
              std::string(name) + " button " + std::to_string(id) + (expected ? " checked" : " not checked"));
    }
}

// Saves the window as it is on screen into FOLDER\name.bmp (24 bits).
void SaveWindowPicture(HWND window, const char* name) {
    if (!gScreenshotFolder) return;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(700);
    RECT rect;
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    // The window's own DC covers its frame and caption too.
    HDC screen = GetWindowDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, rowBytes * static_cast<DWORD>(height),
                          0, 0, 0, 0};
    std::string pixels(info.biSizeImage, '\0');
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), &pixels[0], reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);

    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
    const BITMAPFILEHEADER file{0x4D42, offset + info.biSizeImage, 0, 0, offset};
    const std::string path = std::string(gScreenshotFolder) + "\\" + name + ".bmp";
    FILE* out = std::fopen(path.c_str(), "wb");
    const bool written = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&info, sizeof info, 1, out) == 1 &&
                         std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    if (out) std::fclose(out);
    Check(written, std::string("picture of the ") + name + " written to " + path);
}

// ---- running one dialog with a driver ------------------------------------

struct Drive {
    const char* caption;
    void (*steps)(HWND dialog);
    int cancelId;  // closes the dialog should the steps leave it open
};

DWORD WINAPI DriverThread(LPVOID parameter) {
    const Drive& drive = *static_cast<const Drive*>(parameter);
    HWND dialog = WaitForVisibleWindow(drive.caption, 60000);
    Check(dialog != nullptr, std::string("dialog '") + drive.caption + "' opened");
    if (!dialog) return 1;
    drive.steps(dialog);
    if (!WaitUntilGone(dialog, 10000)) {
        Check(false, std::string("dialog '") + drive.caption + "' closed by its steps");
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(drive.cancelId, 0), 0);
    }
    return 0;
}

int32_t RunDialog(ParameterEntry parameter, int32_t node, int32_t action, void* block, const Drive& drive) {
    HANDLE driver = CreateThread(nullptr, 0, DriverThread, const_cast<Drive*>(&drive), 0, nullptr);
    ParameterRequest request{};
    request.action = action;
    request.block = block;
    int32_t result = parameter(node, &request);
    WaitForSingleObject(driver, 90000);
    CloseHandle(driver);
    return result;
}

// ---- the encoder dialog --------------------------------------------------

const char kEncoderCaption[] = "Turbo Product Code Encoder";

void EncoderDefaultsSteps(HWND dialog) {
    SaveWindowPicture(dialog, "encoder_dialog");
    CheckFields(dialog, "encoder", {{1019, "64"}, {1020, "64"}, {1021, "1"}, {1022, "57"},
                                    {1023, "57"}, {1024, "1"}, {1025, "0.000"}, {1031, "0.500"}});
    CheckMarks(dialog, "encoder", {{1026, false}, {1027, false}, {1028, true}});
    PressEscape(dialog);
    PressEnter(dialog);
    Sleep(500);
    Check(IsWindowVisible(dialog), "encoder: Enter and Escape leave the dialog open");
    Click(dialog, 1026);
    CheckMarks(dialog, "encoder after clicking interleave", {{1026, true}});
    Type(dialog, 1019, "12345678901");
    Type(dialog, 1025, "abc");
    Type(dialog, 1031, "0.25");
    ClickLater(dialog, 1029);
}

void EncoderCancelSteps(HWND dialog) {
    Click(dialog, 1027);
    CheckMarks(dialog, "encoder after clicking Seconds", {{1027, true}, {1028, false}});
    Type(dialog, 1019, "8");
    ClickLater(dialog, 1030);
}

void TestEncoderDialog(ParameterEntry parameter) {
    EncoderParams block;
    std::memset(&block, 0xEE, sizeof block);
    int32_t result = RunDialog(parameter, 0, -1, &block, {kEncoderCaption, EncoderDefaultsSteps, 1030});
    Check(result == 1, "encoder: OK returns 1 (got " + std::to_string(result) + ")");
    Check(block.nx == 123456789, "encoder: eleven digits stored as the first nine");
    Check(block.delay == 0.0, "encoder: letters in a real field stored as 0.0");
    Check(block.threshold == 0.25, "encoder: threshold read");
    Check(block.kx == 57 && block.ny == 64 && block.kz == 1, "encoder: untouched fields read back");
    Check(block.interleave == 1, "encoder: interleave toggled");
    Check(block.reserved0[0] == 0xEE && block.reserved0[3] == 0xEE, "encoder: unwritten bytes kept");

    result = RunDialog(parameter, 0, 1, &block, {kEncoderCaption, EncoderCancelSteps, 1030});
    Check(result == 0, "encoder: Cancel returns 0 (got " + std::to_string(result) + ")");
    Check(block.inSeconds == 1 && block.inBits == 0, "encoder: Seconds kept after Cancel");
    Check(block.nx == 123456789, "encoder: typed text discarded by Cancel");
}

// ---- the decoder dialog --------------------------------------------------

const char kDecoderCaption[] = "Turbo Product Code Decoder";

void DecoderDefaultsSteps(HWND dialog) {
    SaveWindowPicture(dialog, "decoder_dialog");
    CheckFields(dialog, "decoder", {{1000, "64"}, {1001, "64"}, {1002, "1"}, {1003, "57"},
                                    {1004, "57"}, {1005, "1"}, {1006, "7"}, {1007, "7"},
                                    {1008, "7"}, {1009, "5"}, {1010, "1.400"}, {1011, "64"},
                                    {1014, "0.000"}});
    CheckMarks(dialog, "decoder", {{1016, true}, {1040, true}, {1015, false}, {1041, false},
                                   {1012, false}, {1013, false}});
    Click(dialog, 1041);
    CheckMarks(dialog, "decoder after clicking Higher order Mod", {{1041, true}, {1040, false}});
    Click(dialog, 1012);
    Click(dialog, 1013);
    Click(dialog, 1015);
    CheckMarks(dialog, "decoder after clicking Deinterleave, Selective Stop and Seconds",
               {{1012, true}, {1013, true}, {1015, true}, {1016, false}});
    Type(dialog, 1011, "12");
    PressEscape(dialog);
}

void DecoderBothFlagsSteps(HWND dialog) {
    CheckMarks(dialog, "decoder with both flags of each pair",
               {{1015, true}, {1016, false}, {1040, false}, {1041, true}});
    Click(dialog, 1040);
    Click(dialog, 1016);
    CheckMarks(dialog, "decoder after clicking BPSK and Bits", {{1040, true}, {1041, false}, {1016, true}, {1015, false}});
    Type(dialog, 1000, "16");
    Type(dialog, 1010, "2.5");
    Type(dialog, 1006, " -3");
    PressEnter(dialog);
}

void TestDecoderDialog(ParameterEntry parameter) {
    DecoderParams block;
    std::memset(&block, 0xEE, sizeof block);
    int32_t result = RunDialog(parameter, 1, -1, &block, {kDecoderCaption, DecoderDefaultsSteps, 2});
    Check(result == 0, "decoder: Escape closes with 0 (got " + std::to_string(result) + ")");
    Check(block.higherOrderMod == 1 && block.bpsk == 0, "decoder: modulation selection kept");
    Check(block.deinter == 1 && block.selectstp == 1, "decoder: deinterleave and selective stop toggled");
    Check(block.inSeconds == 1 && block.inBits == 0, "decoder: Seconds selected at once");
    Check(block.iterations == 64, "decoder: typed iterations discarded");
    Check(block.reserved0[0] == 0xEE, "decoder: unwritten bytes kept");

    block.inSeconds = 1;
    block.inBits = 1;
    block.bpsk = 1;
    block.higherOrderMod = 1;
    result = RunDialog(parameter, 1, 1, &block, {kDecoderCaption, DecoderBothFlagsSteps, 2});
    Check(result == 1, "decoder: Enter is OK and returns 1 (got " + std::to_string(result) + ")");
    Check(block.nx == 16 && block.quantLimit == 2.5 && block.NUMX == -3, "decoder: fields read on OK");
    Check(block.iterations == 64 && block.kx == 57, "decoder: other fields read back unchanged");
    Check(block.bpsk == 1 && block.higherOrderMod == 0 && block.inBits == 1 && block.inSeconds == 0,
          "decoder: BPSK and Bits selected at once");
}

// ---- the LLR calculator dialog -------------------------------------------

const char kLlrCaption[] = "Log Likelihood Ratio Calculator";
std::string gChosenFile;

void LlrDefaultsSteps(HWND dialog) {
    SaveWindowPicture(dialog, "llr_dialog");
    CheckFields(dialog, "LLR", {{1035, "11.50"}, {1037, "2"}, {1038, "1.50"},
                                {1043, "C:\\constellations\\qam16.txt"}});
    PressEscape(dialog);
    Sleep(500);
    Check(IsWindowVisible(dialog), "LLR: Escape leaves the dialog open");
    Type(dialog, 1043, "D:\\typed.txt");
    Type(dialog, 1035, "7.25");
    ClickLater(dialog, 1032);
}

// Fills the browser's name box and confirms, or cancels it.
bool WorkFileBrowser(HWND dialog, const char* name) {
    ClickLater(dialog, 1034);
    HWND browser = WaitForOwnedPopup(dialog, 30000);
    Check(browser != nullptr, "LLR: file browser opened");
    if (!browser) return false;
    if (name) {
        HWND box = GetDlgItem(browser, 0x47c);  // the name's combo box, or its edit field
        if (!box) box = GetDlgItem(browser, 0x480);
        Check(box != nullptr, "LLR: file name box found");
        if (box) SetWindowTextA(box, name);
        Sleep(200);
    }
    const int button = name ? IDOK : IDCANCEL;
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(browser, button)));
    bool closed = WaitUntilGone(browser, 20000);
    Check(closed, "LLR: file browser closed");
    return closed;
}

void LlrBrowseSteps(HWND dialog) {
    if (WorkFileBrowser(dialog, gChosenFile.c_str())) {
        Sleep(300);
        std::string shown = FieldText(dialog, 1043);
        Check(lstrcmpiA(shown.c_str(), gChosenFile.c_str()) == 0,
              "LLR: browsed path shown (got '" + shown + "')");
    }
    if (WorkFileBrowser(dialog, nullptr)) {
        Sleep(300);
        std::string shown = FieldText(dialog, 1043);
        Check(lstrcmpiA(shown.c_str(), gChosenFile.c_str()) == 0,
              "LLR: cancelled browser keeps the path (got '" + shown + "')");
    }
    ClickLater(dialog, 1033);
}

void TestLlrDialog(ParameterEntry parameter) {
    LlrParams block;
    std::memset(&block, 0, sizeof block);
    std::strcpy(block.file, "C:\\constellations\\qam16.txt");
    int32_t result = RunDialog(parameter, 2, -1, &block, {kLlrCaption, LlrDefaultsSteps, 1033});
    Check(result == 1, "LLR: OK returns 1 (got " + std::to_string(result) + ")");
    Check(block.esno == 7.25 && block.numsym == 2 && block.quantLimit == 1.5, "LLR: fields read on OK");
    Check(block.res == 5, "LLR: res keeps its default");
    Check(std::strcmp(block.file, "C:\\constellations\\qam16.txt") == 0,
          "LLR: typing into the path field does not change file");

    // An existing file, so that the browser does not ask to create it.
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    gChosenFile = std::string(folder) + "tpc_constellation.txt";
    if (FILE* out = std::fopen(gChosenFile.c_str(), "w")) {
        std::fputs("2\n-1 0 0\n1 0 1\n", out);
        std::fclose(out);
    }
    result = RunDialog(parameter, 2, 1, &block, {kLlrCaption, LlrBrowseSteps, 1033});
    Check(result == 0, "LLR: Cancel returns 0 (got " + std::to_string(result) + ")");
    Check(lstrcmpiA(block.file, gChosenFile.c_str()) == 0,
          std::string("LLR: browsed path kept after Cancel (got '") + block.file + "')");
    DeleteFileA(gChosenFile.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH\\tpc.dll [SCREENSHOT_FOLDER]\n", argv[0]);
        return 2;
    }
    if (argc > 2) gScreenshotFolder = argv[2];
    HMODULE library = LoadLibraryA(argv[1]);
    Check(library != nullptr, std::string("LoadLibrary ") + argv[1]);
    if (!library) return 1;
    auto parameter = reinterpret_cast<ParameterEntry>(
        reinterpret_cast<void*>(GetProcAddress(library, "PARAMETER")));
    Check(parameter != nullptr, "PARAMETER exported");
    if (!parameter) return 1;

    TestEncoderDialog(parameter);
    TestDecoderDialog(parameter);
    TestLlrDialog(parameter);

    FreeLibrary(library);
    std::printf("%d passed, %d failed\n", gPasses, gFailures);
    return gFailures == 0 ? 0 : 1;
}
