// The keyboard focus of the two drawn windows: which button has it, where Tab, Shift+Tab and the
// arrows move it, and what Space and Enter press. Only decisions over values live here; the
// windows apply them (repaint, press the button, tell screen readers).
//
// The focus starts on no button, so a window looks and behaves as it always did until a key moves
// the focus; the ring is drawn only around a focused button. The mouse never moves the focus.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/main_window.h"

// The installer window's buttons that react now, in reading order: the language pills, the mute
// button, then the card's buttons from top to bottom, left to right.
std::vector<ButtonId> focusOrder(const MainWindow& window);

// The next position among count buttons, wrapping around; from none (-1) forward lands on the
// first and backward on the last. -1 when there is nothing to focus.
int stepFocus(int count, int current, bool forward);

// Where the focus belongs after the window's state changed: it stays on a button that still
// reacts; from one that disappeared or stopped reacting it goes to the main button, or to
// "Choose folder" where the main button does not react either. Never onto a button that does
// nothing.
ButtonId keptFocus(const MainWindow& window, ButtonId focused);

// What a key does to the focus.
struct FocusKey {
    bool handled = false;             // the key belongs to the focus: the window's other keys skip it
    ButtonId focus = ButtonId::None;  // the focused button afterwards
    ButtonId press = ButtonId::None;  // pressed as a click on it would press it
};
// Tab and Shift+Tab move the focus; Space presses the focused button, and so does Enter when a
// button has the focus; Left and Right step the detected locations whenever their buttons react.
FocusKey mainWindowFocusKey(const MainWindow& window, ButtonId focused, WPARAM key, bool shift);

// The language window's three buttons (0..2): Tab, Shift+Tab, Left and Right move the focus
// (-1: none); Space, and Enter with a focused button, pick its language; the picking keys of
// languageForKey keep their meaning.
struct LanguageKey {
    int focus = -1;
    int pick = -2;  // as languageForKey: 0..2, -1 to close without a choice, -2 nothing
};
LanguageKey languageWindowKey(int focused, WPARAM key, bool shift);
