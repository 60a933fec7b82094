// The installer screen on a real Wine display: messages, keys, clicks and the pixels it paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "audio/music.h"
#include "install/copy_worker.h"
#include "test_support.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/paint.h"
#include "ui/screen_items.h"
#include "ui_test_support.h"

using namespace ui_testing;
using testing_support::BoxWatcher;
using testing_support::pumpUntil;
using testing_support::ScratchFolder;

namespace {

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        gdiplus = std::make_unique<GdiplusSession>();
    }
    void TearDown() override {
        gdiplus.reset();
        CoUninitialize();
    }
    std::unique_ptr<GdiplusSession> gdiplus;
};
::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

// --- colours -------------------------------------------------------------------------------

struct Rgb {
    double r, g, b;
};

Rgb over(Rgb below, Gdiplus::ARGB colour) {
    const double a = (colour >> 24) / 255.0;
    return {below.r * (1 - a) + ((colour >> 16) & 0xFF) * a, below.g * (1 - a) + ((colour >> 8) & 0xFF) * a,
            below.b * (1 - a) + (colour & 0xFF) * a};
}

// The window's gradient from (0, 0) to (W, H) when there is no picture.
Rgb gradientAt(double x, double y, double W = 920, double H = 620) {
    const double t = std::clamp((x * W + y * H) / (W * W + H * H), 0.0, 1.0);
    return {0xFF + (0xF7 - 0xFF) * t, 0xFA + (0xE7 - 0xFA) * t, 0xFC + (0xF0 - 0xFC) * t};
}

// Background, card shadow and card body: what lies under everything on the card.
Rgb cardAt(double x, double y) { return over(over(gradientAt(x, y), 0x2A4E3348), 0xE8FFFBFD); }

::testing::AssertionResult colourNear(std::uint32_t actual, Rgb expected, int tolerance = 6) {
    const int r = (actual >> 16) & 0xFF, g = (actual >> 8) & 0xFF, b = actual & 0xFF;
    if (std::abs(r - static_cast<int>(std::lround(expected.r))) <= tolerance &&
        std::abs(g - static_cast<int>(std::lround(expected.g))) <= tolerance &&
        std::abs(b - static_cast<int>(std::lround(expected.b))) <= tolerance)
        return ::testing::AssertionSuccess();
    char text[128];
    snprintf(text, sizeof text, "pixel %06X, expected about %02lX%02lX%02lX", static_cast<unsigned>(actual),
             std::lround(expected.r), std::lround(expected.g), std::lround(expected.b));
    return ::testing::AssertionFailure() << text;
}

Rgb opaque(std::uint32_t rgb) { return {double((rgb >> 16) & 0xFF), double((rgb >> 8) & 0xFF), double(rgb & 0xFF)}; }

int luminance(std::uint32_t rgb) { return (((rgb >> 16) & 0xFF) * 3 + ((rgb >> 8) & 0xFF) * 6 + (rgb & 0xFF)) / 10; }

// Darkest pixel of a small square, for thin strokes whose exact pixel depends on antialiasing.
int darkestAround(const Dib& dib, int x, int y, int radius = 1) {
    int darkest = 255;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) darkest = std::min(darkest, luminance(dib.pixel(x + dx, y + dy)));
    return darkest;
}

// Pixels clearly darker than the light card inside a rectangle: drawn text.
int inkIn(const Dib& dib, const LayoutRect& r, double scale = 1) {
    int count = 0;
    for (int y = int(r.top * scale); y < int(r.bottom() * scale); ++y)
        for (int x = int(r.left * scale); x < int(r.right() * scale); ++x)
            if (luminance(dib.pixel(x, y)) < 160) ++count;
    return count;
}

std::unique_ptr<Dib> render(const MainWindow& record, int width = 920, int height = 620, UINT dpi = 96,
                            PictureCache* cache = nullptr) {
    auto dib = std::make_unique<Dib>(width, height);
    renderMainWindowAtDpi(record, dib->dc(), width, height, dpi, cache);
    GdiFlush();
    return dib;
}

