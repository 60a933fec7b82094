// What the test programs share: files in the Wine prefix, owners that change machine state and put
// it back, one Steam world builder, the message-box watcher and the driver of the real installer.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/handles.h"
#include "app/product.h"
#include "ui/layout.h"

namespace support {

// What changes the machine or holds a process is neither copied nor moved.
struct Pinned {
    Pinned() = default;
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
};

inline std::wstring env(const wchar_t* name) {  // empty when unset
    std::vector<wchar_t> value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32768);
    return std::wstring(value.data(), length < 32768 ? length : 0);
}

inline bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool makeFolders(const std::wstring& path) {  // like mkdir -p
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2) makeFolders(path.substr(0, cut));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

inline bool writeFile(const std::wstring& path, const std::string& bytes) {  // makes the folders first
    makeFolders(path.substr(0, path.find_last_of(L'\\')));
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    return file && WriteFile(file.get(), bytes.data(), size, &written, nullptr) && written == size;
}

inline std::string readFile(const std::wstring& path) {  // empty when missing
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

// The names FindFirstFileW finds for a pattern (folder\*, folder\*.dll), without "." and "..".
inline std::vector<std::wstring> listFolder(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(pattern.c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    }
    return names;
}

inline void removeTree(const std::wstring& path) {
    for (const std::wstring& name : listFolder(path + L"\\*")) {
        const std::wstring child = path + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (folder && !link) removeTree(child);
        else if (!DeleteFileW(child.c_str())) RemoveDirectoryW(child.c_str());
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

// A fresh folder under C:\lumivex-tests (outside the temp folder, where the installer refuses to
// run), removed with everything in it.
class ScratchFolder : Pinned {
public:
    explicit ScratchFolder(const std::wstring& name = L"t") {
        static unsigned counter = 0;
        ++counter;
        const std::wstring unique = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter);
        path_ = env(L"SystemDrive") + L"\\lumivex-tests\\" + name + L"-" + unique;
        removeTree(path_);
        makeFolders(path_);
    }
    ~ScratchFolder() { removeTree(path_); }
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }
private:
    std::wstring path_;
};

inline std::string utf8(const std::wstring& text) {
    const int units = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

// A Linux path (LUMIVEX_SOURCE, LUMIVEX_BUILD, ...) as Wine's Z: path with backslashes.
inline std::wstring fromUnix(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

inline std::wstring buildPath(const std::wstring& relative) {
    return fromUnix(env(L"LUMIVEX_BUILD")) + L"\\" + relative;
}

// Pumps this thread's messages until done() holds; false when the time runs out first.
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Sets one registry value; puts back the old value, or deletes the value when there was none.
class RegistryValue : Pinned {
public:
    RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view = 0) : name_(name) {
        const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE | view;
        RegCreateKeyExW(hive, subKey.c_str(), 0, nullptr, 0, access, nullptr, key_.out(), nullptr);
        DWORD size = 0;
        RegQueryValueExW(key_.get(), name.c_str(), nullptr, nullptr, nullptr, &size);
        old_.resize(size);
        existed_ = !RegQueryValueExW(key_.get(), name.c_str(), nullptr, &oldType_, old_.data(), &size);
    }
    ~RegistryValue() {
        if (kept_) return;
        if (existed_) RegSetValueExW(key_.get(), name_.c_str(), 0, oldType_, old_.data(), DWORD(old_.size()));
        else RegDeleteValueW(key_.get(), name_.c_str());
    }
    bool set(DWORD type, const void* data, DWORD bytes) {
        const BYTE* value = static_cast<const BYTE*>(data);
        return RegSetValueExW(key_.get(), name_.c_str(), 0, type, value, bytes) == ERROR_SUCCESS;
    }
    bool setString(const std::wstring& text, DWORD type = REG_SZ) {  // with its terminator
        return set(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void keep() { kept_ = true; }  // the value stays when the owner goes
private:
    RegistryKey key_;
    std::wstring name_;
    bool kept_ = false;
    bool existed_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> old_;
};

// <library>\steamapps\common\<installDir>\game
inline std::wstring gameFolderOf(const std::wstring& library, const std::wstring& installDir = L"Lumivex Orrendale") {
    return library + L"\\steamapps\\common\\" + installDir + L"\\game";
}

// Makes the game folder with one original archive and returns it.
inline std::wstring makeGameFolder(const std::wstring& library) {
    const std::wstring folder = gameFolderOf(library);
    writeFile(folder + L"\\archive.rpa", "RPA-3.0 archive");
    return folder;
}

// The game's app manifest in the library; a stamp other than 0 becomes its write time.
inline std::wstring writeManifest(const std::wstring& library, const std::string& installDir = "Lumivex Orrendale",
                                  std::uint64_t stamp = 0) {
    const std::wstring path = library + L"\\steamapps\\" + kManifestName;
    writeFile(path, "\"AppState\"\n{\n"
                    "\t\"appid\"\t\t\"2468020\"\n"
                    "\t\"name\"\t\t\"Lumivex: Orrendale\"\n"
                    "\t\"installdir\"\t\t\"" + installDir + "\"\n"
                    "\t\"StateFlags\"\t\t\"4\"\n}\n");
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
    const FILETIME time{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
    if (stamp) SetFileTime(file.get(), nullptr, nullptr, &time);
    return path;
}

// libraryfolders.vdf (the block format Steam writes since 2021) listing the folders, escaped.
inline std::string libraryFoldersVdf(const std::vector<std::wstring>& libraries) {
    std::string vdf = "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-1234\"\n";
    for (size_t index = 0; index < libraries.size(); ++index) {
        std::string escaped;
        for (char byte : utf8(libraries[index])) {
            if (byte == '\\' || byte == '"') escaped += '\\';
            escaped += byte;
        }
        vdf += "\t\"" + std::to_string(index) + "\"\n\t{\n";
        vdf += "\t\t\"path\"\t\t\"" + escaped + "\"\n";
        vdf += "\t\t\"apps\"\n\t\t{\n\t\t\t\"2468020\"\t\t\"123456\"\n\t\t}\n\t}\n";
    }
    return vdf + "}\n";
}

// A Steam installation at <root> (registered as HKCU\Software\Valve\Steam SteamPath while the
// world lives), whose libraryfolders.vdf lists the given libraries; each library gets the game
// (manifest, game folder with an archive, the stand-in Lumivex.exe above the game folder).
class SteamWorld : Pinned {
public:
    SteamWorld(const std::wstring& root, const std::vector<std::wstring>& libraries)
        : steamPath_(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath") {
        steamPath_.setString(root);
        writeFile(root + L"\\steamapps\\libraryfolders.vdf", libraryFoldersVdf(libraries));
        const std::wstring standIn = buildPath(L"tests\\stand_in.exe");
        for (const std::wstring& library : libraries) {
            writeManifest(library);
            gameFolders.push_back(makeGameFolder(library));
            const std::wstring game = gameFolderOf(library) + L"\\..\\Lumivex.exe";
            CopyFileW(standIn.c_str(), game.c_str(), FALSE);
        }
    }
    std::vector<std::wstring> gameFolders;
    void keep() { steamPath_.keep(); }  // the demo world outlives its builder
private:
    RegistryValue steamPath_;
};

inline std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

inline void answerBox(HWND box, int buttonId) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0); }

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    UINT style = 0;  // MB_OK or MB_YESNO, and the icon
};

// What a message box window shows.
inline SeenBox readBox(HWND box) {
    SeenBox seen;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, 0xFFFF));
    seen.style = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) ? MB_YESNO : MB_OK;
    // The icon control is 0x14 in Windows' message box and stc1 (0x440) in Wine's.
    HWND iconControl = GetDlgItem(box, 0x14) ? GetDlgItem(box, 0x14) : GetDlgItem(box, 0x440);
    const HICON shown = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
    if (shown && shown == LoadIconW(nullptr, IDI_WARNING)) seen.style |= MB_ICONWARNING;
    if (shown && shown == LoadIconW(nullptr, IDI_ERROR)) seen.style |= MB_ICONERROR;
    return seen;
}

