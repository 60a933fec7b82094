// The installer screen, painted from the MainWindow record alone. Everything goes into a fresh
// off-screen bitmap that is copied to the window in one BitBlt, so nothing flickers.
#include "ui/paint.h"

#include <algorithm>
#include <string>

#include "audio/music.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/screen_text.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

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
        drawText(g, window.fontFamily, size, bold ? boldTextOffset : regularTextOffset, s,
                 bold ? FontStyleBold : FontStyleRegular, colour, rect, alignment, trimming);
    }
    bool hovered(ButtonId id) const { return window.hoverId == id; }

    void background() const {
        GpImage* image = window.background.image;
        UINT iw = 0, ih = 0;
        if (image && GdipGetImageWidth(image, &iw) == Ok && GdipGetImageHeight(image, &ih) == Ok && iw && ih) {
            const float s = std::max(W / iw, H / ih);
            GdipDrawImageRect(g, image, (W - iw * s) / 2, (H - ih * s) / 2, iw * s, ih * s);
            return;
        }
        BrushPtr gradient(makeGradientBrush(0, 0, W, H, 0xFFFFFAFC, 0xFFF7E7F0));
        if (gradient) GdipFillRectangle(g, gradient.get(), 0, 0, W, H);
    }

    void card() const {
        const LayoutRect& c = layout.card;
        fillRoundRect(g, {c.left + 5, c.top + 8, c.width, c.height}, 22, 0x2A4E3348);
        fillRoundRect(g, c, 22, 0xE8FFFBFD);
        strokeRoundRect(g, c, 22, 0x9BFFFFFF);
        label(text[subtitle], 14, false, 0xFF6F5973, layout.subtitleLine);
        label(text[gameTitle], window.language == 2 ? 25.0f : 37.0f, true, 0xFF41314B, layout.titleLine);
        fillRect(g, {50, c.top + 106, 62, 3}, 0xFFF1719E);
    }

    void patchBox() const {
        const LayoutRect& b = layout.patchBox;
        fillRoundRect(g, b, 14, 0xCDFFFFFF);
        strokeRoundRect(g, b, 14, 0x64E6CAD7);
        BrushPtr dot = makeSolidBrush(window.patchPresent ? 0xFF3DB784 : 0xFFE85B76);
        if (dot) GdipFillEllipse(g, dot.get(), b.left + 16, b.top + 19, 10, 10);
        label(text[window.patchPresent ? patchFound : patchNotFound], 15, true, 0xFF413648, layout.patchLine);
        label(patchDetailText(window), 12, false, 0xE16B5F71, layout.patchDetailLine);
        if (!window.patchPresent)
            drawButton(window, g, layout.openAppFolderButton, text[openAppFolder], hovered(OpenAppFolder), true);
    }

    void locationBox() const {
        label(text[installLocation], 13, false, 0xE169586E, layout.locationLabel);
        const LayoutRect& b = layout.locationBox;
        fillRoundRect(g, b, 14, 0xCDFFFFFF);
        strokeRoundRect(g, b, 14, 0x64E6CAD7);
        const GameCandidate* selected = selectedCandidate(window);
        label(text[sourceLineSlot(window)], 12, true, selected ? 0xFF2B8B69 : 0xFFB5691F, layout.sourceLine);
        if (selected)
            label(selected->folder, 12, false, 0xF543394B, layout.folderLine, StringAlignmentNear,
                  StringTrimmingEllipsisPath);
        if (window.candidates.size() < 2) return;
        label(locationCounterText(window), 10, false, 0xBE716375, layout.counterLine);
        drawArrowButton(g, layout.prevButton, ArrowDirection::Left, hovered(PrevLocation));
        drawArrowButton(g, layout.nextButton, ArrowDirection::Right, hovered(NextLocation));
    }

    void folderButtons() const {
        drawButton(window, g, layout.chooseFolderButton, text[chooseFolder], hovered(ChooseFolder), true);
        drawButton(window, g, layout.detectAgainButton, text[detectAgain], hovered(DetectAgain), false);
    }

    void statusLine() const {
        const StatusLine line = statusLineFor(window);
        label(line.text, 12, false, line.colour, layout.statusLine);
    }

    void progressBar() const {
        if (window.state != Installing && window.state != Complete) return;
        const LayoutRect& bar = layout.progressBar;
        fillRoundRect(g, bar, 4, 0x7DE0CFD7);
        const float fraction = shownPerMille(window) / 1000.0f;
        // A fill narrower than its two corners gets smaller corners, so it never bulges out of the track.
        const float width = bar.width * fraction;
        if (width > 0) fillRoundRect(g, {bar.left, bar.top, width, 8}, std::min(4.0f, width / 2), 0xFFF1719E);
    }

    void primaryButton() const {
        const bool enabled = primaryButtonEnabled(window);
        const LayoutRect& b = layout.primaryButton;
        fillRoundRect(g, {b.left + 2, b.top + 5, b.width, b.height}, 15, 0x225B364E);
        ARGB body = 0xB4D2CAD2;
        if (window.state == Installing) {
            body = hovered(Primary) ? 0xF5E05972 : 0xE6C64865;
        } else if (enabled) {
            body = hovered(Primary) ? 0xFFF97EA9 : 0xFFEC699A;
        }
        fillRoundRect(g, b, 15, body);
        label(text[primaryCaptionSlot(window.state)], 16, true, enabled ? 0xFFFFFFFF : 0x96FFFFFF, b,
              StringAlignmentCenter);
        if (window.state == Complete)
            drawButton(window, g, layout.closeButton, text[closeInstaller], hovered(CloseInstaller), false);
    }

    void footer() const {
        label(footerText(window.language), 10, false, 0xBE706074, layout.footerLine);
    }

    void languageGroup() const {
        const LayoutRect& first = layout.langSimplifiedButton;
        const LayoutRect group{first.left - 7, first.top - 5, layout.langEnglishButton.right() - first.left + 14,
                               first.height + 10};
        fillRoundRect(g, group, 13, 0xE1FFFFFF);
        strokeRoundRect(g, group, 13, 0x5FE8CCD8);
        drawLanguagePill(window, g, layout.langSimplifiedButton, kPillLabels[0], 0, LangSimplified);
        drawLanguagePill(window, g, layout.langTraditionalButton, kPillLabels[1], 1, LangTraditional);
        drawLanguagePill(window, g, layout.langEnglishButton, kPillLabels[2], 2, LangEnglish);
    }

    void muteButton() const {
        const LayoutRect& b = layout.musicButton;
        fillRoundRect(g, b, 11, hovered(MusicToggle) ? 0xFAFFEBF3 : 0xE1FFFFFF);
        strokeRoundRect(g, b, 11, 0x5FE8CCD8);
        const bool deviceOpen = window.music && window.music->waveOut;
        const ARGB iconColour = deviceOpen ? 0xFF4C3A53 : 0xB48E8491;
        const float px = b.left + 7, cy = b.top + b.height * 0.5f;
        const PointF speaker[6] = {PointF(px, cy - 3),      PointF(px + 5, cy - 3), PointF(px + 11, cy - 9),
                                   PointF(px + 11, cy + 9), PointF(px + 5, cy + 3), PointF(px, cy + 3)};
        if (BrushPtr brush = makeSolidBrush(iconColour)) GdipFillPolygon(g, brush.get(), speaker, 6, FillModeAlternate);
        if (deviceOpen && !window.music->muted) {
            if (PenPtr pen = makePen(iconColour, 1.8f)) {
                GdipDrawArc(g, pen.get(), px + 8, cy - 7, 10, 14, -45, 90);
                GdipDrawArc(g, pen.get(), px + 7, cy - 11, 18, 22, -48, 96);
            }
        } else if (PenPtr cross = makePen(0xFFE04A6F, 2.0f)) {
            GdipDrawLine(g, cross.get(), px + 17, cy - 5, px + 25, cy + 5);
            GdipDrawLine(g, cross.get(), px + 25, cy - 5, px + 17, cy + 5);
        }
    }
};

}  // namespace

