// Median time of a full repaint of the installer screen at two client sizes, three ways in one
// run: with the scaled picture kept between paints (what the window does), with the picture
// drawn afresh, and with the gradient that stands in for a missing picture. The three are timed
// in turn within each round, so a busy machine slows them alike.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/draw.h"
#include "ui/main_window.h"
#include "ui/paint.h"

namespace {

double milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int wmain() {
    GdiplusSession gdiplus;
    MainWindow record;
    record.hInstance = GetModuleHandleW(nullptr);
    record.language = 2;
    record.fontFamily = createUiFontFamily(2);
    record.patchPresent = true;
    record.patchSize = 734003200;
    for (int i = 0; i < 3; ++i)
        record.candidates.push_back(GameCandidate{L"D:\\SteamLibrary\\steamapps\\common\\Lumivex Orrendale\\game", 0, 0, 0});
    record.state = Installing;
    record.progressPerMille = 420;
    // The picture lives in the record; the gradient rounds take it out and put it back.
    BackgroundImage none;
    loadBackgroundImage(record.background, GetModuleHandleW(nullptr));
    if (!record.background.image) std::printf("background picture could not be loaded\n");

    enum { Cached, Fresh, Gradient, Ways };
    const int runs = 15;
    const int sizes[2][2] = {{920, 620}, {1740, 1050}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        // The window's own off-screen bitmap, made for the screen as a paint makes it.
        const HDC screen = GetDC(nullptr);
        const OffscreenBitmap target(screen, w, h);
        ReleaseDC(nullptr, screen);
        PictureCache cache;
        std::vector<double> times[Ways];
        for (int run = -1; run < runs; ++run) {  // round -1 warms font, codec and GDI+ caches and makes the kept picture
            for (int way = 0; way < Ways; ++way) {
                if (way == Gradient) std::swap(record.background, none);
                LARGE_INTEGER start, end;
                QueryPerformanceCounter(&start);
                renderMainWindowAtDpi(record, target.dc, w, h, 96, way == Cached ? &cache : nullptr);
                GdiFlush();
                QueryPerformanceCounter(&end);
                if (way == Gradient) std::swap(record.background, none);
                if (run >= 0) times[way].push_back(milliseconds(start, end));
            }
        }
        const double cached = median(times[Cached]), fresh = median(times[Fresh]), gradient = median(times[Gradient]);
        std::printf("%dx%d: kept picture %.1f ms, picture drawn afresh %.1f ms, gradient only %.1f ms "
                    "(kept/gradient %.2f, medians of %d)\n",
                    w, h, cached, fresh, gradient, cached / gradient, runs);
    }
    releaseBackgroundImage(record.background);
    destroyMainWindowRecord(record);
    return 0;
}
