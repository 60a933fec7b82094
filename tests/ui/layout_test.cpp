// The two windows' decisions as tables (which button reacts where, which key picks which
// language) and the installer screen's pixels rendered off-screen, with and without the kept picture.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/language_window.h"
#include "support.h"
#include "ui/layout.h"
#include "ui/palette.h"

namespace {

struct GdiplusAndCom : ::testing::Environment {
    std::unique_ptr<GdiplusSession> gdiplus;
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), gdiplus = std::make_unique<GdiplusSession>(); }
    void TearDown() override { gdiplus.reset(), CoUninitialize(); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new GdiplusAndCom);

MainWindow screen(InstallerState state, bool patch, int folders) {
    MainWindow w;
    w.state = state;
    w.patchPresent = patch;
    w.language = 2;
    for (int i = 0; i < folders; ++i) w.candidates.push_back({L"C:\\g" + std::to_wstring(i)});
    return w;
}

// The rectangle of each button, in ButtonId order from LangSimplified (1) to OpenAppFolder (11).
constexpr LayoutRect MainLayout::*kButtons[] = {
    &MainLayout::langSimplifiedButton, &MainLayout::langTraditionalButton, &MainLayout::langEnglishButton,
    &MainLayout::musicButton, &MainLayout::chooseFolderButton, &MainLayout::detectAgainButton,
    &MainLayout::prevButton, &MainLayout::nextButton, &MainLayout::primaryButton, &MainLayout::closeButton,
    &MainLayout::openAppFolderButton};

// A flag per button in ButtonId order: whether it reacts. The folder buttons and arrows rest while
// a copy runs; the main button needs a patch and a folder unless installing or complete.
const struct { InstallerState state; bool patch; int folders; const char* reacts; } kActive[] = {
    {Ready, true, 2, "11111111100"},     {Installing, true, 2, "11110000100"}, {Complete, true, 2, "11111111110"},
    {Cancelled, true, 2, "11111111100"}, {Failed, true, 2, "11111111100"},     {Ready, false, 1, "11111100001"},
    {Installing, false, 1, "11110000101"}, {Complete, false, 1, "11111100111"}, {Failed, true, 0, "11111100000"},
};

}  // namespace

TEST(HitTest, EachButtonReactsInsideItsRectangleOnlyInItsStates) {
    for (const auto& row : kActive) {
        const MainWindow w = screen(row.state, row.patch, row.folders);
        for (const auto& [cw, ch] : {std::pair{920.f, 620.f}, {1160.f, 700.f}}) {
            const MainLayout layout = computeLayout(cw, ch, row.state);
            for (int b = 0; b < 11; ++b) {
                const ButtonId id = ButtonId(b + 1), want = row.reacts[b] == '1' ? id : ButtonId::None;
                const LayoutRect& r = layout.*kButtons[b];
                EXPECT_EQ(buttonActive(w, id), row.reacts[b] == '1') << row.state << " button " << b + 1;
                if (r.width == 0) continue;
                const std::string at = std::to_string(row.state) + " button " + std::to_string(b + 1);
                EXPECT_EQ(hitTest(w, r.left + r.width / 2, r.top + r.height / 2, cw, ch), want) << at;
                EXPECT_EQ(hitTest(w, r.left + 0.5f, r.top + 0.5f, cw, ch), want) << at;
                EXPECT_EQ(hitTest(w, r.right() - 0.5f, r.bottom() - 0.5f, cw, ch), want) << at;
                EXPECT_NE(hitTest(w, r.left - 1, r.top + r.height / 2, cw, ch), id) << at;
                EXPECT_NE(hitTest(w, r.left + r.width / 2, r.bottom() + 1, cw, ch), id) << at;
            }
        }
    }
}

TEST(LanguageWindow, KeysAndButtonsPickTheirLanguage) {
    const std::pair<WPARAM, int> keys[] = {{VK_ESCAPE, -1}, {'1', 0}, {'C', 0}, {'2', 1}, {'T', 1}, {'3', 2},
                                           {'E', 2}, {VK_RETURN, -2}, {VK_SPACE, -2}, {'A', -2}, {VK_NUMPAD1, -2}};
    for (const auto& [key, language] : keys) EXPECT_EQ(languageForKey(key), language) << key;
    for (int k = 0; k < 3; ++k) {
        const LayoutRect r = languageButtonRect(k);
        EXPECT_EQ(languageButtonAt(r.left + r.width / 2, r.top + r.height / 2), k);
        EXPECT_EQ(languageButtonAt(r.left, r.top), k);  // edges belong to the button
        EXPECT_EQ(languageButtonAt(r.right(), r.bottom()), k);
        EXPECT_EQ(languageButtonAt(r.left - 1, r.top + 10), -1);
        EXPECT_EQ(languageButtonAt(r.left + 10, r.bottom() + 1), -1);
        EXPECT_EQ(languageButtonAt(r.left + 10, r.top - 1), -1);
    }
    EXPECT_FLOAT_EQ(languageWindowScale(975, 420, 144), 1.5f);
}

