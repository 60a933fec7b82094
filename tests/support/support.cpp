#include "support.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

namespace support {

ScratchFolder::ScratchFolder(const std::wstring& name) {
    static unsigned counter = 0;
    ++counter;
    const std::wstring process = std::to_wstring(GetCurrentProcessId());
    path_ = env(L"SystemDrive") + L"\\lumivex-tests\\" + name + L"-" + process + L"-" + std::to_wstring(counter);
    removeTree(path_);
    makeFolders(path_);
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

bool makeFolders(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2) makeFolders(path.substr(0, cut));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    makeFolders(path.substr(0, path.find_last_of(L'\\')));
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    return file && WriteFile(file.get(), bytes.data(), size, &written, nullptr) && written == size;
}

std::string readFile(const std::wstring& path) {
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

std::vector<std::wstring> listFolder(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    FindHandle find(FindFirstFileW(pattern.c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    }
    return names;
}

void removeTree(const std::wstring& path) {
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

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string utf8(const std::wstring& text) {
    const int units = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring env(const wchar_t* name) {
    std::vector<wchar_t> value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32768);
    return std::wstring(value.data(), length < 32768 ? length : 0);
}

std::wstring fromUnix(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string unixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const FARPROC function = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    const auto toUnix = reinterpret_cast<UnixName>(reinterpret_cast<void*>(function));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!name) return std::string();
    const std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring fixturePath(const std::wstring& name) {
    return fromUnix(env(L"LUMIVEX_SOURCE") + L"/tests/fixtures/steam/" + name);
}

std::wstring buildPath(const std::wstring& relative) { return fromUnix(env(L"LUMIVEX_BUILD")) + L"\\" + relative; }

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
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

RegistryValue::RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view)
    : hive_(hive), subKey_(subKey), name_(name), view_(view) {
    RegistryKey key;
    if (RegOpenKeyExW(hive, subKey.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &oldType_, nullptr, &size) != ERROR_SUCCESS) return;
    oldData_.resize(size);
    const LSTATUS read = RegQueryValueExW(key.get(), name.c_str(), nullptr, &oldType_, oldData_.data(), &size);
    existed_ = read == ERROR_SUCCESS;
}

RegistryValue::~RegistryValue() {
    RegistryKey key;
    if (kept_) return;
    if (RegOpenKeyExW(hive_, subKey_.c_str(), 0, KEY_SET_VALUE | view_, key.out()) != ERROR_SUCCESS) return;
    const DWORD size = static_cast<DWORD>(oldData_.size());
    if (existed_) RegSetValueExW(key.get(), name_.c_str(), 0, oldType_, oldData_.data(), size);
    else RegDeleteValueW(key.get(), name_.c_str());
}

bool RegistryValue::set(DWORD type, const void* data, DWORD bytes) {
    RegistryKey key;
    const REGSAM access = KEY_SET_VALUE | view_;
    if (RegCreateKeyExW(hive_, subKey_.c_str(), 0, nullptr, 0, access, nullptr, key.out(), nullptr)) return false;
    const BYTE* value = static_cast<const BYTE*>(data);
    return RegSetValueExW(key.get(), name_.c_str(), 0, type, value, bytes) == ERROR_SUCCESS;
}

bool RegistryValue::setString(const std::wstring& text, DWORD type) {
    return set(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

EnvironmentVariable::EnvironmentVariable(const std::wstring& name, const std::wstring& value)
    : name_(name), old_(env(name.c_str())) {
    existed_ = GetEnvironmentVariableW(name.c_str(), nullptr, 0) > 0;
    SetEnvironmentVariableW(name.c_str(), value.c_str());
}

EnvironmentVariable::~EnvironmentVariable() {
    SetEnvironmentVariableW(name_.c_str(), existed_ ? old_.c_str() : nullptr);
}

namespace {
// Wine's own extension of the mount manager (include/ddk/mountmgr.h in Wine 8).
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

// An empty mount point removes the drive.
bool defineUnixDrive(wchar_t letter, const std::string& mountPoint, UINT type) {
    const DWORD access = GENERIC_READ | GENERIC_WRITE;
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    FileHandle manager(CreateFileW(L"\\\\.\\MountPointManager", access, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(sizeof(WineUnixDrive) + mountPoint.size() + 1, '\0');
    auto* drive = reinterpret_cast<WineUnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = static_cast<WCHAR>(towlower(letter));
    if (!mountPoint.empty()) {
        std::memcpy(buffer.data() + sizeof(WineUnixDrive), mountPoint.c_str(), mountPoint.size() + 1);
        drive->mountPointOffset = sizeof(WineUnixDrive);
    }
    const DWORD size = static_cast<DWORD>(buffer.size());
    DWORD returned = 0;
    if (!manager) return false;
    return DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(), size, nullptr, 0, &returned, nullptr);
}
}  // namespace

MountedDrive::MountedDrive(const std::wstring& folder, UINT driveType) {
    const std::string target = unixPath(folder);
    const DWORD used = GetLogicalDrives();
    wchar_t letter = L'Y';
    while (letter >= L'D' && (used & (1u << (letter - L'A')))) --letter;
    if (letter >= L'D' && !target.empty() && defineUnixDrive(letter, target, driveType)) letter_ = letter;
}

// Wine keeps the (then empty) key it made for the drive's type, in a prefix that goes with the run.
MountedDrive::~MountedDrive() {
    if (letter_) defineUnixDrive(letter_, std::string(), DRIVE_NO_ROOT_DIR);
}

std::wstring gameFolderOf(const std::wstring& library, const std::wstring& installDir) {
    return library + L"\\steamapps\\common\\" + installDir + L"\\game";
}

std::wstring makeGameFolder(const std::wstring& library, const std::wstring& installDir) {
    const std::wstring folder = gameFolderOf(library, installDir);
    writeFile(folder + L"\\archive.rpa", "RPA-3.0 archive");
    return folder;
}

std::string manifestText(const std::string& installDir) {
    return "\"AppState\"\n{\n"
           "\t\"appid\"\t\t\"2468020\"\n"
           "\t\"name\"\t\t\"Lumivex: Orrendale\"\n"
           "\t\"installdir\"\t\t\"" + installDir + "\"\n"
           "\t\"StateFlags\"\t\t\"4\"\n}\n";
}

std::wstring writeManifest(const std::wstring& library, const std::string& installDir, std::uint64_t stamp) {
    const std::wstring path = library + L"\\steamapps\\" + kManifestName;
    writeFile(path, manifestText(installDir));
    if (stamp) setWriteTime(path, stamp);
    return path;
}

bool setWriteTime(const std::wstring& path, std::uint64_t fileTime) {
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;  // folders too
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, sharing, nullptr, OPEN_EXISTING, flags, nullptr));
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(fileTime);
    time.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

std::string libraryFoldersVdf(const std::vector<std::wstring>& libraries, bool blockFormat) {
    std::string vdf = blockFormat ? "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-1234\"\n"
                                  : "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1\"\n";
    for (size_t index = 0; index < libraries.size(); ++index) {
        std::string escaped;
        for (char byte : utf8(libraries[index])) {
            if (byte == '\\' || byte == '"') escaped += '\\';
            escaped += byte;
        }
        if (blockFormat) {
            vdf += "\t\"" + std::to_string(index) + "\"\n\t{\n";
            vdf += "\t\t\"path\"\t\t\"" + escaped + "\"\n";
            vdf += "\t\t\"apps\"\n\t\t{\n\t\t\t\"2468020\"\t\t\"123456\"\n\t\t}\n\t}\n";
        } else {
            vdf += "\t\"" + std::to_string(index + 1) + "\"\t\t\"" + escaped + "\"\n";
        }
    }
    return vdf + "}\n";
}

SteamWorld::SteamWorld(const std::wstring& root, const std::vector<std::wstring>& libraries)
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

namespace {
thread_local BoxWatcher* activeWatcher = nullptr;

LRESULT CALLBACK watchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    GetClassNameW(box, className, 16);
    if (code == HCBT_ACTIVATE && activeWatcher && std::wstring(className) == L"#32770") {
        activeWatcher->boxes.push_back(readBox(box));
        answerBox(box, activeWatcher->answer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}
}  // namespace

BoxWatcher::BoxWatcher(int answerWith) : answer(answerWith) {
    activeWatcher = this;
    hook_ = SetWindowsHookExW(WH_CBT, watchBoxes, nullptr, GetCurrentThreadId());
}

BoxWatcher::~BoxWatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
    activeWatcher = nullptr;
}

SeenBox readBox(HWND box) {
    SeenBox seen;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, 0xFFFF));
    seen.style = MB_OK;
    if (GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)) {
        seen.style = MB_YESNO;
        const LRESULT defaultButton = SendMessageW(box, DM_GETDEFID, 0, 0);
        if (HIWORD(defaultButton) == DC_HASDEFID && LOWORD(defaultButton) == IDNO) seen.style |= MB_DEFBUTTON2;
    }
    // The icon control is 0x14 in Windows' message box and stc1 (0x440) in Wine's.
    HWND iconControl = GetDlgItem(box, 0x14) ? GetDlgItem(box, 0x14) : GetDlgItem(box, 0x440);
    const HICON shown = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
    const std::pair<LPCWSTR, UINT> icons[] = {
        {IDI_WARNING, MB_ICONWARNING},
        {IDI_ERROR, MB_ICONERROR},
        {IDI_QUESTION, MB_ICONQUESTION},
        {IDI_INFORMATION, MB_ICONINFORMATION},
    };
    for (const auto& [icon, style] : icons)
        if (shown && shown == LoadIconW(nullptr, icon)) seen.style |= style;
    return seen;
}

Installer::Installer(const std::wstring& folder, const std::wstring& arguments, const std::wstring& exe) {
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

Installer::~Installer() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10000);
    }
}

