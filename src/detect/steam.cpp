#include "detect/steam.h"

#include <atomic>
#include <climits>
#include <cwctype>

#include "app/handles.h"

namespace {

std::atomic<std::uint64_t> fileCallCount{0};

bool countedIsDirectory(const WidePath& path) {
    countFileCalls();
    return isDirectory(path);
}

bool containsNoCase(const PathList& list, const WidePath& path) {
    for (const WidePath& element : list)
        if (pathEqualsNoCase(element, path)) return true;
    return false;
}

std::wstring upToFirstNul(const wchar_t* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != L'\0') ++length;
    return std::wstring(text, length);
}

std::wstring expandEnvironment(const std::wstring& value) {
    DWORD needed = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    if (needed == 0) return value;
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    if (ExpandEnvironmentStringsW(value.c_str(), buffer.data(), needed + 1) == 0) return value;
    return upToFirstNul(buffer.data(), buffer.size());
}

void offerEnvironmentFolder(PathList& roots, const wchar_t* name) {
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= 1 && length <= 32767) addSteamRoot(roots, joinPath(WidePath(buffer.data(), length), L"Steam"));
}

void offerFixedDrives(PathList& roots) {
    std::vector<wchar_t> buffer(512, L'\0');
    DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length < 1 || length > 511) return;
    for (const WidePath& drive : splitDriveStrings(buffer.data(), length)) {
        countFileCalls();
        if (GetDriveTypeW(drive.c_str()) != DRIVE_FIXED) continue;
        for (const WidePath& offer : driveRootOffers(drive)) addSteamRoot(roots, offer);
    }
}

bool isAllDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (!std::iswdigit(c)) return false;
    return true;
}

}  // namespace

std::uint64_t detectionFileCalls() { return fileCallCount.load(std::memory_order_relaxed); }

void countFileCalls(std::uint64_t calls) { fileCallCount.fetch_add(calls, std::memory_order_relaxed); }

WidePath readRegistryPath(HKEY hive, const wchar_t* subKey, const wchar_t* valueName, REGSAM viewFlags) {
    RegistryKey key;
    if (RegOpenKeyExW(hive, subKey, 0, KEY_QUERY_VALUE | viewFlags, key.out()) != ERROR_SUCCESS) return WidePath();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return WidePath();
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size < 2) return WidePath();
    // Two spare code units terminate a value that was stored without its own terminator.
    std::vector<wchar_t> buffer(size / 2 + 2, L'\0');
    DWORD bytes = size;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return WidePath();
    std::wstring value = upToFirstNul(buffer.data(), buffer.size());
    if (type == REG_EXPAND_SZ) value = expandEnvironment(value);
    return normalizePath(value);
}

std::wstring decodeText(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int byteCount = static_cast<int>(bytes.size());
    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = MultiByteToWideChar(codePage, flags, bytes.data(), byteCount, nullptr, 0);
    if (length <= 0) {
        codePage = CP_ACP;
        flags = 0;
        length = MultiByteToWideChar(codePage, flags, bytes.data(), byteCount, nullptr, 0);
    }
    if (length < 1) return std::wstring();
    std::wstring text(static_cast<size_t>(length), L'\0');
    int written = MultiByteToWideChar(codePage, flags, bytes.data(), byteCount, &text[0], length);
    if (written < 1) return std::wstring();
    text.resize(static_cast<size_t>(written));
    if (text[0] == 0xFEFF) text.erase(0, 1);
    return text;
}

