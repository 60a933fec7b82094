// What each of the installer's two windows draws, as its accessible object lists it: the
// texts come from the functions the painters use, the places from the same layouts.
#pragma once
#include <windows.h>

#include "ui/accessible.h"
#include "ui/main_window.h"
#include "ui/window_extras.h"

// Words a reader needs for the buttons that show a symbol instead of a label, and for pressing one.
struct ButtonWords {
    const wchar_t* press;
    const wchar_t* mute;
    const wchar_t* unmute;
    const wchar_t* previous;
    const wchar_t* next;
};
const ButtonWords& buttonWordsFor(LanguageId language);

// The installer screen for a client of the given size at a DPI, in reading order: the card from
// top to bottom, then the language pills and the music button.
ScreenItems mainScreenItems(const MainWindow& window, int clientWidth, int clientHeight, UINT dpi);
// The language window: its heading and the three language buttons (hovered, focused: 0..2 or -1).
ScreenItems languageScreenItems(int hoverIndex, int focusIndex, int clientWidth, int clientHeight, UINT dpi);

ScreenSource mainScreenSource(const MainWindow& window);
// The language window's screen depends only on which button is under the pointer and which one
// has the keyboard focus.
ScreenSource languageScreenSource(HWND hwnd, const int* hoverIndex, const int* focusIndex);