namespace {

// A top-down 32-bit bitmap the screen is rendered into.
struct Shot {
    int w, h;
    HDC dc = CreateCompatibleDC(nullptr);
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap;
    Shot(int width, int height) : w(width), h(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
    }
    ~Shot() { DeleteDC(dc), DeleteObject(bitmap); }
    std::uint32_t at(float x, float y) const { return bits[int(y) * w + int(x)] & 0xFFFFFF; }
};

std::unique_ptr<Shot> render(const MainWindow& w, int width, int height, UINT dpi, PictureCache* cache = nullptr) {
    auto shot = std::make_unique<Shot>(width, height);
    renderMainWindowAtDpi(w, shot->dc, width, height, dpi, cache);
    GdiFlush();
    return shot;
}

}  // namespace

// Opaque colours where the player looks: the patch dot, the main button, the selected pill, the
// progress fill; a point given as a fraction across a layout rectangle.
TEST(Paint, ColoursAtLayoutPoints) {
    using namespace palette;
    const struct { InstallerState state; bool patch; int perMille; ButtonId hover;
        LayoutRect MainLayout::*rect; float fx, fy; Gdiplus::ARGB colour; int tolerance; } kPoints[] = {
        {Ready, true, 0, ButtonId::None, &MainLayout::patchDot, .5f, .5f, kPatchFoundDot, 3},
        {Ready, false, 0, ButtonId::None, &MainLayout::patchDot, .5f, .5f, kPatchMissingDot, 3},
        {Ready, false, 0, ButtonId::None, &MainLayout::openAppFolderButton, .05f, .5f, kButtonFilled, 3},
        {Ready, true, 0, ButtonId::None, &MainLayout::primaryButton, .03f, .5f, kPrimaryNormal, 3},
        {Ready, true, 0, ButtonId::Primary, &MainLayout::primaryButton, .03f, .5f, kPrimaryHover, 3},
        {Ready, true, 0, ButtonId::None, &MainLayout::langEnglishButton, .1f, .5f, kPillSelected, 3},
        {Installing, true, 500, ButtonId::None, &MainLayout::primaryButton, .03f, .5f, kCancelNormal, 20},
        {Installing, true, 500, ButtonId::None, &MainLayout::progressBar, .45f, .5f, kAccent, 3},
        {Complete, true, 0, ButtonId::None, &MainLayout::progressBar, .98f, .5f, kAccent, 3},
        {Complete, true, 0, ButtonId::None, &MainLayout::primaryButton, .05f, .5f, kPrimaryNormal, 3},
    };
    for (const auto& [width, height, dpi] : {std::tuple{920, 620, 96u}, {1740, 1050, 144u}}) {
        const float scale = scaleFor(float(width), float(height), float(dpi));
        for (const auto& p : kPoints) {
            MainWindow w = screen(p.state, p.patch, 1);
            w.progressPerMille = p.perMille;
            w.hoverId = p.hover;
            const LayoutRect r = computeLayout(width / scale, height / scale, p.state).*p.rect;
            const std::uint32_t seen = render(w, width, height, dpi)->at((r.left + r.width * p.fx) * scale,
                                                                         (r.top + r.height * p.fy) * scale);
            EXPECT_TRUE(support::closeTo(seen, p.colour & 0xFFFFFF, p.tolerance))
                << std::hex << seen << " for " << p.colour << " in state " << p.state << " at " << std::dec << dpi;
        }
        // The bar is half full: its far end shows the track, not the fill.
        MainWindow half = screen(Installing, true, 1);
        half.progressPerMille = 500;
        const LayoutRect bar = computeLayout(width / scale, height / scale, Installing).progressBar;
        EXPECT_FALSE(support::closeTo(render(half, width, height, dpi)->at((bar.right() - 3) * scale,
                                                                           (bar.top + 4) * scale), kAccent & 0xFFFFFF, 30));
    }
}

// The picture kept between paints gives the very pixels a fresh render gives, through changes of
// size, scale and state with one cache.
TEST(Paint, KeptPictureMatchesAFreshRender) {
    MainWindow w = screen(Ready, true, 1);
    loadBackgroundImage(w.background, GetModuleHandleW(nullptr));
    ASSERT_TRUE(w.background.image);
    PictureCache cache;
    const struct { int width, height; UINT dpi; InstallerState state; } kSteps[] = {
        {920, 620, 96, Ready}, {1160, 700, 96, Installing}, {1740, 1050, 144, Complete}, {1160, 700, 144, Failed},
        {1160, 700, 96, Cancelled}};
    for (const auto& step : kSteps) {
        w.state = step.state;
        const auto fresh = render(w, step.width, step.height, step.dpi);
        const auto kept = render(w, step.width, step.height, step.dpi, &cache);
        EXPECT_EQ(std::memcmp(fresh->bits, kept->bits, size_t(step.width) * step.height * 4), 0)
            << step.width << "x" << step.height << " at " << step.dpi << " in state " << step.state;
    }
}
