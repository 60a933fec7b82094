// The language window driven by real input while chooseLanguage runs its own loop: a second
// thread finds the window, moves and clicks the mouse with SendInput, posts keys and reads the
// window's pixels back.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <thread>

#include "app/language_window.h"
#include "test_support.h"

using testing_support::pumpUntil;

namespace {

class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};
::testing::Environment* const gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// Runs chooseLanguage while `script` acts on its window from another thread. If the script
// leaves the window open, it is closed after the script so the test always ends.
struct Session {
    LanguageId result = -3;
    bool windowSeen = false;
    bool closedByScript = true;
};

Session runLanguageWindow(const std::function<void(HWND)>& script) {
    Session session;
    std::atomic<bool> finished{false};
    std::thread driver([&] {
        HWND hwnd = nullptr;
        session.windowSeen = pumpUntil(
            [&] {
                hwnd = FindWindowW(kLanguageWindowClass, nullptr);
                return hwnd && IsWindowVisible(hwnd);
            },
            5000);
        if (session.windowSeen) {
            Sleep(100);  // first paint
            script(hwnd);
            // Without a window manager Wine takes about two seconds to take a shown window down.
            if (!pumpUntil([&] { return finished.load() || !IsWindow(hwnd); }, 8000)) {
                session.closedByScript = false;
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            }
        }
    });
    session.result = chooseLanguage(GetModuleHandleW(nullptr));
    finished = true;
    driver.join();
    return session;
}

