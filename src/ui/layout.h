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

struct MainLayout {
    LayoutRect langSimplifiedButton, langTraditionalButton, langEnglishButton, musicButton;
    LayoutRect chooseFolderButton, detectAgainButton, prevButton, nextButton;
    LayoutRect primaryButton, closeButton, openAppFolderButton;
    LayoutRect card, patchBox, locationLabel, locationBox, statusLine, progressBar;
    // The single lines of text inside the card (the painter and the accessible object share them).
    LayoutRect subtitleLine, titleLine, patchLine, patchDetailLine, sourceLine, folderLine, counterLine, footerLine;
};

MainLayout computeLayout(float canvasWidth, float canvasHeight, InstallerState state);
std::wstring formatPatchSize(std::uint64_t bytes);
