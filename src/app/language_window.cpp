// The small window that asks for the interface language before anything else is prepared.
// It has its own loop, which ends as soon as the window is destroyed.
#include "app/language_window.h"

#include <dwmapi.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/startup.h"
#include "ui/draw.h"
#include "ui/screen_items.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

struct FontFamilyDelete {
    void operator()(GpFontFamily* family) const { GdipDeleteFontFamily(family); }
};
using FontFamilyHolder = std::unique_ptr<GpFontFamily, FontFamilyDelete>;

struct LanguageWindow {
    HINSTANCE hInstance = nullptr;
    HWND hwnd = nullptr;
    FontFamilyHolder fontFamilies[3];
    LanguageId choice = -1;
    int hoverIndex = -1;
    bool trackingLeave = false;
    std::shared_ptr<WindowExtras> extras;  // accessible object and announcements
};

constexpr float kButtonLeft = 42.0f;
constexpr float kButtonStep = 196.0f;
constexpr float kButtonTop = 118.0f;
constexpr float kButtonWidth = 174.0f;
constexpr float kButtonHeight = 96.0f;
constexpr float kButtonRadius = 16.0f;

constexpr ARGB kGradientFrom = 0xFFFFFBFD;
constexpr ARGB kGradientTo = 0xFFF7E6F0;
constexpr ARGB kHeadingColour = 0xFF44324E;
constexpr ARGB kShadowColour = 0x1C5E3950;
constexpr ARGB kFillNormal = 0xE1FFFFFF;
constexpr ARGB kFillHover = 0xFFFFE5F0;
constexpr ARGB kOutlineNormal = 0x69E4C2D1;
constexpr ARGB kOutlineHover = 0xBEEC6899;
constexpr ARGB kLabelColour = 0xFF45344E;

LayoutRect buttonRect(int k) { return {kButtonLeft + kButtonStep * k, kButtonTop, kButtonWidth, kButtonHeight}; }


struct ClientSize {
    int width, height;
};

ClientSize clientSize(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return {std::max(1, static_cast<int>(rc.right - rc.left)), std::max(1, static_cast<int>(rc.bottom - rc.top))};
}

float scaleOf(HWND hwnd) {
    ClientSize size = clientSize(hwnd);
    return languageWindowScale(size.width, size.height, windowDpi(hwnd));
}

int buttonAtCursor(HWND hwnd, LPARAM lParam) {
    float s = scaleOf(hwnd);
    float px = static_cast<float>(static_cast<short>(LOWORD(lParam)));
    float py = static_cast<float>(static_cast<short>(HIWORD(lParam)));
    return languageButtonAt(px / s, py / s);
}

void drawLanguageWindow(const LanguageWindow& window, GpGraphics* graphics, float w, float h) {
    BrushPtr background(makeGradientBrush(0.0f, 0.0f, w, h, kGradientFrom, kGradientTo));
    if (background) GdipFillRectangle(graphics, background.get(), 0.0f, 0.0f, w, h);
    drawText(graphics, window.fontFamilies[2].get(), 28.0f, 0.0f, kLanguageSelectHeading, FontStyleBold,
             kHeadingColour, languageHeadingRect(w), StringAlignmentCenter,
             StringTrimmingEllipsisCharacter);
    for (int k = 0; k < 3; ++k) {
        LayoutRect button = buttonRect(k);
        bool hovered = window.hoverIndex == k;
        fillRoundRect(graphics, LayoutRect{button.left + 2.0f, button.top + 5.0f, button.width, button.height},
                      kButtonRadius, kShadowColour);
        fillRoundRect(graphics, button, kButtonRadius, hovered ? kFillHover : kFillNormal);
        strokeRoundRect(graphics, button, kButtonRadius, hovered ? kOutlineHover : kOutlineNormal);
        // The Traditional Chinese bold face is too light, so its label gets a second pass.
        drawText(graphics, window.fontFamilies[k].get(), 19.0f, k == 1 ? 0.65f : 0.0f, languageLabels[k],
                 FontStyleBold, kLabelColour,
                 LayoutRect{button.left + 8.0f, button.top, button.width - 16.0f, button.height},
                 StringAlignmentCenter, StringTrimmingEllipsisCharacter);
    }
}

void onPaint(const LanguageWindow& window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window.hwnd, &ps);
    ClientSize size = clientSize(window.hwnd);
    float s = languageWindowScale(size.width, size.height, windowDpi(window.hwnd));
    {
        OffscreenBitmap buffer(dc, size.width, size.height);
        if (buffer.ready()) {
            GpGraphics* created = nullptr;
            GdipCreateFromHDC(buffer.dc, &created);
            if (GraphicsPtr graphics{created}) {
                GdipSetSmoothingMode(graphics.get(), SmoothingModeAntiAlias);
                GdipSetTextRenderingHint(graphics.get(), TextRenderingHintClearTypeGridFit);
                GdipScaleWorldTransform(graphics.get(), s, s, MatrixOrderPrepend);
                drawLanguageWindow(window, graphics.get(), size.width / s, size.height / s);
            }
            buffer.present();
        }
    }
    EndPaint(window.hwnd, &ps);
}

