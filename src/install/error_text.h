#pragma once
#include <windows.h>

#include <string>

// The system's text for a Win32 error followed by " (0x%08lX)".
std::wstring systemErrorText(DWORD code);
