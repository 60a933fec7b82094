#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

struct MainWindow;

// Owns a GDI bitmap: deleted when the owner goes, on every path.
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using BitmapPtr = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// What the kept picture was drawn for: the client size, the scale (from the size and the DPI),
// which picture, and the pixel format of the paint's bitmaps.
struct PictureKey {
    int width = 0, height = 0;
    float scale = 0;
    const void* image = nullptr;
    std::uint32_t imageSerial = 0;
    int bitsPerPixel = 0;
    bool operator==(const PictureKey& other) const {
        return width == other.width && height == other.height && scale == other.scale && image == other.image &&
               imageSerial == other.imageSerial && bitsPerPixel == other.bitsPerPixel;
    }
};

// The background picture as the paint draws it first, kept between paints: scaling the large
// picture with bicubic filtering costs more than the rest of the screen together, and hover
// changes and progress steps repaint often. A plain GDI bitmap like the paint's own off-screen
// bitmap, so copying it in gives the very pixels the drawing would. Empty without a picture.
struct PictureCache {
    BitmapPtr bitmap;
    PictureKey key;
};

// The WM_PAINT handling: the whole screen into an off-screen bitmap, then one BitBlt. Keeps the
// scaled picture in the record between paints.
void paintMainWindow(MainWindow& window);
// Draws the screen for a client size into a device context (used by paint and by tests/benchmarks).
// With a cache the picture comes from it (made or remade first when it does not fit); without
// one it is drawn afresh.
void renderMainWindow(const MainWindow& window, HDC target, int width, int height, PictureCache* cache = nullptr);
// The same at a given DPI instead of the window's own (screenshots at several DPIs).
void renderMainWindowAtDpi(const MainWindow& window, HDC target, int width, int height, UINT dpi,
                           PictureCache* cache = nullptr);