void pick(LanguageWindow& window, LanguageId language) {
    window.choice = language;
    DestroyWindow(window.hwnd);
}

void onMouseMove(LanguageWindow& window, LPARAM lParam) {
    int hit = buttonAtCursor(window.hwnd, lParam);
    if (hit != window.hoverIndex) {
        window.hoverIndex = hit;
        InvalidateRect(window.hwnd, nullptr, FALSE);
    }
    if (!window.trackingLeave) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window.hwnd, 0};
        TrackMouseEvent(&track);
        window.trackingLeave = true;
    }
}

void onMouseLeave(LanguageWindow& window) {
    window.hoverIndex = -1;
    window.trackingLeave = false;
    InvalidateRect(window.hwnd, nullptr, FALSE);
}

LRESULT handleLanguageMessage(LanguageWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_CLOSE:
        pick(window, -1);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && window.hoverIndex >= 0) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return 1;
        }
        break;
    case WM_NCDESTROY: {
        HWND hwnd = window.hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DefWindowProcW(hwnd, message, wParam, lParam);
        window.hwnd = nullptr;
        return 0;
    }
    case WM_KEYDOWN: {
        int language = languageForKey(wParam);
        if (language >= -1) pick(window, language);
        return 0;
    }
    case WM_MOUSEMOVE:
        onMouseMove(window, lParam);
        return 0;
    case WM_LBUTTONUP: {
        int hit = buttonAtCursor(window.hwnd, lParam);
        if (hit >= 0) pick(window, hit);
        return 0;
    }
    case WM_MOUSELEAVE:
        onMouseLeave(window);
        return 0;
    }
    return DefWindowProcW(window.hwnd, message, wParam, lParam);
}

void registerLanguageClass(HINSTANCE instance) {
    registerWindowClass(instance, languageWindowProc, kLanguageWindowClass);
}

}  // namespace

LayoutRect languageButtonRect(int button) { return buttonRect(button); }

LayoutRect languageHeadingRect(float canvasWidth) { return {42.0f, 38.0f, canvasWidth - 84.0f, 48.0f}; }

float languageWindowScale(int clientWidth, int clientHeight, UINT dpi) {
    float byWidth = std::max(1, clientWidth) / kLanguageCanvasWidth;
    float byHeight = std::max(1, clientHeight) / kLanguageCanvasHeight;
    float byDpi = static_cast<float>(dpi) / 96.0f;
    return std::max(0.65f, std::min({byWidth, byHeight, byDpi}));
}

int languageButtonAt(float x, float y) {
    if (y < kButtonTop || y > kButtonTop + kButtonHeight) return -1;
    for (int k = 0; k < 3; ++k) {
        float left = kButtonLeft + kButtonStep * k;
        if (left <= x && x <= left + kButtonWidth) return k;
    }
    return -1;
}

int languageForKey(WPARAM virtualKey) {
    switch (virtualKey) {
    case VK_ESCAPE: return -1;
    case '1': case 'C': return 0;
    case '2': case 'T': return 1;
    case '3': case 'E': return 2;
    default: return -2;
    }
}

LRESULT CALLBACK languageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<LanguageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* window = reinterpret_cast<LanguageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    return withWindowExtras(window->extras, hwnd, message, wParam, lParam,
                            languageScreenSource(hwnd, &window->hoverIndex),
                            [&] { return handleLanguageMessage(*window, message, wParam, lParam); });
}

LanguageId chooseLanguage(HINSTANCE instance) {
    LanguageWindow window;
    window.hInstance = instance;
    for (LanguageId k = 0; k < 3; ++k) window.fontFamilies[k].reset(createUiFontFamily(k));
    registerLanguageClass(instance);
    constexpr DWORD style = WS_CAPTION | WS_SYSMENU;
    WindowRect rect = initialWindowRect(650, 280, style, 520, 280);
    HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW, kLanguageWindowClass, kInstallerCaption, style, rect.x, rect.y,
                                rect.width, rect.height, nullptr, nullptr, instance, &window);
    if (hwnd) {
        BOOL dark = FALSE;
        DwmSetWindowAttribute(hwnd, 20, &dark, sizeof dark);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
        MSG msg{};
        while (window.hwnd && IsWindow(window.hwnd)) {
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // A quit message ends the loop with the window still alive; it must not outlive the
        // record its user-data slot points at.
        if (window.hwnd) DestroyWindow(window.hwnd);
    }
    for (int k = 2; k >= 0; --k) window.fontFamilies[k].reset();
    return window.choice;
}
