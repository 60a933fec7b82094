// Path handling shared by detection, installation and start-up.
// No operation reports an error: failures give an empty path, false or 0.
#pragma once
#include <cstdint>
#include <string>

using WidePath = std::wstring;

WidePath trimSpaces(const WidePath& path);
WidePath normalizePath(const WidePath& path);
WidePath joinPath(const WidePath& base, const WidePath& tail);
bool pathEqualsNoCase(const WidePath& a, const WidePath& b);
bool endsWithNoCase(const WidePath& path, const WidePath& suffix);
bool startsWith(const WidePath& path, const WidePath& prefix);
WidePath parentFolder(const WidePath& path);
WidePath toLongPath(const WidePath& path);

bool isDirectory(const WidePath& path);
bool isFile(const WidePath& path);
std::uint64_t fileSize(const WidePath& path);
std::uint64_t lastWriteTime(const WidePath& path);
