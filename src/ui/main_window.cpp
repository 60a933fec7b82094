// The installer window: its procedure, the hit test over the painted layout, keys, button
// actions and the language switch. Every change ends with a full invalidation; WM_PAINT redraws
// everything from the record.
#include "ui/main_window.h"

#include <windowsx.h>
#include <shellapi.h>

#include <algorithm>

#include "audio/music.h"
#include "install/chooser.h"
#include "install/copy_worker.h"
#include "install/launch.h"
#include "install/preflight.h"
#include "ui/draw.h"
#include "ui/keyboard_focus.h"
#include "ui/layout.h"
#include "ui/paint.h"
#include "ui/screen_items.h"
#include "ui/window_scaffold.h"

namespace {

constexpr float kDesignWidth = 920;
constexpr float kDesignHeight = 620;

}  // namespace

bool hasValidSelection(const MainWindow& window) {
    return !window.candidates.empty() && window.selectedIndex < window.candidates.size();
}

const GameCandidate* selectedCandidate(const MainWindow& window) {
    return hasValidSelection(window) ? &window.candidates[window.selectedIndex] : nullptr;
}

int showMessage(const MainWindow& window, const std::wstring& text, UINT style) {
    return MessageBoxW(window.hwnd, text.c_str(), textsFor(window.language)[TextSlot::windowTitle], style);
}

void invalidate(const MainWindow& window) {
    if (window.hwnd) InvalidateRect(window.hwnd, nullptr, FALSE);
}

void registerMainWindowClass(HINSTANCE instance) {
    registerWindowClass(instance, mainWindowProc, kMainWindowClass);
}

HWND createMainWindow(MainWindow& window, const WindowRect& rect) {
    return CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, textsFor(window.language)[TextSlot::windowTitle],
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rect.x, rect.y, rect.width, rect.height, nullptr,
                           nullptr, window.hInstance, &window);
}

float scaleFor(float clientWidth, float clientHeight, float dpi) {
    return canvasScale(clientWidth, clientHeight, kDesignWidth, kDesignHeight, dpi);
}

float renderScale(HWND hwnd, int clientWidth, int clientHeight) {
    return scaleFor(static_cast<float>(clientWidth), static_cast<float>(clientHeight),
                    static_cast<float>(windowDpi(hwnd)));
}

bool primaryButtonEnabled(const MainWindow& window) {
    return window.state == Installing || window.state == Complete ||
           (window.patchPresent && hasValidSelection(window));
}

bool buttonActive(const MainWindow& window, ButtonId id) {
    const bool installing = window.state == Installing;
    switch (id) {
    case ButtonId::LangSimplified:
    case ButtonId::LangTraditional:
    case ButtonId::LangEnglish:
    case ButtonId::MusicToggle:
        return true;
    case ButtonId::ChooseFolder:
    case ButtonId::DetectAgain:
        return !installing;
    case ButtonId::PrevLocation:
    case ButtonId::NextLocation:
        return window.candidates.size() >= 2 && !installing;
    case ButtonId::Primary:
        return primaryButtonEnabled(window);
    case ButtonId::CloseInstaller:
        return window.state == Complete;
    case ButtonId::OpenAppFolder:
        return !window.patchPresent;
    default:
        return false;
    }
}

ButtonId hitTest(const MainWindow& window, float x, float y, float canvasWidth, float canvasHeight) {
    const MainLayout layout = computeLayout(canvasWidth, canvasHeight, window.state);
    // Earlier entries win where rectangles overlap (the close button sits in the main button's row).
    const struct {
        ButtonId id;
        const LayoutRect& rect;
    } order[] = {
        {ButtonId::LangSimplified, layout.langSimplifiedButton},
        {ButtonId::LangTraditional, layout.langTraditionalButton},
        {ButtonId::LangEnglish, layout.langEnglishButton},
        {ButtonId::MusicToggle, layout.musicButton},
        {ButtonId::ChooseFolder, layout.chooseFolderButton},
        {ButtonId::DetectAgain, layout.detectAgainButton},
        {ButtonId::PrevLocation, layout.prevButton},
        {ButtonId::NextLocation, layout.nextButton},
        {ButtonId::CloseInstaller, layout.closeButton},
        {ButtonId::Primary, layout.primaryButton},
        {ButtonId::OpenAppFolder, layout.openAppFolderButton},
    };
    for (const auto& entry : order) {
        if (entry.rect.contains(x, y) && buttonActive(window, entry.id)) return entry.id;
    }
    return ButtonId::None;
}

