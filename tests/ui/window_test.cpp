// The two windows' decisions as tables (which button reacts where, which key picks which language,
// where a folder picked by hand leads), the installer screen rendered off-screen, and the installer
// window's keys in each state (in this process: the real exe cannot be held in Installing or Cancelled).
#include <gtest/gtest.h>

#include <cstring>

#include "app/language_window.h"
#include "detect/detection.h"
#include "install/chooser.h"
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

// Each key in each state with the focus on a button or on none: what it does, where the focus ends
// (a button the hit test finds at its own rectangle's centre, so one that reacts).
TEST(MainWindowKeys, EachKeyInEachStateAndFocus) {
    using B = ButtonId;
    const struct { InstallerState state; B focus; WPARAM key; Outcome outcome; B focusAfter; } kRows[] = {
        {Ready, B::None, VK_RETURN, Installs, B::None},        {Failed, B::None, VK_RETURN, Installs, B::None},
        {Installing, B::None, VK_RETURN, Nothing, B::None},    {Complete, B::None, VK_RETURN, Launches, B::None},
        {Ready, B::None, VK_ESCAPE, Closes, B::None},          {Complete, B::None, VK_ESCAPE, Closes, B::None},
        {Installing, B::None, VK_ESCAPE, Cancels, B::None},    {Ready, B::None, 'B' | kCtrl, FolderDialog, B::None},
        {Ready, B::None, 'B', Nothing, B::None},               {Installing, B::None, 'B' | kCtrl, Nothing, B::None},
        {Failed, B::None, VK_F5, Detects, B::None},            {Installing, B::None, VK_F5, Detects, B::None},
        {Installing, B::None, kCloseNo, AsksFirst, B::None},   {Installing, B::None, kCloseYes, Closes, B::None},
        {Ready, B::None, kCloseNo, Closes, B::None},           {Ready, B::None, VK_TAB, Nothing, B::LangSimplified},
        {Ready, B::None, VK_TAB | kShift, Nothing, B::Primary}, {Ready, B::Primary, VK_TAB, Nothing, B::LangSimplified},
        {Installing, B::MusicToggle, VK_TAB, Nothing, B::Primary},
        {Complete, B::Primary, VK_TAB, Nothing, B::CloseInstaller},
        {Ready, B::DetectAgain, VK_RETURN, Detects, B::DetectAgain},
        {Ready, B::Primary, VK_SPACE, Installs, B::Primary},   {Installing, B::Primary, VK_SPACE, Cancels, B::Primary},
        {Complete, B::Primary, VK_SPACE, Launches, B::Primary},
        {Complete, B::Primary, VK_SPACE | kCopyEndsLater, Nothing, B::Primary},
        {Complete, B::CloseInstaller, VK_SPACE, Closes, B::None},
        {Ready, B::ChooseFolder, VK_SPACE, FolderDialog, B::ChooseFolder},
        {Ready, B::LangSimplified, VK_SPACE, Switches, B::LangSimplified},
        {Ready, B::None, VK_SPACE, Nothing, B::None},          {Ready, B::None, VK_RIGHT, Steps, B::None},
        {Installing, B::None, VK_LEFT, Nothing, B::None},      {Ready, B::NextLocation, VK_F5, Detects, B::Primary},
        {Complete, B::CloseInstaller, VK_F5, Detects, B::Primary},
        {Ready, B::None, VK_TAB | kUnderBox, Nothing, B::None}};
    for (const auto& row : kRows) {
        Hidden window(row.state);
        ASSERT_TRUE(window.hwnd);
        window.record.focusId = row.focus;
        const std::string at = std::to_string(&row - kRows);
        EXPECT_EQ(window.after(row.key, row.outcome == Launches), row.outcome) << "row " << at;
        EXPECT_TRUE(row.outcome != Detects || window.record.state == (row.state == Installing ? Installing : Ready));
        if (!IsWindow(window.hwnd)) continue;
        EXPECT_EQ(window.record.focusId, row.focusAfter) << "row " << at;
        if (row.focusAfter == B::None) continue;
        const auto rect = support::kButtonRects[int(row.focusAfter) - 1];
        const POINT centre = support::pointOf(window.hwnd, window.record.state, rect);
        EXPECT_EQ(hitTestClientPoint(window.record, centre.x, centre.y), row.focusAfter) << "row " << at;
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
        for (const ScreenItem& item : mainScreenItems(w, 920, 620, 96)) {  // what readers are told of each button
            const bool reacts = item.role == ROLE_SYSTEM_PUSHBUTTON && buttonActive(w, ButtonId(item.key));
            const LONG told = item.role == ROLE_SYSTEM_PUSHBUTTON ? STATE_SYSTEM_UNAVAILABLE : 0;
            EXPECT_EQ(item.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE), reacts ? STATE_SYSTEM_FOCUSABLE : told)
                << row.state << " item " << item.key;
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
        {-1, VK_ESCAPE, -1, -1}, {-1, '1', -1, 0},      {-1, 'C', -1, 0},      {-1, '2', -1, 1},
        {-1, 'T', -1, 1},        {-1, '3', -1, 2},      {2, 'E', 2, 2},        {-1, VK_RETURN, -1, -2},
        {-1, VK_SPACE, -1, -2},  {-1, 'A', -1, -2},     {-1, VK_NUMPAD1, -1, -2}, {-1, VK_TAB, 0, -2},
        {-1, VK_LEFT, 2, -2},    {2, VK_RIGHT, 0, -2},  {0, VK_TAB | kShift, 2, -2}, {1, VK_SPACE, 1, 1},
        {2, VK_RETURN, 2, 2},    {0, VK_ESCAPE, 0, -1}};
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

// Every form of a Steam library leads to its game folder; a pick that leads to none gets the hint.
TEST(FolderChoice, EachPickLeadsToTheGameFolderOrToTheHint) {
    support::ScratchFolder root(L"chooser");
    const std::wstring library = root / L"Library", game = support::makeGameFolder(library);
    const std::wstring onlyPatch = support::gameFolderOf(root / L"OnlyPatch");
    support::writeFile(onlyPatch + L"\\patch.rpa", "no original archive"), support::writeFile(root / L"Loose\\game\\archive.rpa", "");
    const struct { std::wstring picked; bool leads; } kPicks[] = {
        {game, true}, {game + L"\\", true}, {library + L"\\steamapps\\common\\Lumivex Orrendale", true},
        {library + L"\\steamapps\\common", true}, {library + L"\\steamapps", true}, {library, true},
        {library + L"/steamapps/common/", true}, {game + L"\\..\\..", true}, {onlyPatch, false},
        {root / L"OnlyPatch", false}, {root / L"Loose\\game", false}, {root / L"Missing", false}, {L"", false}};
    for (const auto& pick : kPicks) {
        const WidePath resolved = resolveChosenFolder(pick.picked);
        EXPECT_TRUE(pick.leads ? pathEqualsNoCase(resolved, game) : resolved.empty()) << pick.picked << " -> " << resolved;
        const AdoptionDecision decision = decideAdoption(resolved);
        EXPECT_TRUE(decision.adopt == pick.leads && (pick.leads || (decision.warning == TextSlot::selectFolderHint &&
                                                                     decision.icon == MB_ICONWARNING))) << pick.picked;
    }
}

// Colours a fraction across a layout rectangle at its middle height, at two sizes and DPIs, in
// states the real installer cannot be held in; the half-full bar shows no fill at its far end.
TEST(Paint, ColoursAtLayoutPoints) {
    using namespace palette;
    const struct { InstallerState state; bool patch; int perMille; LayoutRect MainLayout::*rect; float fx;
                   Gdiplus::ARGB colour; bool shown; } kPoints[] = {
        {Ready, false, 0, &MainLayout::patchDot, .5f, kPatchMissingDot, true},
        {Ready, true, 0, &MainLayout::primaryButton, .03f, kPrimaryNormal, true},
        {Installing, true, 500, &MainLayout::primaryButton, .03f, kCancelNormal, true},
        {Installing, true, 500, &MainLayout::progressBar, .45f, kAccent, true},
        {Installing, true, 500, &MainLayout::progressBar, .98f, kAccent, false},
        {Complete, true, 0, &MainLayout::progressBar, .98f, kAccent, true}};
    for (const auto& [width, height, dpi] : {std::tuple{920, 620, 96u}, {1740, 1050, 144u}}) {
        const float scale = scaleFor(float(width), float(height), float(dpi));
        // The focus ring 3 units left of the focused button at its middle height; none before a key moved the focus.
        for (const ButtonId focus : {ButtonId::Primary, ButtonId::LangEnglish, ButtonId::None}) {
            MainWindow w = screen(Ready, true, 1);
            w.focusId = focus;
            const int button = focus == ButtonId::None ? int(ButtonId::Primary) : int(focus);
            const LayoutRect r = computeLayout(width / scale, height / scale, Ready).*support::kButtonRects[button - 1];
            const std::uint32_t seen = Shot(w, width, height, dpi).at((r.left - 3) * scale, (r.top + r.height / 2) * scale);
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

// The picture kept between paints gives the very pixels a fresh render gives, through changes of
// size, scale and state with one cache.
TEST(Paint, KeptPictureMatchesAFreshRender) {
    MainWindow w = screen(Ready, true, 1);
    loadBackgroundImage(w.background, GetModuleHandleW(nullptr));
    ASSERT_TRUE(w.background.image);
    PictureCache cache;
    const struct { int width, height; UINT dpi; InstallerState state; } kSteps[] = {
        {920, 620, 96, Ready}, {1160, 700, 96, Installing}, {1740, 1050, 144, Complete}, {1160, 700, 144, Failed},
        {1160, 700, 96, Cancelled}};
    for (const auto& step : kSteps) {
        w.state = step.state;
        const Shot fresh(w, step.width, step.height, step.dpi), kept(w, step.width, step.height, step.dpi, &cache);
        EXPECT_EQ(std::memcmp(fresh.bits, kept.bits, size_t(step.width) * step.height * 4), 0)
            << step.width << "x" << step.height << " at " << step.dpi << " in state " << step.state;
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
        {{status, bar}, {focused, bar}, false, {EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_FOCUS}, L"40%"},
    };
    for (const auto& r : rows) {
        const Announcement said = announceChanges(r.told, r.now, r.due);
        std::vector<DWORD> events;
        for (const ScreenEvent& e : said.events) events.push_back(e.event);
        EXPECT_EQ(events, r.events) << (&r - rows);
        EXPECT_TRUE(!r.value || said.told.back().value == r.value) << (&r - rows);
    }
}
