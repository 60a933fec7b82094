// The installer window's record, its states and its input handling.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/startup.h"
#include "app/texts.h"
#include "detect/detection.h"

struct MusicPlayer;
struct InstallJob;

enum InstallerState : std::int32_t { Ready = 0, Installing = 1, Complete = 2, Cancelled = 3, Failed = 4 };

enum ButtonId : std::int32_t {
    None = 0,
    LangSimplified = 1,
    LangTraditional = 2,
    LangEnglish = 3,
    MusicToggle = 4,
    ChooseFolder = 5,
    DetectAgain = 6,
    PrevLocation = 7,
    NextLocation = 8,
    Primary = 9,
    CloseInstaller = 10,
    OpenAppFolder = 11,
};

struct MainWindow {
    HINSTANCE hInstance = nullptr;
    HWND hwnd = nullptr;
    LanguageId language = 0;
    MusicPlayer* music = nullptr;
    Gdiplus::GpFontFamily* fontFamily = nullptr;
    BackgroundImage background;
    WidePath exePath;
    WidePath appFolder;
    WidePath patchPath;
    WidePath destOverride;
    WidePath manualFolder;
    CandidateList candidates;
    std::uint32_t selectedIndex = 0;
    bool patchPresent = false;
    std::uint64_t patchSize = 0;
    bool targetHasPatch = false;
    bool targetPatchIdentical = false;
    InstallerState state = Ready;
    std::int32_t progressPerMille = 0;
    std::wstring statusMessage;
    ButtonId hoverId = None;
    bool trackingLeave = false;
    InstallJob* copyJob = nullptr;
    HANDLE workerThread = nullptr;
};

constexpr const wchar_t* kMainWindowClass = L"LumivexPatchInstallerMain";

bool hasValidSelection(const MainWindow& window);
const GameCandidate* selectedCandidate(const MainWindow& window);
// Caption of every message box: the current language's window title.
int showMessage(const MainWindow& window, const std::wstring& text, UINT style);

void registerMainWindowClass(HINSTANCE instance);
HWND createMainWindow(MainWindow& window, const WindowRect& rect);
LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT handleMessage(MainWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
float renderScale(HWND hwnd, int clientWidth, int clientHeight);
float scaleFor(float clientWidth, float clientHeight, float dpi);
ButtonId hitTest(const MainWindow& window, float x, float y, float canvasWidth, float canvasHeight);
void setLanguage(MainWindow& window, LanguageId language);
void invalidate(const MainWindow& window);
// Frees everything the record owns: joins a running copy first.
void destroyMainWindowRecord(MainWindow& window);