int differingPixels(const Dib& a, const Dib& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// Fixed points of the 920 by 620 canvas at 96 DPI.
const POINT kStatusDot{71, 171};
const POINT kPrimarySample{100, 490};
const POINT kCloseSample{345, 490};
const POINT kOpenFolderSample{365, 192};
const POINT kBarStart{100, 463}, kBarMiddle{400, 463};
const POINT kPrevChevron{453, 285};
const POINT kSpeaker{862, 44}, kCross{880, 44};

Rgb primaryBodyOver(Gdiplus::ARGB body) { return over(over(cardAt(100, 490), 0x225B364E), body); }

std::wstring artefactFolder() {
    const char* build = std::getenv("LUMIVEX_BUILD");
    std::wstring folder = L"Z:";
    for (const char* c = build ? build : "/tmp"; *c; ++c) folder += *c == '/' ? L'\\' : wchar_t(*c);
    folder += L"\\artifacts";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\ui";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

LayoutRect centre(const LayoutRect& r) { return {r.left + r.width / 2, r.top + r.height / 2, 0, 0}; }
const MainLayout kReady = computeLayout(920, 620, Ready);
const MainLayout kComplete = computeLayout(920, 620, Complete);

}  // namespace

// --- painting ------------------------------------------------------------------------------

TEST(Paint, EmptyClientPaintsOnePixel) {
    MainWindow record;
    prepareRecord(record, 2);
    Dib dib(4, 4);
    dib.fill(0x123456);
    renderMainWindowAtDpi(record, dib.dc(), 0, 0, 96);
    GdiFlush();
    EXPECT_NE(dib.pixel(0, 0), 0x123456u);
    EXPECT_EQ(dib.pixel(1, 0), 0x123456u);
    EXPECT_EQ(dib.pixel(0, 1), 0x123456u);
    renderMainWindowAtDpi(record, dib.dc(), 3, -5, 96);
    GdiFlush();
    EXPECT_EQ(dib.pixel(3, 0), 0x123456u);
    EXPECT_EQ(dib.pixel(0, 1), 0x123456u);
    destroyMainWindowRecord(record);
}

TEST(Paint, StatusDotAndOpenFolderButtonFollowThePatch) {
    MainWindow record;
    prepareRecord(record, 2);
    auto without = render(record);
    EXPECT_TRUE(colourNear(without->pixel(kStatusDot.x, kStatusDot.y), opaque(0xE85B76), 3));
    EXPECT_TRUE(colourNear(without->pixel(kOpenFolderSample.x, kOpenFolderSample.y), opaque(0xE86094), 3));

    record.patchPresent = true;
    record.patchSize = 1536;
    auto with = render(record);
    EXPECT_TRUE(colourNear(with->pixel(kStatusDot.x, kStatusDot.y), opaque(0x3DB784), 3));
    EXPECT_TRUE(colourNear(with->pixel(kOpenFolderSample.x, kOpenFolderSample.y),
                           over(cardAt(365, 192), 0xCDFFFFFF)));
    destroyMainWindowRecord(record);
}

TEST(Paint, MainButtonColourPerState) {
    MainWindow record;
    prepareRecord(record, 2);
    auto disabled = render(record);
    EXPECT_TRUE(colourNear(disabled->pixel(kPrimarySample.x, kPrimarySample.y), primaryBodyOver(0xB4D2CAD2)));

    record.patchPresent = true;
    addCandidates(record, 1);
    auto enabled = render(record);
    EXPECT_TRUE(colourNear(enabled->pixel(kPrimarySample.x, kPrimarySample.y), opaque(0xEC699A), 3));
    record.hoverId = ButtonId::Primary;
    auto hovered = render(record);
    EXPECT_TRUE(colourNear(hovered->pixel(kPrimarySample.x, kPrimarySample.y), opaque(0xF97EA9), 3));

    record.state = Installing;
    record.hoverId = ButtonId::None;
    auto installing = render(record);
    EXPECT_TRUE(colourNear(installing->pixel(kPrimarySample.x, kPrimarySample.y), primaryBodyOver(0xE6C64865)));
    record.hoverId = ButtonId::Primary;
    auto installingHovered = render(record);
    EXPECT_TRUE(
        colourNear(installingHovered->pixel(kPrimarySample.x, kPrimarySample.y), primaryBodyOver(0xF5E05972)));

    // Complete is enabled even without patch and folder; the second button appears beside it.
    MainWindow done;
    prepareRecord(done, 2);
    done.state = Complete;
    auto complete = render(done);
    EXPECT_TRUE(colourNear(complete->pixel(kPrimarySample.x, kPrimarySample.y), opaque(0xEC699A), 3));
    EXPECT_TRUE(colourNear(complete->pixel(kCloseSample.x, kCloseSample.y), over(cardAt(345, 490), 0xD7FFFFFF)));
    EXPECT_TRUE(colourNear(enabled->pixel(kCloseSample.x, kCloseSample.y), opaque(0xEC699A), 3));
    for (InstallerState state : {Ready, Installing, Cancelled, Failed}) {
        done.state = state;
        auto other = render(done);
        EXPECT_FALSE(colourNear(other->pixel(kCloseSample.x, kCloseSample.y), over(cardAt(345, 490), 0xD7FFFFFF), 20))
            << state;
    }
    destroyMainWindowRecord(done);
    destroyMainWindowRecord(record);
}

TEST(Paint, ProgressBar) {
    MainWindow record;
    prepareRecord(record, 2);
    record.patchPresent = true;
    addCandidates(record, 1);
    const Rgb track = over(cardAt(400, 463), 0x7DE0CFD7);
    auto ready = render(record);
    EXPECT_TRUE(colourNear(ready->pixel(kBarStart.x, kBarStart.y), cardAt(100, 463)));

    record.state = Installing;
    record.progressPerMille = 500;
    auto half = render(record);
    EXPECT_TRUE(colourNear(half->pixel(kBarStart.x, kBarStart.y), opaque(0xF1719E), 3));
    EXPECT_TRUE(colourNear(half->pixel(kBarMiddle.x, kBarMiddle.y), track));
    // The fill ends at 50 + 471.2 / 2 = 285.6.
    EXPECT_TRUE(colourNear(half->pixel(283, 463), opaque(0xF1719E), 3));
    EXPECT_TRUE(colourNear(half->pixel(289, 463), track));

    record.progressPerMille = 0;
    auto none = render(record);
    EXPECT_TRUE(colourNear(none->pixel(kBarStart.x, kBarStart.y), over(cardAt(100, 463), 0x7DE0CFD7)));
    EXPECT_TRUE(colourNear(none->pixel(kBarMiddle.x, kBarMiddle.y), track));

    record.state = Complete;
    record.progressPerMille = 0;  // Complete always shows a full bar
    auto complete = render(record);
    EXPECT_TRUE(colourNear(complete->pixel(kBarMiddle.x, kBarMiddle.y), opaque(0xF1719E), 3));
    destroyMainWindowRecord(record);
}

TEST(Paint, ArrowsOnlyWithTwoCandidates) {
    MainWindow record;
    prepareRecord(record, 2);
    addCandidates(record, 1);
    auto one = render(record);
    EXPECT_GT(darkestAround(*one, kPrevChevron.x, kPrevChevron.y), 200);
    addCandidates(record, 1);
    auto two = render(record);
    EXPECT_LT(darkestAround(*two, kPrevChevron.x, kPrevChevron.y), 150);
    // The counter "Detected locations  1 / 2" sits in the box's last row.
    const LayoutRect counter{66, 257 + 92 - 23, 471.2f - 130, 18};
    EXPECT_EQ(inkIn(*one, counter), 0);
    EXPECT_GT(inkIn(*two, counter), 20);
    record.state = Installing;  // still shown while they do not react
    auto installing = render(record);
    EXPECT_LT(darkestAround(*installing, kPrevChevron.x, kPrevChevron.y), 150);
    destroyMainWindowRecord(record);
}

TEST(Paint, MuteIcon) {
    MainWindow record;
    prepareRecord(record, 2);
    const Rgb grey = over(over(gradientAt(862, 44), 0xE1FFFFFF), 0xB48E8491);
    auto absent = render(record);  // no player at all
    EXPECT_TRUE(colourNear(absent->pixel(kSpeaker.x, kSpeaker.y), grey));
    EXPECT_TRUE(colourNear(absent->pixel(kCross.x, kCross.y), opaque(0xE04A6F), 12));

    MusicPlayer player;  // no audio device: waveOut stays null
    record.music = &player;
    auto noDevice = render(record);
    EXPECT_TRUE(colourNear(noDevice->pixel(kSpeaker.x, kSpeaker.y), grey));
    EXPECT_TRUE(colourNear(noDevice->pixel(kCross.x, kCross.y), opaque(0xE04A6F), 12));

    // The painter only asks whether the device is open; a dummy handle stands for an open one.
    player.waveOut = reinterpret_cast<HWAVEOUT>(static_cast<INT_PTR>(1));
    auto playing = render(record);
    EXPECT_TRUE(colourNear(playing->pixel(kSpeaker.x, kSpeaker.y), opaque(0x4C3A53), 3));
    EXPECT_GT(luminance(playing->pixel(kCross.x, kCross.y)), 200);
    player.muted = 1;
    auto muted = render(record);
    EXPECT_TRUE(colourNear(muted->pixel(kSpeaker.x, kSpeaker.y), opaque(0x4C3A53), 3));
    EXPECT_TRUE(colourNear(muted->pixel(kCross.x, kCross.y), opaque(0xE04A6F), 12));
    player.waveOut = nullptr;
    record.music = nullptr;
    destroyMainWindowRecord(record);
}

TEST(Paint, TextNeedsAFontFamily) {
    const LayoutRect title{48, 28 + 45, 515.2f - 42, 54};
    MainWindow bare;  // no family: shapes only
    auto dib = render(bare);
    EXPECT_EQ(inkIn(*dib, title), 0);
    EXPECT_TRUE(colourNear(dib->pixel(kStatusDot.x, kStatusDot.y), opaque(0xE85B76), 3));
}

// Every state in every language at three client sizes, painted through one kept picture and
// rendered afresh: both agree in every pixel.
TEST(Paint, EveryStateInEveryLanguageWithTheKeptPictureAsDrawnAfresh) {
    const std::wstring folder = artefactFolder();
    // Client sizes in turn, the last one also at another DPI: the kept picture must follow each
    // change. Screens of the smallest and of the scaled one are saved.
    const struct { int w, h; UINT dpi; bool saved; } sizes[] = {
        {920, 620, 96, true}, {1160, 700, 96, false}, {1740, 1050, 96, false}, {1740, 1050, 144, true}};
    BackgroundImage picture;
    loadBackgroundImage(picture, GetModuleHandleW(nullptr));
    EXPECT_TRUE(picture.image);
    PictureCache cache;
    int saved = 0;
    for (const auto& size : sizes) {
        for (const Scene& scene : kScenes) {
            for (LanguageId language : {0, 1, 2}) {
                MainWindow record;
                prepareRecord(record, language);
                scene.setUp(record);
                // One plain screen per size, so both backgrounds are on file; it leaves nothing kept.
                const bool withPicture = language != 2 || &scene != kScenes;
                if (withPicture) std::swap(record.background, picture);
                auto fresh = render(record, size.w, size.h, size.dpi);
                auto kept = render(record, size.w, size.h, size.dpi, &cache);
                EXPECT_EQ(differingPixels(*fresh, *kept), 0) << size.w << "x" << size.h << " at " << size.dpi
                                                             << " DPI, " << languageCode(language) << ", " << scene.name;
                EXPECT_EQ(cache.bitmap != nullptr, withPicture);
                // Each text a screen reader is told of is drawn where it is said to be, in every
                // language (CJK glyphs come from the mapped font).
                for (const ScreenItem& item : mainScreenItems(record, size.w, size.h, size.dpi)) {
                    const RECT& b = item.bounds;
                    const LayoutRect at{float(b.left), float(b.top), float(b.right - b.left), float(b.bottom - b.top)};
                    EXPECT_TRUE(item.role != ROLE_SYSTEM_STATICTEXT || inkIn(*fresh, at) > 10) << item.name;
                }
                const std::wstring path = folder + L"\\" + scene.name + L"-" + languageCode(language) + L"-" +
                                          std::to_wstring(size.dpi) + L".png";
                if (size.saved && fresh->savePng(path)) ++saved;
                if (withPicture) std::swap(record.background, picture);  // owned by this test, not by the record
                destroyMainWindowRecord(record);
            }
        }
    }
    EXPECT_EQ(saved, 7 * 3 * 2);
    // Another picture at the same size and scale replaces the kept one. This one is transparent,
    // so it shows what lies below it: the kept picture starts from what the paint starts from.
    Gdiplus::GpBitmap* clear = nullptr;
    Gdiplus::DllExports::GdipCreateBitmapFromScan0(16, 9, 0, PixelFormat32bppARGB, nullptr, &clear);
    MainWindow record;
    prepareRecord(record, 2);
    record.background.image.reset(clear);  // the record owns it from here
    EXPECT_EQ(differingPixels(*render(record, 1740, 1050, 144), *render(record, 1740, 1050, 144, &cache)), 0);
    destroyMainWindowRecord(record);
    releaseBackgroundImage(picture);
}

// --- the live window -------------------------------------------------------------------------

TEST(Window, PaintsTheSameAsTheOffscreenRender) {
    LiveWindow live(2, true);
    ASSERT_TRUE(live.hwnd);
    live.record.patchPresent = true;
    addCandidates(live.record, 1);
    InvalidateRect(live.hwnd, nullptr, FALSE);
    UpdateWindow(live.hwnd);
    RECT client{};
    GetClientRect(live.hwnd, &client);
    ASSERT_EQ(client.right, 920);
    ASSERT_EQ(client.bottom, 620);
    Dib shot(920, 620);
    HDC dc = GetDC(live.hwnd);
    BitBlt(shot.dc(), 0, 0, 920, 620, dc, 0, 0, SRCCOPY);
    ReleaseDC(live.hwnd, dc);
    GdiFlush();
    EXPECT_TRUE(colourNear(shot.pixel(kStatusDot.x, kStatusDot.y), opaque(0x3DB784), 3));
    EXPECT_TRUE(colourNear(shot.pixel(kPrimarySample.x, kPrimarySample.y), opaque(0xEC699A), 3));
    EXPECT_TRUE(colourNear(shot.pixel(5, 5), gradientAt(5, 5)));
}

TEST(Window, LanguageButtonsSwitchFont) {
    LiveWindow live(0, true);
    ASSERT_TRUE(live.hwnd);
    const LayoutRect english = centre(kReady.langEnglishButton);
    live.clickAt(english.left, english.top);
    EXPECT_NE(live.record.fontFamily, nullptr);
    wchar_t name[LF_FACESIZE] = {}, expectedName[LF_FACESIZE] = {};
    Gdiplus::DllExports::GdipGetFamilyName(live.record.fontFamily.get(), name, LANG_NEUTRAL);
    Gdiplus::DllExports::GdipGetFamilyName(createUiFontFamily(2).get(), expectedName, LANG_NEUTRAL);
    EXPECT_STREQ(name, expectedName);

    // The current language's button changes nothing: same family object, caption untouched.
    SetWindowTextW(live.hwnd, L"marker");
    Gdiplus::GpFontFamily* current = live.record.fontFamily.get();
    live.validate();
    live.clickAt(english.left, english.top);
    EXPECT_EQ(live.record.fontFamily.get(), current);
    EXPECT_EQ(live.caption(), L"marker");
    EXPECT_FALSE(live.invalidated());
}

TEST(Window, HoverHandCursorAndMouseLeave) {
    LiveWindow live(2, true);
    ASSERT_TRUE(live.hwnd);
    const LayoutRect choose = centre(kReady.chooseFolderButton);
    live.validate();
    live.send(WM_MOUSEMOVE, 0, MAKELPARAM(int(choose.left), int(choose.top)));
    EXPECT_EQ(live.record.hoverId, ButtonId::ChooseFolder);
    EXPECT_TRUE(live.record.trackingLeave);
    EXPECT_TRUE(live.invalidated());
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(live.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(live.hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), hand);
    // Over the title bar the hand is not used even with a hovered button.
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    live.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(live.hwnd), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), hand);

    // Moving within the same button does not repaint.
    live.validate();
    live.send(WM_MOUSEMOVE, 0, MAKELPARAM(int(choose.left) + 3, int(choose.top)));
    EXPECT_FALSE(live.invalidated());

    live.send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(live.record.hoverId, ButtonId::None);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    live.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(live.hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), hand);

    live.send(WM_MOUSEMOVE, 0, MAKELPARAM(int(choose.left), int(choose.top)));
    live.validate();
    live.send(WM_MOUSELEAVE);
    EXPECT_EQ(live.record.hoverId, ButtonId::None);
    EXPECT_FALSE(live.record.trackingLeave);
    EXPECT_TRUE(live.invalidated());
}

