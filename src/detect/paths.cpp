#include "detect/paths.h"

#include <windows.h>
#include <cwctype>
#include <vector>

namespace {
bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}

WidePath trimSpaces(const WidePath& path) {
    size_t first = 0;
    size_t last = path.size();
    while (first < last && std::iswspace(path[first])) ++first;
    while (last > first && std::iswspace(path[last - 1])) --last;
    return path.substr(first, last - first);
}

WidePath normalizePath(const WidePath& path) {
    WidePath p = trimSpaces(path);
    if (p.size() >= 2 && p.front() == L'"' && p.back() == L'"') p = p.substr(1, p.size() - 2);
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    if (!p.empty()) {
        DWORD needed = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
        if (needed != 0) {
            std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
            DWORD length = GetFullPathNameW(p.c_str(), needed + 1, buffer.data(), nullptr);
            if (length > 0 && length < needed + 1) p.assign(buffer.data(), length);
        }
    }
    while (p.size() > 3 && isSeparator(p.back())) p.pop_back();
    return p;
}

WidePath joinPath(const WidePath& base, const WidePath& tail) {
    if (base.empty()) return tail;
    if (tail.empty()) return base;
    if (isSeparator(base.back())) return base + tail;
    return base + L'\\' + tail;
}

bool pathEqualsNoCase(const WidePath& a, const WidePath& b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool endsWithNoCase(const WidePath& path, const WidePath& suffix) {
    if (path.size() < suffix.size()) return false;
    return pathEqualsNoCase(path.substr(path.size() - suffix.size()), suffix);
}

bool startsWith(const WidePath& path, const WidePath& prefix) {
    return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
}

WidePath parentFolder(const WidePath& path) {
    size_t pos = path.find_last_of(L"\\/");
    if (pos == WidePath::npos) return WidePath();
    if (pos == 2 && path.size() >= 3 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, pos);
}

WidePath toLongPath(const WidePath& path) {
    if (startsWith(path, L"\\\\?\\")) return path;
    if (startsWith(path, L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() >= 3 && path[1] == L':') return L"\\\\?\\" + path;
    return path;
}

bool isCanonicalAbsolute(const WidePath& path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    const bool network = startsWith(path, L"\\\\") && !startsWith(path, L"\\\\?\\") && !startsWith(path, L"\\\\.\\");
    if (!drive && !network) return false;
    size_t start = network ? 2 : 3;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == WidePath::npos) end = path.size();
        WidePath part = path.substr(start, end - start);
        // Windows drops a trailing dot or blank of a plain path's part, the long form keeps it.
        if (part.find(L'/') != WidePath::npos || (!part.empty() && (part.back() == L'.' || part.back() == L' ')))
            return false;
        if (part.empty() && end != path.size()) return false;  // a doubled separator
        start = end + 1;
    }
    return true;
}

WidePath queryForm(const WidePath& path) { return isCanonicalAbsolute(path) ? toLongPath(path) : path; }

bool isDirectory(const WidePath& path) {
    DWORD attributes = GetFileAttributesW(queryForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isFile(const WidePath& path) {
    // INVALID_FILE_ATTRIBUTES has the directory bit set, so a missing path is not a file.
    return (GetFileAttributesW(queryForm(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {
bool standardInfo(const WidePath& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(queryForm(path).c_str(), GetFileExInfoStandard, &data) != 0;
}
}  // namespace

std::uint64_t fileSize(const WidePath& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!standardInfo(path, data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::uint64_t lastWriteTime(const WidePath& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!standardInfo(path, data)) return 0;
    return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}
