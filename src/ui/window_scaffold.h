// What the installer's two windows share: the record kept in the window's user-data slot, the
// hover state with its mouse-leave tracking, the hand cursor over a live button, and the scale
// from layout units to pixels.
#pragma once
#include <windows.h>

// Pixels per layout unit for a design canvas: max(0.65, min(client width / design width,
// client height / design height, dpi / 96)); a client size that is not positive drops out.
float canvasScale(float clientWidth, float clientHeight, float designWidth, float designHeight, float dpi);

// The procedure body of a window whose record came as its creation parameter. From WM_NCCREATE
// on, the record sits in the user-data slot, knows its hwnd and receives every message through
// handle; at WM_NCDESTROY the slot is cleared and the record forgets the window (it outlives it,
// so later message boxes get no dead owner). Record needs the fields hwnd and trackingLeave.
template <typename Record>
LRESULT dispatchToRecord(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT (*handle)(Record&, UINT, WPARAM, LPARAM)) {
    auto* record = reinterpret_cast<Record*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        record = static_cast<Record*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (record) {
            record->hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
        }
    }
    if (!record) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        record->hwnd = nullptr;
        record->trackingLeave = false;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return handle(*record, message, wParam, lParam);
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
