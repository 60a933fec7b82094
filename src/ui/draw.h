// Drawing primitives shared by both windows. Every GDI+ object they make is owned by a small
// wrapper and deleted before the primitive returns.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "app/handles.h"
#include "app/texts.h"
#include "ui/layout.h"

using Gdiplus::GpGraphics;
using Gdiplus::GpFontFamily;
using Gdiplus::GpBrush;

enum class ArrowDirection { Left, Right };

// A memory device context with a bitmap of the client size selected into it: a window paints
// here and then copies it to the screen with one BitBlt, so nothing flickers. Restores and
// frees both on every path.
struct OffscreenBitmap {
    HDC target = nullptr;
    int width = 0, height = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;

    OffscreenBitmap(HDC paintDc, int w, int h);
    ~OffscreenBitmap();
    OffscreenBitmap(const OffscreenBitmap&) = delete;
    OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;
    bool ready() const { return dc && bitmap && previous; }
    void present() const { BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY); }
};

BrushPtr makeSolidBrush(Gdiplus::ARGB colour);
// A pen whose width is in layout units (UnitWorld), so it scales with the world transform.
PenPtr makePen(Gdiplus::ARGB colour, float width);

UINT windowDpi(HWND hwnd);
// Corner radii of the installer window's buttons, in layout units; the focus ring follows them.
constexpr float kButtonCornerRadius = 10.0f;  // text buttons and language pills
constexpr float kArrowCornerRadius = 8.0f;
constexpr float kMuteCornerRadius = 11.0f;
constexpr float kPrimaryCornerRadius = 15.0f;

void roundRectPath(Gdiplus::GpPath* path, const LayoutRect& rect, float radius);
void fillRoundRect(GpGraphics* graphics, const LayoutRect& rect, float radius, Gdiplus::ARGB colour);
void strokeRoundRect(GpGraphics* graphics, const LayoutRect& rect, float radius, Gdiplus::ARGB colour,
                     float width = 1.0f);
// The keyboard focus ring: 2 layout units wide, 2 to 4 units outside the button's rounded edge.
void drawFocusRing(GpGraphics* graphics, const LayoutRect& button, float radius);
void fillRect(GpGraphics* graphics, const LayoutRect& rect, Gdiplus::ARGB colour);
// A linear gradient brush (WrapModeTile); the caller deletes it with GdipDeleteBrush.
Gdiplus::GpLineGradient* makeGradientBrush(float x1, float y1, float x2, float y2, Gdiplus::ARGB from,
                                           Gdiplus::ARGB to);
// One line of text, vertically centred; a second pass boldOffset to the right when > 0.
void drawText(GpGraphics* graphics, GpFontFamily* family, float size, float boldOffset, const std::wstring& text,
              int style, Gdiplus::ARGB colour, const LayoutRect& rect, Gdiplus::StringAlignment alignment,
              Gdiplus::StringTrimming trimming);
void drawButton(const MainWindow& window, GpGraphics* graphics, const LayoutRect& rect, const std::wstring& text,
                bool hovered, bool primary);
void drawArrowButton(GpGraphics* graphics, const LayoutRect& rect, ArrowDirection direction, bool hovered);
void drawLanguagePill(const MainWindow& window, GpGraphics* graphics, const LayoutRect& rect,
                      const std::wstring& label, LanguageId language, ButtonId id);
