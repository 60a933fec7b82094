// The machine as detection sees it, the ranked list of a detection pass, and start-up.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/product.h"
#include "app/startup.h"
#include "detect/detection.h"
#include "detect/steam.h"
#include "install/preflight.h"
#include "support.h"
#include "ui/main_window.h"

using namespace support;

namespace {

std::wstring spelledLikeSteam(std::wstring path) {  // lower case, forward slashes
    for (wchar_t& letter : path) letter = letter == L'\\' ? L'/' : towlower(letter);
    return path;
}

bool under(const WidePath& path, const WidePath& folder) {
    return path.size() >= folder.size() && pathEqualsNoCase(path.substr(0, folder.size()), folder);
}

// The candidates' folders, "*" after manual ones.
std::wstring ranked(const MainWindow& window) {
    std::wstring folders;
    for (const GameCandidate& candidate : window.candidates) {
        folders += candidate.folder + (candidate.manual ? L"* " : L" ");
    }
    return folders;
}

// Each value is stored with its terminator less `cut` bytes: unterminated, or an odd byte count.
TEST(Machine, RegistryValuesOfEveryTypeAndSize) {
    ScratchFolder scratch(L"reg");
    const std::wstring folder = scratch.path();
    EnvironmentVariable variable(L"LUMIVEX_TEST_FOLDER", folder);
    const std::wstring key = L"Software\\LumivexDetectTest";
    const std::wstring inner = folder + std::wstring(1, L'\0') + L"C:\\x";
    const struct {
        DWORD type;
        std::wstring stored;
        DWORD cut;
        std::wstring read;
    } rows[] = {
        {REG_SZ, spelledLikeSteam(folder) + L"/", 0, folder},
        {REG_SZ, inner, 0, folder},
        {REG_SZ, L"C:\\Bare!", 4, L"C:\\Bare"},
        {REG_SZ, L"C:\\Bare!", 3, L"C:\\Bare!"},
        {REG_EXPAND_SZ, L"%LUMIVEX_TEST_FOLDER%\\Steam", 0, scratch / L"Steam"},
        {REG_BINARY, folder, 0, L""},
    };
    for (const auto& row : rows) {
        RegistryValue value(HKEY_CURRENT_USER, key, L"v");
        const DWORD bytes = static_cast<DWORD>((row.stored.size() + 1) * 2 - row.cut);
        ASSERT_TRUE(value.set(row.type, row.stored.c_str(), bytes));
        const WidePath read = readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"v", 0);
        EXPECT_TRUE(pathEqualsNoCase(read, row.read)) << row.type << " " << utf8(row.stored);
    }
}

// Steam's own value, the user's, both machine views (this 64-bit program's plain view is the
// 64-bit one, read first), Program Files, then the roots of fixed drives only; each root once.
TEST(Machine, SteamRootsInTheirOrderOnceEachAndFixedDrivesOnly) {
    ScratchFolder scratch(L"roots");
    const std::wstring user = scratch / L"User";
    const std::wstring view32 = scratch / L"View32";
    const std::wstring view64 = scratch / L"View64";
    const wchar_t* folders[] = {L"User", L"View32", L"View64", L"x86\\Steam", L"pf\\Steam",
                                L"fixed\\Steam", L"fixed\\Games\\SteamLibrary", L"removable\\Steam"};
    for (const wchar_t* folder : folders) {
        makeFolders(scratch / folder);
    }
    const std::wstring valve = L"Software\\Valve\\Steam";
    RegistryValue steamPath(HKEY_CURRENT_USER, valve, L"SteamPath");
    RegistryValue installPath(HKEY_CURRENT_USER, valve, L"InstallPath");
    RegistryValue machine32(HKEY_LOCAL_MACHINE, valve, L"InstallPath", KEY_WOW64_32KEY);
    RegistryValue machine64(HKEY_LOCAL_MACHINE, valve, L"InstallPath", KEY_WOW64_64KEY);
    ASSERT_TRUE(steamPath.setString(spelledLikeSteam(user)));
    ASSERT_TRUE(installPath.setString(user + L"\\"));  // the same root again
    ASSERT_TRUE(machine32.setString(view32));
    ASSERT_TRUE(machine64.setString(view64));
    EnvironmentVariable programFilesX86(L"ProgramFiles(x86)", scratch / L"x86");
    EnvironmentVariable programFiles(L"ProgramFiles", scratch / L"pf");
    MountedDrive fixed(scratch / L"fixed", DRIVE_FIXED);
    MountedDrive removable(scratch / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok());
    ASSERT_TRUE(removable.ok());
    PathList ours;
    for (const WidePath& root : collectSteamRoots()) {
        if (under(root, scratch.path()) || under(root, fixed.root()) || under(root, removable.root())) {
            ours.push_back(root);
        }
    }
    const std::wstring drive = fixed.root();
    const PathList expected{normalizePath(spelledLikeSteam(user)), view64, view32, scratch / L"x86\\Steam",
                            scratch / L"pf\\Steam", drive, drive + L"Steam", drive + L"Games\\SteamLibrary"};
    EXPECT_EQ(ours, expected);
}

