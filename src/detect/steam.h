// Where Steam keeps games on this machine: its installation folders (roots), the library folders
// they list, and the game's app manifest in each library. Nothing here decides which folder is the
// game folder; detection.cpp builds and ranks the candidates from these results.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/product.h"
#include "detect/paths.h"

// Larger Steam text files are not read at all: bounds the memory of one read.
constexpr std::uint64_t kMaxTextFileBytes = 16ull * 1024 * 1024;

using PathList = std::vector<WidePath>;
using StringList = std::vector<std::wstring>;

struct ManifestProbe {
    bool present = false;      // the manifest exists and is not a folder
    std::uint64_t stamp = 0;   // its last-write FILETIME when present
    std::wstring installDir;   // its "installdir" value; empty when absent or unreadable
};

// A REG_SZ / REG_EXPAND_SZ value as a normalised path, or empty. viewFlags: 0, KEY_WOW64_32KEY
// or KEY_WOW64_64KEY.
WidePath readRegistryPath(HKEY hive, const wchar_t* subKey, const wchar_t* valueName, REGSAM viewFlags);

// Bytes of a Steam text file to UTF-16: strict UTF-8 when the bytes are valid UTF-8, the ANSI code
// page otherwise; one leading byte-order mark removed. Empty for empty or undecodable input.
std::wstring decodeText(const std::string& bytes);
// The whole file decoded by decodeText; empty when missing, empty, a folder or above 16 MiB.
std::wstring readTextFile(const WidePath& path);

// Every double-quoted string of a key-value text, in order, with \\ and \" resolved. An
// unterminated last string runs to the end of the text.
StringList quotedStrings(const std::wstring& text);

void addSteamRoot(PathList& list, const WidePath& path);
PathList collectSteamRoots();

// The raw library path strings of a libraryfolders.vdf: the value after every all-digit key and
// after every "path" key (both file formats), in file order, not yet normalised or checked.
StringList libraryPathStrings(const StringList& strings);
// True for a drive-letter path (at least 3 code units, colon at index 1).
bool isDriveLetterPath(const WidePath& path);
PathList collectLibraries(const PathList& roots);

// The value after the first "installdir" key (any case), or empty.
std::wstring manifestInstallDir(const StringList& strings);
ManifestProbe probeManifest(const WidePath& library);

// The five folders offered as Steam roots for one fixed drive root, in order.
PathList driveRootOffers(const WidePath& driveRoot);
// The drive roots of a GetLogicalDriveStringsW buffer holding `length` code units.
PathList splitDriveStrings(const wchar_t* buffer, size_t length);

// Number of file-system calls made by detection since the process started (attribute queries,
// opens, reads, listing steps). Cheap; used to measure a detection pass.
std::uint64_t detectionFileCalls();
void countFileCalls(std::uint64_t calls = 1);
