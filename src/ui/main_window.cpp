// Stand-in window until the screen lands: paints the gradient only.
#include "ui/main_window.h"

#include "resources/resource_ids.h"

bool hasValidSelection(const MainWindow& window) {
    return !window.candidates.empty() && window.selectedIndex < window.candidates.size();
}
const GameCandidate* selectedCandidate(const MainWindow& window) {
    return hasValidSelection(window) ? &window.candidates[window.selectedIndex] : nullptr;
}
int showMessage(const MainWindow& window, const std::wstring& text, UINT style) {
    return MessageBoxW(window.hwnd, text.c_str(), textsFor(window.language)[windowTitle], style);
}
void invalidate(const MainWindow& window) {
    if (window.hwnd) InvalidateRect(window.hwnd, nullptr, FALSE);
}

void registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    RegisterClassExW(&wc);
}

HWND createMainWindow(MainWindow& window, const WindowRect& rect) {
    return CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, textsFor(window.language)[windowTitle],
                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rect.x, rect.y, rect.width, rect.height, nullptr,
                           nullptr, window.hInstance, &window);
}

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        window = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    return handleMessage(*window, message, wParam, lParam);
}

LRESULT handleMessage(MainWindow& window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window.hwnd, &ps);
        RECT rc;
        GetClientRect(window.hwnd, &rc);
        HBRUSH brush = CreateSolidBrush(RGB(0xFF, 0xFA, 0xFC));
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
        EndPaint(window.hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(window.hwnd, message, wParam, lParam);
}

void destroyMainWindowRecord(MainWindow& window) {
    window.candidates.clear();
    releaseBackgroundImage(window.background);
    if (window.fontFamily) Gdiplus::DllExports::GdipDeleteFontFamily(window.fontFamily);
    window.fontFamily = nullptr;
}
