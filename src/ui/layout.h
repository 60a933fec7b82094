// Where everything on the installer screen sits, in layout units of a 920 by 620 design canvas.
#pragma once
#include <cstdint>
#include <string>

#include "ui/main_window.h"

struct LayoutRect {
    float left = 0, top = 0, width = 0, height = 0;
    float right() const { return left + width; }
    float bottom() const { return top + height; }
    bool contains(float x, float y) const { return left <= x && x <= left + width && top <= y && y <= top + height; }
};

// The 17 rectangles that painting and hit testing share, then the ones only painting uses.
struct MainLayout {
    LayoutRect langSimplifiedButton, langTraditionalButton, langEnglishButton, musicButton;
    LayoutRect chooseFolderButton, detectAgainButton, prevButton, nextButton;
    LayoutRect primaryButton, closeButton, openAppFolderButton;
    LayoutRect card, patchBox, locationLabel, locationBox, statusLine, progressBar;

    LayoutRect cardShadow, subtitle, title, titleAccent, footer;
    LayoutRect patchDot, patchHeading, patchDetail;
    LayoutRect locationSource, locationFolder, locationCounter;
    LayoutRect primaryShadow, languageGroup;
};

MainLayout computeLayout(float canvasWidth, float canvasHeight, InstallerState state);
std::wstring formatPatchSize(std::uint64_t bytes);
