#pragma once
#include <windows.h>

struct MainWindow;
// The WM_PAINT handling: the whole screen into an off-screen bitmap, then one BitBlt.
void paintMainWindow(const MainWindow& window);
// Draws the screen for a client size into a device context (used by paint and by tests/benchmarks).
void renderMainWindow(const MainWindow& window, HDC target, int width, int height);
