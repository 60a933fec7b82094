#include "support.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

namespace support {

ScratchFolder::ScratchFolder(const std::wstring& name) {
    static unsigned counter = 0;
    path_ = env(L"SystemDrive") + L"\\lumivex-tests\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
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
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    for (size_t done = 0; file && done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written != chunk) return false;
        done += written;
    }
    return static_cast<bool>(file);
}

std::string readFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

std::vector<std::wstring> listFolder(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &data))
        if (lstrcmpW(data.cFileName, L".") && lstrcmpW(data.cFileName, L"..")) names.push_back(data.cFileName);
    return names;
}

void removeTree(const std::wstring& path) {
    for (const std::wstring& name : listFolder(path + L"\\*")) {
        const std::wstring child = path + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) removeTree(child);
        else if (!DeleteFileW(child.c_str())) RemoveDirectoryW(child.c_str());
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string utf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring env(const wchar_t* name) {
    std::vector<wchar_t> value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32768);
    return length > 0 && length < 32768 ? std::wstring(value.data(), length) : std::wstring();
}

std::wstring fromUnix(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string unixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring fixturePath(const std::wstring& name) { return fromUnix(env(L"LUMIVEX_SOURCE") + L"/tests/fixtures/steam/" + name); }
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

namespace {
std::wstring parentKey(const std::wstring& key) {
    const size_t cut = key.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : key.substr(0, cut);
}
bool keyExists(HKEY hive, const std::wstring& key, REGSAM view) {
    RegistryKey opened;
    return RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, opened.out()) == ERROR_SUCCESS;
}
}  // namespace

RegistryValue::RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view)
    : hive_(hive), subKey_(subKey), name_(name), view_(view) {
    RegistryKey key;
    if (RegOpenKeyExW(hive, subKey.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS) {
            oldData_.resize(size);
            existed_ = RegQueryValueExW(key.get(), name.c_str(), nullptr, &oldType_, oldData_.data(), &size) ==
                       ERROR_SUCCESS;
        }
        return;
    }
    // The topmost missing key goes again with everything below it.
    createdKey_ = subKey;
    while (!parentKey(createdKey_).empty() && !keyExists(hive, parentKey(createdKey_), view))
        createdKey_ = parentKey(createdKey_);
}

RegistryValue::~RegistryValue() {
    RegistryKey key;
    if (kept_) return;
    if (!createdKey_.empty()) {
        const std::wstring parent = parentKey(createdKey_);
        if (parent.empty()) RegDeleteTreeW(hive_, createdKey_.c_str());
        else if (RegOpenKeyExW(hive_, parent.c_str(), 0, KEY_ALL_ACCESS | view_, key.out()) == ERROR_SUCCESS)
            RegDeleteTreeW(key.get(), createdKey_.substr(parent.size() + 1).c_str());
    } else if (RegOpenKeyExW(hive_, subKey_.c_str(), 0, KEY_SET_VALUE | view_, key.out()) == ERROR_SUCCESS) {
        if (existed_) RegSetValueExW(key.get(), name_.c_str(), 0, oldType_, oldData_.data(), DWORD(oldData_.size()));
        else RegDeleteValueW(key.get(), name_.c_str());
    }
}

