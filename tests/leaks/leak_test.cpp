// One process, one real main window on the display: 1,000 repaints, 30 resizes and DPI changes,
// 300 language switches, 200 detection passes and 50 complete installs. After each phase the
// process must hold as many handles, GDI objects, windows and live heap bytes as before it, and
// its committed memory may have grown by no more than Wine's own font caches take. The figures
// are printed.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "detect_world.h"
#include "install/preflight.h"
#include "install_fixture.h"
#include "test_support.h"
#include "ui/main_window.h"
#include "ui/paint.h"
#include "ui_test_support.h"

using namespace detect_world;
using testing_support::makeFolders;
using testing_support::pumpUntil;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

namespace {

// ---- census -----------------------------------------------------------------------------------
//
// Wine 8 answers 0 to GetProcessHandleCount (its ProcessHandleCount query is a stub), 0 with
// ERROR_CALL_NOT_IMPLEMENTED to GetGuiResources, and 0 as PrivateUsage. Where a figure comes back
// as 0 the census counts the live objects itself instead:
// - handles: every value 4, 8, ... below 65536 that GetHandleInformation accepts (Wine hands out
//   kernel handles as small multiples of 4 from the start of its table);
// - GDI objects: every table index 1..65535 that GetObjectType accepts; Wine looks a GDI handle
//   up by its low word and takes an upper word of 0 as "any generation", so each live object of
//   the process answers exactly once;
// - USER objects: the process's windows (top-level, message-only and their children), the only
//   USER objects the installer makes at run time;
// - private bytes: PagefileUsage, which Wine fills with the process's committed memory.
// Committed memory under Wine also holds the Unix side's own caches (FreeType glyphs and faces),
// which grow in steps of up to 1 MiB as fonts are used and never shrink; so the live bytes of
// every Windows heap (HeapWalk) are counted as well, where each GDI+ object, string and job the
// installer allocates lands, and those must come back exactly.

struct Census {
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    unsigned long long heapBytes = 0;
    unsigned long long privateBytes = 0;
};

DWORD countHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count) return count;
    count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

DWORD countGdiObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    DWORD count = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
    return count;
}

BOOL CALLBACK countOwnWindow(HWND hwnd, LPARAM counter) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(counter);
        EnumChildWindows(hwnd, &countOwnWindow, counter);
    }
    return TRUE;
}

DWORD countUserObjects() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return count;
    DWORD count = 0;
    EnumWindows(&countOwnWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND hwnd = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr))
        countOwnWindow(hwnd, reinterpret_cast<LPARAM>(&count));
    return count;
}

unsigned long long privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

unsigned long long heapBytes() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    unsigned long long busy = 0;
    for (DWORD h = 0; h < count && h < 256; ++h) {
        if (!HeapLock(heaps[h])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[h], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heaps[h]);
    }
    return busy;
}

Census takeCensus() {
    return Census{countHandles(), countGdiObjects(), countUserObjects(), heapBytes(), privateBytes()};
}

void describeSources() {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    SetLastError(0);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD gdiError = GetLastError();
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    std::printf("[leaks] system answers: GetProcessHandleCount %lu, GetGuiResources GDI %lu (error %lu) USER %lu, "
                "PrivateUsage %llu, PagefileUsage %llu\n",
                handles, gdi, gdiError, user, static_cast<unsigned long long>(counters.PrivateUsage),
                static_cast<unsigned long long>(counters.PagefileUsage));
    std::printf("[leaks] counting: handles by %s, GDI by %s, USER by %s, private bytes by %s\n",
                handles ? "GetProcessHandleCount" : "GetHandleInformation scan",
                gdi ? "GetGuiResources" : "GetObjectType table scan", user ? "GetGuiResources" : "own windows",
                counters.PrivateUsage ? "PrivateUsage" : "PagefileUsage");
    std::fflush(stdout);
}

// Prints the figures and checks them: object counts and live heap bytes come back exactly;
// committed memory may grow by at most kCommitSlack (see above). A leaked screen-sized bitmap per
// paint would be 2.2 MB each.
constexpr long long kCommitSlack = 1024 * 1024;

void expectSteady(const char* phase, const Census& before, const Census& after, long long slack = kCommitSlack) {
    const long long heapGrown = static_cast<long long>(after.heapBytes) - static_cast<long long>(before.heapBytes);
    const long long grown = static_cast<long long>(after.privateBytes) - static_cast<long long>(before.privateBytes);
    std::printf("[leaks] %-22s handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, heap %llu -> %llu (%+lld), "
                "private %llu -> %llu KiB (%+lld)\n",
                phase, before.handles, after.handles, before.gdi, after.gdi, before.user, after.user, before.heapBytes,
                after.heapBytes, heapGrown, before.privateBytes / 1024, after.privateBytes / 1024, grown / 1024);
    std::fflush(stdout);
    EXPECT_EQ(after.handles, before.handles) << phase;
    EXPECT_EQ(after.gdi, before.gdi) << phase;
    EXPECT_EQ(after.user, before.user) << phase;
    EXPECT_EQ(heapGrown, 0) << phase;
    EXPECT_LE(grown, slack) << phase;
}

