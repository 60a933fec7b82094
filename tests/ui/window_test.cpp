// The installer window's decisions and picture, and the language window's keys.
#include <gtest/gtest.h>

#include "app/language_window.h"
#include "support.h"
#include "ui/draw.h"
#include "ui/keyboard_focus.h"
#include "ui/palette.h"
#include "ui/screen_items.h"

// The folder dialog and the windows' extras need COM.
const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
const GdiplusSession gdiplus;
using namespace support;

namespace {
// WM_CLOSE instead of a key, its question answered No or Yes.
constexpr WPARAM kCloseNo = 0;
constexpr WPARAM kCloseYes = 1;
// Held with the key, or true when it comes: Ctrl, Shift, made before the copy ended, a box open.
constexpr WPARAM kCtrl = 0x10000;
constexpr WPARAM kShift = 0x20000;
constexpr WPARAM kCopyEndsLater = 0x40000;
constexpr WPARAM kUnderBox = 0x80000;
// A click on the main button instead of a key.
constexpr WPARAM kClick = 0x100000;

MainWindow screen(InstallerState state, bool patch, int folders) {
    MainWindow window;
    window.state = state;
    window.patchPresent = patch;
    window.candidates.resize(folders, {L"C:\\game"});
    return window;
}

// The screen drawn as the window paints it, into a bitmap like the screen's.
std::vector<std::uint32_t> render(const MainWindow& window, int width, int height, UINT dpi, PictureCache* cache) {
    OffscreenBitmap shot(GetDC(nullptr), width, height);
    renderMainWindowAtDpi(window, shot.dc, width, height, dpi, cache);
    std::vector<std::uint32_t> pixels(size_t(width) * height);
    GetBitmapBits(shot.bitmap, LONG(pixels.size() * 4), pixels.data());
    ReleaseDC(nullptr, shot.target);
    return pixels;
}
}  // namespace

// What a key does in each state and where the focus goes, in a hidden window in this process (the
// real exe cannot be held in Installing) over a Steam world with the game and a made-up folder.
TEST(MainWindowKeys, EachKeyInEachStateAndFocus) {
    enum Outcome { Nothing, Installs, Launches, Closes, Cancels, FolderDialog, AsksFirst, Detects, Steps };
    using B = ButtonId;
    const struct {
        InstallerState state;
        WPARAM key;
        Outcome outcome;
        B focus = B::None;
        B after = B::None;
    } rows[] = {
        {Ready, VK_RETURN, Installs},
        {Installing, VK_RETURN, Nothing},
        {Complete, VK_RETURN, Launches},
        {Complete, VK_ESCAPE, Closes},
        {Installing, VK_ESCAPE, Cancels},
        {Ready, 'B' | kCtrl, FolderDialog},
        {Installing, 'B' | kCtrl, Nothing},
        {Installing, VK_F5, Detects},
        {Installing, kCloseNo, AsksFirst},
        {Installing, kCloseYes, Closes},
        {Ready, VK_RIGHT, Steps},
        {Ready, VK_TAB | kShift, Nothing, B::None, B::Primary},
        {Ready, VK_TAB, Nothing, B::Primary, B::LangSimplified},
        {Ready, VK_TAB | kUnderBox, Nothing, B::LangEnglish, B::LangEnglish},
        {Complete, VK_SPACE, Closes, B::CloseInstaller},
        {Complete, VK_SPACE | kCopyEndsLater, Nothing, B::CloseInstaller, B::CloseInstaller},
        {Complete, VK_RETURN | kCopyEndsLater, Nothing},
        {Complete, VK_ESCAPE | kCopyEndsLater, Nothing},
        {Complete, kClick | kCopyEndsLater, Nothing},
        {Complete, kClick, Launches},
        {Complete, VK_F5, Detects, B::CloseInstaller, B::Primary},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        ScratchFolder root{L"keys"};
        SteamWorld world{root / L"Steam", {root / L"Steam"}};
        MainWindow record;
        record.hInstance = GetModuleHandleW(nullptr);
        record.patchPath = root / L"patch.rpa";
        writeFile(record.patchPath, "the patch");
        detectGameFolders(record);
        record.candidates.push_back({L"C:\\made-up"});
        record.state = row.state;
        if (row.state == Installing) record.copyJob = std::make_unique<InstallJob>();
        record.focusId = row.focus;
        record.copyEnded = row.key & kCopyEndsLater;
        record.copyEndedAt = GetTickCount() + 5000;
        registerMainWindowClass(record.hInstance);
        const HWND hwnd = createMainWindow(record, WindowRect{0, 0, 960, 700});
        ASSERT_TRUE(hwnd);
        EnableWindow(hwnd, !(row.key & kUnderBox));
        BYTE keys[256] = {};
        keys[VK_CONTROL] = row.key & kCtrl ? 0x80 : 0;
        keys[VK_SHIFT] = row.key & kShift ? 0x80 : 0;
        SetKeyboardState(keys);
        BoxWatcher boxes(row.key == kCloseYes ? IDYES : IDCANCEL);
        if (row.key & kClick) clickAt(hwnd, pointOf(hwnd, row.state, &MainLayout::primaryButton));
        else SendMessageW(hwnd, row.key > kCloseYes ? WM_KEYDOWN : WM_CLOSE, row.key & 0xFFFF, 0);
        // The outcome, once a copy or an awaited launch is over.
        pumpUntil([&] { return !record.workerThread; });
        const auto launched = world.gameFolders[0] + L"\\..\\Lumivex.exe.record";
        const Outcome outcome = [&] {
            if (pumpUntil([&] { return exists(launched); }, row.outcome == Launches ? 20000 : 0)) return Launches;
            if (!IsWindow(hwnd)) return Closes;
            if (record.copyJob && record.copyJob->cancelRequested) return Cancels;
            for (const auto& box : boxes.boxes) {
                if (box.caption == textsFor(0)[TextSlot::folderDialogTitle]) return FolderDialog;
                if (box.text == textsFor(0)[TextSlot::confirmCancelExit]) return AsksFirst;
            }
            if (readFile(world.gameFolders[0] + L"\\patch.rpa") == "the patch") return Installs;
            if (record.selectedIndex != 0) return Steps;
            if (record.candidates.back().folder == L"C:\\made-up") return Nothing;
            return Detects;
        }();
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_TRUE(row.state != Installing || record.state == Installing);
        if (IsWindow(hwnd)) {
            EXPECT_EQ(record.focusId, row.after);
            DestroyWindow(hwnd);
        }
        destroyMainWindowRecord(record);  // stops a worker the row may have left running
    }
    // Neither the focused button nor the main one reacts any more.
    EXPECT_EQ(keptFocus(screen(Failed, true, 0), B::CloseInstaller), B::ChooseFolder);
}

