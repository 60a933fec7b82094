#include "detect_world.h"

#include <winioctl.h>

#include <cstring>

namespace detect_world {

using testing_support::makeFolders;
using testing_support::writeFile;

std::wstring gameFolderOf(const std::wstring& library, const std::wstring& installDir) {
    return library + L"\\steamapps\\common\\" + installDir + L"\\game";
}

std::wstring makeGameFolder(const std::wstring& library, const std::wstring& archive, const std::wstring& installDir) {
    std::wstring folder = gameFolderOf(library, installDir);
    makeFolders(folder);
    writeFile(folder + L"\\" + archive, "RPA-3.0 archive");
    return folder;
}

std::wstring writeManifest(const std::wstring& library, const std::string& bytes, std::uint64_t stamp) {
    std::wstring path = library + L"\\steamapps\\appmanifest_2468020.acf";
    writeFile(path, bytes);
    if (stamp) setWriteTime(path, stamp);
    return path;
}

std::string manifestText(const std::string& installDir) {
    return "\"AppState\"\n{\n\t\"appid\"\t\t\"2468020\"\n\t\"name\"\t\t\"Lumivex: Orrendale\"\n\t\"installdir\"\t\t\"" +
           installDir + "\"\n\t\"StateFlags\"\t\t\"4\"\n}\n";
}

bool setWriteTime(const std::wstring& path, std::uint64_t fileTime) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME time{static_cast<DWORD>(fileTime & 0xFFFFFFFFu), static_cast<DWORD>(fileTime >> 32)};
    bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return ok;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    return bytes;
}

std::string escapeVdf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string blockFormatVdf(const std::vector<std::wstring>& libraries, const std::string& pathKey) {
    std::string vdf = "\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-1234\"\n";
    for (size_t i = 0; i < libraries.size(); ++i) {
        vdf += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"" + pathKey + "\"\t\t\"" + escapeVdf(utf8(libraries[i])) +
               "\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"2468020\"\t\t\"123456\"\n\t\t}\n\t}\n";
    }
    return vdf + "}\n";
}

std::string flatFormatVdf(const std::vector<std::wstring>& libraries) {
    std::string vdf = "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1\"\n\t\"ContentStatsID\"\t\t\"-5\"\n";
    for (size_t i = 0; i < libraries.size(); ++i)
        vdf += "\t\"" + std::to_string(i + 1) + "\"\t\t\"" + escapeVdf(utf8(libraries[i])) + "\"\n";
    return vdf + "}\n";
}

CandidateList candidatesBelow(const CandidateList& list, const std::wstring& folder) {
    CandidateList own;
    for (const GameCandidate& c : list)
        if (c.folder.size() > folder.size() && pathEqualsNoCase(c.folder.substr(0, folder.size()), folder) &&
            c.folder[folder.size()] == L'\\')
            own.push_back(c);
    return own;
}

std::wstring fixturePath(const std::wstring& name) {
    wchar_t source[4096] = {};
    GetEnvironmentVariableW(L"LUMIVEX_SOURCE", source, 4096);
    std::wstring path = std::wstring(L"Z:") + source + L"/tests/fixtures/steam/" + name;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return normalizePath(path);
}

// ---- registry ----

namespace {
std::wstring parentKey(const std::wstring& key) {
    size_t cut = key.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring() : key.substr(0, cut);
}
bool keyExists(HKEY hive, const std::wstring& key, REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}
}  // namespace

RegistryValue::RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view)
    : hive_(hive), subKey_(subKey), name_(name), view_(view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive, subKey.c_str(), 0, KEY_QUERY_VALUE | view, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS) {
            oldData_.resize(size + 2);
            DWORD bytes = size;
            existed_ = RegQueryValueExW(key, name.c_str(), nullptr, &oldType_, oldData_.data(), &bytes) == ERROR_SUCCESS;
            oldData_.resize(bytes);
        }
        RegCloseKey(key);
        return;
    }
    // Remember the topmost missing key so that it can go again with everything below it.
    std::wstring missing = subKey;
    while (!parentKey(missing).empty() && !keyExists(hive, parentKey(missing), view)) missing = parentKey(missing);
    createdKey_ = missing;
}

