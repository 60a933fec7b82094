#pragma once
#include <windows.h>

#include "app/product.h"
#include "app/texts.h"
#include "ui/layout.h"

// Asks for the interface language: 0, 1 or 2, or -1 when the window was closed without a choice.
LanguageId chooseLanguage(HINSTANCE instance);
LRESULT CALLBACK languageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

constexpr float kLanguageCanvasWidth = 650.0f;
constexpr float kLanguageCanvasHeight = 280.0f;

// Pixels per layout unit for a client area of cw by ch pixels at the given DPI.
float languageWindowScale(int clientWidth, int clientHeight, UINT dpi);
// Where the painter puts language button 0..2 and the heading, in layout units.
LayoutRect languageButtonRect(int button);
LayoutRect languageHeadingRect(float canvasWidth);
// The button (0..2) under a point in layout units, or -1; edges belong to the button.
int languageButtonAt(float x, float y);
// The language a key picks: 0..2, -1 for Escape, -2 for a key that does nothing.
int languageForKey(WPARAM virtualKey);
