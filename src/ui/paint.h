#pragma once
#include <windows.h>

struct MainWindow;
// The WM_PAINT handling: the whole screen into an off-screen bitmap, then one BitBlt.
void paintMainWindow(const MainWindow& window);
// Draws the screen for a client size into a device context (used by paint and by tests/benchmarks).
void renderMainWindow(const MainWindow& window, HDC target, int width, int height);
// The same at a given DPI instead of the window's own (screenshots at several DPIs).
void renderMainWindowAtDpi(const MainWindow& window, HDC target, int width, int height, UINT dpi);
