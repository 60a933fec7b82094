// The two windows' decisions as tables (which button reacts where, which key picks which language
// or moves the focus), the installer screen rendered off-screen, and the installer window's keys in
// each state and focus (in this process: the real exe cannot be held in Installing or Cancelled).
#include <gtest/gtest.h>

#include <cstring>

#include "app/language_window.h"
#include "detect/detection.h"
#include "support.h"
#include "ui/accessible.h"
#include "ui/keyboard_focus.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/screen_items.h"

// The folder dialog and the windows' extras need COM.
const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
const GdiplusSession gdiplus;

namespace {
enum Outcome {
    Nothing,
    Installs,
    Launches,
    Closes,
    Cancels,
    FolderDialog,
    AsksFirst,
    Detects,
    Switches,
    Steps,
    OtherBox,
};
// WM_CLOSE instead of a key, its question answered No or Yes.
constexpr WPARAM kCloseNo = 0;
constexpr WPARAM kCloseYes = 1;
// Held with the key, or true when it comes: Ctrl, Shift, made before the copy ended, a box open.
constexpr WPARAM kCtrl = 0x10000;
constexpr WPARAM kShift = 0x20000;
constexpr WPARAM kCopyEndsLater = 0x40000;
constexpr WPARAM kUnderBox = 0x80000;
constexpr DWORD kWaitMs = 20000;

// A hidden window over a Steam world with the game and, after it, a folder only a new detection
// drops.
struct Hidden {
    support::ScratchFolder root{L"keys"};
    support::SteamWorld world{root / L"Steam", {root / L"Steam"}};
    MainWindow record;
    HWND hwnd = nullptr;

    explicit Hidden(InstallerState state) {
        record.hInstance = GetModuleHandleW(nullptr);
        record.language = 2;
        record.appFolder = root / L"Download";
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
    // What a key or WM_CLOSE does, once a copy or a wanted launch is done.
    Outcome after(WPARAM key, bool launchWanted) {
        support::BoxWatcher boxes(key == kCloseYes ? IDYES : IDCANCEL);
        BYTE keys[256] = {};
        keys[VK_CONTROL] = key & kCtrl ? 0x80 : 0;
        keys[VK_SHIFT] = key & kShift ? 0x80 : 0;
        SetKeyboardState(keys);
        record.copyEnded = key & kCopyEndsLater;
        record.copyEndedAt = GetTickCount() + 5000;
        EnableWindow(hwnd, !(key & kUnderBox));
        if (key > kCloseYes) {
            SendMessageW(hwnd, WM_KEYDOWN, key & 0xFFFF, 0);
        } else {
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        support::pumpUntil([&] { return !record.workerThread; }, kWaitMs);
        const std::wstring launched = support::gameFolderOf(root / L"Steam") + L"\\..\\Lumivex.exe.record";
        const DWORD launchWait = launchWanted ? kWaitMs : 0;
        if (support::pumpUntil([&] { return support::exists(launched); }, launchWait)) return Launches;
        if (!IsWindow(hwnd)) return Closes;
        if (record.copyJob && record.copyJob->cancelRequested) return Cancels;
        if (!boxes.boxes.empty()) {
            const support::SeenBox& box = boxes.boxes[0];
            if (box.caption == textsFor(2)[TextSlot::folderDialogTitle]) return FolderDialog;
            if (box.text == textsFor(2)[TextSlot::confirmCancelExit]) return AsksFirst;
            return OtherBox;
        }
        if (support::readFile(world.gameFolders[0] + L"\\patch.rpa") == "the patch") return Installs;
        if (record.language != 2) return Switches;
        if (record.selectedIndex != 0) return Steps;
        if (record.candidates.back().folder == L"C:\\made-up") return Nothing;
        return Detects;
    }
};

MainWindow screen(InstallerState state, bool patch, int folders) {
    MainWindow window;
    window.state = state;
    window.patchPresent = patch;
    window.language = 2;
    window.candidates.resize(folders, {L"C:\\game"});
    return window;
}

// The screen rendered into a top-down 32-bit bitmap.
struct Shot {
    HDC dc = CreateCompatibleDC(nullptr);
    std::uint32_t* bits = nullptr;
    BitmapPtr bitmap;
    int width;

    Shot(const MainWindow& window, int shotWidth, int height, UINT dpi, PictureCache* cache = nullptr)
        : width(shotWidth) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void** pixels = reinterpret_cast<void**>(&bits);
        bitmap.reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, pixels, nullptr, 0));
        const HGDIOBJ previous = SelectObject(dc, bitmap.get());
        renderMainWindowAtDpi(window, dc, width, height, dpi, cache);
        GdiFlush();
        SelectObject(dc, previous);
    }
    ~Shot() { DeleteDC(dc); }
    std::uint32_t at(float x, float y) const { return bits[int(y) * width + int(x)] & 0xFFFFFF; }
};

