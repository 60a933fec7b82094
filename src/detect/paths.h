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
// An absolute path with nothing for Windows to tidy up (no forward slashes, no part ending in a
// dot or a blank, which covers "." and "..", no doubled separators): its long form names the same file, so it reaches past 260
// characters. Every file query uses queryForm, which takes the long form only for such paths
// and leaves any other path to Windows' own clean-up.
bool isCanonicalAbsolute(const WidePath& path);
WidePath queryForm(const WidePath& path);

// The queries work through queryForm, so a game folder deeper than 260 characters answers too.
bool isDirectory(const WidePath& path);
bool isFile(const WidePath& path);
std::uint64_t fileSize(const WidePath& path);
std::uint64_t lastWriteTime(const WidePath& path);
