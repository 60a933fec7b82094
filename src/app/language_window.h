#pragma once
#include <windows.h>

#include "app/texts.h"

// Asks for the interface language: 0, 1 or 2, or -1 when the window was closed without a choice.
LanguageId chooseLanguage(HINSTANCE instance);