std::wstring readTextFile(const WidePath& path) {
    countFileCalls();
    FileHandle file(CreateFileW(queryForm(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::wstring();
    LARGE_INTEGER size{};
    countFileCalls();
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxTextFileBytes)
        return std::wstring();
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    countFileCalls();
    if (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) return std::wstring();
    bytes.resize(read);
    return decodeText(bytes);
}

StringList quotedStrings(const std::wstring& text) {
    StringList strings;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (text[i] != L'"') {
            ++i;
            continue;
        }
        std::wstring s;
        size_t j = i + 1;
        while (j < n) {
            wchar_t c = text[j];
            if (c == L'\\' && j + 1 < n) {
                wchar_t next = text[j + 1];
                if (next == L'\\' || next == L'"') {
                    s += next;
                    j += 2;
                } else {
                    s += c;
                    ++j;
                }
            } else if (c == L'"') {
                ++j;
                break;
            } else {
                s += c;  // also a backslash that ends the text
                ++j;
            }
        }
        strings.push_back(std::move(s));
        i = j;
    }
    return strings;
}

void addSteamRoot(PathList& list, const WidePath& path) {
    WidePath p = normalizePath(path);
    if (p.empty() || containsNoCase(list, p)) return;
    if (countedIsDirectory(p)) list.push_back(p);
}

PathList splitDriveStrings(const wchar_t* buffer, size_t length) {
    PathList drives;
    size_t i = 0;
    while (i < length && buffer[i] != L'\0') {
        size_t end = i;
        while (end < length && buffer[end] != L'\0') ++end;
        drives.emplace_back(buffer + i, end - i);
        i = end + 1;
    }
    return drives;
}

PathList driveRootOffers(const WidePath& driveRoot) {
    return {driveRoot, joinPath(driveRoot, L"Steam"), joinPath(driveRoot, L"SteamLibrary"),
            joinPath(joinPath(driveRoot, L"Games"), L"Steam"), joinPath(joinPath(driveRoot, L"Games"), L"SteamLibrary")};
}

PathList collectSteamRoots() {
    PathList roots;
    addSteamRoot(roots, readRegistryPath(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath", 0));
    addSteamRoot(roots, readRegistryPath(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"InstallPath", 0));
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)})
        addSteamRoot(roots, readRegistryPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Valve\\Steam", L"InstallPath", view));
    offerEnvironmentFolder(roots, L"ProgramFiles(x86)");
    offerEnvironmentFolder(roots, L"ProgramFiles");
    addSteamRoot(roots, L"C:\\Program Files (x86)\\Steam");
    addSteamRoot(roots, L"C:\\Program Files\\Steam");
    offerFixedDrives(roots);
    return roots;
}

StringList libraryPathStrings(const StringList& strings) {
    StringList values;
    for (size_t k = 1; k < strings.size(); ++k) {
        const std::wstring& key = strings[k - 1];
        if (isAllDigits(key) || pathEqualsNoCase(key, L"path")) values.push_back(strings[k]);
    }
    return values;
}

bool isDriveLetterPath(const WidePath& path) { return path.size() >= 3 && path[1] == L':'; }

PathList collectLibraries(const PathList& roots) {
    PathList libraries;
    for (const WidePath& root : roots) {
        PathList perRoot{normalizePath(root)};
        WidePath vdf = joinPath(joinPath(root, L"steamapps"), L"libraryfolders.vdf");
        for (const std::wstring& raw : libraryPathStrings(quotedStrings(readTextFile(vdf)))) {
            WidePath v = normalizePath(raw);
            // Network paths are refused: probing an unreachable server would stall the pass.
            if (!isDriveLetterPath(v) || containsNoCase(perRoot, v)) continue;
            if (countedIsDirectory(v)) perRoot.push_back(v);
        }
        for (const WidePath& library : perRoot)
            if (!containsNoCase(libraries, library)) libraries.push_back(library);
    }
    return libraries;
}

std::wstring manifestInstallDir(const StringList& strings) {
    for (size_t k = 1; k < strings.size(); ++k)
        if (pathEqualsNoCase(strings[k - 1], L"installdir")) return strings[k];
    return std::wstring();
}

ManifestProbe probeManifest(const WidePath& library) {
    ManifestProbe probe;
    WidePath manifest = joinPath(joinPath(library, L"steamapps"), kManifestName);
    countFileCalls();
    probe.present = isFile(manifest);
    if (!probe.present) return probe;
    probe.installDir = manifestInstallDir(quotedStrings(readTextFile(manifest)));
    countFileCalls();
    probe.stamp = lastWriteTime(manifest);
    return probe;
}
