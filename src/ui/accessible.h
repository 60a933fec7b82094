// What a screen reader finds in a window that draws everything itself: an IAccessible for the
// client area whose children (ids 1..N, simple elements) are the buttons, texts and progress bar
// the window draws, and the WinEvents that tell a reader what changed.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One thing the window draws, as a screen reader sees it.
struct ScreenItem {
    int key = 0;                         // which element it is, the same across changes
    LONG role = ROLE_SYSTEM_STATICTEXT;  // ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_PROGRESSBAR ...
    std::wstring name;                   // exactly the text drawn (or what the button does)
    LONG state = 0;                      // STATE_SYSTEM_* bits
    RECT bounds{};                       // in client pixels
    std::wstring value;                  // the progress bar's percentage
    std::wstring action;                 // a button's default action; empty: it does not react
    bool announce = false;               // says how the copy ended: read out as soon as it shows
};
using ScreenItems = std::vector<ScreenItem>;

// Reads what a window draws now; called on the window's thread whenever a reader asks.
using ScreenReader = std::function<ScreenItems()>;

struct ScreenEvent {
    DWORD event;  // EVENT_OBJECT_NAMECHANGE ...
    LONG child;   // 1..N, or CHILDID_SELF
};

struct Announcement {
    std::vector<ScreenEvent> events;
    // What readers have now been told; a value change that was not due yet keeps its old value,
    // so it is announced by a later call.
    ScreenItems told;
};

// The events that take a reader from `told` to `now`: the client's children reordered when
// elements came or went, name and state changes of the elements that stayed, value changes when
// valueDue (progress is announced at most a few times a second), a focus event for the button
// that took the keyboard focus, and an alert for an element
// that announces (how the copy ended) when it appears or its text changes.
Announcement announceChanges(const ScreenItems& told, const ScreenItems& now, bool valueDue);

// The IAccessible of a window's client area. The window keeps one reference and disconnects it
// when it is destroyed: from then on every call fails with CO_E_OBJNOTCONNECTED, whoever still
// holds a reference.
class AccessibleScreen final : public IAccessible {
public:
    AccessibleScreen(HWND hwnd, ScreenReader reader);
    AccessibleScreen(const AccessibleScreen&) = delete;
    AccessibleScreen& operator=(const AccessibleScreen&) = delete;
    void disconnect();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    ~AccessibleScreen() = default;
    friend struct std::default_delete<AccessibleScreen>;
    // The element a child id names (nullptr for the client itself), or an error for a bad id.
    HRESULT find(const VARIANT& child, const ScreenItems& items, const ScreenItem** item) const;
    HRESULT text(const VARIANT& child, std::wstring ScreenItem::*field, BSTR* out) const;

    LONG references_ = 1;
    HWND hwnd_;
    ScreenReader reader_;
};
