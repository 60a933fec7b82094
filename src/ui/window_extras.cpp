#include "ui/window_extras.h"

#include "app/handles.h"
#include "app/system_dll.h"

namespace {

// Progress is announced at most four times a second: a reader would talk of nothing else.
constexpr DWORD kValueEventSpacingMs = 250;

// oleacc.dll is optional: where it or the function is missing, WM_GETOBJECT goes on to the
// window's own handling and from there to DefWindowProc, as in a window without the object.
using LresultFromObjectCall = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
LresultFromObjectCall lresultFromObject() {
    static const auto call = systemFunction<LresultFromObjectCall>(L"oleacc.dll", "LresultFromObject");
    return call;
}

}  // namespace

struct WindowExtras {
    WindowExtras(HWND window, ScreenSource from) : hwnd(window), source(std::move(from)) {}
    WindowExtras(const WindowExtras&) = delete;
    WindowExtras& operator=(const WindowExtras&) = delete;
    // The window is going: whoever still holds the accessible object gets CO_E_OBJNOTCONNECTED
    // from now on, and COM lets go of the references other processes hold.
    ~WindowExtras() {
        if (!accessible) return;
        accessible->disconnect();
        CoDisconnectObject(static_cast<IAccessible*>(accessible.get()), 0);
    }

    HWND hwnd;
    ScreenSource source;
    ScreenItems told;  // what readers were last told; kept only once a reader asked for the object
    DWORD lastValueEvent = 0;
    ComPtr<AccessibleScreen> accessible;     // made at the first WM_GETOBJECT
    std::unique_ptr<TaskbarButton> taskbar;  // once the shell made the button
};

void WindowExtrasDeleter::operator()(WindowExtras* extras) const { std::unique_ptr<WindowExtras> owned(extras); }

WindowExtrasPtr makeWindowExtras(HWND hwnd, ScreenSource source) {
    return WindowExtrasPtr(std::make_unique<WindowExtras>(hwnd, std::move(source)).release());
}

UINT taskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

bool extrasBeforeMessage(WindowExtras& own, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const LresultFromObjectCall answer = message == WM_GETOBJECT ? lresultFromObject() : nullptr;
    if (answer && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT) {
        if (!own.accessible) {
            own.accessible.reset(std::make_unique<AccessibleScreen>(own.hwnd, own.source.items).release());
            own.told = own.source.items();
        }
        result = answer(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(own.accessible.get()));
        return true;
    }
    if (message == WM_CREATE && own.source.taskbar) {
        // An installer restarted as administrator would otherwise never hear from the shell,
        // which runs at a lower integrity level.
        ChangeWindowMessageFilterEx(own.hwnd, taskbarButtonCreatedMessage(), MSGFLT_ALLOW, nullptr);
    }
    if (message == taskbarButtonCreatedMessage() && own.source.taskbar) {
        own.taskbar.reset();
        if (std::unique_ptr<TaskbarSink> sink = makeTaskbarSink())
            own.taskbar = std::make_unique<TaskbarButton>(own.hwnd, std::move(sink));
    }
    return false;
}

void extrasAfterMessage(WindowExtras& own) {
    if (own.taskbar) own.taskbar->show(own.source.taskbar());
    // Until a reader has asked for the accessible object nobody follows the screen's elements:
    // nothing is read or compared. A reader asks as soon as the window takes the focus, and
    // from then on hears every change.
    if (!own.accessible) return;
    const DWORD now = GetTickCount();
    Announcement announcement =
        announceChanges(own.told, own.source.items(), now - own.lastValueEvent >= kValueEventSpacingMs);
    own.told = std::move(announcement.told);
    for (const ScreenEvent& event : announcement.events)
        if (event.event == EVENT_OBJECT_VALUECHANGE) own.lastValueEvent = now;
    // Last, and without touching `own` again: a hook inside this process runs during the call and
    // may send the window messages, even destroy it.
    const HWND hwnd = own.hwnd;
    for (const ScreenEvent& event : announcement.events) NotifyWinEvent(event.event, hwnd, OBJID_CLIENT, event.child);
}