// Records and answers (with the given button id) every message box shown on this thread.
class BoxWatcher : Pinned {
public:
    explicit BoxWatcher(int answerWith = IDOK) : answer(answerWith) {
        active = this;
        hook_ = SetWindowsHookExW(WH_CBT, watch, nullptr, GetCurrentThreadId());
    }
    ~BoxWatcher() {
        if (hook_) UnhookWindowsHookEx(hook_);
        active = nullptr;
    }
    std::vector<SeenBox> boxes;
    int answer;
private:
    static inline thread_local BoxWatcher* active = nullptr;
    static LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        GetClassNameW(box, className, 16);
        if (code == HCBT_ACTIVATE && active && std::wstring(className) == L"#32770") {
            active->boxes.push_back(readBox(box));
            answerBox(box, active->answer);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_ = nullptr;
};

// The installer (LUMIVEX_EXE unless another exe is given) copied into a folder and started there
// with the arguments; ended with TerminateProcess if it still runs when the driver goes.
class Installer : Pinned {
public:
    Installer(const std::wstring& folder, const std::wstring& arguments, const std::wstring& exe = L"") {
        const std::wstring from = exe.empty() ? fromUnix(env(L"LUMIVEX_EXE")) : exe;
        const std::wstring copy = folder + L"\\LumivexPatchInstaller.exe";
        CopyFileW(from.c_str(), copy.c_str(), FALSE);
        std::wstring line = L"\"" + copy + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        const wchar_t* where = folder.c_str();
        if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, where, &startup, &started))
            return;
        ThreadHandle thread(started.hThread);
        process_.reset(started.hProcess);
        id_ = started.dwProcessId;
    }
    ~Installer() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 10000);
        }
    }
    // A visible top-level window of the process with this class ("#32770" for a message box),
    // waited for; nullptr when none appears in time or the process ends first.
    HWND window(const wchar_t* className, DWORD timeoutMs = 30000) const {
        HWND found = nullptr;
        const auto findOne = [&] {
            HWND candidate = FindWindowExW(nullptr, nullptr, className, nullptr);
            while (candidate && !found) {
                DWORD owner = 0;
                GetWindowThreadProcessId(candidate, &owner);
                if (owner == id_ && IsWindowVisible(candidate)) found = candidate;
                candidate = FindWindowExW(nullptr, candidate, className, nullptr);
            }
            const bool ended = WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;
            return found || ended;  // no window after the end
        };
        pumpUntil(findOne, timeoutMs);
        return found;
    }
    DWORD id() const { return id_; }
    // The exit code, waited for; STILL_ACTIVE when the process does not end in time.
    DWORD exitCode(DWORD timeoutMs = 30000) const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_.get(), &code);
        return code;
    }