TEST(Window, ArrowsStepThroughCandidates) {
    ScratchFolder scratch(L"arrows");
    LiveWindow live(2, true);
    ASSERT_TRUE(live.hwnd);
    for (int i = 0; i < 3; ++i) {
        const std::wstring game = scratch / (L"lib" + std::to_wstring(i) + L"\\steamapps\\common\\Lumivex Orrendale\\game");
        ASSERT_TRUE(testing_support::makeFolders(game));
        ASSERT_TRUE(testing_support::writeFile(game + L"\\archive.rpa", "RPA-3.0"));
        live.record.candidates.push_back(GameCandidate{game, 0, 0, 0});
    }
    ASSERT_TRUE(testing_support::writeFile(live.record.candidates[2].folder + L"\\patch.rpa", "older patch"));
    live.record.patchPresent = true;
    const LayoutRect next = centre(kReady.nextButton), prev = centre(kReady.prevButton);

    live.validate();
    live.clickAt(next.left, next.top);
    EXPECT_EQ(live.record.selectedIndex, 1u);
    EXPECT_FALSE(live.record.targetHasPatch);
    EXPECT_TRUE(live.invalidated());
    live.clickAt(next.left, next.top);
    EXPECT_EQ(live.record.selectedIndex, 2u);
    EXPECT_TRUE(live.record.targetHasPatch);
    EXPECT_FALSE(live.record.targetPatchIdentical);
    live.clickAt(next.left, next.top);
    EXPECT_EQ(live.record.selectedIndex, 0u);
    EXPECT_FALSE(live.record.targetHasPatch);
    live.clickAt(prev.left, prev.top);
    EXPECT_EQ(live.record.selectedIndex, 2u);
    EXPECT_TRUE(live.record.targetHasPatch);
}

