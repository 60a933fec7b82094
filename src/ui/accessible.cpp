// The client area's IAccessible. Every call reads the window's elements afresh through the
// reader, on the window's thread (a reader in another process reaches it through COM's message
// loop), so names, states and places are always what is drawn at that moment.
#include "ui/accessible.h"

#include <algorithm>
#include <memory>

#include "app/system_dll.h"

namespace {

// Child ids are 1-based positions; CHILDID_SELF (0) is the client itself.
LONG childIdAt(size_t index) { return static_cast<LONG>(index + 1); }

void setChild(VARIANT* out, LONG child) {
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = child;
}

HRESULT stringOut(const std::wstring& text, BSTR* out) {
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

const ScreenItem* findKey(const ScreenItems& items, int key) {
    for (const ScreenItem& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

}  // namespace

Announcement announceChanges(const ScreenItems& told, const ScreenItems& now, bool valueDue) {
    Announcement result;
    result.told = now;
    const bool sameElements =
        told.size() == now.size() &&
        std::equal(told.begin(), told.end(), now.begin(), [](const ScreenItem& a, const ScreenItem& b) {
            return a.key == b.key;
        });
    if (!sameElements) result.events.push_back({EVENT_OBJECT_REORDER, CHILDID_SELF});
    for (size_t i = 0; i < now.size(); ++i) {
        const ScreenItem& item = now[i];
        const LONG child = childIdAt(i);
        const ScreenItem* before = findKey(told, item.key);
        if (before && before->name != item.name) result.events.push_back({EVENT_OBJECT_NAMECHANGE, child});
        if (before && before->state != item.state) result.events.push_back({EVENT_OBJECT_STATECHANGE, child});
        if (before && before->value != item.value) {
            if (valueDue) {
                result.events.push_back({EVENT_OBJECT_VALUECHANGE, child});
            } else {
                result.told[i].value = before->value;
            }
        }
        const bool focusedNow = item.state & STATE_SYSTEM_FOCUSED;
        if (focusedNow && (!before || !(before->state & STATE_SYSTEM_FOCUSED)))
            result.events.push_back({EVENT_OBJECT_FOCUS, child});
        if (item.announce && (!before || !before->announce || before->name != item.name))
            result.events.push_back({EVENT_SYSTEM_ALERT, child});
    }
    return result;
}

AccessibleScreen::AccessibleScreen(HWND hwnd, ScreenReader reader) : hwnd_(hwnd), reader_(std::move(reader)) {}

void AccessibleScreen::disconnect() {
    hwnd_ = nullptr;
    reader_ = nullptr;
}

HRESULT AccessibleScreen::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleScreen::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG AccessibleScreen::Release() {
    const LONG left = InterlockedDecrement(&references_);
    // The last reference owns the object.
    if (left == 0) std::unique_ptr<AccessibleScreen> last(this);
    return static_cast<ULONG>(left);
}

HRESULT AccessibleScreen::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT AccessibleScreen::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT AccessibleScreen::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT AccessibleScreen::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT AccessibleScreen::find(const VARIANT& child, const ScreenItems& items, const ScreenItem** item) const {
    *item = nullptr;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) return S_OK;
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > items.size()) return E_INVALIDARG;
    *item = &items[static_cast<size_t>(child.lVal) - 1];
    return S_OK;
}

HRESULT AccessibleScreen::text(const VARIANT& child, std::wstring ScreenItem::*field, BSTR* out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    if (item) return stringOut((*item).*field, out);
    if (field != &ScreenItem::name) return S_FALSE;
    // The client itself is named like the window: its title in the current language.
    const int length = GetWindowTextLengthW(hwnd_);
    std::wstring title(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    title.resize(static_cast<size_t>(std::max(GetWindowTextW(hwnd_, title.data(), length + 1), 0)));
    return stringOut(title, out);
}

HRESULT AccessibleScreen::get_accParent(IDispatch** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    // Taken from oleacc.dll at run time like LresultFromObject, which handed this object out.
    using CreateStandard = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    static const auto create = systemFunction<CreateStandard>(L"oleacc.dll", "CreateStdAccessibleObject");
    if (!create) return E_NOTIMPL;
    return create(hwnd_, OBJID_WINDOW, __uuidof(IDispatch), reinterpret_cast<void**>(parent));
}

HRESULT AccessibleScreen::get_accChildCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = 0;
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<LONG>(reader_().size());
    return S_OK;
}

HRESULT AccessibleScreen::get_accChild(VARIANT child, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    // Every child is a simple element, answered by this object with its child id.
    return S_FALSE;
}

HRESULT AccessibleScreen::get_accName(VARIANT child, BSTR* name) { return text(child, &ScreenItem::name, name); }
HRESULT AccessibleScreen::get_accValue(VARIANT child, BSTR* value) { return text(child, &ScreenItem::value, value); }
HRESULT AccessibleScreen::get_accDefaultAction(VARIANT child, BSTR* action) {
    return text(child, &ScreenItem::action, action);
}

HRESULT AccessibleScreen::get_accDescription(VARIANT, BSTR* description) {
    if (!description) return E_POINTER;
    *description = nullptr;
    return reader_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleScreen::get_accHelp(VARIANT, BSTR* help) {
    if (!help) return E_POINTER;
    *help = nullptr;
    return reader_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleScreen::get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) {
    if (file) *file = nullptr;
    if (topic) *topic = -1;
    return reader_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleScreen::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) {
    if (!shortcut) return E_POINTER;
    *shortcut = nullptr;
    return reader_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleScreen::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    setChild(role, item ? item->role : ROLE_SYSTEM_CLIENT);
    return S_OK;
}

HRESULT AccessibleScreen::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    VariantInit(state);
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    LONG bits = 0;
    if (item) {
        bits = item->state;
    } else {
        bits = STATE_SYSTEM_FOCUSABLE | (GetFocus() == hwnd_ ? STATE_SYSTEM_FOCUSED : 0);
    }
    setChild(state, bits);
    return S_OK;
}

HRESULT AccessibleScreen::get_accFocus(VARIANT* child) {
    if (!child) return E_POINTER;
    VariantInit(child);
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    if (GetFocus() != hwnd_) return S_FALSE;
    // The button the keyboard has reached, or the client itself while none has.
    const ScreenItems items = reader_();
    LONG focused = CHILDID_SELF;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].state & STATE_SYSTEM_FOCUSED) focused = childIdAt(i);
    setChild(child, focused);
    return S_OK;
}

