// The installer window's record, its states and its input handling.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/handles.h"
#include "app/product.h"
#include "app/startup.h"
#include "app/texts.h"
#include "detect/detection.h"
#include "install/copy_worker.h"
#include "ui/paint.h"
#include "ui/window_extras.h"

struct MusicPlayer;

enum InstallerState : std::int32_t { Ready = 0, Installing = 1, Complete = 2, Cancelled = 3, Failed = 4 };

// Scoped: the buttons share their names with text slots but for the case of one letter.
enum class ButtonId : std::int32_t {
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

// The installer's state. It owns its font family, picture, copy job and worker thread; its end
// waits for a running worker (see destroyMainWindowRecord).
struct MainWindow {
    MainWindow() = default;
    ~MainWindow();
    MainWindow(MainWindow&&) = default;  // only before its window exists: the window keeps its address
    MainWindow& operator=(const MainWindow&) = delete;

    HINSTANCE hInstance = nullptr;
    HWND hwnd = nullptr;
    LanguageId language = 0;
    MusicPlayer* music = nullptr;
    FontFamilyPtr fontFamily;
    BackgroundImage background;
    // The picture scaled for the last paint; freed with the record.
    PictureCache pictureCache;
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
    ButtonId hoverId = ButtonId::None;
    bool trackingLeave = false;
    // The button the keyboard has reached (ui/keyboard_focus.h); None until a key moves it.
    ButtonId focusId = ButtonId::None;
    std::unique_ptr<InstallJob> copyJob;
    ThreadHandle workerThread;
    // The installer runs as administrator (filled at start-up): a folder it cannot write is then
    // not a matter of rights that a restart could fix.
    bool elevated = false;
    // When the last copy ended (the time of its WM_APP_COPY_DONE): see madeBeforeCopyEnded.
    bool copyEnded = false;
    DWORD copyEndedAt = 0;
    // Accessible object, announcements and taskbar button, while the window exists.
    WindowExtrasPtr extras;
};

bool hasValidSelection(const MainWindow& window);
const GameCandidate* selectedCandidate(const MainWindow& window);
// Caption of every message box: the current language's window title.
int showMessage(const MainWindow& window, const std::wstring& text, UINT style);

void registerMainWindowClass(HINSTANCE instance);
HWND createMainWindow(MainWindow& window, const WindowRect& rect);
LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT handleMessage(MainWindow& window, UINT message, WPARAM wParam, LPARAM lParam);
// Layout units to client pixels: max(0.65, min(w / 920, h / 620, dpi / 96)); a size that is not
// positive drops out of the minimum.
float renderScale(HWND hwnd, int clientWidth, int clientHeight);
float scaleFor(float clientWidth, float clientHeight, float dpi);
// The main button reacts (and is drawn enabled) while installing, when complete, or when there is
// a patch and a selected folder.
bool primaryButtonEnabled(const MainWindow& window);
// Whether a button currently reacts to the mouse in the window's state.
bool buttonActive(const MainWindow& window, ButtonId id);
// The button under a point in layout units on a canvas of the given size, or None.
ButtonId hitTest(const MainWindow& window, float x, float y, float canvasWidth, float canvasHeight);
// The button under a point in client pixels of the window.
ButtonId hitTestClientPoint(const MainWindow& window, int x, int y);
// Smallest track size in pixels: the design size at the DPI, but never more than the work area
// (at least 656 by 516) less 16 pixels.
SIZE minimumTrackSize(int workWidth, int workHeight, UINT dpi);
void setLanguage(MainWindow& window, LanguageId language);
// Whether input made at inputTime (a message time) came before the end of the last copy, though
// it is handled after it: Windows hands posted messages out before input, so a "Cancel
// installation" click made just before the copy ended reaches the window after the end. Such
// clicks and Enter/Escape keys were aimed at the installing screen and must not launch the game
// or close the window that replaced it. Bounded to a minute so tick-count wrap-around cannot
// make later input look early.
bool madeBeforeCopyEnded(const MainWindow& window, DWORD inputTime);
void invalidate(const MainWindow& window);
// Frees everything the record owns: joins a running copy first.
void destroyMainWindowRecord(MainWindow& window);