TEST(Window, EnterInstallsOrLaunchesByState) {
    ScratchFolder scratch(L"enter");
    ASSERT_TRUE(testing_support::writeFile(scratch / L"patch.rpa", std::string(1500, 'p')));
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    live.record.patchPath = scratch / L"patch.rpa";

    // Ready, Cancelled, Failed: the install action re-reads the patch (and finds no folder to use).
    for (InstallerState state : {Ready, Cancelled, Failed}) {
        live.record.state = state;
        live.record.patchPresent = false;
        live.record.patchSize = 0;
        live.send(WM_KEYDOWN, VK_RETURN);
        EXPECT_TRUE(live.record.patchPresent) << state;
        EXPECT_EQ(live.record.patchSize, 1500u) << state;
    }
    // Installing: nothing.
    live.record.state = Installing;
    live.record.patchPresent = false;
    live.send(WM_KEYDOWN, VK_RETURN);
    EXPECT_FALSE(live.record.patchPresent);
    EXPECT_EQ(live.record.state, Installing);

    // Complete: the game is started, here from a folder without Lumivex.exe, which is reported.
    const std::wstring game = scratch / L"Lumivex Orrendale\\game";
    ASSERT_TRUE(testing_support::makeFolders(game));
    live.record.candidates.push_back(GameCandidate{game, 0, 0, 0});
    live.record.state = Complete;
    BoxWatcher boxes(IDOK);
    live.send(WM_KEYDOWN, VK_RETURN);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, textsFor(2)[TextSlot::windowTitle]);
    EXPECT_EQ(boxes.boxes()[0].text.rfind(textsFor(2)[TextSlot::gameExeNotFound], 0), 0u);
    EXPECT_TRUE(IsWindow(live.hwnd));
}

