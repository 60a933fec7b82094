// One real main window gives back every handle, GDI object, window and heap byte it takes.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>

#include "install/preflight.h"
#include "support.h"
#include "ui/main_window.h"

using namespace support;

namespace {

// Wine 8 answers 0 to GetProcessHandleCount and GetGuiResources, so the census counts for itself.
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
        if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) ++counts[2];
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

TEST(Leaks, EveryRoundGivesEverythingBack) {
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
    loadBackgroundImage(record.background, record.hInstance);
    ASSERT_TRUE(record.background.image);
    detectGameFolders(record);
    registerMainWindowClass(record.hInstance);
    const HWND hwnd = createMainWindow(record, WindowRect{20, 20, 920, 620});
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ImagePtr spare;  // the picture while painting without it
    // Rounds vary state, hover, progress, language, picture and size; every fifth one installs too.
    // Warm-up rounds load fonts and caches; the counted rounds are whole cycles.
    const auto playRound = [&](int round) {
        if (round % 5 == 0) {
            DeleteFileW((steam.gameFolders[0] + L"\\patch.rpa").c_str());
            record.state = Ready;
            startInstall(record);
            ASSERT_TRUE(pumpUntil([&] { return record.state != Installing; }, 15000));
            EXPECT_EQ(record.state, Complete);
            detectGameFolders(record);
        }
        const SIZE sizes[] = {{1160, 700}, {1740, 1050}, {920, 620}};
        const SIZE client = sizes[round % 3];
        record.state = static_cast<InstallerState>(round % 5);
        record.hoverId = static_cast<ButtonId>(2 + round % 10);  // button 1 draws as 2 and 3
        record.progressPerMille = round * 37 % 1001;
        setLanguage(record, round % 3);
        if ((round % 10 < 5) != static_cast<bool>(record.background.image)) std::swap(record.background.image, spare);
        RECT outer{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&outer, GetWindowLongW(hwnd, GWL_STYLE), FALSE, GetWindowLongW(hwnd, GWL_EXSTYLE));
        SetWindowPos(hwnd, nullptr, 20, 20, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    };
    for (int round = 0; round < 10 && !HasFatalFailure(); ++round) playRound(round);
    const auto before = census();
    for (int round = 10; round < 40 && !HasFatalFailure(); ++round) playRound(round);
    EXPECT_EQ(census(), before) << "handles, GDI objects, windows, heap bytes";
    EXPECT_TRUE(boxes.boxes.empty());
    DestroyWindow(hwnd);
}

}  // namespace