// Ranked by manifest time, the uninstall record first; a library whose manifest names another
// folder, or has none, last. Chosen and named folders go first, marked manual.
// A folder is a game folder when it ends in steamapps\common\<the game>\game and holds an .rpa
// archive of its own, at any depth; --dest and the folder picker may name it or one of four
// parents, in any spelling.
TEST(Machine, TheGameFolderRuleAndTheFoldersAUserMayName) {
    ScratchFolder scratch(L"rule");
    std::wstring deep = scratch.path();
    for (wchar_t letter = L'a'; letter < L'g'; ++letter) deep += L"\\" + std::wstring(40, letter);
    const std::wstring library = scratch / L"ok";
    const std::wstring game = gameFolderOf(library);
    const std::wstring notSteam = scratch / L"x\\xsteamapps\\common\\Lumivex Orrendale\\game";
    // The folder, the file written in it (none: the folder itself is a file), a game folder or not.
    const struct {
        std::wstring folder;
        const wchar_t* file;
        bool game;
    } rows[] = {
        {game, L"DATA.RPA", true},
        {gameFolderOf(deep), L"a.rpa", true},
        {gameFolderOf(scratch / L"file"), nullptr, false},
        {gameFolderOf(scratch / L"sub"), L"sub\\a.rpa", false},
        {gameFolderOf(scratch / L"patch"), L"patch.rpa", false},
        {gameFolderOf(scratch / L"dir"), L"dir.rpa\\x", false},
        {gameFolderOf(scratch / L"other", L"Other Game"), L"a.rpa", false},
        {notSteam, L"a.rpa", false},
    };
    ASSERT_GT(gameFolderOf(deep).size(), 260u);
    for (const auto& row : rows) {
        const std::wstring written = row.file ? row.folder + L"\\" + row.file : row.folder;
        ASSERT_TRUE(writeFile(L"\\\\?\\" + written, "x"));
        EXPECT_EQ(isGameFolder(row.folder), row.game) << utf8(row.folder);
    }
    const std::pair<std::wstring, std::wstring> named[] = {
        {game, game},
        {library + L"\\steamapps\\common\\Lumivex Orrendale", game},
        {library + L"\\steamapps", game},
        {library, game},
        {library + L"\\steamapps\\..\\steamapps\\common", game},
        {L" \"" + spelledLikeSteam(library) + L"/\"", game},
        {deep, gameFolderOf(deep)},
        {scratch.path(), L""},
        {game + L"\\DATA.RPA", L""},
        {L"", L""},
    };
    for (const auto& [path, resolved] : named) {
        EXPECT_TRUE(pathEqualsNoCase(resolveChosenFolder(path), resolved)) << utf8(path);
    }
}