TEST(Window, F5AndDetectAgainRunDetection) {
    ScratchFolder scratch(L"f5");
    const std::wstring game = scratch / L"lib\\steamapps\\common\\Lumivex Orrendale\\game";
    ASSERT_TRUE(testing_support::makeFolders(game));
    ASSERT_TRUE(testing_support::writeFile(game + L"\\archive.rpa", "RPA-3.0"));
    LiveWindow live(2, true);
    ASSERT_TRUE(live.hwnd);
    live.record.destOverride = game;
    live.record.state = Failed;
    live.record.statusMessage = L"old failure";
    live.validate();
    live.send(WM_KEYDOWN, VK_F5);
    EXPECT_EQ(live.record.state, Ready);
    EXPECT_TRUE(live.record.statusMessage.empty());
    ASSERT_FALSE(live.record.candidates.empty());
    EXPECT_LT(findCandidate(live.record.candidates, game), live.record.candidates.size());
    EXPECT_TRUE(live.invalidated());

    // F5 works while installing too (detection keeps the state); the button does not.
    const LayoutRect detect = centre(kReady.detectAgainButton);
    live.record.state = Installing;
    live.record.candidates.clear();
    live.clickAt(detect.left, detect.top);
    EXPECT_TRUE(live.record.candidates.empty());
    live.send(WM_KEYDOWN, VK_F5);
    EXPECT_EQ(live.record.state, Installing);
    EXPECT_FALSE(live.record.candidates.empty());
}