HWND Installer::window(const wchar_t* className, DWORD timeoutMs) const {
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

DWORD Installer::exitCode(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::pair<std::wstring, std::wstring> standInRecord(const std::wstring& exe, DWORD timeoutMs) {
    const std::wstring record = exe + L".record";
    if (!pumpUntil([&] { return exists(record); }, timeoutMs)) return {};
    const std::string bytes = readFile(record);
    const int size = static_cast<int>(bytes.size());
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, text.data(), size));
    const size_t firstEnd = text.find(L'\n');
    const size_t secondEnd = text.find(L'\n', firstEnd + 1);
    return {text.substr(0, firstEnd), text.substr(firstEnd + 1, secondEnd - firstEnd - 1)};
}

void clickAt(HWND hwnd, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, where);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, where);
}

POINT pointIn(const LayoutRect& rect, float scale, float across) {
    const float x = (rect.left + rect.width * across) * scale;
    const float y = (rect.top + rect.height / 2) * scale;
    return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

POINT pointOf(HWND hwnd, InstallerState state, LayoutRect MainLayout::*rect, float across, int dpi) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const float width = static_cast<float>(client.right);
    const float height = static_cast<float>(client.bottom);
    const float scale = scaleFor(width, height, static_cast<float>(dpi));
    const MainLayout layout = computeLayout(width / scale, height / scale, state);
    return pointIn(layout.*rect, scale, across);
}

void pressKey(HWND hwnd, WPARAM virtualKey) {
    PostMessageW(hwnd, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(hwnd, WM_KEYUP, virtualKey, 0xC0000001);
}

void answerBox(HWND box, int buttonId) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0); }

std::uint32_t screenPixel(HWND hwnd, int x, int y) {
    POINT at{x, y};
    ClientToScreen(hwnd, &at);
    const HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

bool closeTo(std::uint32_t rgb, std::uint32_t expected, int tolerance) {
    for (int shift : {0, 8, 16}) {
        const int channel = static_cast<int>((rgb >> shift) & 0xFF);
        const int wanted = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(channel - wanted) > tolerance) return false;
    }
    return true;
}

}  // namespace support
