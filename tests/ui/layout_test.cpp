// Geometry, scale, hit test and size text of the installer screen: pure functions, no window.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

void expectRect(const LayoutRect& r, float left, float top, float width, float height) {
    EXPECT_NEAR(r.left, left, 0.01f);
    EXPECT_NEAR(r.top, top, 0.01f);
    EXPECT_NEAR(r.width, width, 0.01f);
    EXPECT_NEAR(r.height, height, 0.01f);
}

LayoutRect centreOf(const LayoutRect& r) { return {r.left + r.width / 2, r.top + r.height / 2, 0, 0}; }

MainWindow windowWith(InstallerState state, size_t candidates, bool patchPresent) {
    MainWindow w;
    w.state = state;
    w.patchPresent = patchPresent;
    for (size_t i = 0; i < candidates; ++i) w.candidates.push_back(GameCandidate{L"C:\\g" + std::to_wstring(i), 0, 0, 0});
    return w;
}

}  // namespace

TEST(Layout, DesignSizeMatchesTheWorkedExample) {
    EXPECT_FLOAT_EQ(scaleFor(920, 620, 96), 1.0f);
    MainLayout l = computeLayout(920, 620, Ready);
    expectRect(l.card, 28, 28, 515.2f, 564);
    expectRect(l.patchBox, 50, 147, 471.2f, 72);
    expectRect(l.locationBox, 50, 257, 471.2f, 92);
    expectRect(l.prevButton, 441.2f, 270, 30, 30);
    expectRect(l.nextButton, 479.2f, 270, 30, 30);
    expectRect(l.chooseFolderButton, 50, 361, 154, 40);
    expectRect(l.detectAgainButton, 214, 361, 142, 40);
    expectRect(l.statusLine, 50, 410, 471.2f, 32);
    expectRect(l.progressBar, 50, 459, 471.2f, 8);
    expectRect(l.primaryButton, 50, 475, 471.2f, 52);
    expectRect(l.closeButton, 0, 0, 0, 0);
    expectRect(l.langSimplifiedButton, 666, 26, 58, 36);
    expectRect(l.langTraditionalButton, 726, 26, 58, 36);
    expectRect(l.langEnglishButton, 786, 26, 54, 36);
    expectRect(l.musicButton, 852, 24, 42, 40);
    expectRect(l.openAppFolderButton, 359.2f, 166, 145, 34);
    expectRect(l.locationLabel, 50, 233, 260, 20);
}

TEST(Layout, LargeWindowKeepsTheCardAtItsMaximumAndSpreadsTheRows) {
    // 1740 by 1050 at 96 DPI: scale stays 1, the canvas is the client.
    EXPECT_FLOAT_EQ(scaleFor(1740, 1050, 96), 1.0f);
    MainLayout l = computeLayout(1740, 1050, Ready);
    expectRect(l.card, 28, (1050 - 590) / 2.0f, 540, 590);
    const float top = 230, e = 26;
    expectRect(l.chooseFolderButton, 50, top + 333 + 0.35f * e, 154, 40);
    expectRect(l.prevButton, 540 - 74, top + 242 + 0.15f * e, 30, 30);
    expectRect(l.locationBox, 50, top + 229 + 0.15f * e, 496, 92);
    expectRect(l.statusLine, 50, top + 382 + 0.6f * e, 496, 32);
    expectRect(l.progressBar, 50, top + 590 - 133, 496, 8);
    expectRect(l.primaryButton, 50, top + 590 - 117, 496, 52);
    expectRect(l.musicButton, 1740 - 68, 24, 42, 40);
    // Only 10 extra units: E is 10, the card is 574 high.
    MainLayout mid = computeLayout(920, 630, Ready);
    expectRect(mid.card, 28, 28, 515.2f, 574);
    expectRect(mid.statusLine, 50, 28 + 382 + 6, 471.2f, 32);
}

