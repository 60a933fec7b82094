// One process, one real main window on the display: repaints, resizes and DPI changes, language switches,
// detection passes and installs must each give back every handle, GDI object, window and live heap byte.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <array>
#include <functional>

#include "install/preflight.h"
#include "support.h"
#include "ui/draw.h"
#include "ui/main_window.h"

using namespace support;

// Wine 8 answers 0 to GetProcessHandleCount and GetGuiResources, so the census counts for itself: handle
// values GetHandleInformation accepts (Wine hands out small multiples of 4), GDI table indexes GetObjectType
// accepts (an upper word of 0 is any generation to Wine), the process's windows, the live bytes of every heap
// (each GDI+ object, string, job). Committed memory also holds Wine's font caches, which never shrink.
std::array<long long, 5> census() {
    long long handles = 0, gdi = 0, windows = 0, heap = 0;
    DWORD flags = 0, process = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) handles += GetHandleInformation(HANDLE(value), &flags);
    for (ULONG_PTR index = 1; index < 0x10000; ++index) gdi += GetObjectType(HGDIOBJ(index)) != 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        windows += GetWindowThreadProcessId(w, &process) && process == GetCurrentProcessId();
    HANDLE heaps[64];
    for (DWORD h = 0, count = GetProcessHeaps(64, heaps); h < count && h < 64 && HeapLock(heaps[h]); ++h) {
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[h], &entry)) heap += entry.wFlags & PROCESS_HEAP_ENTRY_BUSY ? entry.cbData : 0;
        HeapUnlock(heaps[h]);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return {handles, gdi, windows, heap, static_cast<long long>(memory.PagefileUsage)};  // Wine's private bytes
}

TEST(Leaks, EveryPhaseGivesEverythingBack) {
    ComSession com(COINIT_APARTMENTTHREADED);
    GdiplusSession gdiplus;
    ScratchFolder scratch(L"leaks");
    SteamWorld steam(scratch / L"Steam", {scratch / L"Library"});
    BoxWatcher boxes;
    MainWindow record;
    record.hInstance = GetModuleHandleW(nullptr);
    record.fontFamily = createUiFontFamily(record.language);
    record.patchPath = (record.appFolder = scratch / L"app") + L"\\patch.rpa";
    const std::string patch(96 * 1024, 'p');
    const std::wstring copied = steam.gameFolders[0] + L"\\patch.rpa";
    writeFile(record.patchPath, patch);
    loadBackgroundImage(record.background, record.hInstance);
    detectGameFolders(record);
    registerMainWindowClass(record.hInstance);
    const HWND hwnd = createMainWindow(record, WindowRect{20, 20, 920, 620});
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(record.background.image && IsWindowVisible(hwnd));
    const auto paint = [&](int width, int height) {  // at this client size; the paint validates the window
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, GetWindowLongW(hwnd, GWL_STYLE), FALSE, GetWindowLongW(hwnd, GWL_EXSTYLE));
        SetWindowPos(hwnd, nullptr, 20, 20, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    };
    ImagePtr spare;  // the picture while a paint goes without
    const HDC windowDc = GetDC(hwnd);
    const OffscreenBitmap other(windowDc, 1740, 1050);  // for renders at other DPIs
    ReleaseDC(hwnd, windowDc);
    const SIZE sizes[] = {{1160, 700}, {1740, 1050}, {920, 620}};
    // A first round of each phase loads fonts, the JPEG decoder and GDI+ caches; the counted one ends as it did.
    // Each resize, and each render at another DPI through the kept picture, makes the picture anew; Wine hands
    // old window surfaces back at times of its own, so resizes get half a picture per change of slack.
    const struct { const char* phase; int rounds; long long slack; std::function<void(int)> step; } phases[] = {
        {"repaints of each state and hovered button, with and without the picture", 60, 1 << 20, [&](int i) {
             record.state = InstallerState(i % 5), record.hoverId = ButtonId(i % 12), record.progressPerMille = i * 37 % 1001;
             if ((i % 2 == 1) != bool(record.background.image)) std::swap(record.background.image, spare);
             paint(920, 620);
         }},
        {"resizes and DPI changes", 6, 6LL * 920 * 620 * 4 / 2, [&](int i) {
             record.state = Ready, record.hoverId = ButtonId::None, paint(sizes[i % 3].cx, sizes[i % 3].cy);
             renderMainWindowAtDpi(record, other.dc, sizes[i % 3].cx, sizes[i % 3].cy, 120 + 24 * (i % 2), &record.pictureCache);
         }},
        {"language switches", 30, 1 << 20, [&](int i) { setLanguage(record, i % 3), paint(920, 620); }},
        {"detection passes", 40, 1 << 20, [&](int) { detectGameFolders(record); }},
        {"installs, each back to Ready", 12, 1 << 20, [&](int) {
             DeleteFileW(copied.c_str());
             startInstall(record);
             ASSERT_TRUE(pumpUntil([&] { return record.state != Installing; }, 15000));
             EXPECT_TRUE(record.state == Complete && !record.copyJob && !record.workerThread && readFile(copied) == patch);
             detectGameFolders(record);
             EXPECT_EQ(record.state, Ready);
         }},
    };
    for (const auto& p : phases) {
        int i = 0;
        for (; i < std::min(p.rounds / 2, 12) && !HasFatalFailure(); ++i) p.step(i);
        const std::array<long long, 5> a = census();
        for (const int end = i + p.rounds; i < end && !HasFatalFailure(); ++i) p.step(i);
        const std::array<long long, 5> b = census();
        std::printf("[leaks] %s: handles, GDI, windows, heap, committed %lld %lld %lld %lld %lld -> %lld %lld %lld %lld %lld\n",
                    p.phase, a[0], a[1], a[2], a[3], a[4], b[0], b[1], b[2], b[3], b[4]);
        EXPECT_TRUE(std::equal(a.begin(), a.end() - 1, b.begin()) && b[4] - a[4] <= p.slack) << p.phase;
    }
    EXPECT_TRUE(boxes.boxes.empty());
    BITMAP kept{};  // what the window keeps is one bitmap of the client size
    ASSERT_TRUE(GetObjectW(record.pictureCache.bitmap.get(), sizeof kept, &kept));
    const long long held = census()[1];
    record.pictureCache = PictureCache{};
    EXPECT_TRUE(kept.bmWidth == 920 && kept.bmHeight == 620 && held - census()[1] == 1);
    DestroyWindow(hwnd);
}