RegistryValue::~RegistryValue() {
    if (!createdKey_.empty()) {
        std::wstring parent = parentKey(createdKey_);
        std::wstring leaf = parent.empty() ? createdKey_ : createdKey_.substr(parent.size() + 1);
        HKEY parentHandle = nullptr;
        if (parent.empty()) {
            RegDeleteTreeW(hive_, leaf.c_str());
        } else if (RegOpenKeyExW(hive_, parent.c_str(), 0, KEY_ALL_ACCESS | view_, &parentHandle) == ERROR_SUCCESS) {
            RegDeleteTreeW(parentHandle, leaf.c_str());
            RegCloseKey(parentHandle);
        }
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive_, subKey_.c_str(), 0, KEY_SET_VALUE | view_, &key) != ERROR_SUCCESS) return;
    if (existed_)
        RegSetValueExW(key, name_.c_str(), 0, oldType_, oldData_.data(), static_cast<DWORD>(oldData_.size()));
    else
        RegDeleteValueW(key, name_.c_str());
    RegCloseKey(key);
}

bool RegistryValue::set(DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(hive_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, name_.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool RegistryValue::setString(const std::wstring& text, DWORD type) {
    return set(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// ---- environment ----

EnvironmentVariable::EnvironmentVariable(const std::wstring& name, const std::wstring& value, bool remove)
    : name_(name) {
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), 32768);
    existed_ = length > 0 && length < 32768;
    if (existed_) old_.assign(buffer.data(), length);
    SetEnvironmentVariableW(name.c_str(), remove ? nullptr : value.c_str());
}

EnvironmentVariable::~EnvironmentVariable() {
    SetEnvironmentVariableW(name_.c_str(), existed_ ? old_.c_str() : nullptr);
}

// ---- drives ----

namespace {
// Wine's own extension of the mount manager's interface (include/ddk/mountmgr.h in Wine 8).
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

bool defineUnixDrive(wchar_t letter, const std::string& mountPoint, UINT type) {
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(sizeof(WineUnixDrive) + mountPoint.size() + 1, '\0');
    WineUnixDrive* drive = reinterpret_cast<WineUnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = static_cast<WCHAR>(towlower(letter));
    if (!mountPoint.empty()) {
        std::memcpy(buffer.data() + sizeof(WineUnixDrive), mountPoint.c_str(), mountPoint.size() + 1);
        drive->mountPointOffset = sizeof(WineUnixDrive);
    }
    DWORD returned = 0;
    bool ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0,
                              &returned, nullptr) != 0;
    CloseHandle(manager);
    return ok;
}
}  // namespace

MountedDrive::MountedDrive(const std::wstring& folder, UINT driveType) {
    std::string target = unixPath(folder);
    if (target.empty()) return;
    hadDriveKey_ = keyExists(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Drives", 0);
    DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'D'; --letter) {
        if (used & (1u << (letter - L'A'))) continue;
        if (defineUnixDrive(letter, target, driveType)) letter_ = letter;
        return;
    }
}

MountedDrive::~MountedDrive() {
    if (letter_) defineUnixDrive(letter_, std::string(), DRIVE_NO_ROOT_DIR);
    // Wine leaves the (now empty) key it made for the drive type behind.
    if (!hadDriveKey_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Drives", 0, 0);
}

std::string unixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::string();
    char* name = toUnix(path.c_str());
    if (!name) return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool startUnix(const std::string& commandLine) {
    std::wstring command(commandLine.begin(), commandLine.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool waitForPath(const std::wstring& path, bool exists, DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
}

}  // namespace detect_world