TEST(Machine, DetectionRanksMergesAndKeepsTheSelection) {
    ScratchFolder scratch(L"pass");
    std::vector<std::wstring> libraries;
    for (const wchar_t* name : {L"Bare", L"Renamed", L"Older", L"Newer"}) {
        libraries.push_back(scratch / name);
    }
    SteamWorld world(scratch / L"Steam", libraries);  // a game folder and a manifest in each
    DeleteFileW((libraries[0] + L"\\steamapps\\" + kManifestName).c_str());
    writeManifest(libraries[1], "Lumivex Orrendale Beta", 0x01D9900000000009ull);  // the newest
    writeManifest(libraries[2], "Lumivex Orrendale", 0x01D9900000000002ull);
    writeManifest(libraries[3], "Lumivex Orrendale", 0x01D9900000000003ull);
    // The uninstall record names the oldest, found through Steam as well: one candidate.
    const std::wstring install = scratch / L"Older\\steamapps\\common\\Lumivex Orrendale";
    RegistryValue record(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", KEY_WOW64_32KEY);
    ASSERT_TRUE(record.setString(install + L"\\"));
    MainWindow window;
    detectGameFolders(window);
    const std::wstring bare = gameFolderOf(scratch / L"Bare");
    const std::wstring renamed = gameFolderOf(scratch / L"Renamed");
    const std::wstring older = gameFolderOf(scratch / L"Older");
    const std::wstring newer = gameFolderOf(scratch / L"Newer");
    EXPECT_EQ(ranked(window), older + L" " + newer + L" " + renamed + L" " + bare + L" ");
    window.selectedIndex = static_cast<std::uint32_t>(findCandidate(window.candidates, newer));
    window.destOverride = scratch / L"Renamed";  // a library named on the command line
    window.manualFolder = spelledLikeSteam(bare);  // picked by hand
    // A pass during a copy keeps the copy's state and progress.
    window.state = Installing;
    window.progressPerMille = 300;
    detectGameFolders(window);
    EXPECT_EQ(ranked(window), bare + L"* " + renamed + L"* " + older + L" " + newer + L" ");
    EXPECT_EQ(window.selectedIndex, 3u);  // still Newer
    EXPECT_EQ(window.state, Installing);
    EXPECT_EQ(window.progressPerMille, 300);
}

// The language the command line gives (0 zh-CN, 1 zh-TW, 2 en; "-" for none), a blank, the folder.
std::wstring given(const std::wstring& line) {
    const CommandLineOptions options = parseCommandLine(line.c_str());
    const std::wstring language = options.languageGiven ? std::to_wstring(options.language) : L"-";
    return language + L" " + options.destOverride;
}

TEST(Startup, CommandLineRestartAndTheTemporaryFolder) {
    const std::pair<std::wstring, std::wstring> lines[] = {
        {L"x.exe", L"- "},
        {L"x.exe --LANG en", L"2 "},
        {L"x.exe junk --lang English more", L"2 "},
        {L"x.exe --lang fr", L"0 "},
        {L"x.exe --lang zh-TW --dest \"C:\\a b\" --dest D:\\b", L"1 D:\\b"},
        {L"x.exe --dest --lang en", L"- --lang"},
        {L"x.exe --lang=en --dest=C:\\x -dest C:\\y", L"- "},
    };
    for (const auto& [line, options] : lines) {
        EXPECT_EQ(given(line), options) << utf8(line);
    }
    // The restart as administrator reads back as sent; the quoting must survive blanks and backslashes.
    const std::wstring folder = L"E:\\My  Games\\a b\\\\";
    for (LanguageId language : {0, 1, 2}) {
        const std::wstring line = L"\"C:\\My Apps\\setup.exe\" " + elevatedParameters(language, folder);
        EXPECT_EQ(given(line), std::to_wstring(language) + L" " + folder) << utf8(line);
    }
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    const std::wstring temp = normalizePath(std::wstring(buffer, length));
    const std::pair<std::wstring, bool> temps[] = {
        {temp + L"\\setup.exe", true},
        {spelledLikeSteam(temp) + L"/Temp1_patch.zip/setup.exe", true},
        {temp + L" 2\\setup.exe", false},
        {L"setup.exe", false},
    };
    for (const auto& [exe, fromTemp] : temps) {
        EXPECT_EQ(isRunningFromTemp(exe), fromTemp) << utf8(exe);
    }
}

}  // namespace