TEST(Layout, SmallWindowClampsScaleAndStatusLine) {
    EXPECT_FLOAT_EQ(scaleFor(300, 200, 96), 0.65f);
    EXPECT_FLOAT_EQ(scaleFor(460, 620, 96), 0.65f);
    EXPECT_NEAR(scaleFor(736, 620, 96), 0.8f, 1e-6);
    EXPECT_NEAR(scaleFor(1380, 930, 144), 1.5f, 1e-6);
    EXPECT_NEAR(scaleFor(1380, 700, 144), 700 / 620.0f, 1e-6);
    // A size that is not positive drops out of the minimum (mouse input on a minimised window).
    EXPECT_NEAR(scaleFor(0, 0, 144), 1.5f, 1e-6);
    EXPECT_NEAR(scaleFor(0, 310, 144), 0.65f, 1e-6);

    // Canvas 400 by 300: the card shrinks with the height and the status line keeps its 20-unit minimum.
    MainLayout l = computeLayout(400, 300, Ready);
    expectRect(l.card, 28, 28, 224, 244);
    EXPECT_FLOAT_EQ(l.statusLine.height, 20);
    expectRect(l.progressBar, 50, 28 + 244 - 133, 180, 8);
}

TEST(Layout, CompleteSplitsTheMainRow) {
    MainLayout l = computeLayout(920, 620, Complete);
    const float bw = (515.2f - 54) * 0.6f;
    expectRect(l.primaryButton, 50, 475, bw, 52);
    expectRect(l.closeButton, 60 + bw, 475, 515.2f - 54 - bw, 52);
    EXPECT_NEAR(l.closeButton.right(), l.progressBar.right(), 0.01f);
}

TEST(PatchSize, Units) {
    EXPECT_EQ(formatPatchSize(0), L"0 B");
    EXPECT_EQ(formatPatchSize(512), L"512 B");
    EXPECT_EQ(formatPatchSize(1023), L"1023 B");
    EXPECT_EQ(formatPatchSize(1024), L"1.00 KB");
    EXPECT_EQ(formatPatchSize(1536), L"1.50 KB");
    EXPECT_EQ(formatPatchSize(1048575), L"1024.00 KB");
    EXPECT_EQ(formatPatchSize(1048576), L"1.00 MB");
    EXPECT_EQ(formatPatchSize(3ULL << 30), L"3.00 GB");
    EXPECT_EQ(formatPatchSize(1ULL << 50), L"1024.00 TB");
    EXPECT_EQ(formatPatchSize(~0ULL), L"16777216.00 TB");
}

TEST(HitTest, EdgesAreInsideAndGapsAreNot) {
    MainWindow w = windowWith(Ready, 2, true);
    // chooseFolderButton is (50, 361, 154, 40); detectAgainButton starts at 214.
    EXPECT_EQ(hitTest(w, 50, 361, 920, 620), ButtonId::ChooseFolder);
    EXPECT_EQ(hitTest(w, 204, 401, 920, 620), ButtonId::ChooseFolder);
    EXPECT_EQ(hitTest(w, 204.5f, 380, 920, 620), ButtonId::None);
    EXPECT_EQ(hitTest(w, 209, 380, 920, 620), ButtonId::None);
    EXPECT_EQ(hitTest(w, 214, 380, 920, 620), ButtonId::DetectAgain);
    EXPECT_EQ(hitTest(w, 100, 401.5f, 920, 620), ButtonId::None);
    // Language pills and the gap between them.
    EXPECT_EQ(hitTest(w, 724, 44, 920, 620), ButtonId::LangSimplified);
    EXPECT_EQ(hitTest(w, 725, 44, 920, 620), ButtonId::None);
    EXPECT_EQ(hitTest(w, 726, 44, 920, 620), ButtonId::LangTraditional);
    EXPECT_EQ(hitTest(w, 840, 62, 920, 620), ButtonId::LangEnglish);
    EXPECT_EQ(hitTest(w, 894, 64, 920, 620), ButtonId::MusicToggle);
    EXPECT_EQ(hitTest(w, 5, 5, 920, 620), ButtonId::None);
    // Main button right and bottom edges.
    EXPECT_EQ(hitTest(w, 300, 527, 920, 620), ButtonId::Primary);
    EXPECT_EQ(hitTest(w, 300, 527.5f, 920, 620), ButtonId::None);
    EXPECT_EQ(hitTest(w, 521.19f, 500, 920, 620), ButtonId::Primary);
    EXPECT_EQ(hitTest(w, 521.3f, 500, 920, 620), ButtonId::None);
}