// The point a fraction across a layout rectangle at its middle height, in pixels of a scale.
std::uint32_t colourIn(const Shot& shot, const LayoutRect& rect, float across, float scale) {
    return shot.at((rect.left + rect.width * across) * scale, (rect.top + rect.height / 2) * scale);
}
}  // namespace

// Each key in each state with the focus on no button or on one: what it does and where the focus
// goes (always onto a button the hit test finds at its own rectangle's centre, so one that reacts).
TEST(MainWindowKeys, EachKeyInEachStateAndFocus) {
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
        {Ready, 'B', Nothing},
        {Ready, 'B' | kCtrl, FolderDialog},
        {Installing, 'B' | kCtrl, Nothing},
        {Failed, VK_F5, Detects},
        {Installing, VK_F5, Detects},
        {Installing, kCloseNo, AsksFirst},
        {Installing, kCloseYes, Closes},
        {Ready, VK_SPACE, Nothing},
        {Ready, VK_RIGHT, Steps},
        {Installing, VK_LEFT, Nothing},
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
        {Complete, VK_F5, Detects, B::CloseInstaller, B::Primary},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        Hidden window(row.state);
        ASSERT_TRUE(window.hwnd);
        window.record.focusId = row.focus;
        EXPECT_EQ(window.after(row.key, row.outcome == Launches), row.outcome);
        const InstallerState detected = row.state == Installing ? Installing : Ready;
        EXPECT_TRUE(row.outcome != Detects || window.record.state == detected);
        if (!IsWindow(window.hwnd)) continue;
        EXPECT_EQ(window.record.focusId, row.after);
        if (row.after == B::None) continue;
        const auto rect = support::kButtonRects[int(row.after) - 1];
        const POINT centre = support::pointOf(window.hwnd, window.record.state, rect);
        EXPECT_EQ(hitTestClientPoint(window.record, centre.x, centre.y), row.after);
    }
}

// Whether each button reacts (a flag per button in ButtonId order) and is told to readers as
// focusable or unavailable, and the hit test finds it at its centre and corners only then, never
// beside or below it, on two canvas sizes.
TEST(HitTest, EachButtonReactsInsideItsRectangleOnlyInItsStates) {
    const struct {
        InstallerState state;
        bool patch;
        int folders;
        const char* reacts;
    } rows[] = {
        {Ready, true, 2, "11111111100"},
        {Installing, true, 2, "11110000100"},
        {Complete, true, 2, "11111111110"},
        {Cancelled, true, 2, "11111111100"},
        {Failed, true, 2, "11111111100"},
        {Ready, false, 1, "11111100001"},
        {Installing, false, 1, "11110000101"},
        {Complete, false, 1, "11111100111"},
        {Failed, true, 0, "11111100000"},
    };
    const LONG readerBits = STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE;
    const std::pair<float, float> canvases[] = {{920.f, 620.f}, {1160.f, 700.f}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        const MainWindow window = screen(row.state, row.patch, row.folders);
        for (const ScreenItem& item : mainScreenItems(window, 920, 620, 96)) {
            if (item.role != ROLE_SYSTEM_PUSHBUTTON) continue;
            const bool reacts = buttonActive(window, ButtonId(item.key));
            const LONG told = reacts ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
            EXPECT_EQ(item.state & readerBits, told) << item.key;
        }
        for (const auto& [width, height] : canvases) {
            for (int index = 0; index < 11; ++index) {
                SCOPED_TRACE(index + 1);
                const ButtonId id = ButtonId(index + 1);
                const bool reacts = row.reacts[index] == '1';
                EXPECT_EQ(buttonActive(window, id), reacts);
                const LayoutRect rect = computeLayout(width, height, row.state).*support::kButtonRects[index];
                if (rect.width == 0) continue;
                const std::pair<float, float> inside[] = {
                    {rect.left + rect.width / 2, rect.top + rect.height / 2},
                    {rect.left + .5f, rect.top + .5f},
                    {rect.right() - .5f, rect.bottom() - .5f},
                };
                const std::pair<float, float> outside[] = {
                    {rect.left - 1, rect.top + 1},
                    {rect.left + 1, rect.bottom() + 1},
                };
                for (const auto& [x, y] : inside) EXPECT_EQ(hitTest(window, x, y, width, height) == id, reacts);
                for (const auto& [x, y] : outside) EXPECT_NE(hitTest(window, x, y, width, height), id);
            }
        }
    }
}

