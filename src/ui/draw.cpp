// Drawing primitives on the flat GDI+ API. Each one creates what it needs and lets the owning
// wrappers delete it before returning; a failed GDI+ call simply leaves that element out.
#include "ui/draw.h"

#include "ui/main_window.h"
#include "ui/palette.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;
using namespace palette;

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn getDpiForWindowFunction() {
    // Looked up once per process; a function-local static is initialised thread-safely.
    static const GetDpiForWindowFn function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
    return function;
}

}  // namespace

BrushPtr makeSolidBrush(ARGB colour) {
    GpSolidFill* brush = nullptr;
    if (GdipCreateSolidFill(colour, &brush) != Ok) return nullptr;
    return BrushPtr(brush);
}

PenPtr makePen(ARGB colour, float width) {
    GpPen* pen = nullptr;
    if (GdipCreatePen1(colour, width, UnitWorld, &pen) != Ok) return nullptr;
    return PenPtr(pen);
}

UINT windowDpi(HWND hwnd) {
    GetDpiForWindowFn getDpi = getDpiForWindowFunction();
    if (getDpi && hwnd) return getDpi(hwnd);
    HDC dc = GetDC(hwnd);
    if (!dc) return 96;
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void roundRectPath(GpPath* path, const LayoutRect& rect, float radius) {
    const float d = radius * 2;
    const float x = rect.left, y = rect.top, w = rect.width, h = rect.height;
    GdipAddPathArc(path, x, y, d, d, 180, 90);
    GdipAddPathArc(path, x + w - d, y, d, d, 270, 90);
    GdipAddPathArc(path, x + w - d, y + h - d, d, d, 0, 90);
    GdipAddPathArc(path, x, y + h - d, d, d, 90, 90);
    GdipClosePathFigure(path);
}

namespace {

PathPtr makeRoundRectPath(const LayoutRect& rect, float radius) {
    GpPath* path = nullptr;
    if (GdipCreatePath(FillModeAlternate, &path) != Ok) return nullptr;
    PathPtr owned(path);
    roundRectPath(path, rect, radius);
    return owned;
}

}  // namespace

void fillRoundRect(GpGraphics* graphics, const LayoutRect& rect, float radius, ARGB colour) {
    if (!graphics) return;
    PathPtr path = makeRoundRectPath(rect, radius);
    BrushPtr brush = makeSolidBrush(colour);
    if (path && brush) GdipFillPath(graphics, brush.get(), path.get());
}

void strokeRoundRect(GpGraphics* graphics, const LayoutRect& rect, float radius, ARGB colour, float width) {
    if (!graphics) return;
    PathPtr path = makeRoundRectPath(rect, radius);
    PenPtr pen = makePen(colour, width);
    if (path && pen) GdipDrawPath(graphics, pen.get(), path.get());
}

void drawFocusRing(GpGraphics* graphics, const LayoutRect& button, float radius) {
    constexpr float kOutset = 3.0f;  // the middle of the line; it is 2 wide
    const LayoutRect ring{button.left - kOutset, button.top - kOutset, button.width + 2 * kOutset,
                          button.height + 2 * kOutset};
    strokeRoundRect(graphics, ring, radius + kOutset, kFocusRing, 2.0f);
}

void fillRect(GpGraphics* graphics, const LayoutRect& rect, ARGB colour) {
    if (!graphics) return;
    BrushPtr brush = makeSolidBrush(colour);
    if (brush) GdipFillRectangle(graphics, brush.get(), rect.left, rect.top, rect.width, rect.height);
}

GpLineGradient* makeGradientBrush(float x1, float y1, float x2, float y2, ARGB from, ARGB to) {
    const PointF start(x1, y1), end(x2, y2);
    GpLineGradient* brush = nullptr;
    if (GdipCreateLineBrush(&start, &end, from, to, WrapModeTile, &brush) != Ok) return nullptr;
    return brush;
}

void drawText(GpGraphics* graphics, GpFontFamily* family, float size, float boldOffset, const std::wstring& text,
              int style, ARGB colour, const LayoutRect& rect, StringAlignment alignment, StringTrimming trimming) {
    if (!graphics || !family || text.empty()) return;
    GpFont* rawFont = nullptr;
    if (GdipCreateFont(family, size, style, UnitPixel, &rawFont) != Ok) return;
    FontPtr font(rawFont);
    BrushPtr brush = makeSolidBrush(colour);
    GpStringFormat* rawFormat = nullptr;
    if (!brush || GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat) != Ok) return;
    StringFormatPtr format(rawFormat);
    GdipSetStringFormatAlign(rawFormat, alignment);
    GdipSetStringFormatLineAlign(rawFormat, StringAlignmentCenter);
    GdipSetStringFormatTrimming(rawFormat, trimming);
    GdipSetStringFormatFlags(rawFormat, StringFormatFlagsNoWrap);

    RectF layout(rect.left, rect.top, rect.width, rect.height);
    const INT length = static_cast<INT>(text.size());
    GdipDrawString(graphics, text.c_str(), length, rawFont, &layout, rawFormat, brush.get());
    if (boldOffset > 0) {
        // Faux bold: the CJK faces' bold weight is too light, so the text is drawn again a hair to the right.
        layout.X += boldOffset;
        GdipDrawString(graphics, text.c_str(), length, rawFont, &layout, rawFormat, brush.get());
    }
}

