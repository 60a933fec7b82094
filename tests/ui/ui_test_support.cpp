#include "ui_test_support.h"

#include "ui/paint.h"

namespace ui_testing {

Dib::Dib(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    if (bitmap_) previous_ = SelectObject(dc_, bitmap_);
}

Dib::~Dib() {
    if (previous_) SelectObject(dc_, previous_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
}

void Dib::fill(std::uint32_t rgb) {
    GdiFlush();
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = rgb;
}

bool Dib::savePng(const std::wstring& path) const {
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    GdiFlush();
    // Image/png encoder of GDI+.
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width_, height_, width_ * 4, PixelFormat32bppRGB, reinterpret_cast<BYTE*>(bits_),
                                  &bitmap) != Ok)
        return false;
    const bool saved = GdipSaveImageToFile(bitmap, path.c_str(), &png, nullptr) == Ok;
    GdipDisposeImage(bitmap);
    return saved;
}

void addCandidates(MainWindow& record, int count) {
    for (int i = 0; i < count; ++i)
        record.candidates.push_back(
            GameCandidate{L"D:\\SteamLibrary\\steamapps\\common\\Lumivex Orrendale\\game" + std::to_wstring(i), 0, 0, 0});
}

const Scene kScenes[7] = {
    {L"ready-nopatch", [](MainWindow&) {}},
    {L"ready", [](MainWindow& r) { r.patchPresent = true, r.patchSize = 734003200, addCandidates(r, 3); }},
    {L"ready-overwrite",
     [](MainWindow& r) {
         r.patchPresent = true, r.patchSize = 1536, r.targetHasPatch = true, addCandidates(r, 1);
         r.candidates[0].manual = 1;
     }},
    {L"installing",
     [](MainWindow& r) { r.patchPresent = true, r.state = Installing, r.progressPerMille = 500, addCandidates(r, 2); }},
    {L"complete", [](MainWindow& r) { r.patchPresent = true, r.state = Complete, addCandidates(r, 1); }},
    {L"cancelled", [](MainWindow& r) { r.patchPresent = true, r.state = Cancelled, addCandidates(r, 1); }},
    {L"failed",
     [](MainWindow& r) {
         r.patchPresent = true, r.state = Failed, addCandidates(r, 1);
         r.statusMessage = L"Copy failed: There is not enough space on the disk. (0x00000070)";
     }},
};

void prepareRecord(MainWindow& record, LanguageId language) {
    record.hInstance = GetModuleHandleW(nullptr);
    record.language = language;
    record.fontFamily = createUiFontFamily(language);
}

LiveWindow::LiveWindow(LanguageId language, bool visible, int clientWidth, int clientHeight) {
    static const bool registered = [] {
        registerMainWindowClass(GetModuleHandleW(nullptr));
        return true;
    }();
    (void)registered;
    prepareRecord(record, language);
    hwnd = createMainWindow(record, WindowRect{20, 20, clientWidth, clientHeight});
    if (!hwnd) return;
    setClientSize(clientWidth, clientHeight);
    if (visible) {
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
    }
}

LiveWindow::~LiveWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    // WM_DESTROY posted a quit message meant for a real message loop; drop it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    destroyMainWindowRecord(record);
}

void LiveWindow::setClientSize(int width, int height) {
    RECT outer{}, client{};
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    SetWindowPos(hwnd, nullptr, 20, 20, width + (outer.right - outer.left) - client.right,
                 height + (outer.bottom - outer.top) - client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LiveWindow::clickAt(float x, float y) {
    send(WM_LBUTTONUP, 0, MAKELPARAM(static_cast<int>(x), static_cast<int>(y)));
}

bool LiveWindow::invalidated() const {
    RECT update{};
    return GetUpdateRect(hwnd, &update, FALSE) != 0;
}

std::wstring LiveWindow::caption() const {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

}  // namespace ui_testing
