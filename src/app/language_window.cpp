// The small window that asks for the interface language before anything else is prepared.
// It has its own loop, which ends as soon as the window is destroyed.
#include "app/language_window.h"

#include <algorithm>
#include <memory>
#include <string>

#include "app/startup.h"
#include "app/system_dll.h"
#include "ui/draw.h"
#include "ui/keyboard_focus.h"
#include "ui/palette.h"
#include "ui/screen_items.h"
#include "ui/window_scaffold.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

struct LanguageWindow {
    HINSTANCE hInstance = nullptr;
    HWND hwnd = nullptr;
    FontFamilyPtr fontFamilies[3];
    LanguageId choice = -1;
    int hoverIndex = -1;
    int focusIndex = -1;  // the button the keyboard has reached; -1 until a key moves it
    bool trackingLeave = false;
    WindowExtrasPtr extras;  // accessible object and announcements, while the window exists
};

constexpr float kButtonLeft = 42.0f;
constexpr float kButtonStep = 196.0f;
constexpr float kButtonTop = 118.0f;
constexpr float kButtonWidth = 174.0f;
constexpr float kButtonHeight = 96.0f;
constexpr float kButtonRadius = 16.0f;

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
    BrushPtr background(makeGradientBrush(0.0f, 0.0f, w, h, palette::kLanguageBackdropTop, palette::kLanguageBackdropBottom));
    if (background) GdipFillRectangle(graphics, background.get(), 0.0f, 0.0f, w, h);
    drawText(graphics, window.fontFamilies[2].get(), 28.0f, 0.0f, kLanguageSelectHeading, FontStyleBold,
             palette::kLanguageHeadingText, languageHeadingRect(w), StringAlignmentCenter,
             StringTrimmingEllipsisCharacter);
    for (int k = 0; k < 3; ++k) {
        LayoutRect button = languageButtonRect(k);
        bool hovered = window.hoverIndex == k;
        fillRoundRect(graphics, LayoutRect{button.left + 2.0f, button.top + 5.0f, button.width, button.height},
                      kButtonRadius, palette::kLanguageButtonShadow);
        fillRoundRect(graphics, button, kButtonRadius, hovered ? palette::kLanguageButtonFillHover : palette::kLanguageButtonFill);
        strokeRoundRect(graphics, button, kButtonRadius, hovered ? palette::kLanguageButtonOutlineHover : palette::kLanguageButtonOutline);
        // The Traditional Chinese bold face is too light, so its label gets a second pass.
        drawText(graphics, window.fontFamilies[k].get(), 19.0f, k == 1 ? 0.65f : 0.0f, languageLabels[k],
                 FontStyleBold, palette::kLanguageLabelText,
                 LayoutRect{button.left + 8.0f, button.top, button.width - 16.0f, button.height},
                 StringAlignmentCenter, StringTrimmingEllipsisCharacter);
    }
    if (window.focusIndex >= 0) drawFocusRing(graphics, languageButtonRect(window.focusIndex), kButtonRadius);
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

void onKeyDown(LanguageWindow& window, WPARAM key) {
    const LanguageKey effect = languageWindowKey(window.focusIndex, key, GetKeyState(VK_SHIFT) < 0);
    if (effect.focus != window.focusIndex) {
        window.focusIndex = effect.focus;
        InvalidateRect(window.hwnd, nullptr, FALSE);
    }
    if (effect.pick >= -1) pick(window, effect.pick);
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
        if (setHandCursor(lParam, window.hoverIndex >= 0)) return 1;
        break;
    case WM_KEYDOWN:
        onKeyDown(window, wParam);
        return 0;
    case WM_MOUSEMOVE:
        trackHover(window.hwnd, window.hoverIndex, window.trackingLeave, buttonAtCursor(window.hwnd, lParam));
        return 0;
    case WM_LBUTTONUP: {
        int hit = buttonAtCursor(window.hwnd, lParam);
        if (hit >= 0) pick(window, hit);
        return 0;
    }
    case WM_MOUSELEAVE:
        endHover(window.hwnd, window.hoverIndex, window.trackingLeave, -1);
        return 0;
    }
    return DefWindowProcW(window.hwnd, message, wParam, lParam);
}

ScreenSource screenOf(const LanguageWindow& window) {
    return languageScreenSource(window.hwnd, &window.hoverIndex, &window.focusIndex);
}

void registerLanguageClass(HINSTANCE instance) {
    registerWindowClass(instance, languageWindowProc, kLanguageWindowClass);
}

}  // namespace

LayoutRect languageButtonRect(int k) {
    return {kButtonLeft + kButtonStep * k, kButtonTop, kButtonWidth, kButtonHeight};
}

LayoutRect languageHeadingRect(float canvasWidth) { return {42.0f, 38.0f, canvasWidth - 84.0f, 48.0f}; }

float languageWindowScale(int clientWidth, int clientHeight, UINT dpi) {
    return canvasScale(static_cast<float>(std::max(1, clientWidth)), static_cast<float>(std::max(1, clientHeight)),
                       kLanguageCanvasWidth, kLanguageCanvasHeight, static_cast<float>(dpi));
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
    return dispatchToRecord<LanguageWindow>(hwnd, message, wParam, lParam, handleLanguageMessage, screenOf);
}

LanguageId chooseLanguage(HINSTANCE instance) {
    LanguageWindow window;
    window.hInstance = instance;
    for (LanguageId k = 0; k < 3; ++k) window.fontFamilies[k] = createUiFontFamily(k);
    registerLanguageClass(instance);
    constexpr DWORD style = WS_CAPTION | WS_SYSMENU;
    WindowRect rect = initialWindowRect(650, 280, style, 520, 280);
    HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW, kLanguageWindowClass, kInstallerCaption, style, rect.x, rect.y,
                                rect.width, rect.height, nullptr, nullptr, instance, &window);
    if (hwnd) {
        BOOL dark = FALSE;
        setDwmWindowAttribute(hwnd, 20, &dark, sizeof dark);
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
