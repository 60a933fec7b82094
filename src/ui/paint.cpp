// The installer screen, painted from the MainWindow record alone. Everything goes into a fresh
// off-screen bitmap that is copied to the window in one BitBlt, so nothing flickers. Only the
// scaled background picture is kept from one paint to the next.
#include "ui/paint.h"

#include <algorithm>
#include <string>

#include "audio/music.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/palette.h"
#include "ui/screen_text.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;
using namespace palette;

namespace {

// A GDI+ graphics on a memory context, set up as every paint draws: antialiased shapes, bicubic
// picture scaling, ClearType text, and layout units scaled to pixels.
GraphicsPtr makeGraphics(HDC dc, float scale) {
    GpGraphics* raw = nullptr;
    if (GdipCreateFromHDC(dc, &raw) != Ok) return nullptr;
    GraphicsPtr graphics(raw);
    GdipSetSmoothingMode(raw, SmoothingModeAntiAlias);
    GdipSetInterpolationMode(raw, InterpolationModeHighQualityBicubic);
    GdipSetTextRenderingHint(raw, TextRenderingHintClearTypeGridFit);
    GdipScaleWorldTransform(raw, scale, scale, MatrixOrderPrepend);
    return graphics;
}

// The picture scaled to cover the W by H canvas, centred, the overflow cut off. False when there is
// no picture, it has no size or GDI+ could not draw it (a 32-bit process short of memory at a large
// size): a picture that did not draw must not be kept as the background.
bool drawPicture(GpGraphics* g, GpImage* image, float W, float H) {
    UINT iw = 0, ih = 0;
    if (!image || GdipGetImageWidth(image, &iw) != Ok || GdipGetImageHeight(image, &ih) != Ok || !iw || !ih)
        return false;
    const float s = std::max(W / iw, H / ih);
    return GdipDrawImageRect(g, image, (W - iw * s) / 2, (H - ih * s) / 2, iw * s, ih * s) == Ok;
}

// A memory context with a given bitmap selected into it; restores and frees the context, not the
// bitmap, on every path.
struct SelectedBitmap {
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    SelectedBitmap(HDC compatibleWith, HBITMAP bitmap) : dc(CreateCompatibleDC(compatibleWith)) {
        if (dc) previous = SelectObject(dc, bitmap);
    }
    ~SelectedBitmap() {
        if (previous) SelectObject(dc, previous);
        if (dc) DeleteDC(dc);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    bool ready() const { return previous != nullptr; }
};

int bitsPerPixel(HBITMAP bitmap) {
    BITMAP info{};
    return GetObjectW(bitmap, sizeof info, &info) ? info.bmBitsPixel : 0;
}

// The picture on a bitmap made as the paint makes its off-screen one and drawn as the paint draws
// it there, first thing. Its edge pixels are filtered against what lies below (the new bitmap's
// black), so only the same start gives the same pixels.
BitmapPtr drawPictureBitmap(HDC target, GpImage* image, int w, int h, float scale) {
    BitmapPtr bitmap(CreateCompatibleBitmap(target, w, h));
    if (!bitmap) return nullptr;
    SelectedBitmap canvas(target, bitmap.get());
    if (!canvas.ready()) return nullptr;
    GraphicsPtr graphics = makeGraphics(canvas.dc, scale);
    if (!graphics || !drawPicture(graphics.get(), image, w / scale, h / scale)) return nullptr;
    return bitmap;
}

// Copies the kept picture into the paint's off-screen bitmap, making it anew first when it was
// made for another size, scale, picture or pixel format. False when there is no picture to copy;
// then the cache is left empty.
bool copyPicture(PictureCache& cache, const BackgroundImage& background, const OffscreenBitmap& canvas, float scale) {
    if (!background.image) {
        cache = PictureCache{};
        return false;
    }
    const PictureKey key{canvas.width,           canvas.height,     scale,
                         background.image.get(), background.serial, bitsPerPixel(canvas.bitmap)};
    if (!cache.bitmap || !(cache.key == key)) {
        cache.bitmap.reset();  // the old picture goes first: never more than one is kept
        cache.bitmap = drawPictureBitmap(canvas.target, background.image.get(), canvas.width, canvas.height, scale);
        cache.key = key;
    }
    if (!cache.bitmap) return false;
    SelectedBitmap picture(canvas.target, cache.bitmap.get());
    return picture.ready() && BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, picture.dc, 0, 0, SRCCOPY);
}


struct Painter {
    const MainWindow& window;
    GpGraphics* g;
    const LocalizedText& text;
    MainLayout layout;
    float W, H;
    float boldTextOffset, regularTextOffset;

    void label(const std::wstring& s, float size, bool bold, ARGB colour, const LayoutRect& rect,
               StringAlignment alignment = StringAlignmentNear,
               StringTrimming trimming = StringTrimmingEllipsisCharacter) const {
        drawText(g, window.fontFamily.get(), size, bold ? boldTextOffset : regularTextOffset, s,
                 bold ? FontStyleBold : FontStyleRegular, colour, rect, alignment, trimming);
    }
    bool hovered(ButtonId id) const { return window.hoverId == id; }