void renderMainWindowAtDpi(const MainWindow& window, HDC target, int width, int height, UINT dpi) {
    const int w = std::max(width, 1), h = std::max(height, 1);
    OffscreenBitmap canvas(target, w, h);
    if (!canvas.ready()) return;
    {
        GpGraphics* rawGraphics = nullptr;
        if (GdipCreateFromHDC(canvas.dc, &rawGraphics) == Ok) {
            GraphicsPtr graphics(rawGraphics);
            GdipSetSmoothingMode(rawGraphics, SmoothingModeAntiAlias);
            GdipSetInterpolationMode(rawGraphics, InterpolationModeHighQualityBicubic);
            GdipSetTextRenderingHint(rawGraphics, TextRenderingHintClearTypeGridFit);
            const float scale = scaleFor(static_cast<float>(w), static_cast<float>(h), static_cast<float>(dpi));
            GdipScaleWorldTransform(rawGraphics, scale, scale, MatrixOrderPrepend);

            const float W = w / scale, H = h / scale;
            const bool traditional = window.language == 1;
            Painter painter{window,
                            rawGraphics,
                            textsFor(window.language),
                            computeLayout(W, H, window.state),
                            W,
                            H,
                            traditional ? 0.6f : 0.0f,
                            traditional ? 0.28f : 0.0f};
            painter.background();
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
        }
    }
    canvas.present();
}

void renderMainWindow(const MainWindow& window, HDC target, int width, int height) {
    renderMainWindowAtDpi(window, target, width, height, windowDpi(window.hwnd));
}

void paintMainWindow(const MainWindow& window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window.hwnd, &ps);
    RECT client{};
    GetClientRect(window.hwnd, &client);
    if (dc) renderMainWindow(window, dc, client.right - client.left, client.bottom - client.top);
    EndPaint(window.hwnd, &ps);
}
