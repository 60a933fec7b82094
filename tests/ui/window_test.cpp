// The two windows' decisions as tables (which button reacts where, which key picks which language or
// moves the focus), the installer screen rendered off-screen, and the installer window's keys in each
// state and focus (in this process: the real exe cannot be held in Installing or Cancelled).
#include <gtest/gtest.h>

#include <cstring>

#include "app/language_window.h"
#include "detect/detection.h"
#include "support.h"
#include "ui/accessible.h"
#include "ui/keyboard_focus.h"
#include "ui/layout.h"
#include "ui/screen_items.h"
#include "ui/palette.h"

const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the folder dialog and the windows' extras
const GdiplusSession gdiplus;

namespace {
enum Outcome { Nothing, Installs, Launches, Closes, Cancels, FolderDialog, AsksFirst, Detects, Switches, Steps, OtherBox };
// WM_CLOSE instead of a key, answered No or Yes; then what is held or done with the key.
constexpr WPARAM kCloseNo = 0, kCloseYes = 1, kCtrl = 0x10000, kShift = 0x20000;
constexpr WPARAM kCopyEndsLater = 0x40000, kUnderBox = 0x80000;  // the key was made before the copy ended; a box is open

// A hidden window over a Steam world with the game and, after it, a folder only a new detection drops.
struct Hidden {
    support::ScratchFolder root{L"keys"};
    support::SteamWorld world{root / L"Steam", {root / L"Steam"}};
    MainWindow record;
    HWND hwnd = nullptr;
    explicit Hidden(InstallerState state) {
        record.hInstance = GetModuleHandleW(nullptr), record.language = 2, record.appFolder = root / L"Download";
        support::writeFile(record.patchPath = record.appFolder + L"\\patch.rpa", "the patch");
        detectGameFolders(record);
        record.candidates.push_back({L"C:\\made-up"}), record.state = state;
        if (state == Installing) record.copyJob = std::make_unique<InstallJob>();
        registerMainWindowClass(record.hInstance);
        hwnd = createMainWindow(record, WindowRect{0, 0, 960, 700});
    }
    ~Hidden() { IsWindow(hwnd) && DestroyWindow(hwnd), destroyMainWindowRecord(record); }
    // What a key or WM_CLOSE (its question answered Yes or No) does, once a copy or a wanted launch is done.
    Outcome after(WPARAM key, bool launchWanted) {
        support::BoxWatcher boxes(key == kCloseYes ? IDYES : IDCANCEL);
        BYTE keys[256] = {};
        keys[VK_CONTROL] = key & kCtrl ? 0x80 : 0;
        keys[VK_SHIFT] = key & kShift ? 0x80 : 0;
        SetKeyboardState(keys);
        record.copyEnded = key & kCopyEndsLater;
        record.copyEndedAt = GetTickCount() + 5000;
        EnableWindow(hwnd, !(key & kUnderBox));
        const WPARAM virtualKey = key & 0xFFFF;
        key > kCloseYes ? SendMessageW(hwnd, WM_KEYDOWN, virtualKey, 0) : SendMessageW(hwnd, WM_CLOSE, 0, 0);
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
        if (record.language != 2) return Switches;
        if (record.selectedIndex != 0) return Steps;
        return record.candidates.back().folder == L"C:\\made-up" ? Nothing : Detects;
    }
};

MainWindow screen(InstallerState state, bool patch, int folders) {
    MainWindow w;
    w.state = state, w.patchPresent = patch, w.language = 2, w.candidates.resize(folders, {L"C:\\game"});
    return w;
}

// The screen rendered into a top-down 32-bit bitmap.
struct Shot {
    HDC dc = CreateCompatibleDC(nullptr);
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap;
    int w;
    Shot(const MainWindow& window, int width, int height, UINT dpi, PictureCache* cache = nullptr) : w(width) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
        renderMainWindowAtDpi(window, dc, width, height, dpi, cache);
        GdiFlush();
    }
    ~Shot() { DeleteDC(dc), DeleteObject(bitmap); }
    std::uint32_t at(float x, float y) const { return bits[int(y) * w + int(x)] & 0xFFFFFF; }
};
}  // namespace