HRESULT AccessibleScreen::get_accSelection(VARIANT* children) {
    if (!children) return E_POINTER;
    VariantInit(children);
    return reader_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleScreen::accSelect(LONG, VARIANT) { return reader_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED; }

HRESULT AccessibleScreen::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    RECT bounds{};
    if (item) {
        bounds = item->bounds;
    } else {
        GetClientRect(hwnd_, &bounds);
    }
    POINT origin{bounds.left, bounds.top};
    ClientToScreen(hwnd_, &origin);
    *left = origin.x;
    *top = origin.y;
    *width = bounds.right - bounds.left;
    *height = bounds.bottom - bounds.top;
    return S_OK;
}

HRESULT AccessibleScreen::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    VariantInit(end);
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(start, items, &item);
    if (FAILED(found)) return found;
    const LONG count = static_cast<LONG>(items.size());
    LONG target = 0;
    if (!item && direction == NAVDIR_FIRSTCHILD) target = count > 0 ? 1 : 0;
    if (!item && direction == NAVDIR_LASTCHILD) target = count;
    if (item && direction == NAVDIR_NEXT) target = start.lVal < count ? start.lVal + 1 : 0;
    if (item && direction == NAVDIR_PREVIOUS) target = start.lVal - 1;
    if (target <= 0) return S_FALSE;
    setChild(end, target);
    return S_OK;
}

HRESULT AccessibleScreen::accHitTest(LONG x, LONG y, VARIANT* child) {
    if (!child) return E_POINTER;
    VariantInit(child);
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    POINT point{x, y};
    ScreenToClient(hwnd_, &point);
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!PtInRect(&client, point)) return S_FALSE;
    const ScreenItems items = reader_();
    // Later elements are drawn over earlier ones (a button over the text it sits in).
    for (size_t i = items.size(); i-- > 0;) {
        if (PtInRect(&items[i].bounds, point)) {
            setChild(child, childIdAt(i));
            return S_OK;
        }
    }
    setChild(child, CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleScreen::accDoDefaultAction(VARIANT child) {
    if (!reader_) return CO_E_OBJNOTCONNECTED;
    const ScreenItems items = reader_();
    const ScreenItem* item = nullptr;
    const HRESULT found = find(child, items, &item);
    if (FAILED(found)) return found;
    if (!item || item->action.empty()) return DISP_E_MEMBERNOTFOUND;
    // Pressed the way the mouse presses it: a button release at its centre goes through the
    // window's own hit test and click handling (with its guard against clicks aimed at the
    // screen before the copy ended). Posted, because a reader's call must return at once while
    // a button may open a dialog.
    const RECT& r = item->bounds;
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    return PostMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(x, y)) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT AccessibleScreen::put_accName(VARIANT, BSTR) { return reader_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED; }
HRESULT AccessibleScreen::put_accValue(VARIANT, BSTR) { return reader_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED; }
