// What the test programs share: files in the Wine prefix, owners that change machine state and put
// it back, one Steam world builder, the message-box watcher and the driver of the real installer.
#pragma once
#include <windows.h>

#include <cstdint>
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

// A fresh folder under C:\lumivex-tests (outside the temp folder, where the installer refuses to
// run), removed with everything in it.
class ScratchFolder : Pinned {
public:
    explicit ScratchFolder(const std::wstring& name = L"t");
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }
private:
    std::wstring path_;
};

bool makeFolders(const std::wstring& path);                         // like mkdir -p
bool writeFile(const std::wstring& path, const std::string& bytes);  // makes the folders first
std::string readFile(const std::wstring& path);                     // empty when missing
void removeTree(const std::wstring& path);
// The names FindFirstFileW finds for a pattern (folder\*, folder\*.dll), without "." and "..".
std::vector<std::wstring> listFolder(const std::wstring& pattern);
bool exists(const std::wstring& path);
std::string utf8(const std::wstring& text);
std::wstring env(const wchar_t* name);  // empty when unset
// A Linux path (LUMIVEX_SOURCE, LUMIVEX_BUILD, ...) as Wine's Z: path with backslashes.
std::wstring fromUnix(const std::wstring& unixPath);
std::string unixPath(const std::wstring& path);      // Wine's Unix name of a Windows path, or empty
std::wstring fixturePath(const std::wstring& name);  // tests/fixtures/steam/<name>
std::wstring buildPath(const std::wstring& relative);  // <build dir>\<relative>

// Pumps this thread's messages until done() holds; false when the time runs out first.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000);

// Sets one registry value; puts back the old value, or deletes the value when there was none.
class RegistryValue : Pinned {
public:
    RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view = 0);
    ~RegistryValue();
    bool set(DWORD type, const void* data, DWORD bytes);
    bool setString(const std::wstring& text, DWORD type = REG_SZ);  // with its terminator
    void keep() { kept_ = true; }  // the value stays when the owner goes
private:
    HKEY hive_;
    std::wstring subKey_;
    std::wstring name_;
    REGSAM view_;
    bool kept_ = false;
    bool existed_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> oldData_;
};

// Sets one environment variable of this process and puts the old value (or its absence) back.
class EnvironmentVariable : Pinned {
public:
    EnvironmentVariable(const std::wstring& name, const std::wstring& value);
    ~EnvironmentVariable();
private:
    std::wstring name_;
    std::wstring old_;
    bool existed_ = false;
};

// A drive letter of the given type (DRIVE_FIXED, DRIVE_REMOVABLE) for a folder, through Wine's mount
// manager as winecfg does it: listed at once, with exactly that type.
class MountedDrive : Pinned {
public:
    MountedDrive(const std::wstring& folder, UINT driveType);
    ~MountedDrive();
    bool ok() const { return letter_ != 0; }
    std::wstring root() const { return std::wstring(1, letter_) + L":\\"; }
private:
    wchar_t letter_ = 0;
};

// <library>\steamapps\common\<installDir>\game
std::wstring gameFolderOf(const std::wstring& library,
                          const std::wstring& installDir = L"Lumivex Orrendale");
// Makes the game folder with one original archive and returns it.
std::wstring makeGameFolder(const std::wstring& library,
                            const std::wstring& installDir = L"Lumivex Orrendale");
// The game's app manifest in the library; a stamp other than 0 becomes its write time.
std::wstring writeManifest(const std::wstring& library,
                           const std::string& installDir = "Lumivex Orrendale",
                           std::uint64_t stamp = 0);
std::string manifestText(const std::string& installDir);
bool setWriteTime(const std::wstring& path, std::uint64_t fileTime);
// libraryfolders.vdf listing the folders with Steam's escaping, in the block format (Steam since
// 2021) or the flat one before it.
std::string libraryFoldersVdf(const std::vector<std::wstring>& libraries, bool blockFormat = true);

// A Steam installation at <root> (registered as HKCU\Software\Valve\Steam SteamPath while the
// world lives), whose libraryfolders.vdf lists the given libraries; each library gets the game
// (manifest, game folder with an archive, the stand-in Lumivex.exe above the game folder).
class SteamWorld : Pinned {
public:
    SteamWorld(const std::wstring& root, const std::vector<std::wstring>& libraries);
    std::vector<std::wstring> gameFolders;
    void keep() { steamPath_.keep(); }  // the demo world outlives its builder
private:
    RegistryValue steamPath_;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    UINT style = 0;  // MB_OK or MB_YESNO, the icon, MB_DEFBUTTON2 when No is the default
};

// Records and answers (with the given button id) every message box shown on this thread.
class BoxWatcher : Pinned {
public:
    explicit BoxWatcher(int answer = IDOK);
    ~BoxWatcher();
    std::vector<SeenBox> boxes;
    int answer;
private:
    HHOOK hook_ = nullptr;
};

// What a message box window shows.
SeenBox readBox(HWND box);

// The installer (LUMIVEX_EXE unless another exe is given) copied into a folder and started there
// with the arguments; ended with TerminateProcess if it still runs when the driver goes.
class Installer : Pinned {
public:
    Installer(const std::wstring& folder, const std::wstring& arguments, const std::wstring& exe = L"");
    ~Installer();
    // A visible top-level window of the process with this class ("#32770" for a message box),
    // waited for; nullptr when none appears in time or the process ends first.
    HWND window(const wchar_t* className, DWORD timeoutMs = 30000) const;
    // The exit code, waited for; STILL_ACTIVE when the process does not end in time.
    DWORD exitCode(DWORD timeoutMs = 30000) const;
    DWORD id() const { return id_; }
private:
    ThreadHandle process_;  // a process handle closes as a thread's does
    DWORD id_ = 0;
};

// The command line and the working folder stand_in.exe (copied to `exe`) recorded, waited for;
// empty when it did not run in time.
std::pair<std::wstring, std::wstring> standInRecord(const std::wstring& exe, DWORD timeoutMs = 20000);

// The installer window's button rectangles, in ButtonId order from LangSimplified (1) to
// OpenAppFolder (11).
constexpr LayoutRect MainLayout::*kButtonRects[] = {
    &MainLayout::langSimplifiedButton, &MainLayout::langTraditionalButton, &MainLayout::langEnglishButton,
    &MainLayout::musicButton, &MainLayout::chooseFolderButton, &MainLayout::detectAgainButton,
    &MainLayout::prevButton, &MainLayout::nextButton, &MainLayout::primaryButton,
    &MainLayout::closeButton, &MainLayout::openAppFolderButton,
};

// Input as the window receives it from the mouse and keyboard.
void clickAt(HWND hwnd, POINT at);
// The point `across` of the way through a layout rectangle, at its middle height, in client pixels.
POINT pointIn(const LayoutRect& rect, float scale, float across = .5f);
// The same for a rectangle of the installer window's layout in a state, at its client size and DPI.
POINT pointOf(HWND hwnd, InstallerState state, LayoutRect MainLayout::*rect, float across = .5f,
              int dpi = 96);
void pressKey(HWND hwnd, WPARAM virtualKey);
void answerBox(HWND box, int buttonId);
// The colour (0xRRGGBB) the screen shows at a point of the window's client area.
std::uint32_t screenPixel(HWND hwnd, int x, int y);
bool closeTo(std::uint32_t rgb, std::uint32_t expected, int tolerance = 3);

}  // namespace support