void drawButton(const MainWindow& window, GpGraphics* graphics, const LayoutRect& rect, const std::wstring& text,
                bool hovered, bool primary) {
    const ARGB fill = primary ? (hovered ? kButtonFilledHover : kButtonFilled) : (hovered ? kButtonPlainHover : kButtonPlain);
    const ARGB outline = primary ? kButtonFilledOutline : kButtonPlainOutline;
    fillRoundRect(graphics, rect, kButtonCornerRadius, fill);
    strokeRoundRect(graphics, rect, kButtonCornerRadius, outline);
    const float boldOffset = window.language == 1 ? 0.6f : 0.0f;
    drawText(graphics, window.fontFamily.get(), 12, boldOffset, text, FontStyleBold, primary ? kButtonFilledText : kButtonPlainText,
             rect, StringAlignmentCenter, StringTrimmingEllipsisCharacter);
}

void drawArrowButton(GpGraphics* graphics, const LayoutRect& rect, ArrowDirection direction, bool hovered) {
    if (!graphics) return;
    fillRoundRect(graphics, rect, kArrowCornerRadius, hovered ? kArrowFillHover : kArrowFill);
    const float cx = rect.left + rect.width * 0.5f, cy = rect.top + rect.height * 0.5f;
    const float tip = direction == ArrowDirection::Left ? -4.0f : 4.0f;
    const float back = direction == ArrowDirection::Left ? 3.0f : -3.0f;
    const PointF points[3] = {PointF(cx + back, cy - 6), PointF(cx + tip, cy), PointF(cx + back, cy + 6)};
    PenPtr pen = makePen(kArrowStroke, 2.0f);
    if (pen) GdipDrawLines(graphics, pen.get(), points, 3);
}

void drawLanguagePill(const MainWindow& window, GpGraphics* graphics, const LayoutRect& rect,
                      const std::wstring& label, LanguageId language, ButtonId id) {
    const bool selected = window.language == language;
    if (selected) {
        fillRoundRect(graphics, rect, kButtonCornerRadius, kPillSelected);
    } else if (window.hoverId == id) {
        fillRoundRect(graphics, rect, kButtonCornerRadius, kPillHover);
    }
    float boldOffset = 0;
    if (window.language == 1) boldOffset = selected ? 0.6f : 0.28f;
    drawText(graphics, window.fontFamily.get(), 11, boldOffset, label, selected ? FontStyleBold : FontStyleRegular,
             selected ? kPillSelectedText : kPillText, rect, StringAlignmentCenter, StringTrimmingEllipsisCharacter);
}

OffscreenBitmap::OffscreenBitmap(HDC paintDc, int w, int h) : target(paintDc), width(w), height(h) {
    dc = CreateCompatibleDC(paintDc);
    if (!dc) return;
    bitmap = CreateCompatibleBitmap(paintDc, w, h);
    if (bitmap) previous = SelectObject(dc, bitmap);
}

OffscreenBitmap::~OffscreenBitmap() {
    if (previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
}
