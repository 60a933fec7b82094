#include "app/startup.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "app/language_window.h"
#include "app/product.h"
#include "app/system_dll.h"
#include "audio/music.h"
#include "install/preflight.h"
#include "resources/resource_ids.h"
#include "ui/main_window.h"

namespace {

bool switchIs(const wchar_t* argument, const wchar_t* name) {
    int length = lstrlenW(argument);
    return length == lstrlenW(name) &&
           CompareStringOrdinal(argument, length, name, length, TRUE) == CSTR_EQUAL;
}

void setDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    using SetAware = BOOL(WINAPI*)();
    // user32 is delay-loaded and not loaded yet: the lookups load it from the system folder.
    const auto setContext = systemFunction<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext");
    if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) return;
    if (const auto setAware = systemFunction<SetAware>(L"user32.dll", "SetProcessDPIAware")) setAware();
}

void requestLightTitleBar(HWND hwnd) {
    BOOL dark = FALSE;
    if (FAILED(setDwmWindowAttribute(hwnd, 20, &dark, sizeof dark))) setDwmWindowAttribute(hwnd, 19, &dark, sizeof dark);
}

}  // namespace

CommandLineOptions parseCommandLine(const wchar_t* commandLine) {
    CommandLineOptions options;
    int count = 0;
    LocalMemory<LPWSTR*> owned(CommandLineToArgvW(commandLine, &count));
    if (!owned) return options;
    LPWSTR* arguments = owned.get();
    int index = 1;
    while (index < count) {
        if (switchIs(arguments[index], L"--lang") && index + 1 < count) {
            options.language = parseLanguageValue(arguments[index + 1]);
            options.languageGiven = true;
            index += 2;
        } else if (switchIs(arguments[index], L"--dest") && index + 1 < count) {
            options.destOverride = arguments[index + 1];
            index += 2;
        } else {
            index += 1;
        }
    }
    return options;
}

WidePath executablePath() {
    std::vector<wchar_t> buffer(512);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return WidePath();
        // A result that fills the buffer may have been cut: try again with twice the room.
        if (length < buffer.size() - 1 || buffer.size() >= 0x100000) break;
        buffer.resize(buffer.size() * 2);
    }
    return WidePath(buffer.data(), length);
}

bool isRunningFromTemp(const WidePath& exePath) {
    WidePath folder = normalizePath(parentFolder(exePath));
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return false;
    WidePath temp = normalizePath(WidePath(buffer.data(), length));
    if (folder.empty() || temp.empty() || temp.size() > folder.size()) return false;
    if (CompareStringOrdinal(folder.data(), static_cast<int>(temp.size()), temp.data(), static_cast<int>(temp.size()),
                             TRUE) != CSTR_EQUAL)
        return false;
    return folder.size() == temp.size() || folder[temp.size()] == L'\\';
}

int backgroundResourceId(DWORD tickCount, DWORD counterLow) {
    return IDR_BACKGROUND_2 - static_cast<int>((tickCount ^ counterLow) & 1u);
}

void releaseBackgroundImage(BackgroundImage& holder) {
    holder.image.reset();
    holder.stream.reset();
    holder.serial = 0;
}

void loadBackgroundImage(BackgroundImage& holder, HINSTANCE instance) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    int id = backgroundResourceId(GetTickCount(), static_cast<DWORD>(counter.QuadPart & 0xFFFFFFFFu));
    releaseBackgroundImage(holder);
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    if (!resource) return;
    HGLOBAL loaded = LoadResource(instance, resource);
    DWORD size = SizeofResource(instance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return;
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    void* target = memory ? GlobalLock(memory.get()) : nullptr;
    if (!target) return;
    memcpy(target, data, size);
    GlobalUnlock(memory.get());
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, holder.stream.out()))) {
        holder.stream.reset();
        return;
    }
    memory.release();  // the stream owns the block now
    Gdiplus::GpImage* image = nullptr;
    if (Gdiplus::DllExports::GdipLoadImageFromStream(holder.stream.get(), &image) != Gdiplus::Ok) {
        releaseBackgroundImage(holder);
        return;
    }
    holder.image.reset(image);
    static std::atomic<std::uint32_t> loads{0};
    holder.serial = ++loads;
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure, const wchar_t* className) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 96;
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

WindowRect placeWindow(int outerWidth, int outerHeight, const RECT& workArea, int dpi, int minWidth,
                       int minHeight) {
    int margin = MulDiv(24, dpi, 96);
    int areaWidth = workArea.right - workArea.left;
    int areaHeight = workArea.bottom - workArea.top;
    WindowRect rect;
    rect.width = std::min(std::max(areaWidth - margin, minWidth), outerWidth);
    rect.height = std::min(std::max(areaHeight - margin, minHeight), outerHeight);
    rect.x = workArea.left + (areaWidth - rect.width) / 2;
    rect.y = workArea.top + (areaHeight - rect.height) / 2;
    return rect;
}

WindowRect initialWindowRect(int clientWidth, int clientHeight, DWORD style, int minWidth, int minHeight) {
    int dpi = systemDpi();
    RECT outer{0, 0, MulDiv(clientWidth, dpi, 96), MulDiv(clientHeight, dpi, 96)};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    return placeWindow(outer.right - outer.left, outer.bottom - outer.top, workArea, dpi, minWidth, minHeight);
}

int runInstaller(HINSTANCE instance, int showCommand) {
    setDpiAwareness();
    // Declared in this order, GDI+ shuts down before COM on every return below.
    ComSession com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    GdiplusSession gdiplus;
    if (!gdiplus) return 1;
    CommandLineOptions options = parseCommandLine(GetCommandLineW());
    LanguageId language = options.language;
    if (!options.languageGiven) {
        language = chooseLanguage(instance);
        if (language < 0) return 0;
    }
    WidePath exePath = executablePath();
    if (isRunningFromTemp(exePath)) {
        const LocalizedText& texts = textsFor(language);
        MessageBoxW(nullptr, texts[TextSlot::runningFromTemp], texts[TextSlot::extractZipFirst],
                    MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        return 0;
    }

    MusicPlayer music;
    int exitCode = 0;
    {
        MainWindow window;
        window.hInstance = instance;
        window.hwnd = nullptr;
        window.language = language;
        window.music = &music;
        window.exePath = exePath;
        window.appFolder = parentFolder(exePath);
        window.patchPath = joinPath(window.appFolder, kPatchFileName);
        window.destOverride = options.destOverride;
        window.elevated = runsElevated();
        window.fontFamily = createUiFontFamily(language);

        detectGameFolders(window);
        loadBackgroundImage(window.background, instance);
        registerMainWindowClass(instance);
        WindowRect rect = initialWindowRect(1160, 700, WS_OVERLAPPEDWINDOW, 640, 500);
        HWND hwnd = createMainWindow(window, rect);
        if (!hwnd) {
            MessageBoxW(nullptr, kWindowCreationFailed, kInstallerCaption, MB_ICONERROR);
            exitCode = 1;
        } else {
            requestLightTitleBar(hwnd);
            ShowWindow(hwnd, showCommand);
            UpdateWindow(hwnd);
            startMusic(music, instance);
            InvalidateRect(hwnd, nullptr, FALSE);
            MSG msg{};
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            exitCode = static_cast<int>(msg.wParam);
        }
        stopMusic(music);
        destroyMainWindowRecord(window);
    }
    stopMusic(music);
    return exitCode;
}
