// What the installer's two windows share: the record kept in the window's user-data slot, the
// screen-reader and taskbar extras around every message, the hover state with its mouse-leave
// tracking, the hand cursor over a live button, and the scale from layout units to pixels.
#pragma once
#include <windows.h>

#include "ui/window_extras.h"

// Pixels per layout unit for a design canvas: max(0.65, min(client width / design width,
// client height / design height, dpi / 96)); a client size that is not positive drops out.
float canvasScale(float clientWidth, float clientHeight, float designWidth, float designHeight, float dpi);

// The procedure body of a window whose record came as its creation parameter. From WM_NCCREATE
// on, the record sits in the user-data slot, knows its hwnd and receives every message through
// handle; at WM_NCDESTROY the slot is cleared and the record forgets the window (it outlives it,
// so later message boxes get no dead owner). Record needs the fields hwnd, trackingLeave and
// extras: the accessible object, the announcements to screen readers and the taskbar button live
// there as long as the window does, made from what screen says the window draws, and go around
// every call of handle.
template <typename Record>
LRESULT dispatchToRecord(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT (*handle)(Record&, UINT, WPARAM, LPARAM), ScreenSource (*screen)(const Record&)) {
    auto* record = reinterpret_cast<Record*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        record = static_cast<Record*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (record) {
            record->hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
            record->extras = makeWindowExtras(hwnd, screen(*record));
        }
    }
    if (!record) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        record->hwnd = nullptr;
        record->trackingLeave = false;
        record->extras.reset();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (record->extras && extrasBeforeMessage(*record->extras, message, wParam, lParam, result)) return result;
    result = handle(*record, message, wParam, lParam);
    // The handling may have destroyed the window, and the extras with it.
    if (record->extras) extrasAfterMessage(*record->extras);
    return result;
}

// WM_MOUSEMOVE: the button under the pointer becomes the hovered one (a change repaints), and
// the first move after the pointer came in asks for WM_MOUSELEAVE.
template <typename Id>
void trackHover(HWND hwnd, Id& hovered, bool& trackingLeave, Id hit) {
    if (hit != hovered) {
        hovered = hit;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    if (!trackingLeave) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        if (TrackMouseEvent(&track)) trackingLeave = true;
    }
}

// WM_MOUSELEAVE: nothing is hovered any more.
template <typename Id>
void endHover(HWND hwnd, Id& hovered, bool& trackingLeave, Id none) {
    if (hovered != none) {
        hovered = none;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    trackingLeave = false;
}

// WM_SETCURSOR: the hand over a button that reacts. True when the message is handled.
bool setHandCursor(LPARAM lParam, bool overButton);