bool RegistryValue::set(DWORD type, const void* data, DWORD bytes) {
    RegistryKey key;
    return RegCreateKeyExW(hive_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, key.out(), nullptr) ==
               ERROR_SUCCESS &&
           RegSetValueExW(key.get(), name_.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
}

bool RegistryValue::setString(const std::wstring& text, DWORD type) {
    return set(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

EnvironmentVariable::EnvironmentVariable(const std::wstring& name, const std::wstring& value, bool remove)
    : name_(name), old_(env(name.c_str())) {
    existed_ = GetEnvironmentVariableW(name.c_str(), nullptr, 0) > 0;
    SetEnvironmentVariableW(name.c_str(), remove ? nullptr : value.c_str());
}

EnvironmentVariable::~EnvironmentVariable() { SetEnvironmentVariableW(name_.c_str(), existed_ ? old_.c_str() : nullptr); }

namespace {
// Wine's own extension of the mount manager (include/ddk/mountmgr.h in Wine 8).
struct WineUnixDrive {
    ULONG size, type, fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset, deviceOffset, labelOffset;
};
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool defineUnixDrive(wchar_t letter, const std::string& mountPoint, UINT type) {
    FileHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(sizeof(WineUnixDrive) + mountPoint.size() + 1, '\0');
    auto* drive = reinterpret_cast<WineUnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = static_cast<WCHAR>(towlower(letter));
    if (!mountPoint.empty()) {
        std::memcpy(buffer.data() + sizeof(WineUnixDrive), mountPoint.c_str(), mountPoint.size() + 1);
        drive->mountPointOffset = sizeof(WineUnixDrive);
    }
    DWORD returned = 0;
    return manager && DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(), DWORD(buffer.size()), nullptr, 0,
                                      &returned, nullptr);
}
}  // namespace

MountedDrive::MountedDrive(const std::wstring& folder, UINT driveType) {
    const std::string target = unixPath(folder);
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'D' && !target.empty(); --letter) {
        if (used & (1u << (letter - L'A'))) continue;
        if (defineUnixDrive(letter, target, driveType)) letter_ = letter;
        return;
    }
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
    return "\"AppState\"\n{\n\t\"appid\"\t\t\"2468020\"\n\t\"name\"\t\t\"Lumivex: Orrendale\"\n\t\"installdir\"\t\t\"" +
           installDir + "\"\n\t\"StateFlags\"\t\t\"4\"\n}\n";
}

std::wstring writeManifest(const std::wstring& library, const std::string& installDir, std::uint64_t stamp) {
    const std::wstring path = library + L"\\steamapps\\" + kManifestName;
    writeFile(path, manifestText(installDir));
    if (stamp) setWriteTime(path, stamp);
    return path;
}

bool setWriteTime(const std::wstring& path, std::uint64_t fileTime) {
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const FILETIME time{static_cast<DWORD>(fileTime & 0xFFFFFFFFu), static_cast<DWORD>(fileTime >> 32)};
    return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

std::string libraryFoldersVdf(const std::vector<std::wstring>& libraries, bool blockFormat) {
    std::string vdf = blockFormat ? "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-1234\"\n"
                                  : "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1\"\n";
    for (size_t i = 0; i < libraries.size(); ++i) {
        std::string escaped;
        for (char c : utf8(libraries[i])) {
            if (c == '\\' || c == '"') escaped += '\\';
            escaped += c;
        }
        if (blockFormat)
            vdf += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + escaped +
                   "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"2468020\"\t\t\"123456\"\n\t\t}\n\t}\n";
        else
            vdf += "\t\"" + std::to_string(i + 1) + "\"\t\t\"" + escaped + "\"\n";
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
        CopyFileW(standIn.c_str(), (gameFolderOf(library) + L"\\..\\Lumivex.exe").c_str(), FALSE);
    }
}

namespace {
thread_local BoxWatcher* activeWatcher = nullptr;

LRESULT CALLBACK watchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    if (code == HCBT_ACTIVATE && activeWatcher && GetClassNameW(box, className, 16) && !lstrcmpW(className, L"#32770")) {
        activeWatcher->boxes.push_back(readBox(box));
        answerBox(box, activeWatcher->answer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), int(text.size()))));
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
    SeenBox seen{windowText(box), windowText(GetDlgItem(box, 0xFFFF)), MB_OK};
    if (GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO)) {
        seen.style = MB_YESNO;
        const LRESULT def = SendMessageW(box, DM_GETDEFID, 0, 0);
        if (HIWORD(def) == DC_HASDEFID && LOWORD(def) == IDNO) seen.style |= MB_DEFBUTTON2;
    }
    // The icon control is 0x14 in Windows' message box and stc1 (0x440) in Wine's.
    HWND iconControl = GetDlgItem(box, 0x14) ? GetDlgItem(box, 0x14) : GetDlgItem(box, 0x440);
    const HICON shown = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
    const std::pair<LPCWSTR, UINT> icons[] = {{IDI_WARNING, MB_ICONWARNING}, {IDI_ERROR, MB_ICONERROR},
                                              {IDI_QUESTION, MB_ICONQUESTION}, {IDI_INFORMATION, MB_ICONINFORMATION}};
    for (const auto& [id, style] : icons)
        if (shown && shown == LoadIconW(nullptr, id)) seen.style |= style;
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
    if (!CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &started))
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
    pumpUntil([&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w && !found;
             w = FindWindowExW(nullptr, w, className, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == id_ && IsWindowVisible(w)) found = w;
        }
        return found || WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;  // no window after the end
    }, timeoutMs);
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
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), int(text.size())));
    const size_t cut = text.find(L'\n');
    return {text.substr(0, cut), text.substr(cut + 1, text.find(L'\n', cut + 1) - cut - 1)};
}

void clickAt(HWND hwnd, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, where);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, where);
}

POINT pointIn(const LayoutRect& rect, float scale, float across) {
    return POINT{LONG((rect.left + rect.width * across) * scale), LONG((rect.top + rect.height / 2) * scale)};
}

POINT pointOf(HWND hwnd, InstallerState state, LayoutRect MainLayout::*rect, float across, int dpi) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const float scale = scaleFor(float(client.right), float(client.bottom), float(dpi));
    return pointIn(computeLayout(client.right / scale, client.bottom / scale, state).*rect, scale, across);
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
    const COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

bool closeTo(std::uint32_t rgb, std::uint32_t expected, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((rgb >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

}  // namespace support