TEST(LanguageWindow, KeysAndButtonsPickTheirLanguage) {
    // The focus before and after; the language picked (-1: closed without one, -2: nothing).
    const struct {
        int focus;
        WPARAM key;
        int focusAfter;
        int language;
    } rows[] = {
        {-1, VK_ESCAPE, -1, -1},
        {-1, '1', -1, 0},
        {-1, 'C', -1, 0},
        {-1, '2', -1, 1},
        {-1, 'T', -1, 1},
        {-1, '3', -1, 2},
        {2, 'E', 2, 2},
        {-1, VK_RETURN, -1, -2},
        {-1, VK_SPACE, -1, -2},
        {-1, 'A', -1, -2},
        {-1, VK_NUMPAD1, -1, -2},
        {-1, VK_TAB, 0, -2},
        {-1, VK_LEFT, 2, -2},
        {2, VK_RIGHT, 0, -2},
        {0, VK_TAB | kShift, 2, -2},
        {1, VK_SPACE, 1, 1},
        {2, VK_RETURN, 2, 2},
    };
    for (const auto& row : rows) {
        const LanguageKey effect = languageWindowKey(row.focus, row.key & 0xFFFF, row.key & kShift);
        EXPECT_EQ(effect.focus, row.focusAfter) << (&row - rows);
        EXPECT_EQ(effect.pick, row.language) << (&row - rows);
    }
    // The centre and the edges belong to the button, what lies beside it does not.
    for (int button = 0; button < 3; ++button) {
        const LayoutRect rect = languageButtonRect(button);
        const std::tuple<float, float, int> points[] = {
            {rect.left + rect.width / 2, rect.top + rect.height / 2, button},
            {rect.left, rect.top, button},
            {rect.right(), rect.bottom(), button},
            {rect.left - 1, rect.top + 9, -1},
            {rect.left + 9, rect.bottom() + 1, -1},
            {rect.left + 9, rect.top - 1, -1},
        };
        for (const auto& [x, y, found] : points) EXPECT_EQ(languageButtonAt(x, y), found) << x << "," << y;
    }
}