    void background() const {
        if (drawPicture(g, window.background.image.get(), W, H)) return;
        BrushPtr gradient(makeGradientBrush(0, 0, W, H, kBackdropTop, kBackdropBottom));
        if (gradient) GdipFillRectangle(g, gradient.get(), 0, 0, W, H);
    }

    void card() const {
        fillRoundRect(g, layout.cardShadow, 22, kCardShadow);
        fillRoundRect(g, layout.card, 22, kCardFill);
        strokeRoundRect(g, layout.card, 22, kCardOutline);
        label(text[TextSlot::subtitle], 14, false, kSubtitleText, layout.subtitle);
        label(text[TextSlot::gameTitle], window.language == 2 ? 25.0f : 37.0f, true, kTitleText, layout.title);
        fillRect(g, layout.titleAccent, kAccent);
    }

    void patchBox() const {
        const LayoutRect& b = layout.patchBox;
        fillRoundRect(g, b, 14, kBoxFill);
        strokeRoundRect(g, b, 14, kBoxOutline);
        BrushPtr dot = makeSolidBrush(window.patchPresent ? kPatchFoundDot : kPatchMissingDot);
        const LayoutRect& d = layout.patchDot;
        if (dot) GdipFillEllipse(g, dot.get(), d.left, d.top, d.width, d.height);
        label(text[window.patchPresent ? TextSlot::patchFound : TextSlot::patchNotFound], 15, true, kPatchHeadingText,
              layout.patchHeading);
        label(patchDetailText(window), 12, false, kPatchDetailText, layout.patchDetail);
        if (!window.patchPresent)
            drawButton(window, g, layout.openAppFolderButton, text[TextSlot::openAppFolder],
                       hovered(ButtonId::OpenAppFolder), true);
    }

    void locationBox() const {
        label(text[TextSlot::installLocation], 13, false, kLocationLabelText, layout.locationLabel);
        fillRoundRect(g, layout.locationBox, 14, kBoxFill);
        strokeRoundRect(g, layout.locationBox, 14, kBoxOutline);
        const GameCandidate* selected = selectedCandidate(window);
        label(text[sourceLineSlot(window)], 12, true, selected ? kSourceText : kNoFolderText, layout.locationSource);
        if (selected)
            label(selected->folder, 12, false, kFolderText, layout.locationFolder, StringAlignmentNear,
                  StringTrimmingEllipsisPath);
        if (window.candidates.size() < 2) return;
        label(locationCounterText(window), 10, false, kCounterText, layout.locationCounter);
        drawArrowButton(g, layout.prevButton, ArrowDirection::Left, hovered(ButtonId::PrevLocation));
        drawArrowButton(g, layout.nextButton, ArrowDirection::Right, hovered(ButtonId::NextLocation));
    }

    void folderButtons() const {
        drawButton(window, g, layout.chooseFolderButton, text[TextSlot::chooseFolder], hovered(ButtonId::ChooseFolder),
                   true);
        drawButton(window, g, layout.detectAgainButton, text[TextSlot::detectAgain], hovered(ButtonId::DetectAgain),
                   false);
    }

    void statusLine() const {
        const StatusLine line = statusLineFor(window);
        label(line.text, 12, false, line.colour, layout.statusLine);
    }

    void progressBar() const {
        if (window.state != Installing && window.state != Complete) return;
        const LayoutRect& bar = layout.progressBar;
        fillRoundRect(g, bar, 4, kProgressTrack);
        const float fraction = shownPerMille(window) / 1000.0f;
        // A fill narrower than its two corners gets smaller corners, so it never bulges out of the track.
        const float width = bar.width * fraction;
        if (width > 0) fillRoundRect(g, {bar.left, bar.top, width, 8}, std::min(4.0f, width / 2), kAccent);
    }

    void primaryButton() const {
        const bool enabled = primaryButtonEnabled(window);
        fillRoundRect(g, layout.primaryShadow, kPrimaryCornerRadius, kPrimaryShadow);
        const bool hover = hovered(ButtonId::Primary);
        ARGB body = kPrimaryDisabled;
        if (window.state == Installing) {
            body = hover ? kCancelHover : kCancelNormal;
        } else if (enabled) {
            body = hover ? kPrimaryHover : kPrimaryNormal;
        }
        fillRoundRect(g, layout.primaryButton, kPrimaryCornerRadius, body);
        label(text[primaryCaptionSlot(window.state)], 16, true, enabled ? kPrimaryLabel : kPrimaryLabelDisabled,
              layout.primaryButton, StringAlignmentCenter);
        if (window.state == Complete)
            drawButton(window, g, layout.closeButton, text[TextSlot::closeInstaller], hovered(ButtonId::CloseInstaller),
                       false);
    }

    void footer() const {
        label(footerText(window.language), 10, false, kFooterText, layout.footer);
    }