// Each key in each state with the focus on no button or on one: what it does and where the focus
// goes (always onto a button the hit test finds at its own rectangle's centre, so one that reacts).
TEST(MainWindowKeys, EachKeyInEachStateAndFocus) {
    using B = ButtonId;
    const struct { InstallerState state; WPARAM key; Outcome outcome; B focus = B::None; B after = B::None; } kRows[] = {
        {Ready, VK_RETURN, Installs}, {Installing, VK_RETURN, Nothing},
        {Complete, VK_RETURN, Launches}, {Complete, VK_ESCAPE, Closes},
        {Installing, VK_ESCAPE, Cancels}, {Ready, 'B', Nothing}, {Ready, 'B' | kCtrl, FolderDialog},
        {Installing, 'B' | kCtrl, Nothing}, {Failed, VK_F5, Detects}, {Installing, VK_F5, Detects},
        {Installing, kCloseNo, AsksFirst}, {Installing, kCloseYes, Closes},
        {Ready, VK_SPACE, Nothing}, {Ready, VK_RIGHT, Steps}, {Installing, VK_LEFT, Nothing},
        {Ready, VK_TAB, Nothing, B::None, B::LangSimplified},
        {Ready, VK_TAB | kShift, Nothing, B::None, B::Primary},
        {Ready, VK_TAB, Nothing, B::Primary, B::LangSimplified},
        {Installing, VK_TAB, Nothing, B::MusicToggle, B::Primary},
        {Complete, VK_TAB, Nothing, B::Primary, B::CloseInstaller},
        {Ready, VK_TAB | kUnderBox, Nothing, B::LangEnglish, B::LangEnglish},
        {Ready, VK_RETURN, Detects, B::DetectAgain, B::DetectAgain},
        {Installing, VK_SPACE, Cancels, B::Primary, B::Primary},
        {Complete, VK_SPACE | kCopyEndsLater, Nothing, B::Primary, B::Primary},
        {Complete, VK_SPACE, Closes, B::CloseInstaller},
        {Ready, VK_SPACE, FolderDialog, B::ChooseFolder, B::ChooseFolder},
        {Ready, VK_SPACE, Switches, B::LangSimplified, B::LangSimplified},
        {Ready, VK_F5, Detects, B::NextLocation, B::Primary},
        {Complete, VK_F5, Detects, B::CloseInstaller, B::Primary}};
    for (const auto& row : kRows) {
        Hidden window(row.state);
        ASSERT_TRUE(window.hwnd);
        window.record.focusId = row.focus;
        EXPECT_EQ(window.after(row.key, row.outcome == Launches), row.outcome) << (&row - kRows);
        EXPECT_TRUE(row.outcome != Detects || window.record.state == (row.state == Installing ? Installing : Ready));
        if (!IsWindow(window.hwnd)) continue;
        EXPECT_EQ(window.record.focusId, row.after) << (&row - kRows);
        if (row.after == B::None) continue;
        const POINT centre = support::pointOf(window.hwnd, window.record.state, support::kButtonRects[int(row.after) - 1]);
        EXPECT_EQ(hitTestClientPoint(window.record, centre.x, centre.y), row.after) << (&row - kRows);
    }
}

