// One real main window: each phase must give back every handle, GDI object, window and heap byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <functional>

#include "install/preflight.h"
#include "support.h"
#include "ui/draw.h"
#include "ui/main_window.h"

using namespace support;

namespace {

// Wine 8 answers 0 to GetProcessHandleCount and GetGuiResources, so the census counts for itself:
// handle values (small multiples of 4 in Wine), GDI table indexes (any generation to Wine), windows
// and the live bytes of every heap. (On the stack, so that a census is not itself counted.)
std::array<long long, 4> census() {
    std::array<long long, 4> counts{};
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++counts[0];
    }
    for (ULONG_PTR index = 1; index < 0x10000; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++counts[1];
    }
    for (HWND hwnd = GetTopWindow(nullptr); hwnd; hwnd = GetWindow(hwnd, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        if (process == GetCurrentProcessId()) ++counts[2];
    }
    HANDLE heaps[64];
    const DWORD heapCount = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    for (DWORD index = 0; index < heapCount; ++index) {
        if (!HeapLock(heaps[index])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[index], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) counts[3] += entry.cbData;
        }
        HeapUnlock(heaps[index]);
    }
    return counts;
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
    record.appFolder = scratch / L"app";
    record.patchPath = record.appFolder + L"\\patch.rpa";
    writeFile(record.patchPath, std::string(96 * 1024, 'p'));
    const std::wstring copied = steam.gameFolders[0] + L"\\patch.rpa";
    loadBackgroundImage(record.background, record.hInstance);
    ASSERT_TRUE(record.background.image);
    detectGameFolders(record);
    registerMainWindowClass(record.hInstance);
    const HWND hwnd = createMainWindow(record, WindowRect{20, 20, 920, 620});
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    const SIZE sizes[] = {{1160, 700}, {1740, 1050}, {920, 620}};
    const HDC windowDc = GetDC(hwnd);
    const OffscreenBitmap otherDpi(windowDc, 1740, 1050);
    ReleaseDC(hwnd, windowDc);
    ImagePtr spare;  // the picture while a paint goes without it
    const auto paint = [&](SIZE client) {
        RECT outer{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&outer, GetWindowLongW(hwnd, GWL_STYLE), FALSE, GetWindowLongW(hwnd, GWL_EXSTYLE));
        SetWindowPos(hwnd, nullptr, 20, 20, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    };
    const auto repaint = [&](int round) {
        record.state = static_cast<InstallerState>(round % 5);
        record.hoverId = static_cast<ButtonId>(round % 12);
        record.progressPerMille = round * 37 % 1001;
        if ((round % 2 == 1) != static_cast<bool>(record.background.image)) std::swap(record.background.image, spare);
        paint(sizes[2]);
    };
    const auto resize = [&](int round) {
        record.state = Ready;
        paint(sizes[round % 3]);
        const int dpi = 120 + 24 * (round % 2);
        renderMainWindowAtDpi(record, otherDpi.dc, sizes[round % 3].cx, sizes[round % 3].cy, dpi, &record.pictureCache);
    };
    const auto switchLanguage = [&](int round) {
        setLanguage(record, round % 3);
        paint(sizes[2]);
    };
    const auto install = [&](int) {
        DeleteFileW(copied.c_str());
        startInstall(record);
        ASSERT_TRUE(pumpUntil([&] { return record.state != Installing; }, 15000));
        EXPECT_EQ(record.state, Complete);
        detectGameFolders(record);  // a detection pass, and back to Ready
    };
    // Warm-up rounds load fonts and caches; the counted rounds are whole cycles of states and sizes.
    // Each phase has its own number of rounds, which names it.
    const std::pair<int, std::function<void(int)>> phases[] = {
        {60, repaint}, {6, resize}, {30, switchLanguage}, {12, install},
    };
    for (const auto& [rounds, step] : phases) {
        const int warmUp = std::min(rounds / 2, 12);
        for (int round = 0; round < warmUp && !HasFatalFailure(); ++round) step(round);
        const std::array<long long, 4> before = census();
        for (int round = warmUp; round < warmUp + rounds && !HasFatalFailure(); ++round) step(round);
        EXPECT_EQ(census(), before) << "handles, GDI objects, windows, heap bytes; phase of " << rounds;
    }
    for (const SeenBox& box : boxes.boxes) ADD_FAILURE() << utf8(box.caption) << ": " << utf8(box.text);
    DestroyWindow(hwnd);
}

}  // namespace