TEST(Window, CtrlBOpensTheFolderDialog) {
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    BoxWatcher dialogs(IDCANCEL);
    live.send(WM_KEYDOWN, 'B');  // without Ctrl: nothing
    EXPECT_TRUE(dialogs.boxes().empty());

    auto pressCtrlB = [&] {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        BYTE withCtrl[256];
        std::copy(keys, keys + 256, withCtrl);
        withCtrl[VK_CONTROL] = 0x80;
        SetKeyboardState(withCtrl);
        live.send(WM_KEYDOWN, 'B');
        SetKeyboardState(keys);
    };
    pressCtrlB();
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    EXPECT_EQ(dialogs.boxes()[0].caption, textsFor(2)[TextSlot::folderDialogTitle]);

    const LayoutRect choose = centre(kReady.chooseFolderButton);
    live.clickAt(choose.left, choose.top);
    EXPECT_EQ(dialogs.boxes().size(), 2u);
    // While a copy runs the target must not change: neither the button nor Ctrl+B opens the dialog.
    live.record.state = Installing;
    live.clickAt(choose.left, choose.top);
    pressCtrlB();
    EXPECT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_TRUE(IsWindow(live.hwnd));
}

TEST(Window, EscapeClosesOutsideInstallingAndCancelsWhileInstalling) {
    for (InstallerState state : {Ready, Complete, Cancelled, Failed}) {
        LiveWindow live(2);
        ASSERT_TRUE(live.hwnd);
        live.record.state = state;
        BoxWatcher boxes(IDNO);
        live.send(WM_KEYDOWN, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(live.hwnd)) << state;
        EXPECT_EQ(live.record.hwnd, nullptr);
        EXPECT_TRUE(boxes.boxes().empty());
    }
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    live.record.state = Installing;
    live.record.copyJob = std::make_unique<InstallJob>();
    BoxWatcher boxes(IDNO);
    live.send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(IsWindow(live.hwnd));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(live.record.copyJob->cancelRequested, 1);
    EXPECT_EQ(live.record.state, Installing);
}

