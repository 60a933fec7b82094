// What the installer adds beside each of its drawn windows without changing anything drawn:
// the accessible object of the client area, the WinEvents that announce changes to screen
// readers, and (main window) the copy's progress on the taskbar button.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/accessible.h"
#include "ui/taskbar.h"

struct ScreenSource {
    ScreenReader items;                        // what the window draws now
    std::function<TaskbarProgress()> taskbar;  // empty: the window shows nothing on its taskbar button
};

struct WindowExtras;

// Before the window's own handling: answers WM_GETOBJECT for the client area with its accessible
// object, and takes the taskbar button when the shell says it exists. True when answered.
bool extrasBeforeMessage(std::shared_ptr<WindowExtras>& extras, HWND hwnd, UINT message, WPARAM wParam,
                         LPARAM lParam, const ScreenSource& source, LRESULT& result);
// After it: announces what changed on the screen, keeps the taskbar button in step, and lets go
// of both when the window is destroyed.
void extrasAfterMessage(std::shared_ptr<WindowExtras>& extras, HWND hwnd, UINT message, const ScreenSource& source);

// A window procedure's handling of one message with the extras around it. `extras` lives in the
// window's record (made on first use); `handle` is the window's own handling.
template <typename Handle>
LRESULT withWindowExtras(std::shared_ptr<WindowExtras>& extras, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         const ScreenSource& source, Handle handle) {
    LRESULT result = 0;
    if (extrasBeforeMessage(extras, hwnd, message, wParam, lParam, source, result)) return result;
    result = handle();
    extrasAfterMessage(extras, hwnd, message, source);
    return result;
}

// The message the shell sends once a window's taskbar button exists.
UINT taskbarButtonCreatedMessage();