private:
    ThreadHandle process_;  // a process handle closes as a thread's does
    DWORD id_ = 0;
};

// The command line and the working folder stand_in.exe (copied to `exe`) recorded, waited for;
// empty when it did not run in time.
inline std::pair<std::wstring, std::wstring> standInRecord(const std::wstring& exe) {
    const std::wstring record = exe + L".record";
    if (!pumpUntil([&] { return exists(record); }, 20000)) return {};
    const std::string bytes = readFile(record);  // UTF-16
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    const size_t firstEnd = text.find(L'\n');
    const size_t secondEnd = text.find(L'\n', firstEnd + 1);
    return {text.substr(0, firstEnd), text.substr(firstEnd + 1, secondEnd - firstEnd - 1)};
}

// The installer window's button rectangles in ButtonId order, LangSimplified (1) first.
constexpr LayoutRect MainLayout::*kButtonRects[] = {
    &MainLayout::langSimplifiedButton, &MainLayout::langTraditionalButton, &MainLayout::langEnglishButton,
    &MainLayout::musicButton, &MainLayout::chooseFolderButton, &MainLayout::detectAgainButton,
    &MainLayout::prevButton, &MainLayout::nextButton, &MainLayout::primaryButton,
    &MainLayout::closeButton, &MainLayout::openAppFolderButton,
};

// Input as the window receives it from the mouse and keyboard.
inline void clickAt(HWND hwnd, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, where);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, where);
}

inline void pressKey(HWND hwnd, WPARAM virtualKey) {
    PostMessageW(hwnd, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(hwnd, WM_KEYUP, virtualKey, 0xC0000001);
}

// The point `across` of the way through a layout rectangle, at its middle height, in client pixels.
inline POINT pointIn(const LayoutRect& rect, float scale, float across = .5f) {
    const float x = (rect.left + rect.width * across) * scale;
    const float y = (rect.top + rect.height / 2) * scale;
    return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

// The same for a rectangle of the installer window's layout in a state, at its client size and DPI.
inline POINT pointOf(HWND hwnd, InstallerState state, LayoutRect MainLayout::*rect, float across = .5f,
                     int dpi = 96) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const float width = static_cast<float>(client.right);
    const float height = static_cast<float>(client.bottom);
    const float scale = scaleFor(width, height, static_cast<float>(dpi));
    const MainLayout layout = computeLayout(width / scale, height / scale, state);
    return pointIn(layout.*rect, scale, across);
}

// The colour (0xRRGGBB) the screen shows at a point of the window's client area.
inline std::uint32_t screenPixel(HWND hwnd, int x, int y) {
    POINT at{x, y};
    ClientToScreen(hwnd, &at);
    const HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

inline bool closeTo(std::uint32_t rgb, std::uint32_t expected, int tolerance = 3) {
    for (int shift : {0, 8, 16}) {
        const int channel = static_cast<int>((rgb >> shift) & 0xFF);
        const int wanted = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(channel - wanted) > tolerance) return false;
    }
    return true;
}

}  // namespace support
