// The installer screen's geometry: the card on the left keeps its design size and is centred
// vertically; spare height (up to 26 units) is spread over the middle rows.
#include "ui/layout.h"

#include <algorithm>
#include <cstdio>

MainLayout computeLayout(float W, float H, InstallerState state) {
    const float CH = std::min(590.0f, H - 56);
    const float TOP = (H - CH) / 2 > 0 ? (H - CH) / 2 : 0;
    const float PW = W * 0.56f < 540 ? W * 0.56f : 540;
    const float E = std::max(CH - 564, 0.0f);

    MainLayout l;
    l.langSimplifiedButton = {W - 254, 26, 58, 36};
    l.langTraditionalButton = {W - 194, 26, 58, 36};
    l.langEnglishButton = {W - 134, 26, 54, 36};
    l.musicButton = {W - 68, 24, 42, 40};
    l.chooseFolderButton = {50, TOP + 333 + 0.35f * E, 154, 40};
    l.detectAgainButton = {214, TOP + 333 + 0.35f * E, 142, 40};
    l.prevButton = {PW - 74, TOP + 242 + 0.15f * E, 30, 30};
    l.nextButton = {PW - 36, TOP + 242 + 0.15f * E, 30, 30};
    if (state == Complete) {
        const float BW = (PW - 54) * 0.6f;
        l.primaryButton = {50, TOP + CH - 117, BW, 52};
        l.closeButton = {60 + BW, TOP + CH - 117, PW - 54 - BW, 52};
    } else {
        l.primaryButton = {50, TOP + CH - 117, PW - 44, 52};
        l.closeButton = {0, 0, 0, 0};
    }
    l.openAppFolderButton = {PW - 156, TOP + 138, 145, 34};
    l.card = {28, TOP, PW, CH};
    l.patchBox = {50, TOP + 119, PW - 44, 72};
    l.locationLabel = {50, TOP + 205 + 0.15f * E, 260, 20};
    l.locationBox = {50, TOP + 229 + 0.15f * E, PW - 44, 92};
    const float Y4 = TOP + 382 + 0.6f * E;
    const float statusHeight = std::max(std::min(TOP + CH - 133 - Y4 - 8, 32.0f), 20.0f);
    l.statusLine = {50, Y4, PW - 44, statusHeight};
    l.progressBar = {50, TOP + CH - 133, PW - 44, 8};

    const LayoutRect& c = l.card;
    l.cardShadow = {c.left + 5, c.top + 8, c.width, c.height};
    l.subtitle = {50, c.top + 19, c.width - 44, 25};
    l.title = {48, c.top + 45, c.width - 42, 54};
    l.titleAccent = {50, c.top + 106, 62, 3};
    l.footer = {50, c.top + c.height - 47, c.width - 44, 22};
    const LayoutRect& p = l.patchBox;
    l.patchDot = {p.left + 16, p.top + 19, 10, 10};
    l.patchHeading = {p.left + 34, p.top + 9, p.width - 48, 28};
    l.patchDetail = {p.left + 34, p.top + 37, p.width - 48, 25};
    const LayoutRect& b = l.locationBox;
    l.locationSource = {b.left + 16, b.top + 8, b.width - 116, 26};
    l.locationFolder = {b.left + 16, b.top + 39, b.width - 32, 39};
    l.locationCounter = {b.left + 16, b.top + b.height - 23, b.width - 130, 18};
    const LayoutRect& primary = l.primaryButton;
    l.primaryShadow = {primary.left + 2, primary.top + 5, primary.width, primary.height};
    const LayoutRect& first = l.langSimplifiedButton;
    l.languageGroup = {first.left - 7, first.top - 5, l.langEnglishButton.right() - first.left + 14, first.height + 10};
    return l;
}

std::wstring formatPatchSize(std::uint64_t bytes) {
    static const wchar_t* const units[] = {L"B", L"KB", L"MB", L"GB", L"TB"};
    wchar_t buffer[64];
    if (bytes < 1024) {
        swprintf(buffer, 64, L"%llu %ls", static_cast<unsigned long long>(bytes), units[0]);
        return buffer;
    }
    double value = static_cast<double>(bytes) / 1024;
    int divisions = 1;
    while (value >= 1024 && divisions < 4) {
        value /= 1024;
        ++divisions;
    }
    swprintf(buffer, 64, L"%.2f %ls", value, units[divisions]);
    return buffer;
}
