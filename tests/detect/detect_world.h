// Building blocks for detection tests: Steam layouts in scratch folders, and owners that change
// machine state (registry values, environment variables, drives) and put it back when they go.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "detect/detection.h"
#include "test_support.h"

namespace detect_world {

constexpr const wchar_t* kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2468020";

// <library>\steamapps\common\Lumivex Orrendale\game
std::wstring gameFolderOf(const std::wstring& library, const std::wstring& installDir = L"Lumivex Orrendale");
// Creates the game folder with one archive; returns its path.
std::wstring makeGameFolder(const std::wstring& library, const std::wstring& archive = L"archive.rpa",
                            const std::wstring& installDir = L"Lumivex Orrendale");
// Writes <library>\steamapps\appmanifest_2468020.acf; a stamp other than 0 becomes its write time.
std::wstring writeManifest(const std::wstring& library, const std::string& bytes, std::uint64_t stamp = 0);
std::string manifestText(const std::string& installDir);
bool setWriteTime(const std::wstring& path, std::uint64_t fileTime);
// A libraryfolders.vdf in the new block format listing the given folders, with Steam's escaping.
std::string blockFormatVdf(const std::vector<std::wstring>& libraries, const std::string& pathKey = "path");
std::string flatFormatVdf(const std::vector<std::wstring>& libraries);
std::string utf8(const std::wstring& text);
std::string escapeVdf(const std::string& text);

// The candidates of a pass that lie below one folder: the test's own world.
CandidateList candidatesBelow(const CandidateList& list, const std::wstring& folder);
// Absolute form of a fixture file (LUMIVEX_SOURCE/../shared/fixtures/steam/<name>).
std::wstring fixturePath(const std::wstring& name);

// Sets one registry value and restores the previous value (or its absence, removing keys it had
// to create) on destruction.
class RegistryValue {
public:
    RegistryValue(HKEY hive, const std::wstring& subKey, const std::wstring& name, REGSAM view = 0);
    ~RegistryValue();
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;
    bool set(DWORD type, const void* data, DWORD bytes);
    bool setString(const std::wstring& text, DWORD type = REG_SZ);  // with its terminator

private:
    HKEY hive_;
    std::wstring subKey_, name_;
    REGSAM view_;
    bool existed_ = false;
    DWORD oldType_ = 0;
    std::vector<BYTE> oldData_;
    std::wstring createdKey_;  // topmost key this owner created, empty when the key was there
};

// Sets (or removes, with remove = true) one environment variable of this process and restores it.
class EnvironmentVariable {
public:
    EnvironmentVariable(const std::wstring& name, const std::wstring& value, bool remove = false);
    ~EnvironmentVariable();
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    std::wstring name_;
    bool existed_ = false;
    std::wstring old_;
};

// A drive letter mapped to a folder through Wine's mount manager, removed on destruction.
//
// Found by trying on Wine 8: DefineDosDeviceW adds the letter to GetLogicalDriveStringsW but Wine
// reports it as DRIVE_NO_ROOT_DIR and its root cannot be opened; a symlink in
// $WINEPREFIX/dosdevices makes paths on the letter work and GetDriveTypeW says DRIVE_FIXED, but
// the letter does not appear in GetLogicalDriveStringsW until the wineserver restarts. Wine's mount
// manager ioctl IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE (what winecfg uses) does both at once: the letter
// is listed at once and GetDriveTypeW reports exactly the type given (DRIVE_FIXED 3,
// DRIVE_REMOVABLE 2); defining it again without a mount point removes it.
class MountedDrive {
public:
    MountedDrive(const std::wstring& folder, UINT driveType);
    ~MountedDrive();
    MountedDrive(const MountedDrive&) = delete;
    MountedDrive& operator=(const MountedDrive&) = delete;
    bool ok() const { return letter_ != 0; }
    std::wstring root() const { return std::wstring(1, letter_) + L":\\"; }

private:
    wchar_t letter_ = 0;
    bool hadDriveKey_ = false;  // the mount manager keeps drive types in HKLM\Software\Wine\Drives
};

// Unix path of a Windows path (Wine's wine_get_unix_file_name), empty when unavailable.
std::string unixPath(const std::wstring& path);
// Starts a Linux command line through Wine's support for starting Unix programs. Wine's process
// handle for it does not follow the Unix process, so callers wait for an effect (waitForPath).
// Used where the Windows API is far too slow in Wine (100,000 files).
bool startUnix(const std::string& commandLine);
// Polls until the path exists (or, with exists = false, is gone); false after timeoutMs.
bool waitForPath(const std::wstring& path, bool exists, DWORD timeoutMs);

}  // namespace detect_world
