// Shared by the screen tests and the benchmark: GDI+ start-up, off-screen renders into a 32-bit
// DIB section, PNG export and a real main window on the test thread.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>

#include "ui/main_window.h"

namespace ui_testing {

using ::GdiplusSession;  // app/handles.h

// A top-down 32-bit DIB section selected into its own memory DC.
class Dib {
public:
    Dib(int width, int height);
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // 0x00RRGGBB
    std::uint32_t pixel(int x, int y) const { return bits_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF; }
    void fill(std::uint32_t rgb);
    bool savePng(const std::wstring& path) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_, height_;
};

// Candidates ...\game0, ...\game1 ... in a Steam library on D:.
void addCandidates(MainWindow& record, int count);

// The seven screens the paint and screen-reader tests go through, each in every language.
struct Scene {
    const wchar_t* name;
    void (*setUp)(MainWindow&);
};
extern const Scene kScenes[7];

// Fills the parts of a record that start-up would: instance, language and its font family.
void prepareRecord(MainWindow& record, LanguageId language);

// A real main window for a record, with the given client size. It is shown only on request:
// without a window manager Wine waits two seconds for every shown window to be withdrawn.
class LiveWindow {
public:
    explicit LiveWindow(LanguageId language = 2, bool visible = false, int clientWidth = 920, int clientHeight = 620);
    ~LiveWindow();
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;
    MainWindow record;
    HWND hwnd = nullptr;  // kept after the record forgets it, to ask whether the window still exists
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageW(hwnd, message, wParam, lParam); }
    // Moves the window to (20, 20) with this client size.
    void setClientSize(int width, int height);
    // Releases the left button at a point given in client pixels.
    void clickAt(float x, float y);
    // Marks the client as painted, so that a later invalidation shows up in the update region.
    void validate() { ValidateRect(hwnd, nullptr); }
    bool invalidated() const;
    std::wstring caption() const;
};

}  // namespace ui_testing