// Which buttons react (flags in ButtonId order), as readers are told and as the hit test finds
// them at their corners on two canvas sizes.
TEST(HitTest, EachButtonReactsInsideItsRectangleOnlyInItsStates) {
    const std::tuple<InstallerState, bool, int, const char*> rows[] = {
        {Ready, true, 2, "11111111100"},
        {Installing, true, 2, "11110000100"},
        {Complete, true, 2, "11111111110"},
        {Ready, false, 1, "11111100001"},
        {Failed, true, 0, "11111100000"},
    };
    const std::pair<float, float> canvases[] = {{920, 620}, {1160, 700}};
    for (const auto& [state, patch, folders, reacts] : rows) {
        SCOPED_TRACE(reacts);
        const MainWindow window = screen(state, patch, folders);
        for (const ScreenItem& item : mainScreenItems(window, 920, 620, 96)) {
            if (item.role != ROLE_SYSTEM_PUSHBUTTON) continue;
            const LONG told = reacts[item.key - 1] == '1' ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
            EXPECT_EQ(item.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE), told) << item.key;
        }
        for (const auto& [width, height] : canvases) {
            for (int id = 1; id <= 11; ++id) {
                const LayoutRect rect = computeLayout(width, height, state).*kButtonRects[id - 1];
                for (const float corner : {0.f, 1.f}) {
                    const float x = rect.left + .5f + (rect.width - 1) * corner;
                    const float y = rect.top + .5f + (rect.height - 1) * corner;
                    EXPECT_EQ(hitTest(window, x, y, width, height) == ButtonId(id), reacts[id - 1] == '1') << id;
                }
            }
        }
    }
}