// Colours a fraction across a layout rectangle at its middle height, at three sizes and scales, in
// states the real installer cannot be held in (the half-full bar has no fill at its far end); the
// kept picture gives a fresh render's pixels, with the focus ring 3 units left of the focused
// button and none without a focus.
TEST(Paint, ColoursAtLayoutPointsAndTheKeptPicture) {
    using namespace palette;
    const struct {
        InstallerState state;
        bool patch;
        int perMille;
        LayoutRect MainLayout::*rect;
        float across;
        Gdiplus::ARGB colour;
        bool shown;
    } points[] = {
        {Ready, false, 0, &MainLayout::patchDot, .5f, kPatchMissingDot, true},
        {Ready, true, 0, &MainLayout::primaryButton, .03f, kPrimaryNormal, true},
        {Installing, true, 500, &MainLayout::primaryButton, .03f, kCancelNormal, true},
        {Installing, true, 500, &MainLayout::progressBar, .45f, kAccent, true},
        {Installing, true, 500, &MainLayout::progressBar, .98f, kAccent, false},
        {Complete, true, 0, &MainLayout::progressBar, .98f, kAccent, true},
    };
    const std::tuple<int, int, UINT> sizes[] = {{920, 620, 96}, {1740, 1050, 144}, {1740, 1050, 96}};
    MainWindow pictured = screen(Ready, true, 1);
    loadBackgroundImage(pictured.background, GetModuleHandleW(nullptr));
    ASSERT_TRUE(pictured.background.image);
    PictureCache cache;
    for (const auto& [width, height, dpi] : sizes) {
        SCOPED_TRACE(std::to_string(width) + " at " + std::to_string(dpi));
        const float scale = scaleFor(float(width), float(height), float(dpi));
        const MainLayout layout = computeLayout(width / scale, height / scale, Ready);
        for (const ButtonId focus : {ButtonId::Primary, ButtonId::LangEnglish, ButtonId::None}) {
            pictured.focusId = focus;
            const Shot fresh(pictured, width, height, dpi);
            const Shot kept(pictured, width, height, dpi, &cache);
            EXPECT_EQ(std::memcmp(fresh.bits, kept.bits, size_t(width) * height * 4), 0);
            const ButtonId ringed = focus == ButtonId::None ? ButtonId::Primary : focus;
            const LayoutRect rect = layout.*support::kButtonRects[int(ringed) - 1];
            const std::uint32_t seen = kept.at((rect.left - 3) * scale, (rect.top + rect.height / 2) * scale);
            EXPECT_EQ(support::closeTo(seen, kFocusRing & 0xFFFFFF, 8), focus != ButtonId::None) << std::hex << seen;
        }
        for (const auto& point : points) {
            SCOPED_TRACE(point.state);
            MainWindow window = screen(point.state, point.patch, 1);
            window.progressPerMille = point.perMille;
            const LayoutRect rect = computeLayout(width / scale, height / scale, point.state).*point.rect;
            const std::uint32_t seen = colourIn(Shot(window, width, height, dpi), rect, point.across, scale);
            // A translucent colour is blended with the card.
            const int tolerance = !point.shown ? 30 : point.colour >> 24 == 0xFF ? 3 : 20;
            const bool close = support::closeTo(seen, point.colour & 0xFFFFFF, tolerance);
            EXPECT_EQ(close, point.shown) << std::hex << seen << " against " << point.colour;
        }
    }
}

// What a screen reader is told as the screen changes: elements coming or going, a changed text, the
// progress only when its turn has come (until then the reader keeps the old value), the end of a
// copy as an alert, and the focus.
TEST(Announce, ReadersHearWhatChangedAndTheProgressWaitsItsTurn) {
    ScreenItem status;
    status.key = 1;
    status.name = L"Installing";
    ScreenItem bar;
    bar.key = 2;
    bar.role = ROLE_SYSTEM_PROGRESSBAR;
    bar.value = L"40%";
    ScreenItem moved = bar;
    moved.value = L"41%";
    ScreenItem ended = status;
    ended.name = L"Installation complete";
    ended.announce = true;
    ScreenItem focused = status;
    focused.state = STATE_SYSTEM_FOCUSED;
    const DWORD reorder = EVENT_OBJECT_REORDER;
    const DWORD renamed = EVENT_OBJECT_NAMECHANGE;
    const struct {
        ScreenItems told;
        ScreenItems now;
        bool due;
        std::vector<DWORD> events;
        const wchar_t* value;
    } rows[] = {
        {{status, bar}, {status, bar}, true, {}, L"40%"},
        {{status, bar}, {status, moved}, false, {}, L"40%"},
        {{status, bar}, {status, moved}, true, {EVENT_OBJECT_VALUECHANGE}, L"41%"},
        {{status, bar}, {ended}, true, {reorder, renamed, EVENT_SYSTEM_ALERT}, nullptr},
        {{ended}, {ended}, true, {}, nullptr},
        {{status}, {focused}, true, {EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_FOCUS}, nullptr},
    };
    for (const auto& row : rows) {
        const Announcement said = announceChanges(row.told, row.now, row.due);
        std::vector<DWORD> events;
        for (const ScreenEvent& event : said.events) events.push_back(event.event);
        EXPECT_EQ(events, row.events) << (&row - rows);
        if (!row.value) continue;
        EXPECT_EQ(said.told.back().value, row.value) << (&row - rows);
    }
}