// ---- the world: a Steam library with the game, an installer folder with its patch -----------

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        gdiplus = std::make_unique<ui_testing::GdiplusSession>();
    }
    void TearDown() override {
        gdiplus.reset();
        CoUninitialize();
    }
    std::unique_ptr<ui_testing::GdiplusSession> gdiplus;
};
::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

WNDPROC originalProc = nullptr;
int paintMessages = 0;

// Counts the WM_PAINT messages that reach the installer's own window procedure.
LRESULT CALLBACK countingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++paintMessages;
    return CallWindowProcW(originalProc, hwnd, message, wParam, lParam);
}

struct World {
    ScratchFolder scratch{L"leaks"};
    RegistryValue steamPath{HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath"};
    std::wstring gameFolder, destination;
    std::string patch = install_testing::patternBytes(96 * 1024, 11);
    testing_support::BoxWatcher boxes{IDOK};
    ui_testing::LiveWindow window{2, true};
    MainWindow& record = window.record;

    World() {
        const std::wstring steam = scratch / L"Steam", library = scratch / L"Library";
        makeFolders(steam + L"\\steamapps");
        makeFolders(library + L"\\steamapps");
        writeFile(steam + L"\\steamapps\\libraryfolders.vdf", blockFormatVdf({library}));
        writeManifest(library, manifestText("Lumivex Orrendale"));
        gameFolder = makeGameFolder(library);
        destination = gameFolder + L"\\patch.rpa";
        steamPath.setString(steam);

        record.appFolder = scratch / L"app";
        record.exePath = record.appFolder + L"\\LumivexPatchInstaller.exe";
        record.patchPath = record.appFolder + L"\\patch.rpa";
        makeFolders(record.appFolder);
        writeFile(record.patchPath, patch);
        loadBackgroundImage(record.background, GetModuleHandleW(nullptr));
        detectGameFolders(record);
        originalProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&countingProc)));
    }
    ~World() { SetWindowLongPtrW(window.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc)); }

    bool selectsTheGame() const {
        const GameCandidate* selected = selectedCandidate(record);
        return selected && pathEqualsNoCase(selected->folder, gameFolder);
    }
    void repaint() const { RedrawWindow(window.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    // Install, wait for the worker's end to be handled, detect again. False with a reason.
    ::testing::AssertionResult installOnce() {
        DeleteFileW(destination.c_str());
        startInstall(record);
        if (record.state != Installing) return ::testing::AssertionFailure() << "no copy started, state " << record.state;
        if (!pumpUntil([&] { return record.state != Installing; }, 15000))
            return ::testing::AssertionFailure() << "the copy's end was not handled within 15 s";
        if (record.state != Complete) return ::testing::AssertionFailure() << "state " << record.state;
        if (record.copyJob || record.workerThread) return ::testing::AssertionFailure() << "worker not released";
        if (readFile(destination) != patch) return ::testing::AssertionFailure() << "the copied patch differs";
        detectGameFolders(record);
        if (record.state != Ready) return ::testing::AssertionFailure() << "detection left state " << record.state;
        return ::testing::AssertionSuccess();
    }
};

class Leaks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        describeSources();
        world = new World;
    }
    static void TearDownTestSuite() {
        delete world;
        world = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(world->window.hwnd);
        ASSERT_TRUE(world->selectsTheGame());
        ASSERT_TRUE(world->record.background.image) << "the background picture is part of every real paint";
    }
    void TearDown() override { EXPECT_TRUE(world->boxes.boxes().empty()) << world->boxes.boxes().front().text; }
    static World* world;
};
World* Leaks::world = nullptr;

// Every state and hovered button the painter knows, in turn, with the picture in every other
// paint and the gradient that stands in for it in the others.
void varyScreen(MainWindow& record, ImagePtr& spare, int i) {
    record.state = static_cast<InstallerState>(i % 5);
    record.hoverId = static_cast<ButtonId>(i % 12);
    record.progressPerMille = (i * 37) % 1001;
    if ((i % 2 == 0) != static_cast<bool>(record.background.image)) std::swap(record.background.image, spare);
}

// The paint path still draws the whole screen: after its client area was blackened the window
// shows what an off-screen render of the same record drawn afresh shows. Only the edges of bold
// text may differ (Wine smooths text on the window's compatible bitmap differently than on a DIB).
void expectShowsAFreshRender(World& world, int w, int h) {
    HDC dc = GetDC(world.window.hwnd);
    PatBlt(dc, 0, 0, w, h, BLACKNESS);
    world.repaint();
    ui_testing::Dib onScreen(w, h), offScreen(w, h);
    BitBlt(onScreen.dc(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    ReleaseDC(world.window.hwnd, dc);
    renderMainWindow(world.record, offScreen.dc(), w, h);
    GdiFlush();
    int black = 0, differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = onScreen.pixel(x, y), b = offScreen.pixel(x, y);
            black += a == 0;
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 16) {
                    ++differing;
                    break;
                }
        }
    std::printf("[leaks] %dx%d window against off-screen render: %d black, %d differing pixels\n", w, h, black,
                differing);
    EXPECT_EQ(black, 0);
    EXPECT_LT(differing, w * h / 100);
}