// Whether each button reacts (a flag per button in ButtonId order), and the hit test finds it at its
// centre and corners only then, never beside or below it, on two canvas sizes.
TEST(HitTest, EachButtonReactsInsideItsRectangleOnlyInItsStates) {
    const struct { InstallerState state; bool patch; int folders; const char* reacts; } kRows[] = {
        {Ready, true, 2, "11111111100"},     {Installing, true, 2, "11110000100"}, {Complete, true, 2, "11111111110"},
        {Cancelled, true, 2, "11111111100"}, {Failed, true, 2, "11111111100"},     {Ready, false, 1, "11111100001"},
        {Installing, false, 1, "11110000101"}, {Complete, false, 1, "11111100111"}, {Failed, true, 0, "11111100000"}};
    for (const auto& row : kRows) {
        const MainWindow w = screen(row.state, row.patch, row.folders);
        for (const ScreenItem& item : mainScreenItems(w, 920, 620, 96)) {  // readers hear which buttons react
            const LONG told = buttonActive(w, ButtonId(item.key)) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
            const LONG mask = STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE;
            if (item.role != ROLE_SYSTEM_PUSHBUTTON) continue;
            EXPECT_EQ(item.state & mask, told) << row.state << " " << item.key;
        }
        for (const auto& [cw, ch] : {std::pair{920.f, 620.f}, {1160.f, 700.f}}) {
            for (int b = 0; b < 11; ++b) {
                const ButtonId id = ButtonId(b + 1), want = row.reacts[b] == '1' ? id : ButtonId::None;
                const LayoutRect r = computeLayout(cw, ch, row.state).*support::kButtonRects[b];
                const std::string at = std::to_string(row.state) + " button " + std::to_string(b + 1);
                EXPECT_EQ(buttonActive(w, id), row.reacts[b] == '1') << at;
                if (r.width == 0) continue;
                for (const auto& [x, y] : {std::pair{r.left + r.width / 2, r.top + r.height / 2}, {r.left + .5f, r.top + .5f},
                                           {r.right() - .5f, r.bottom() - .5f}, {r.left - 1, r.top + 1}, {r.left + 1, r.bottom() + 1}})
                    EXPECT_EQ(hitTest(w, x, y, cw, ch) == id, want == id && x > r.left && y < r.bottom()) << at << " at " << x << "," << y;
            }
        }
    }
}

TEST(LanguageWindow, KeysAndButtonsPickTheirLanguage) {
    const struct { int focus; WPARAM key; int focusAfter; int language; } kKeys[] = {
        {-1, VK_ESCAPE, -1, -1}, {-1, '1', -1, 0}, {-1, 'C', -1, 0}, {-1, '2', -1, 1},
        {-1, 'T', -1, 1}, {-1, '3', -1, 2}, {2, 'E', 2, 2}, {-1, VK_RETURN, -1, -2},
        {-1, VK_SPACE, -1, -2}, {-1, 'A', -1, -2}, {-1, VK_NUMPAD1, -1, -2}, {-1, VK_TAB, 0, -2},
        {-1, VK_LEFT, 2, -2}, {2, VK_RIGHT, 0, -2}, {0, VK_TAB | kShift, 2, -2},
        {1, VK_SPACE, 1, 1}, {2, VK_RETURN, 2, 2}};
    for (const auto& row : kKeys) {
        const LanguageKey effect = languageWindowKey(row.focus, row.key & 0xFFFF, row.key & kShift);
        EXPECT_EQ(std::pair(effect.focus, effect.pick), std::pair(row.focusAfter, row.language)) << (&row - kKeys);
    }
    for (int k = 0; k < 3; ++k) {  // the centre and the edges belong to the button, what lies beside it does not
        const LayoutRect r = languageButtonRect(k);
        for (const auto& [x, y, button] : {std::tuple{r.left + r.width / 2, r.top + r.height / 2, k}, {r.left, r.top, k},
                 {r.right(), r.bottom(), k}, {r.left - 1, r.top + 9, -1}, {r.left + 9, r.bottom() + 1, -1}, {r.left + 9, r.top - 1, -1}})
            EXPECT_EQ(languageButtonAt(x, y), button) << k << " at " << x << "," << y;
    }
}

