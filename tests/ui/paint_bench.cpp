// Median time of a full repaint of the installer screen, with and without the background picture.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/paint.h"
#include "ui_test_support.h"

using namespace ui_testing;

namespace {

double medianMilliseconds(const MainWindow& record, int width, int height, int runs) {
    Dib target(width, height);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    renderMainWindowAtDpi(record, target.dc(), width, height, 96);  // warm-up: font and codec caches
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&start);
        renderMainWindowAtDpi(record, target.dc(), width, height, 96);
        GdiFlush();
        QueryPerformanceCounter(&end);
        times.push_back((end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int wmain() {
    GdiplusSession gdiplus;
    MainWindow record;
    prepareRecord(record, 2);
    record.patchPresent = true;
    record.patchSize = 734003200;
    for (int i = 0; i < 3; ++i)
        record.candidates.push_back(GameCandidate{L"D:\\SteamLibrary\\steamapps\\common\\Lumivex Orrendale\\game", 0, 0, 0});
    record.state = Installing;
    record.progressPerMille = 420;
    const int runs = 15;
    const int sizes[2][2] = {{920, 620}, {1740, 1050}};
    for (const auto& size : sizes) {
        std::printf("%dx%d gradient: median %.1f ms\n", size[0], size[1],
                    medianMilliseconds(record, size[0], size[1], runs));
    }
    loadBackgroundImage(record.background, GetModuleHandleW(nullptr));
    if (!record.background.image) std::printf("background picture could not be loaded\n");
    for (const auto& size : sizes) {
        std::printf("%dx%d picture:  median %.1f ms\n", size[0], size[1],
                    medianMilliseconds(record, size[0], size[1], runs));
    }
    destroyMainWindowRecord(record);
    return 0;
}