TEST_F(Leaks, ThousandRepaints) {
    MainWindow& record = world->record;
    ImagePtr picture;  // holds the record's picture while a paint goes without it
    record.statusMessage = L"Copy failed: the device is not ready. (0x00000015)";
    for (int i = 0; i < 20; ++i) {  // first paints load fonts, the JPEG decoder and GDI+ caches
        varyScreen(record, picture, i);
        world->repaint();
    }
    const Census before = takeCensus();
    paintMessages = 0;
    for (int i = 0; i < 1000; ++i) {
        varyScreen(record, picture, i);
        world->repaint();
    }
    const Census after = takeCensus();
    varyScreen(record, picture, 0);
    record.statusMessage.clear();
    EXPECT_EQ(paintMessages, 1000);
    expectSteady("1000 repaints", before, after);

    expectShowsAFreshRender(*world, 920, 620);
}

// The window is resized through three client sizes, and the screen is rendered at other DPIs
// through the window's kept picture in between: each change makes the picture anew and frees the
// old one, and the window never shows a picture made for another size.
TEST_F(Leaks, ThirtyResizesAndDpiChanges) {
    MainWindow& record = world->record;
    const SIZE sizes[] = {{1160, 700}, {1740, 1050}, {920, 620}};
    ui_testing::Dib offScreen(1740, 1050);
    auto change = [&](int i) {
        const SIZE size = sizes[i % 3];
        world->window.setClientSize(size.cx, size.cy);
        world->repaint();
        renderMainWindowAtDpi(record, offScreen.dc(), size.cx, size.cy, 120 + 24 * (i % 2), &record.pictureCache);
    };
    for (int i = 0; i < 3; ++i) change(i);
    const Census before = takeCensus();
    for (int i = 0; i < 30; ++i) change(i);
    const Census after = takeCensus();
    // Each resize makes Wine allocate a new window surface on its Unix side, and how much of the
    // old ones it hands back by the time of the census depends on timing: 0 to 18 MB over the 30
    // changes were seen on a busy machine. A picture leaked per change would be 30 x 2.2 MB at
    // least, so the slack is half of that; a leaked bitmap also shows in the exact GDI count.
    constexpr long long kResizeSlack = 30LL * 920 * 620 * 4 / 2;
    expectSteady("30 resizes, DPI changes", before, after, kResizeSlack);
    for (const SIZE& size : sizes) {
        world->window.setClientSize(size.cx, size.cy);
        expectShowsAFreshRender(*world, size.cx, size.cy);
    }
    // What is kept is one bitmap of the client size (told by the objects: Wine's committed-memory
    // figure does not fall when a bitmap is freed).
    BITMAP kept{};
    ASSERT_TRUE(GetObjectW(record.pictureCache.bitmap.get(), sizeof kept, &kept));
    EXPECT_EQ(kept.bmWidth * kept.bmHeight, 920 * 620);
    const DWORD held = takeCensus().gdi;
    record.pictureCache = PictureCache{};
    EXPECT_EQ(held - takeCensus().gdi, 1u);
}

TEST_F(Leaks, ThreeHundredLanguageSwitches) {
    MainWindow& record = world->record;
    for (LanguageId language = 0; language < 3; ++language) {  // each language's fonts once
        setLanguage(record, language);
        UpdateWindow(world->window.hwnd);
    }
    const Census before = takeCensus();
    paintMessages = 0;
    for (int i = 0; i < 300; ++i) {
        setLanguage(record, i % 3);
        UpdateWindow(world->window.hwnd);
    }
    const Census after = takeCensus();
    EXPECT_EQ(paintMessages, 300);
    EXPECT_EQ(world->window.caption(), textsFor(2)[TextSlot::windowTitle]);
    expectSteady("300 language switches", before, after);
}

TEST_F(Leaks, TwoHundredDetectionPasses) {
    MainWindow& record = world->record;
    for (int i = 0; i < 3; ++i) detectGameFolders(record);
    const Census before = takeCensus();
    int found = 0;
    for (int i = 0; i < 200; ++i) {
        detectGameFolders(record);
        found += world->selectsTheGame();
    }
    const Census after = takeCensus();
    EXPECT_EQ(found, 200);
    expectSteady("200 detection passes", before, after);
}

TEST_F(Leaks, FiftyInstallsEachBackToReady) {
    MainWindow& record = world->record;
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(world->installOnce()) << "warm-up install " << i;
    const Census before = takeCensus();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(world->installOnce()) << "install " << i;
    const Census after = takeCensus();
    EXPECT_EQ(record.state, Ready);
    EXPECT_EQ(record.copyJob, nullptr);
    EXPECT_FALSE(record.workerThread);
    EXPECT_EQ(record.progressPerMille, 0);
    EXPECT_TRUE(record.targetHasPatch);
    expectSteady("50 installs", before, after);
}

}  // namespace