// Every button shown in every state is also pointed at by Accessible.EveryStateInEveryLanguage.
TEST(HitTest, ButtonsReactOnlyInTheirStates) {
    const LayoutRect prev = centreOf(computeLayout(920, 620, Ready).prevButton);
    const LayoutRect next = centreOf(computeLayout(920, 620, Ready).nextButton);
    const LayoutRect primary = centreOf(computeLayout(920, 620, Ready).primaryButton);
    const LayoutRect open = centreOf(computeLayout(920, 620, Ready).openAppFolderButton);
    const MainLayout done = computeLayout(920, 620, Complete);

    MainWindow w = windowWith(Ready, 2, true);
    EXPECT_EQ(hitTest(w, open.left, open.top, 920, 620), ButtonId::None);  // the patch is there: no such button
    MainWindow one = windowWith(Ready, 1, true);
    EXPECT_EQ(hitTest(one, prev.left, prev.top, 920, 620), ButtonId::None);
    EXPECT_EQ(hitTest(one, next.left, next.top, 920, 620), ButtonId::None);

    for (InstallerState s : {Ready, Cancelled, Failed}) {
        MainWindow none = windowWith(s, 0, true);
        EXPECT_EQ(hitTest(none, primary.left, primary.top, 920, 620), ButtonId::None) << s;
        MainWindow noPatch = windowWith(s, 1, false);
        EXPECT_EQ(hitTest(noPatch, primary.left, primary.top, 920, 620), ButtonId::None) << s;
        EXPECT_EQ(hitTest(noPatch, open.left, open.top, 920, 620), ButtonId::OpenAppFolder) << s;
        MainWindow badIndex = windowWith(s, 1, true);
        badIndex.selectedIndex = 1;
        EXPECT_EQ(hitTest(badIndex, primary.left, primary.top, 920, 620), ButtonId::None) << s;
    }

    const LayoutRect close = centreOf(done.closeButton);
    // The close button's row is part of the main button outside Complete.
    MainWindow ready = windowWith(Ready, 1, true);
    EXPECT_EQ(hitTest(ready, close.left, close.top, 920, 620), ButtonId::Primary);
    // Without a patch the open-folder button reacts in every state, also while installing.
    MainWindow installingNoPatch = windowWith(Installing, 1, false);
    EXPECT_EQ(hitTest(installingNoPatch, open.left, open.top, 920, 620), ButtonId::OpenAppFolder);
}

TEST(HitTest, FollowsTheScaledCanvas) {
    // A 1840 by 1240 client at 192 DPI is the design canvas at scale 2.
    MainWindow w = windowWith(Ready, 2, true);
    const float scale = scaleFor(1840, 1240, 192);
    ASSERT_FLOAT_EQ(scale, 2.0f);
    EXPECT_EQ(hitTest(w, 1340 / scale, 88 / scale, 1840 / scale, 1240 / scale), ButtonId::LangSimplified);
    // At a larger canvas the pills move with the right edge.
    EXPECT_EQ(hitTest(w, 1740 - 254 + 1, 30, 1740, 1050), ButtonId::LangSimplified);
    EXPECT_EQ(hitTest(w, 667, 30, 1740, 1050), ButtonId::None);
}

TEST(MinimumTrackSize, WorkAreaLimits) {
    SIZE big = minimumTrackSize(1920, 1040, 96);
    EXPECT_EQ(big.cx, 920);
    EXPECT_EQ(big.cy, 620);
    SIZE narrow = minimumTrackSize(700, 600, 96);
    EXPECT_EQ(narrow.cx, 684);
    EXPECT_EQ(narrow.cy, 584);
    SIZE tiny = minimumTrackSize(500, 400, 96);
    EXPECT_EQ(tiny.cx, 640);
    EXPECT_EQ(tiny.cy, 500);
    SIZE hiDpi = minimumTrackSize(2560, 1400, 144);
    EXPECT_EQ(hiDpi.cx, 1380);
    EXPECT_EQ(hiDpi.cy, 930);
}