    void languageGroup() const {
        fillRoundRect(g, layout.languageGroup, 13, kCornerFill);
        strokeRoundRect(g, layout.languageGroup, 13, kCornerOutline);
        drawLanguagePill(window, g, layout.langSimplifiedButton, kPillLabels[0], 0, ButtonId::LangSimplified);
        drawLanguagePill(window, g, layout.langTraditionalButton, kPillLabels[1], 1, ButtonId::LangTraditional);
        drawLanguagePill(window, g, layout.langEnglishButton, kPillLabels[2], 2, ButtonId::LangEnglish);
    }

    // Last, over everything: the ring may reach over a neighbouring pill.
    void focusRing() const {
        const struct {
            ButtonId id;
            const LayoutRect& rect;
            float radius;
        } shapes[] = {
            {ButtonId::LangSimplified, layout.langSimplifiedButton, kButtonCornerRadius},
            {ButtonId::LangTraditional, layout.langTraditionalButton, kButtonCornerRadius},
            {ButtonId::LangEnglish, layout.langEnglishButton, kButtonCornerRadius},
            {ButtonId::MusicToggle, layout.musicButton, kMuteCornerRadius},
            {ButtonId::OpenAppFolder, layout.openAppFolderButton, kButtonCornerRadius},
            {ButtonId::PrevLocation, layout.prevButton, kArrowCornerRadius},
            {ButtonId::NextLocation, layout.nextButton, kArrowCornerRadius},
            {ButtonId::ChooseFolder, layout.chooseFolderButton, kButtonCornerRadius},
            {ButtonId::DetectAgain, layout.detectAgainButton, kButtonCornerRadius},
            {ButtonId::Primary, layout.primaryButton, kPrimaryCornerRadius},
            {ButtonId::CloseInstaller, layout.closeButton, kButtonCornerRadius},
        };
        for (const auto& shape : shapes)
            if (shape.id == window.focusId) drawFocusRing(g, shape.rect, shape.radius);
    }

    void muteButton() const {
        const LayoutRect& b = layout.musicButton;
        fillRoundRect(g, b, kMuteCornerRadius, hovered(ButtonId::MusicToggle) ? kMuteHover : kCornerFill);
        strokeRoundRect(g, b, 11, kCornerOutline);
        const bool deviceOpen = window.music && window.music->waveOut;
        const ARGB iconColour = deviceOpen ? kSpeaker : kSpeakerNoDevice;
        const float px = b.left + 7, cy = b.top + b.height * 0.5f;
        const PointF speaker[6] = {PointF(px, cy - 3),      PointF(px + 5, cy - 3), PointF(px + 11, cy - 9),
                                   PointF(px + 11, cy + 9), PointF(px + 5, cy + 3), PointF(px, cy + 3)};
        if (BrushPtr brush = makeSolidBrush(iconColour)) GdipFillPolygon(g, brush.get(), speaker, 6, FillModeAlternate);
        if (deviceOpen && !window.music->muted) {
            if (PenPtr pen = makePen(iconColour, 1.8f)) {
                GdipDrawArc(g, pen.get(), px + 8, cy - 7, 10, 14, -45, 90);
                GdipDrawArc(g, pen.get(), px + 7, cy - 11, 18, 22, -48, 96);
            }
        } else if (PenPtr cross = makePen(kMuteCross, 2.0f)) {
            GdipDrawLine(g, cross.get(), px + 17, cy - 5, px + 25, cy + 5);
            GdipDrawLine(g, cross.get(), px + 25, cy - 5, px + 17, cy + 5);
        }
    }
};

}  // namespace

void renderMainWindowAtDpi(const MainWindow& window, HDC target, int width, int height, UINT dpi,
                           PictureCache* cache) {
    const int w = std::max(width, 1), h = std::max(height, 1);
    OffscreenBitmap canvas(target, w, h);
    if (!canvas.ready()) return;
    const float scale = scaleFor(static_cast<float>(w), static_cast<float>(h), static_cast<float>(dpi));
    const bool pictureCopied = cache && copyPicture(*cache, window.background, canvas, scale);
    if (GraphicsPtr graphics = makeGraphics(canvas.dc, scale)) {
        const float W = w / scale, H = h / scale;
        const bool traditional = window.language == 1;
        Painter painter{window,
                        graphics.get(),
                        textsFor(window.language),
                        computeLayout(W, H, window.state),
                        W,
                        H,
                        traditional ? 0.6f : 0.0f,
                        traditional ? 0.28f : 0.0f};
        if (!pictureCopied) painter.background();
        painter.card();
        painter.patchBox();
        painter.locationBox();
        painter.folderButtons();
        painter.statusLine();
        painter.progressBar();
        painter.primaryButton();
        painter.footer();
        painter.languageGroup();
        painter.muteButton();
        painter.focusRing();
    }
    canvas.present();
}

void renderMainWindow(const MainWindow& window, HDC target, int width, int height, PictureCache* cache) {
    renderMainWindowAtDpi(window, target, width, height, windowDpi(window.hwnd), cache);
}

void paintMainWindow(MainWindow& window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window.hwnd, &ps);
    RECT client{};
    GetClientRect(window.hwnd, &client);
    if (dc) renderMainWindow(window, dc, client.right - client.left, client.bottom - client.top, &window.pictureCache);
    EndPaint(window.hwnd, &ps);
}
