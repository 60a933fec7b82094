// What the installer adds beside each of its drawn windows without changing anything drawn:
// the accessible object of the client area, the WinEvents that announce changes to screen
// readers, and (main window) the copy's progress on the taskbar button. The window scaffold
// (ui/window_scaffold.h) runs them around each window's own handling.
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
struct WindowExtrasDeleter {
    void operator()(WindowExtras* extras) const;
};
// Owned by the window's record from WM_NCCREATE to WM_NCDESTROY. Its end disconnects the
// accessible object (whoever still holds it gets CO_E_OBJNOTCONNECTED) and lets go of the taskbar.
using WindowExtrasPtr = std::unique_ptr<WindowExtras, WindowExtrasDeleter>;

WindowExtrasPtr makeWindowExtras(HWND hwnd, ScreenSource source);
// Before the window's own handling: answers WM_GETOBJECT for the client area with its accessible
// object, and takes the taskbar button when the shell says it exists. True when answered.
bool extrasBeforeMessage(WindowExtras& extras, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
// After it: announces what changed on the screen and keeps the taskbar button in step.
void extrasAfterMessage(WindowExtras& extras);

// The message the shell sends once a window's taskbar button exists.
UINT taskbarButtonCreatedMessage();