// Colours a fraction across a layout rectangle at its middle height, at three sizes and scales, in states
// the real installer cannot be held in (the half-full bar has no fill at its far end); the kept picture
// gives a fresh render's pixels, with the focus ring 3 units left of the focused button, none unfocused.
TEST(Paint, ColoursAtLayoutPointsAndTheKeptPicture) {
    using namespace palette;
    const struct { InstallerState state; bool patch; int perMille; LayoutRect MainLayout::*rect; float fx;
                   Gdiplus::ARGB colour; bool shown; } kPoints[] = {
        {Ready, false, 0, &MainLayout::patchDot, .5f, kPatchMissingDot, true},
        {Ready, true, 0, &MainLayout::primaryButton, .03f, kPrimaryNormal, true},
        {Installing, true, 500, &MainLayout::primaryButton, .03f, kCancelNormal, true},
        {Installing, true, 500, &MainLayout::progressBar, .45f, kAccent, true},
        {Installing, true, 500, &MainLayout::progressBar, .98f, kAccent, false},
        {Complete, true, 0, &MainLayout::progressBar, .98f, kAccent, true}};
    MainWindow pictured = screen(Ready, true, 1);
    loadBackgroundImage(pictured.background, GetModuleHandleW(nullptr));
    ASSERT_TRUE(pictured.background.image);
    PictureCache cache;
    for (const auto& [width, height, dpi] : {std::tuple{920, 620, 96u}, {1740, 1050, 144u}, {1740, 1050, 96u}}) {
        const float scale = scaleFor(float(width), float(height), float(dpi));
        for (const ButtonId focus : {ButtonId::Primary, ButtonId::LangEnglish, ButtonId::None}) {
            pictured.focusId = focus;
            const Shot fresh(pictured, width, height, dpi), kept(pictured, width, height, dpi, &cache);
            EXPECT_EQ(std::memcmp(fresh.bits, kept.bits, size_t(width) * height * 4), 0) << width << " at " << dpi;
            const auto rect = support::kButtonRects[int(focus == ButtonId::None ? ButtonId::Primary : focus) - 1];
            const LayoutRect r = computeLayout(width / scale, height / scale, Ready).*rect;
            const std::uint32_t seen = kept.at((r.left - 3) * scale, (r.top + r.height / 2) * scale);
            EXPECT_EQ(support::closeTo(seen, kFocusRing & 0xFFFFFF, 8), focus != ButtonId::None) << std::hex << seen;
        }
        for (const auto& p : kPoints) {
            MainWindow w = screen(p.state, p.patch, 1);
            w.progressPerMille = p.perMille;
            const LayoutRect r = computeLayout(width / scale, height / scale, p.state).*p.rect;
            const std::uint32_t seen = Shot(w, width, height, dpi).at((r.left + r.width * p.fx) * scale, (r.top + r.height / 2) * scale);
            const int tolerance = !p.shown ? 30 : p.colour >> 24 == 0xFF ? 3 : 20;  // translucent: blended with the card
            EXPECT_EQ(support::closeTo(seen, p.colour & 0xFFFFFF, tolerance), p.shown)
                << std::hex << seen << " against " << p.colour << " in state " << p.state << " at " << std::dec << dpi;
        }
    }
}

// What a screen reader is told as the screen changes: elements coming or going, a changed text, the
// progress only when its turn has come (until then the reader keeps the old value), and the end of a
// copy as an alert.
TEST(Announce, ReadersHearWhatChangedAndTheProgressWaitsItsTurn) {
    ScreenItem status, bar, moved, ended, focused;
    status.key = 1, status.name = L"Installing", bar.key = 2, bar.role = ROLE_SYSTEM_PROGRESSBAR, bar.value = L"40%";
    moved = bar, ended = status, moved.value = L"41%", ended.name = L"Installation complete", ended.announce = true;
    focused = status, focused.state = STATE_SYSTEM_FOCUSED;
    const struct { ScreenItems told, now; bool due; std::vector<DWORD> events; const wchar_t* value; } rows[] = {
        {{status, bar}, {status, bar}, true, {}, L"40%"},
        {{status, bar}, {status, moved}, false, {}, L"40%"},
        {{status, bar}, {status, moved}, true, {EVENT_OBJECT_VALUECHANGE}, L"41%"},
        {{status, bar}, {ended}, true, {EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, EVENT_SYSTEM_ALERT}, nullptr},
        {{ended}, {ended}, true, {}, nullptr},
        {{status}, {focused}, true, {EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_FOCUS}, nullptr},
    };
    for (const auto& r : rows) {
        const Announcement said = announceChanges(r.told, r.now, r.due);
        std::vector<DWORD> events;
        for (const ScreenEvent& e : said.events) events.push_back(e.event);
        EXPECT_EQ(events, r.events) << (&r - rows);
        EXPECT_TRUE(!r.value || said.told.back().value == r.value) << (&r - rows);
    }
}
