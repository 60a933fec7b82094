// The two windows' decisions as tables (which button reacts where, which key picks which
// language) and the installer screen rendered off-screen, with and without the kept picture.
#include <gtest/gtest.h>

#include <cstring>

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
    w.state = state, w.patchPresent = patch, w.language = 2;
    for (int i = 0; i < folders; ++i) w.candidates.push_back({L"C:\\g" + std::to_wstring(i)});
    return w;
}

// The rectangle of each button, in ButtonId order from LangSimplified (1) to OpenAppFolder (11).
constexpr LayoutRect MainLayout::*kButtons[] = {
    &MainLayout::langSimplifiedButton, &MainLayout::langTraditionalButton, &MainLayout::langEnglishButton,
    &MainLayout::musicButton, &MainLayout::chooseFolderButton, &MainLayout::detectAgainButton, &MainLayout::prevButton,
    &MainLayout::nextButton, &MainLayout::primaryButton, &MainLayout::closeButton, &MainLayout::openAppFolderButton};

}  // namespace

// Whether each button reacts (a flag per button in ButtonId order), and the hit test finds it
// at its centre and corners, not beside or below it, on two canvas sizes.
TEST(HitTest, EachButtonReactsInsideItsRectangleOnlyInItsStates) {
    const struct { InstallerState state; bool patch; int folders; const char* reacts; } kRows[] = {
        {Ready, true, 2, "11111111100"},     {Installing, true, 2, "11110000100"}, {Complete, true, 2, "11111111110"},
        {Cancelled, true, 2, "11111111100"}, {Failed, true, 2, "11111111100"},     {Ready, false, 1, "11111100001"},
        {Installing, false, 1, "11110000101"}, {Complete, false, 1, "11111100111"}, {Failed, true, 0, "11111100000"}};
    for (const auto& row : kRows) {
        const MainWindow w = screen(row.state, row.patch, row.folders);
        for (const auto& [cw, ch] : {std::pair{920.f, 620.f}, {1160.f, 700.f}}) {
            for (int b = 0; b < 11; ++b) {
                const ButtonId id = ButtonId(b + 1), want = row.reacts[b] == '1' ? id : ButtonId::None;
                const LayoutRect r = computeLayout(cw, ch, row.state).*kButtons[b];
                const std::string at = std::to_string(row.state) + " button " + std::to_string(b + 1);
                EXPECT_EQ(buttonActive(w, id), row.reacts[b] == '1') << at;
                if (r.width == 0) continue;
                EXPECT_EQ(hitTest(w, r.left + r.width / 2, r.top + r.height / 2, cw, ch), want) << at;
                EXPECT_EQ(hitTest(w, r.left + .5f, r.top + .5f, cw, ch), want) << at;
                EXPECT_EQ(hitTest(w, r.right() - .5f, r.bottom() - .5f, cw, ch), want) << at;
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
        for (const auto& [x, y] : {std::pair{r.left - 1, r.top + 9}, {r.left + 9, r.bottom() + 1}, {r.left + 9, r.top - 1}})
            EXPECT_EQ(languageButtonAt(x, y), -1) << k;
    }
}

namespace {

// The screen rendered into a top-down 32-bit bitmap.
struct Shot {
    HDC dc = CreateCompatibleDC(nullptr);
    std::uint32_t* bits = nullptr;
    HBITMAP bitmap;
    int w;
    Shot(const MainWindow& window, int width, int height, UINT dpi, PictureCache* cache = nullptr) : w(width) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
        renderMainWindowAtDpi(window, dc, width, height, dpi, cache);
        GdiFlush();
    }
    ~Shot() { DeleteDC(dc), DeleteObject(bitmap); }
    std::uint32_t at(float x, float y) const { return bits[int(y) * w + int(x)] & 0xFFFFFF; }
};

}  // namespace

// Colours where the player looks, a fraction across a layout rectangle at its middle
// height, at two sizes and DPIs; the half-full bar shows no fill at its far end.
TEST(Paint, ColoursAtLayoutPoints) {
    using namespace palette;
    const struct { InstallerState state; bool patch; int perMille; ButtonId hover; LayoutRect MainLayout::*rect;
                   float fx; Gdiplus::ARGB colour; bool shown; } kPoints[] = {
        {Ready, true, 0, ButtonId::None, &MainLayout::patchDot, .5f, kPatchFoundDot, true},
        {Ready, false, 0, ButtonId::None, &MainLayout::patchDot, .5f, kPatchMissingDot, true},
        {Ready, false, 0, ButtonId::None, &MainLayout::openAppFolderButton, .05f, kButtonFilled, true},
        {Ready, true, 0, ButtonId::None, &MainLayout::primaryButton, .03f, kPrimaryNormal, true},
        {Ready, true, 0, ButtonId::Primary, &MainLayout::primaryButton, .03f, kPrimaryHover, true},
        {Ready, true, 0, ButtonId::None, &MainLayout::langEnglishButton, .1f, kPillSelected, true},
        {Installing, true, 500, ButtonId::None, &MainLayout::primaryButton, .03f, kCancelNormal, true},
        {Installing, true, 500, ButtonId::None, &MainLayout::progressBar, .45f, kAccent, true},
        {Installing, true, 500, ButtonId::None, &MainLayout::progressBar, .98f, kAccent, false},
        {Complete, true, 0, ButtonId::None, &MainLayout::progressBar, .98f, kAccent, true}};
    for (const auto& [width, height, dpi] : {std::tuple{920, 620, 96u}, {1740, 1050, 144u}}) {
        const float scale = scaleFor(float(width), float(height), float(dpi));
        for (const auto& p : kPoints) {
            MainWindow w = screen(p.state, p.patch, 1);
            w.progressPerMille = p.perMille, w.hoverId = p.hover;
            const LayoutRect r = computeLayout(width / scale, height / scale, p.state).*p.rect;
            const std::uint32_t seen = Shot(w, width, height, dpi).at((r.left + r.width * p.fx) * scale, (r.top + r.height / 2) * scale);
            const int tolerance = !p.shown ? 30 : p.colour >> 24 == 0xFF ? 3 : 20;  // translucent: blended with the card
            EXPECT_EQ(support::closeTo(seen, p.colour & 0xFFFFFF, tolerance), p.shown)
                << std::hex << seen << " against " << p.colour << " in state " << p.state << " at " << std::dec << dpi;
        }
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
        const Shot fresh(w, step.width, step.height, step.dpi), kept(w, step.width, step.height, step.dpi, &cache);
        EXPECT_EQ(std::memcmp(fresh.bits, kept.bits, size_t(step.width) * step.height * 4), 0)
            << step.width << "x" << step.height << " at " << step.dpi << " in state " << step.state;
    }
}
