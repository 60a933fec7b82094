#include "ui/window_extras.h"

#include <vector>

namespace {

// Progress is announced at most four times a second: a reader would talk of nothing else.
constexpr DWORD kValueEventSpacingMs = 250;

struct ReleaseInterface {
    void operator()(IUnknown* object) const { object->Release(); }
};

}  // namespace

struct WindowExtras {
    explicit WindowExtras(HWND window, ScreenSource from) : hwnd(window), source(std::move(from)) {}
    WindowExtras(const WindowExtras&) = delete;
    WindowExtras& operator=(const WindowExtras&) = delete;
    ~WindowExtras() { close(); }

    // The window is going: whoever still holds the accessible object gets CO_E_OBJNOTCONNECTED
    // from now on, and COM lets go of the references other processes hold.
    void close() {
        closed = true;
        if (accessible) {
            accessible->disconnect();
            CoDisconnectObject(static_cast<IAccessible*>(accessible.get()), 0);
            accessible.reset();
        }
        taskbar.reset();
    }

    HWND hwnd;
    ScreenSource source;
    bool closed = false;
    std::unique_ptr<AccessibleScreen, ReleaseInterface> accessible;  // made at the first WM_GETOBJECT
    ScreenItems told;                                                  // what readers were last told
    DWORD lastValueEvent = 0;
    std::unique_ptr<TaskbarButton> taskbar;  // once the shell made the button
};

namespace {

// The extras of this window: a record that outlived an earlier window starts afresh.
WindowExtras& extrasOf(std::shared_ptr<WindowExtras>& extras, HWND hwnd, const ScreenSource& source) {
    if (!extras || extras->hwnd != hwnd) {
        extras = std::make_shared<WindowExtras>(hwnd, source);
        extras->told = extras->source.items();
    }
    return *extras;
}

void takeTaskbarButton(WindowExtras& extras) {
    if (!extras.source.taskbar) return;
    extras.taskbar.reset();
    if (std::unique_ptr<TaskbarSink> sink = makeTaskbarSink())
        extras.taskbar = std::make_unique<TaskbarButton>(extras.hwnd, std::move(sink));
}

}  // namespace

UINT taskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

bool extrasBeforeMessage(std::shared_ptr<WindowExtras>& extras, HWND hwnd, UINT message, WPARAM wParam,
                         LPARAM lParam, const ScreenSource& source, LRESULT& result) {
    WindowExtras& own = extrasOf(extras, hwnd, source);
    if (own.closed) return false;
    if (message == WM_GETOBJECT && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
        if (!own.accessible)
            own.accessible.reset(std::make_unique<AccessibleScreen>(hwnd, own.source.items).release());
        result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(own.accessible.get()));
        return true;
    }
    if (message == WM_CREATE && own.source.taskbar) {
        // An installer restarted as administrator would otherwise never hear from the shell,
        // which runs at a lower integrity level.
        ChangeWindowMessageFilterEx(hwnd, taskbarButtonCreatedMessage(), MSGFLT_ALLOW, nullptr);
    }
    if (message == taskbarButtonCreatedMessage()) takeTaskbarButton(own);
    return false;
}

void extrasAfterMessage(std::shared_ptr<WindowExtras>& extras, HWND hwnd, UINT message, const ScreenSource& source) {
    WindowExtras& own = extrasOf(extras, hwnd, source);
    if (own.closed) return;
    if (message == WM_DESTROY || message == WM_NCDESTROY) {
        own.close();
        return;
    }
    const DWORD now = GetTickCount();
    Announcement announcement =
        announceChanges(own.told, own.source.items(), now - own.lastValueEvent >= kValueEventSpacingMs);
    own.told = std::move(announcement.told);
    for (const ScreenEvent& event : announcement.events)
        if (event.event == EVENT_OBJECT_VALUECHANGE) own.lastValueEvent = now;
    if (own.taskbar) own.taskbar->show(own.source.taskbar());
    // Last: a hook inside this process runs during the call and may send the window messages.
    for (const ScreenEvent& event : announcement.events) NotifyWinEvent(event.event, hwnd, OBJID_CLIENT, event.child);
}
