// The texts of the installer screen that depend on the record, exactly as the painter draws
// them. The accessible object names its children with the same functions, so what a screen
// reader says can never drift from what is on the screen.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <string>

#include "app/texts.h"
#include "ui/main_window.h"

// The pills are labelled in their own script whatever the current language.
extern const wchar_t* const kPillLabels[3];

// Second line of the patch box: the patch's size, or where to put it.
std::wstring patchDetailText(const MainWindow& window);
// First line of the location box: how the selected folder was found, or that none was.
TextSlot sourceLineSlot(const MainWindow& window);
// "Detected locations  2 / 3" under the folder; empty with fewer than two candidates.
std::wstring locationCounterText(const MainWindow& window);
// The main button's caption in the window's state.
TextSlot primaryCaptionSlot(InstallerState state);
std::wstring footerText(LanguageId language);

struct StatusLine {
    std::wstring text;  // empty: nothing to say
    Gdiplus::ARGB colour = 0;
};
StatusLine statusLineFor(const MainWindow& window);

// How full the progress bar is drawn, 0..1000: the copy's per-mille, full once complete.
int shownPerMille(const MainWindow& window);