// The focus before and after a key and the language picked (-1: closed without one, -2: nothing);
// the buttons' corners.
TEST(LanguageWindow, KeysAndButtonsPickTheirLanguage) {
    const std::tuple<int, WPARAM, int, int> rows[] = {
        {-1, VK_ESCAPE, -1, -1},
        {-1, 'A', -1, -2},
        {-1, '1', -1, 0},
        {-1, 'C', -1, 0},
        {-1, '2', -1, 1},
        {-1, 'T', -1, 1},
        {-1, '3', -1, 2},
        {2, 'E', 2, 2},
        {-1, VK_RETURN, -1, -2},
        {-1, VK_SPACE, -1, -2},
        {-1, VK_TAB, 0, -2},
        {-1, VK_LEFT, 2, -2},
        {2, VK_RIGHT, 0, -2},
        {0, VK_TAB | kShift, 2, -2},
        {1, VK_SPACE, 1, 1},
        {2, VK_RETURN, 2, 2},
    };
    for (const auto& [focus, key, focusAfter, language] : rows) {
        const LanguageKey effect = languageWindowKey(focus, key & 0xFFFF, key & kShift);
        EXPECT_EQ(effect.focus, focusAfter) << key;
        EXPECT_EQ(effect.pick, language) << key;
    }
    for (int button = 0; button < 3; ++button) {
        const LayoutRect rect = languageButtonRect(button);
        EXPECT_EQ(languageButtonAt(rect.left, rect.top), button);
        EXPECT_EQ(languageButtonAt(rect.right(), rect.bottom()), button);
    }
}

// Colours at layout points at three sizes and scales (a half-full bar ends in its track), the
// ring only beside a focused main button, and the kept picture equal to a fresh render.
TEST(Paint, ColoursAtLayoutPointsAndTheKeptPicture) {
    using namespace palette;
    const std::tuple<InstallerState, LayoutRect MainLayout::*, float, Gdiplus::ARGB> points[] = {
        {Ready, &MainLayout::patchDot, .5f, kPatchFoundDot},
        {Ready, &MainLayout::primaryButton, .03f, kPrimaryNormal},
        {Installing, &MainLayout::primaryButton, .03f, kCancelNormal},
        {Installing, &MainLayout::progressBar, .45f, kAccent},
        {Installing, &MainLayout::progressBar, .98f, kProgressTrack},
    };
    const std::tuple<int, int, UINT, ButtonId> sizes[] = {
        {920, 620, 96, ButtonId::Primary},
        {1740, 1050, 96, ButtonId::None},
        {1740, 1050, 144, ButtonId::Primary},
    };
    MainWindow window = screen(Ready, true, 1);
    window.progressPerMille = 500;
    loadBackgroundImage(window.background, GetModuleHandleW(nullptr));
    ASSERT_TRUE(window.background.image);
    PictureCache cache;
    for (const auto& [width, height, dpi, focus] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << dpi << " DPI");
        const float scale = scaleFor(float(width), float(height), float(dpi));
        window.focusId = focus;
        for (const auto& [state, rectangle, across, colour] : points) {
            window.state = state;
            const auto kept = render(window, width, height, dpi, &cache);
            EXPECT_TRUE(kept == render(window, width, height, dpi, nullptr));
            const MainLayout layout = computeLayout(width / scale, height / scale, state);
            const auto pixelAt = [&](float x, const LayoutRect& rect) {
                return kept[int((rect.top + rect.height / 2) * scale) * width + int(x * scale)] & 0xFFFFFF;
            };
            const LayoutRect& rect = layout.*rectangle;
            const std::uint32_t seen = pixelAt(rect.left + rect.width * across, rect);
            // A translucent colour blends with what lies under it.
            const int tolerance = colour >> 24 == 0xFF ? 3 : 30;
            EXPECT_TRUE(closeTo(seen, colour & 0xFFFFFF, tolerance)) << std::hex << seen;
            const std::uint32_t ring = pixelAt(layout.primaryButton.left - 3, layout.primaryButton);
            EXPECT_EQ(closeTo(ring, kFocusRing & 0xFFFFFF, 8), focus != ButtonId::None) << std::hex << ring;
        }
    }
}

// What readers hear: the progress only when due, the end of a copy as an alert, and the focus.
TEST(Announce, ReadersHearWhatChangedAndTheProgressWaitsItsTurn) {
    ScreenItem installing;
    installing.name = L"Installing";
    installing.value = L"40%";
    ScreenItem moved = installing;
    moved.value = L"41%";
    ScreenItem ended = installing;
    ended.name = L"Installation complete";
    ended.announce = true;
    ScreenItem focused = installing;
    focused.state = STATE_SYSTEM_FOCUSED;
    const std::tuple<ScreenItem, bool, std::vector<DWORD>> rows[] = {
        {moved, false, {}},
        {moved, true, {EVENT_OBJECT_VALUECHANGE}},
        {ended, true, {EVENT_OBJECT_NAMECHANGE, EVENT_SYSTEM_ALERT}},
        {focused, true, {EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_FOCUS}},
    };
    for (const auto& [now, due, expected] : rows) {
        const Announcement said = announceChanges({installing}, {now}, due);
        std::vector<DWORD> events;
        for (const ScreenEvent& event : said.events) events.push_back(event.event);
        EXPECT_EQ(events, expected);
    }
}