namespace {

// Looks at a dialog once it has finished setting itself up: the CBT hook sees it at activation,
// before the box has chosen its default button, so the look is posted to a helper window and
// runs from the box's own message loop, ahead of BoxWatcher's answer.
class DefaultButtonProbe {
public:
    DefaultButtonProbe() {
        active = this;
        helper_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(helper_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefaultButtonProbe::helperProc)));
        hook_ = SetWindowsHookExW(WH_CBT, &DefaultButtonProbe::hook, nullptr, GetCurrentThreadId());
    }
    ~DefaultButtonProbe() {
        UnhookWindowsHookEx(hook_);
        DestroyWindow(helper_);
        active = nullptr;
    }
    std::vector<int> defaults;  // per box: the button that has the default style (or 0)

private:
    static constexpr UINT kLook = WM_APP + 77;
    static inline DefaultButtonProbe* active = nullptr;
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && active) {
            wchar_t className[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), className, 64);
            if (lstrcmpW(className, L"#32770") == 0) PostMessageW(active->helper_, kLook, wParam, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK helperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kLook && active) {
            HWND box = reinterpret_cast<HWND>(wParam);
            int found = 0;
            for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
                HWND button = GetDlgItem(box, id);
                if (button && (GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) found = id;
            }
            active->defaults.push_back(found);
            return 0;
        }
        return CallWindowProcW(active ? active->previous_ : DefWindowProcW, hwnd, message, wParam, lParam);
    }
    HWND helper_ = nullptr;
    WNDPROC previous_ = nullptr;
    HHOOK hook_ = nullptr;
};

}  // namespace

TEST(Window, CloseDuringInstallAsksFirst) {
    LiveWindow live(1);
    ASSERT_TRUE(live.hwnd);
    live.record.state = Installing;
    live.record.copyJob = std::make_unique<InstallJob>();
    BoxWatcher boxes(IDNO);
    DefaultButtonProbe probe;
    live.send(WM_CLOSE);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const testing_support::SeenBox& box = boxes.boxes()[0];
    EXPECT_EQ(box.caption, textsFor(1)[TextSlot::windowTitle]);
    EXPECT_EQ(box.text, textsFor(1)[TextSlot::confirmCancelExit]);
    EXPECT_TRUE(box.hasYes && box.hasNo && !box.hasOk);
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONWARNING));
    ASSERT_EQ(probe.defaults.size(), 1u);
    EXPECT_EQ(probe.defaults[0], IDNO);  // MB_DEFBUTTON2: a stray Enter keeps the copy running
    EXPECT_TRUE(IsWindow(live.hwnd));
    EXPECT_EQ(live.record.copyJob->cancelRequested, 0);

    boxes.setAnswer(IDYES);
    live.send(WM_CLOSE);
    EXPECT_EQ(boxes.boxes().size(), 2u);
    EXPECT_FALSE(IsWindow(live.hwnd));
    ASSERT_NE(live.record.copyJob, nullptr);  // freed later by the record's destruction
    EXPECT_EQ(live.record.copyJob->cancelRequested, 1);
}

