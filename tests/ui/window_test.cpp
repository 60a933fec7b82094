// The installer window's keys in each state, in this process: a real copy, launch, folder dialog
// and question behind each key (the real exe cannot be held in Installing or Cancelled).
#include <gtest/gtest.h>

#include <cstring>

#include "detect/detection.h"
#include "support.h"

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
        record.hInstance = GetModuleHandleW(nullptr), record.language = 2, record.appFolder = root / L"Download";
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
