// The process: command line, place check, background picture, window placement, run and shutdown.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>

#include "app/handles.h"
#include "app/texts.h"
#include "detect/paths.h"

struct CommandLineOptions {
    bool languageGiven = false;
    LanguageId language = 0;
    WidePath destOverride;
};

// The decoded background picture and the stream (over a copy of the resource) it reads from.
// The picture goes before its stream: see releaseBackgroundImage.
struct BackgroundImage {
    ComPtr<IStream> stream;
    ImagePtr image;
    // Which load this is: a picture decoded later may get the address of a freed one.
    std::uint32_t serial = 0;
};

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

CommandLineOptions parseCommandLine(const wchar_t* commandLine);
WidePath executablePath();
bool isRunningFromTemp(const WidePath& exePath);
int backgroundResourceId(DWORD tickCount, DWORD counterLow);
void loadBackgroundImage(BackgroundImage& holder, HINSTANCE instance);
void releaseBackgroundImage(BackgroundImage& holder);
int systemDpi();
// Registers one of the installer's window classes: redrawn on resize, the program's icon in both
// sizes, the arrow cursor, no background brush (every paint covers the client area).
void registerWindowClass(HINSTANCE instance, WNDPROC procedure, const wchar_t* className);
// Outer placement from a client size in 1/96 inch, centred on the primary work area.
WindowRect initialWindowRect(int clientWidth, int clientHeight, DWORD style, int minWidth, int minHeight);
WindowRect placeWindow(int outerWidth, int outerHeight, const RECT& workArea, int dpi, int minWidth,
                       int minHeight);
// The whole run of the installer; returns the exit code.
int runInstaller(HINSTANCE instance, int showCommand);
