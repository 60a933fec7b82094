// The installer window's keys in each state (in this process, never shown: Wine waits seconds
// whenever a shown window goes) and the real installer's two windows as they start.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/language_window.h"
#include "detect/detection.h"
#include "support.h"
#include "ui/layout.h"
#include "ui/palette.h"

// Without a window manager Wine waits up to two seconds for the withdrawal of each managed
// window it hides; the windows of this program and of those it starts are unmanaged and go at once.
support::RegistryValue managedWindows(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed");
const bool unmanaged = managedWindows.setString(L"N");

namespace {

enum Outcome { Nothing, Installs, Launches, Closes, Cancels, FolderDialog, AsksFirst, Detects, OtherBox };

// A hidden installer window over a Steam world with the game, the patch beside the installer,
// and after the detected folder a made-up one that only a new detection pass drops.
struct Hidden {
    support::ScratchFolder root{L"keys"};
    support::SteamWorld world{root / L"Steam", {root / L"Steam"}};
    MainWindow record;
    HWND hwnd = nullptr;
    explicit Hidden(InstallerState state) {
        record.hInstance = GetModuleHandleW(nullptr);
        record.language = 2;
        record.appFolder = root / L"Download";
        record.exePath = record.appFolder + L"\\LumivexPatchInstaller.exe";
        record.patchPath = record.appFolder + L"\\patch.rpa";
        support::writeFile(record.patchPath, "the patch");
        detectGameFolders(record);
        record.candidates.push_back({L"C:\\made-up"});
        record.state = state;
        if (state == Installing) record.copyJob = std::make_unique<InstallJob>();
        registerMainWindowClass(record.hInstance);
        hwnd = createMainWindow(record, WindowRect{0, 0, 960, 700});
    }
    ~Hidden() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        destroyMainWindowRecord(record);
    }

    Outcome after(UINT message, WPARAM key, bool ctrl, int answer, bool launchWanted) {
        support::BoxWatcher boxes(answer);
        BYTE keys[256], withCtrl[256];
        GetKeyboardState(keys);
        std::memcpy(withCtrl, keys, sizeof keys);
        withCtrl[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(withCtrl);
        SendMessageW(hwnd, message, key, 0);
        SetKeyboardState(keys);
        support::pumpUntil([&] { return !record.workerThread; }, 20000);
        const std::wstring launched = support::gameFolderOf(root / L"Steam") + L"\\..\\Lumivex.exe.record";
        if (support::pumpUntil([&] { return support::exists(launched); }, launchWanted ? 20000 : 0)) return Launches;
        if (!IsWindow(hwnd)) return Closes;
        if (record.copyJob && record.copyJob->cancelRequested) return Cancels;
        if (!boxes.boxes.empty())
            return boxes.boxes[0].caption == textsFor(2)[TextSlot::folderDialogTitle] ? FolderDialog
                   : boxes.boxes[0].text == textsFor(2)[TextSlot::confirmCancelExit] ? AsksFirst
                                                                                       : OtherBox;
        if (support::readFile(world.gameFolders[0] + L"\\patch.rpa") == "the patch") return Installs;
        return record.candidates.back().folder == L"C:\\made-up" ? Nothing : Detects;
    }
};

std::wstring title(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

}  // namespace

TEST(MainWindowKeys, EachKeyInEachState) {
    const struct { InstallerState state; UINT message; WPARAM key; bool ctrl; int answer; Outcome outcome; } kRows[] = {
        {Ready, WM_KEYDOWN, VK_RETURN, false, IDOK, Installs},     {Cancelled, WM_KEYDOWN, VK_RETURN, false, IDOK, Installs},
        {Failed, WM_KEYDOWN, VK_RETURN, false, IDOK, Installs},    {Installing, WM_KEYDOWN, VK_RETURN, false, IDOK, Nothing},
        {Complete, WM_KEYDOWN, VK_RETURN, false, IDOK, Launches},  {Ready, WM_KEYDOWN, VK_ESCAPE, false, IDOK, Closes},
        {Complete, WM_KEYDOWN, VK_ESCAPE, false, IDOK, Closes},    {Cancelled, WM_KEYDOWN, VK_ESCAPE, false, IDOK, Closes},
        {Failed, WM_KEYDOWN, VK_ESCAPE, false, IDOK, Closes},      {Installing, WM_KEYDOWN, VK_ESCAPE, false, IDOK, Cancels},
        {Ready, WM_KEYDOWN, 'B', true, IDCANCEL, FolderDialog},    {Complete, WM_KEYDOWN, 'B', true, IDCANCEL, FolderDialog},
        {Ready, WM_KEYDOWN, 'B', false, IDCANCEL, Nothing},        {Installing, WM_KEYDOWN, 'B', true, IDCANCEL, Nothing},
        {Failed, WM_KEYDOWN, VK_F5, false, IDOK, Detects},         {Installing, WM_KEYDOWN, VK_F5, false, IDOK, Detects},
        {Installing, WM_CLOSE, 0, false, IDNO, AsksFirst},         {Installing, WM_CLOSE, 0, false, IDYES, Closes},
        {Ready, WM_CLOSE, 0, false, IDNO, Closes},
    };
    for (const auto& row : kRows) {
        Hidden window(row.state);
        ASSERT_TRUE(window.hwnd);
        EXPECT_EQ(window.after(row.message, row.key, row.ctrl, row.answer, row.outcome == Launches), row.outcome)
            << "state " << row.state << ", message " << row.message << ", key " << row.key << (row.ctrl ? " with Ctrl" : "");
        EXPECT_TRUE(row.outcome != Detects || window.record.state == (row.state == Installing ? Installing : Ready));
    }
}

// The real installer at each starting DPI: both windows titled, sized for the DPI and centred on
// the work area; a click at a language button's scaled centre picks that language, whose pill
// the player then sees selected; WM_CLOSE ends the program with 0.
TEST(RealWindows, StartSizedAndCentredAtEachDpi) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    auto centred = [&](HWND hwnd) {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return std::abs(r.left + r.right - work.left - work.right) <= 1 &&
               std::abs(r.top + r.bottom - work.top - work.bottom) <= 1;
    };
    for (const auto& [dpi, language] : {std::pair{96, 0}, {144, 1}}) {
        support::ScratchFolder folder(L"dpi");
        const support::StartingDpi starting(dpi);
        const support::Installer installer(folder.path(), L"");
        const HWND chooser = installer.window(kLanguageWindowClass);
        ASSERT_TRUE(chooser) << dpi;
        RECT client{}, outer{};
        GetClientRect(chooser, &client);
        EXPECT_EQ(title(chooser), kInstallerCaption);
        EXPECT_EQ(client.right, MulDiv(650, dpi, 96));
        EXPECT_EQ(client.bottom, MulDiv(280, dpi, 96));
        EXPECT_TRUE(centred(chooser)) << dpi;
        const POINT at = support::centreOf(languageButtonRect(language), languageWindowScale(client.right, client.bottom, dpi));
        support::clickAt(chooser, at.x, at.y);

        const HWND main = installer.window(kMainWindowClass);
        ASSERT_TRUE(main) << dpi;
        EXPECT_EQ(title(main), textsFor(language)[TextSlot::windowTitle]);
        GetClientRect(main, &client);
        GetWindowRect(main, &outer);
        const int frame = (outer.bottom - outer.top) - client.bottom;
        EXPECT_EQ(client.right, MulDiv(1160, dpi, 96));
        // Taller than the work area less its margin, the window takes that height.
        EXPECT_EQ(outer.bottom - outer.top,
                  std::min(MulDiv(700, dpi, 96) + frame, int(work.bottom - work.top) - MulDiv(24, dpi, 96)));
        EXPECT_TRUE(centred(main)) << dpi;
        const float scale = scaleFor(float(client.right), float(client.bottom), float(dpi));
        const MainLayout layout = computeLayout(client.right / scale, client.bottom / scale, Ready);
        const LayoutRect pill = language == 0 ? layout.langSimplifiedButton : layout.langTraditionalButton;
        EXPECT_TRUE(support::pumpUntil([&] {
            return support::closeTo(support::screenPixel(main, int((pill.left + 4) * scale), int((pill.top + 18) * scale)),
                                    palette::kPillSelected & 0xFFFFFF);
        }, 10000)) << dpi;
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(installer.exitCode(), 0u);
    }
}

// Keys that pick nothing leave the language window up; a picking key opens the installer window
// in its language (whose Escape ends with 0); Escape or WM_CLOSE (key 0) end the program with 0.
TEST(RealWindows, LanguageWindowKeys) {
    const struct { std::vector<WPARAM> keys; int language; } kRows[] = {
        {{VK_RETURN, 'X', '1'}, 0}, {{VK_SPACE, VK_F5, 'T'}, 1}, {{'A', VK_ESCAPE}, -1}, {{'B', 0}, -1}};
    for (const auto& row : kRows) {
        support::ScratchFolder folder(L"keys");
        const support::Installer installer(folder.path(), L"");
        const HWND chooser = installer.window(kLanguageWindowClass);
        ASSERT_TRUE(chooser);
        for (WPARAM key : row.keys) key ? support::pressKey(chooser, key) : void(PostMessageW(chooser, WM_CLOSE, 0, 0));
        if (row.language >= 0) {
            const HWND main = installer.window(kMainWindowClass);
            ASSERT_TRUE(main) << row.language;
            EXPECT_EQ(title(main), textsFor(row.language)[TextSlot::windowTitle]);
            support::pressKey(main, VK_ESCAPE);
        }
        EXPECT_EQ(installer.exitCode(10000), 0u) << row.language;
    }
}