TEST(Window, CloseButtonAndPrimaryInCompleteAndInstalling) {
    {
        LiveWindow live(2);
        ASSERT_TRUE(live.hwnd);
        live.record.state = Installing;
        live.record.copyJob = std::make_unique<InstallJob>();
        const LayoutRect primary = centre(kReady.primaryButton);
        live.clickAt(primary.left, primary.top);  // "Cancel installation"
        EXPECT_EQ(live.record.copyJob->cancelRequested, 1);
        EXPECT_TRUE(IsWindow(live.hwnd));
    }
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    live.record.state = Complete;
    BoxWatcher boxes(IDNO);
    const LayoutRect close = centre(kComplete.closeButton);
    live.clickAt(close.left, close.top);
    EXPECT_FALSE(IsWindow(live.hwnd));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(Window, InputMadeBeforeTheCopyEndedCountsOnlyJustBeforeIt) {
    MainWindow record;
    record.state = Complete;
    EXPECT_FALSE(madeBeforeCopyEnded(record, 100));  // no copy has ended yet
    record.copyEnded = true;
    record.copyEndedAt = 5000;
    EXPECT_TRUE(madeBeforeCopyEnded(record, 4999));
    EXPECT_TRUE(madeBeforeCopyEnded(record, 5000 - 59999));
    EXPECT_FALSE(madeBeforeCopyEnded(record, 5000));           // the same moment: made on the new screen
    EXPECT_FALSE(madeBeforeCopyEnded(record, 5001));
    EXPECT_FALSE(madeBeforeCopyEnded(record, 5000 - 60000));   // too long ago to be a stale click
    record.copyEndedAt = 5;                                    // the tick count wrapped meanwhile
    EXPECT_TRUE(madeBeforeCopyEnded(record, 0xFFFFFFF0u));
    EXPECT_FALSE(madeBeforeCopyEnded(record, 6));
    for (InstallerState state : {Ready, Cancelled, Failed}) {
        record.state = state;
        EXPECT_TRUE(madeBeforeCopyEnded(record, 4)) << state;
    }
    record.state = Installing;  // a new copy runs: input is aimed at it
    EXPECT_FALSE(madeBeforeCopyEnded(record, 4));
}

// Windows hands posted messages out before input. A "Cancel installation" click or Escape made
// just before the copy ended is handled after its end message, on the Complete screen, where
// the same spot launches the game or closes the installer.
TEST(Window, ClicksAndKeysMadeBeforeTheCopyEndedAreDropped) {
    ScratchFolder scratch(L"late");
    const std::wstring game = scratch / L"Lumivex Orrendale\\game";
    ASSERT_TRUE(testing_support::makeFolders(game));
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    live.record.patchPresent = true;
    live.record.candidates.push_back(GameCandidate{game, 0, 0, 0});
    live.record.state = Installing;
    live.record.copyJob = std::make_unique<InstallJob>();
    live.record.copyJob->succeeded = 1;
    PostMessageW(live.hwnd, WM_APP_COPY_DONE, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return live.record.state == Complete; }, 5000));
    ASSERT_TRUE(live.record.copyEnded);

    // The messages below are sent, so they carry the time of the last message taken from the
    // queue; moving the copy's end around that time makes them early or late.
    const DWORD now = static_cast<DWORD>(GetMessageTime());
    const LayoutRect primary = centre(kReady.primaryButton);  // "Cancel installation" was here
    const LayoutRect close = centre(kComplete.closeButton);
    BoxWatcher boxes(IDOK);  // Lumivex.exe is missing: a launch says so in a box
    live.record.copyEndedAt = now + 400;
    live.clickAt(primary.left, primary.top);
    live.clickAt(close.left, close.top);
    live.send(WM_KEYDOWN, VK_RETURN);
    live.send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(IsWindow(live.hwnd));
    EXPECT_EQ(live.record.state, Complete);

    live.record.copyEndedAt = now;  // made once the copy had ended: they act
    live.clickAt(primary.left, primary.top);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text.rfind(textsFor(2)[TextSlot::gameExeNotFound], 0), 0u);
    live.send(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(boxes.boxes().size(), 2u);
    live.send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(IsWindow(live.hwnd));
}

TEST(Window, MinimumTrackSizeFromTheWorkArea) {
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(live.hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
    const SIZE expected = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                           monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(live.hwnd));
    MINMAXINFO info{};
    info.ptMaxTrackSize = {4321, 1234};
    info.ptMaxSize = {999, 888};
    EXPECT_EQ(live.send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, expected.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, expected.cy);
    EXPECT_EQ(info.ptMaxTrackSize.x, 4321);
    EXPECT_EQ(info.ptMaxSize.y, 888);
}

TEST(Window, DpiChangeMovesToTheSuggestedRectangle) {
    LiveWindow live(2);
    ASSERT_TRUE(live.hwnd);
    RECT suggested{40, 30, 40 + 1400, 30 + 960};
    live.send(WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    GetWindowRect(live.hwnd, &now);
    EXPECT_EQ(now.left, 40);
    EXPECT_EQ(now.top, 30);
    EXPECT_EQ(now.right - now.left, 1400);
    EXPECT_EQ(now.bottom - now.top, 960);
    EXPECT_EQ(live.send(WM_ERASEBKGND, 0, 0), 1);
}