POINT toScreen(HWND hwnd, float x, float y) {
    POINT p{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
    ClientToScreen(hwnd, &p);
    return p;
}

void sendMouse(DWORD flags, POINT at) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((at.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((at.y * 65536LL + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(60);
}
void moveTo(HWND hwnd, float x, float y) { sendMouse(0, toScreen(hwnd, x, y)); }
void pressAt(HWND hwnd, float x, float y) { sendMouse(MOUSEEVENTF_LEFTDOWN, toScreen(hwnd, x, y)); }
void releaseAt(HWND hwnd, float x, float y) { sendMouse(MOUSEEVENTF_LEFTUP, toScreen(hwnd, x, y)); }

void postKey(HWND hwnd, WPARAM key) {
    PostMessageW(hwnd, WM_KEYDOWN, key, 1);
    PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
}

// Centre of button k, and a point inside its fill away from the label, in client pixels at 96 DPI.
float buttonCentreX(int k) { return 42.0f + 196.0f * k + 87.0f; }
constexpr float kButtonCentreY = 166.0f;
float fillProbeX(int k) { return 42.0f + 196.0f * k + 10.0f; }
constexpr float kFillProbeY = 128.0f;

struct Rgb {
    double r, g, b;
};

Rgb over(Rgb below, Gdiplus::ARGB colour) {
    double a = ((colour >> 24) & 0xFF) / 255.0;
    return {below.r * (1 - a) + ((colour >> 16) & 0xFF) * a, below.g * (1 - a) + ((colour >> 8) & 0xFF) * a,
            below.b * (1 - a) + (colour & 0xFF) * a};
}

// The background gradient runs from the top-left to the bottom-right corner of the 650 x 280 canvas.
Rgb backgroundAt(double x, double y) {
    double t = (x * 650 + y * 280) / (650.0 * 650 + 280.0 * 280);
    return {255 + (0xF7 - 255) * t, 0xFB + (0xE6 - 0xFB) * t, 0xFD + (0xF0 - 0xFD) * t};
}

// The fill probe lies on the gradient, under the button's shadow and then its fill.
Rgb buttonFillAt(double x, double y, Gdiplus::ARGB fill) { return over(over(backgroundAt(x, y), 0x1C5E3950), fill); }

COLORREF pixelAt(HWND hwnd, float x, float y) {
    HDC dc = GetDC(hwnd);
    COLORREF c = GetPixel(dc, static_cast<int>(x), static_cast<int>(y));
    ReleaseDC(hwnd, dc);
    return c;
}

bool closeTo(COLORREF c, Rgb expected) {
    return std::fabs(GetRValue(c) - expected.r) <= 3 && std::fabs(GetGValue(c) - expected.g) <= 3 &&
           std::fabs(GetBValue(c) - expected.b) <= 3;
}

std::string describe(COLORREF c) {
    char text[32];
    snprintf(text, sizeof text, "(%d, %d, %d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

bool buttonLooks(HWND hwnd, int k, Gdiplus::ARGB fill) {
    return closeTo(pixelAt(hwnd, fillProbeX(k), kFillProbeY), buttonFillAt(fillProbeX(k), kFillProbeY, fill));
}
constexpr Gdiplus::ARGB kNormalFill = 0xE1FFFFFF;
constexpr Gdiplus::ARGB kHoverFill = 0xFFFFE5F0;

HCURSOR currentCursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

TEST(LanguageKeys, EachKeyPicksItsLanguage) {
    const struct {
        WPARAM key;
        LanguageId language;
    } cases[] = {{'1', 0}, {'C', 0}, {'2', 1}, {'T', 1}, {'3', 2}, {'E', 2}, {VK_ESCAPE, -1}};
    for (const auto& c : cases) {
        Session session = runLanguageWindow([&](HWND hwnd) { postKey(hwnd, c.key); });
        EXPECT_TRUE(session.windowSeen);
        EXPECT_TRUE(session.closedByScript) << "key " << c.key << " left the window open";
        EXPECT_EQ(session.result, c.language) << "key " << c.key;
    }
}

TEST(LanguageKeys, OtherKeysDoNothing) {
    bool stillOpen = false;
    Session session = runLanguageWindow([&](HWND hwnd) {
        for (WPARAM key : {WPARAM('X'), WPARAM(VK_NUMPAD1), WPARAM(VK_RETURN), WPARAM(VK_SPACE), WPARAM('4')})
            postKey(hwnd, key);
        Sleep(300);
        stillOpen = IsWindow(hwnd) && IsWindowVisible(hwnd);
        postKey(hwnd, 'T');
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(session.result, 1);
}

TEST(LanguageWindow, CloseCommandGivesNoChoice) {
    // The close box and Alt+F4 both arrive as SC_CLOSE.
    Session session = runLanguageWindow([](HWND hwnd) { PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_TRUE(session.closedByScript);
    EXPECT_EQ(session.result, -1);
}

// The window's size and frame at 96 DPI and its scale at 192: tests/ui/accessible_test.cpp, on the
// real installer (the title: e2e_first_start). A click picks the button it ends on: the next test.

TEST(LanguageMouse, PickHappensOnReleaseAndOnlyOverAButton) {
    bool openAfterPress = false, openAfterGapRelease = false;
    Session session = runLanguageWindow([&](HWND hwnd) {
        moveTo(hwnd, buttonCentreX(0), kButtonCentreY);
        pressAt(hwnd, buttonCentreX(0), kButtonCentreY);
        Sleep(200);
        openAfterPress = IsWindow(hwnd) != FALSE;
        // Released in the gap between the first two buttons: nothing.
        moveTo(hwnd, 227.0f, kButtonCentreY);
        releaseAt(hwnd, 227.0f, kButtonCentreY);
        Sleep(200);
        openAfterGapRelease = IsWindow(hwnd) != FALSE;
        // Pressed below the buttons, released on the third: English.
        moveTo(hwnd, 500.0f, 250.0f);
        pressAt(hwnd, 500.0f, 250.0f);
        moveTo(hwnd, buttonCentreX(2), kButtonCentreY);
        releaseAt(hwnd, buttonCentreX(2), kButtonCentreY);
    });
    EXPECT_TRUE(openAfterPress);
    EXPECT_TRUE(openAfterGapRelease);
    EXPECT_TRUE(session.closedByScript);
    EXPECT_EQ(session.result, 2);
}

TEST(LanguageMouse, HoverHighlightsOneButtonAtATime) {
    bool normalAtStart[3] = {}, hoverFirst[3] = {}, hoverSecond[3] = {}, normalAfterLeave[3] = {};
    bool normalInGap[3] = {};
    COLORREF seenStart = 0, seenHover = 0;
    HCURSOR overButton = nullptr, overGap = nullptr;
    Session session = runLanguageWindow([&](HWND hwnd) {
        moveTo(hwnd, 300.0f, 40.0f);  // above the buttons
        pumpUntil([&] { return buttonLooks(hwnd, 1, kNormalFill); }, 2000);
        seenStart = pixelAt(hwnd, fillProbeX(1), kFillProbeY);
        for (int k = 0; k < 3; ++k) normalAtStart[k] = buttonLooks(hwnd, k, kNormalFill);

        moveTo(hwnd, buttonCentreX(0), kButtonCentreY);
        pumpUntil([&] { return buttonLooks(hwnd, 0, kHoverFill); }, 2000);
        seenHover = pixelAt(hwnd, fillProbeX(0), kFillProbeY);
        // The cursor is chosen before the move is handled, so a hand shows from the next move on,
        // as a real mouse makes many.
        moveTo(hwnd, buttonCentreX(0) + 2, kButtonCentreY + 1);
        pumpUntil([&] { return currentCursor() == LoadCursorW(nullptr, IDC_HAND); }, 1000);
        overButton = currentCursor();
        for (int k = 0; k < 3; ++k) hoverFirst[k] = buttonLooks(hwnd, k, k == 0 ? kHoverFill : kNormalFill);

        moveTo(hwnd, buttonCentreX(1), kButtonCentreY);
        pumpUntil([&] { return buttonLooks(hwnd, 1, kHoverFill); }, 2000);
        for (int k = 0; k < 3; ++k) hoverSecond[k] = buttonLooks(hwnd, k, k == 1 ? kHoverFill : kNormalFill);

        moveTo(hwnd, 423.0f, kButtonCentreY);  // gap between the second and third button
        pumpUntil([&] { return buttonLooks(hwnd, 1, kNormalFill); }, 2000);
        moveTo(hwnd, 424.0f, kButtonCentreY + 1);
        pumpUntil([&] { return currentCursor() == LoadCursorW(nullptr, IDC_ARROW); }, 1000);
        overGap = currentCursor();
        for (int k = 0; k < 3; ++k) normalInGap[k] = buttonLooks(hwnd, k, kNormalFill);

        moveTo(hwnd, buttonCentreX(2), kButtonCentreY);
        pumpUntil([&] { return buttonLooks(hwnd, 2, kHoverFill); }, 2000);
        // Out of the window altogether: the highlight goes.
        moveTo(hwnd, -40.0f, -60.0f);
        pumpUntil([&] { return buttonLooks(hwnd, 2, kNormalFill); }, 3000);
        for (int k = 0; k < 3; ++k) normalAfterLeave[k] = buttonLooks(hwnd, k, kNormalFill);
        postKey(hwnd, VK_ESCAPE);
    });
    EXPECT_EQ(session.result, -1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(normalAtStart[k]) << "button " << k << "; saw " << describe(seenStart);
        EXPECT_TRUE(hoverFirst[k]) << "button " << k << "; saw " << describe(seenHover);
        EXPECT_TRUE(hoverSecond[k]) << "button " << k;
        EXPECT_TRUE(normalInGap[k]) << "button " << k;
        EXPECT_TRUE(normalAfterLeave[k]) << "button " << k;
    }
    EXPECT_EQ(overButton, LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(overGap, LoadCursorW(nullptr, IDC_ARROW));
}

TEST(LanguageGeometry, ButtonsAndScale) {
    EXPECT_EQ(languageButtonAt(42.0f, 118.0f), 0);
    EXPECT_EQ(languageButtonAt(216.0f, 214.0f), 0);
    EXPECT_EQ(languageButtonAt(216.5f, 166.0f), -1);
    EXPECT_EQ(languageButtonAt(237.9f, 166.0f), -1);
    EXPECT_EQ(languageButtonAt(238.0f, 166.0f), 1);
    EXPECT_EQ(languageButtonAt(608.0f, 166.0f), 2);
    EXPECT_EQ(languageButtonAt(608.1f, 166.0f), -1);
    EXPECT_EQ(languageButtonAt(300.0f, 117.9f), -1);
    EXPECT_EQ(languageButtonAt(300.0f, 214.1f), -1);
    EXPECT_FLOAT_EQ(languageWindowScale(650, 280, 96), 1.0f);
    EXPECT_FLOAT_EQ(languageWindowScale(1300, 560, 96), 1.0f);
    EXPECT_FLOAT_EQ(languageWindowScale(520, 280, 96), 0.8f);
    EXPECT_FLOAT_EQ(languageWindowScale(300, 100, 96), 0.65f);
    EXPECT_FLOAT_EQ(languageWindowScale(0, 0, 96), 0.65f);
}

}  // namespace