ButtonId hitTestClientPoint(const MainWindow& window, int x, int y) {
    RECT client{};
    GetClientRect(window.hwnd, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    const float scale = renderScale(window.hwnd, w, h);
    return hitTest(window, x / scale, y / scale, std::max(w, 1) / scale, std::max(h, 1) / scale);
}

SIZE minimumTrackSize(int workWidth, int workHeight, UINT dpi) {
    const int dpiValue = static_cast<int>(dpi);
    return SIZE{std::min(MulDiv(920, dpiValue, 96), std::max(workWidth, 656) - 16),
                std::min(MulDiv(620, dpiValue, 96), std::max(workHeight, 516) - 16)};
}

bool madeBeforeCopyEnded(const MainWindow& window, DWORD inputTime) {
    constexpr LONG kLimitMs = 60000;
    if (!window.copyEnded || window.state == Installing) return false;
    const LONG ahead = static_cast<LONG>(window.copyEndedAt - inputTime);
    return ahead > 0 && ahead < kLimitMs;
}

void setLanguage(MainWindow& window, LanguageId language) {
    if (language == window.language) return;
    window.language = language;
    window.fontFamily = createUiFontFamily(language);
    if (window.hwnd) SetWindowTextW(window.hwnd, textsFor(language)[TextSlot::windowTitle]);
    invalidate(window);
}

namespace {

void closeWindow(MainWindow& window) {
    SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
}

void stepSelection(MainWindow& window, bool forward) {
    const size_t n = window.candidates.size();
    if (n == 0) return;
    const size_t current = window.selectedIndex;
    window.selectedIndex = static_cast<std::uint32_t>(forward ? (current + 1) % n : (current + n - 1) % n);
    refreshTargetFlags(window);
    invalidate(window);
}

void redetect(MainWindow& window) {
    detectGameFolders(window);
    invalidate(window);
}

void runButton(MainWindow& window, ButtonId id) {
    switch (id) {
    case ButtonId::LangSimplified:
        setLanguage(window, 0);
        break;
    case ButtonId::LangTraditional:
        setLanguage(window, 1);
        break;
    case ButtonId::LangEnglish:
        setLanguage(window, 2);
        break;
    case ButtonId::MusicToggle:
        if (window.music) toggleMute(*window.music);
        invalidate(window);
        break;
    case ButtonId::ChooseFolder:
        chooseGameFolder(window);
        break;
    case ButtonId::DetectAgain:
        redetect(window);
        break;
    case ButtonId::PrevLocation:
        stepSelection(window, false);
        break;
    case ButtonId::NextLocation:
        stepSelection(window, true);
        break;
    case ButtonId::Primary:
        if (window.state == Complete) {
            startGame(window);
        } else if (window.state == Installing) {
            requestCancel(window);
        } else {
            startInstall(window);
        }
        break;
    case ButtonId::CloseInstaller:
        closeWindow(window);
        break;
    case ButtonId::OpenAppFolder:
        // A shell that cannot open the folder is not worth a message: the path is next to the patch hint.
        ShellExecuteW(window.hwnd, L"open", window.appFolder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    case ButtonId::None:
        break;
    }
}

// Space, and Enter on a focused button, press it as a click would, with the same guard.
void pressFocused(MainWindow& window, ButtonId id, DWORD time) {
    if (!madeBeforeCopyEnded(window, time)) runButton(window, id);
}

// The navigation keys. A window under a message box or the folder dialog is disabled: keys posted
// to it then must not move the focus or press anything.
bool onFocusKey(MainWindow& window, WPARAM key, DWORD time) {
    if (!IsWindowEnabled(window.hwnd)) return false;
    const FocusKey effect = mainWindowFocusKey(window, window.focusId, key, GetKeyState(VK_SHIFT) < 0);
    if (effect.focus != window.focusId) {
        window.focusId = effect.focus;
        invalidate(window);
    }
    if (effect.press != ButtonId::None) pressFocused(window, effect.press, time);
    return effect.handled;
}

void onKeyDown(MainWindow& window, WPARAM key, DWORD time) {
    if (onFocusKey(window, key, time)) return;
    switch (key) {
    case VK_RETURN:
        if (madeBeforeCopyEnded(window, time)) break;
        if (window.state == Complete) {
            startGame(window);
        } else if (window.state != Installing) {
            startInstall(window);
        }
        break;
    case VK_F5:
        redetect(window);
        break;
    case 'B':
        // The selection names the folder the running copy writes to: it stays until the copy ends.
        if (GetKeyState(VK_CONTROL) < 0 && window.state != Installing) chooseGameFolder(window);
        break;
    case VK_ESCAPE:
        if (madeBeforeCopyEnded(window, time)) break;
        if (window.state == Installing) {
            requestCancel(window);
        } else {
            closeWindow(window);
        }
        break;
    default:
        break;
    }
}

void onClose(MainWindow& window) {
    if (window.state == Installing) {
        const int answer = showMessage(window, textsFor(window.language)[TextSlot::confirmCancelExit],
                                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
        if (answer != IDYES) return;
        requestCancel(window);
    }
    DestroyWindow(window.hwnd);
}

void onMinMaxInfo(MainWindow& window, MINMAXINFO* info) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR handle = MonitorFromWindow(window.hwnd, MONITOR_DEFAULTTONEAREST);
    if (!handle || !GetMonitorInfoW(handle, &monitor)) return;
    const SIZE minimum = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                          monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(window.hwnd));
    info->ptMinTrackSize.x = minimum.cx;
    info->ptMinTrackSize.y = minimum.cy;
}

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchToRecord<MainWindow>(hwnd, message, wParam, lParam, handleMessage, mainScreenSource);
}

namespace {

LRESULT handleWindowMessage(MainWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        invalidate(window);
        return 0;
    case WM_PAINT:
        paintMainWindow(window);
        return 0;
    case WM_CLOSE:
        onClose(window);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (setHandCursor(lParam, window.hoverId != ButtonId::None)) return 1;
        break;
    case WM_GETMINMAXINFO:
        onMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_KEYDOWN:
        onKeyDown(window, wParam, static_cast<DWORD>(GetMessageTime()));
        return 0;
    case WM_MOUSEMOVE:
        trackHover(window.hwnd, window.hoverId, window.trackingLeave,
                   hitTestClientPoint(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_LBUTTONUP:
        // A click made before the copy ended was aimed at buttons that have changed since. Under a
        // message box the window is disabled: a release posted to it (a screen reader's press that
        // was on its way) must not start a second copy or answer the box's question.
        if (IsWindowEnabled(window.hwnd) && !madeBeforeCopyEnded(window, static_cast<DWORD>(GetMessageTime())))
            runButton(window, hitTestClientPoint(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_MOUSELEAVE:
        endHover(window.hwnd, window.hoverId, window.trackingLeave, ButtonId::None);
        return 0;
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window.hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_APP_COPY_PROGRESS:
        window.progressPerMille = static_cast<std::int32_t>(wParam);
        invalidate(window);
        return 0;
    case WM_APP_COPY_DONE:
        if (window.copyJob) {
            window.copyEnded = true;
            window.copyEndedAt = static_cast<DWORD>(GetMessageTime());
        }
        handleCopyDone(window);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window.hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT handleMessage(MainWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = handleWindowMessage(window, message, wParam, lParam);
    // Any message may have changed the state (a copy started or ended, a detection dropped a
    // folder): a focused button that no longer reacts hands the focus on.
    const ButtonId kept = keptFocus(window, window.focusId);
    if (kept != window.focusId) {
        window.focusId = kept;
        invalidate(window);
    }
    return result;
}

void destroyMainWindowRecord(MainWindow& window) {
    stopWorker(window);
    window.exePath.clear();
    window.appFolder.clear();
    window.patchPath.clear();
    window.destOverride.clear();
    window.manualFolder.clear();
    window.statusMessage.clear();
    window.candidates.clear();
    window.candidates.shrink_to_fit();
    window.pictureCache = PictureCache{};
    releaseBackgroundImage(window.background);
    window.fontFamily.reset();
}

MainWindow::~MainWindow() { stopWorker(*this); }
