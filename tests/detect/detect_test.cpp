// Detection: Steam's text files, hand-made and real (tests/fixtures/steam); this machine's registry,
// drives and folders; start-up.
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

std::string fixture(const std::wstring& name) {  // tests/fixtures/steam/<name>
    return readFile(fromUnix(env(L"LUMIVEX_SOURCE") + L"/tests/fixtures/steam/" + name));
}

// A libraryfolders.vdf gives its root, then the existing libraries it names, whatever its shape.
TEST(SteamFiles, LibraryFoldersInEveryShape) {
    ASSERT_EQ(GetACP(), 1252u);
    ScratchFolder scratch(L"vdf");
    const std::wstring one = scratch / L"Lib one \u6e38\u620f";
    const std::wstring two = scratch / L"Lib two's";
    const std::wstring ansi = scratch / L"Spiele\u00e4\u00fc";
    for (const std::wstring& folder : {one, two, ansi}) makeFolders(folder);
    writeFile(scratch / L"file", "x");
    const std::string opensTwo = "\"1\" \"" + utf8(two);  // the flat format
    const std::string filler(kMaxTextFileBytes - opensTwo.size() - 1, ' ');
    const PathList unusable{L"\\\\server\\share", L"\\\\?\\" + one, scratch / L"file"};
    const std::wstring wide = L"\"1\" \"" + two + L"\"";  // UTF-16 LE, as some editors save text
    const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    const std::tuple<std::wstring, std::string, PathList> rows[] = {
        {L"block", libraryFoldersVdf({one, scratch / L"missing", two}), {one, two}},
        {L"flat, BOM", "\xEF\xBB\xBF" + opensTwo + "\"", {two}},
        {L"ANSI", "\"1\" \"" + utf8(scratch / L"Spiele") + "\xE4\xFC\"", {ansi}},
        {L"unusable", libraryFoldersVdf(unusable), {}},
        {L"left open", opensTwo, {two}},
        {L"NUL in a value", opensTwo + std::string(1, '\0') + "junk\"", {two}},
        {L"UTF-16", "\xFF\xFE" + utf16, {}},
        {L"16 MiB", opensTwo + "\"" + filler, {two}},
        {L"16 MiB + 1", opensTwo + "\"" + filler + " ", {}},
    };
    for (const auto& [what, vdf, found] : rows) {
        const std::wstring root = scratch / what;
        ASSERT_TRUE(writeFile(root + L"\\steamapps\\libraryfolders.vdf", vdf));
        PathList expected{root};
        expected.insert(expected.end(), found.begin(), found.end());
        EXPECT_EQ(collectLibraries({root}), expected) << utf8(what);
    }
}

// Real manifests (a binary one has none) and a hand-made one: any case, \\ and \" escapes, left open.
TEST(SteamFiles, ManifestsGiveTheirInstallDir) {
    const std::pair<std::string, std::wstring> rows[] = {
        {fixture(L"steamlocate-rs__appmanifest_230410.acf"), L"Warframe"},
        {fixture(L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move"), L""},
        {"\"name\" \"say \\\"hi\\\" \\\\\" \"InstallDir\" \"Lumivex\\O \\", L"Lumivex\\O \\"},
    };
    for (const auto& [manifest, installDir] : rows) {
        EXPECT_EQ(manifestInstallDir(quotedStrings(decodeText(manifest))), installDir) << manifest.substr(0, 40);
    }
}

std::wstring spelledLikeSteam(std::wstring path) {  // lower case, forward slashes
    for (wchar_t& letter : path) letter = letter == L'\\' ? L'/' : towlower(letter);
    return path;
}

// The game folder (steamapps\common\<the game>\game with an .rpa archive of its own) is found from
// itself or its four parents, in any spelling.
TEST(Machine, TheGameFolderRuleAndTheFoldersAUserMayName) {
    ScratchFolder scratch(L"rule");
    const std::wstring deep = scratch / std::wstring(240, L'd');  // the game folder past MAX_PATH
    const std::wstring library = scratch / L"ok";
    const std::wstring game = gameFolderOf(library);
    const std::wstring notSteam = scratch / L"xsteamapps\\common";
    // The file written first, the folder named, the game folder it resolves to.
    const std::tuple<std::wstring, std::wstring, std::wstring> rows[] = {
        {game + L"\\DATA.RPA", game, game},
        {gameFolderOf(deep) + L"\\a.rpa", deep, gameFolderOf(deep)},
        {gameFolderOf(scratch / L"sub") + L"\\sub\\a.rpa", scratch / L"sub", L""},
        {gameFolderOf(scratch / L"patch") + L"\\patch.rpa", scratch / L"patch", L""},
        {gameFolderOf(scratch / L"dir") + L"\\dir.rpa\\x", scratch / L"dir", L""},
        {notSteam + L"\\Lumivex Orrendale\\game\\a.rpa", notSteam, L""},
        {gameFolderOf(scratch / L"other", L"Other Game") + L"\\a.rpa", scratch / L"other", L""},
        {L"", library + L"\\steamapps\\common\\Lumivex Orrendale", game},
        {L"", library + L"\\steamapps\\..\\steamapps\\common", game},
        {L"", library + L"\\steamapps", game},
        {L"", L" \"" + spelledLikeSteam(library) + L"/\"", game},
        {L"", scratch.path(), L""},
        {L"", game + L"\\DATA.RPA", L""},
        {L"", L"", L""},
    };
    for (const auto& [written, named, found] : rows) {
        if (!written.empty()) {
            ASSERT_TRUE(writeFile(L"\\\\?\\" + written, "x"));
        }
        EXPECT_TRUE(pathEqualsNoCase(resolveChosenFolder(named), found)) << utf8(named);
    }
}

// Each candidate's library (relative to `top`), "*" after manual ones.
PathList rankedLibraries(const MainWindow& window, const std::wstring& top) {
    PathList libraries;
    for (const GameCandidate& candidate : window.candidates) {
        std::wstring library = candidate.folder.substr(0, candidate.folder.size() - gameFolderOf(L"").size());
        if (pathEqualsNoCase(library.substr(0, top.size() + 1), top + L"\\")) library.erase(0, top.size() + 1);
        libraries.push_back(library + (candidate.manual ? L"*" : L""));
    }
    return libraries;
}

// Steam roots from every source but removable drives; each folder once, ranked by source, manifest
// time and root order, manual ones first. A pass during a copy leaves it and the selection be.
TEST(Machine, DetectionRanksMergesAndKeepsTheSelection) {
    ScratchFolder scratch(L"pass");
    // Steam in Program Files (this process's ProgramFiles made the scratch folder's pf) and on the
    // harness's fixed M: and removable N:; put back after the test.
    const std::wstring fixedSteam = L"M:\\Steam";
    struct PutBack {
        std::wstring programFiles = env(L"ProgramFiles");
        ~PutBack() {
            SetEnvironmentVariableW(L"ProgramFiles", programFiles.c_str());
            removeTree(L"M:\\Steam");
            removeTree(L"N:\\Steam");
        }
    } putBack;
    SetEnvironmentVariableW(L"ProgramFiles", (scratch / L"pf").c_str());
    const PathList roots{scratch / L"User", scratch / L"View64", scratch / L"View32", scratch / L"pf\\Steam",
                         fixedSteam, L"N:\\Steam", scratch / L"Binary"};
    for (const std::wstring& root : roots) {
        makeGameFolder(root);
        writeManifest(root, "Lumivex Orrendale", root == roots[4] ? 0x01D9900000000002ull : 0x01D9900000000001ull);
    }
    SteamWorld world(roots[0], {scratch / L"Recorded", scratch / L"Renamed"});
    writeManifest(scratch / L"Renamed", "Lumivex Orrendale Beta", 0x01D9900000000009ull);  // the newest
    const std::wstring user = spelledLikeSteam(roots[0]);
    const std::wstring valve = L"Software\\Valve\\Steam";
    RegistryValue steamPath(HKEY_CURRENT_USER, valve, L"SteamPath");
    RegistryValue machine32(HKEY_LOCAL_MACHINE, valve, L"InstallPath", KEY_WOW64_32KEY);
    RegistryValue machine64(HKEY_LOCAL_MACHINE, valve, L"InstallPath", KEY_WOW64_64KEY);
    RegistryValue record(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", KEY_WOW64_32KEY);
    RegistryValue binary(HKEY_CURRENT_USER, valve, L"InstallPath");
    // Odd-sized, expandable, unterminated, binary (never a path): as machines hold them.
    ASSERT_TRUE(binary.set(REG_BINARY, roots[6].c_str(), static_cast<DWORD>(roots[6].size() * 2 + 2)));
    ASSERT_TRUE(steamPath.set(REG_SZ, user.c_str(), static_cast<DWORD>(user.size() * 2 - 1)));
    ASSERT_TRUE(machine32.setString(L"%SystemDrive%" + roots[2].substr(2), REG_EXPAND_SZ));
    ASSERT_TRUE(machine64.set(REG_SZ, roots[1].c_str(), static_cast<DWORD>(roots[1].size() * 2)));
    ASSERT_TRUE(record.setString(parentFolder(world.gameFolders[0]) + L"\\"));
    MainWindow window;
    detectGameFolders(window);
    const PathList found{L"Recorded", fixedSteam, L"user", L"View64", L"View32", L"pf\\Steam", L"Renamed"};
    EXPECT_EQ(rankedLibraries(window, scratch.path()), found);
    window.selectedIndex = 2;  // user
    window.destOverride = scratch / L"Renamed";
    window.manualFolder = spelledLikeSteam(gameFolderOf(roots[2]));
    window.state = Installing;
    window.progressPerMille = 300;
    detectGameFolders(window);
    const PathList manualFirst{L"View32*", L"Renamed*", L"Recorded", fixedSteam, L"user", L"View64", L"pf\\Steam"};
    EXPECT_EQ(rankedLibraries(window, scratch.path()), manualFirst);
    EXPECT_EQ(window.selectedIndex, 4u);
    EXPECT_EQ(window.state, Installing);
    EXPECT_EQ(window.progressPerMille, 300);
}

// The last row is the restart as administrator, read back as sent.
TEST(Startup, CommandLineRestartAndTheTemporaryFolder) {
    const std::wstring restart = elevatedParameters(2, L"E:\\My  Games\\a b\\\\");
    // A command line; the language it gives (0 zh-CN, 1 zh-TW, 2 en, - none), a blank, the folder.
    const std::pair<std::wstring, std::wstring> lines[] = {
        {L"x.exe junk --LANG English more", L"2 "},
        {L"x.exe --lang fr", L"0 "},
        {L"x.exe --lang en --dest \"C:\\a b\" --lang zh-TW --dest D:\\b", L"1 D:\\b"},
        {L"x.exe --dest --lang en", L"- --lang"},
        {L"x.exe --lang=en --dest=C:\\x -dest C:\\y", L"- "},
        {L"\"C:\\My Apps\\setup.exe\" " + restart, L"2 E:\\My  Games\\a b\\\\"},
    };
    for (const auto& [line, given] : lines) {
        const CommandLineOptions options = parseCommandLine(line.c_str());
        const std::wstring language = options.languageGiven ? std::to_wstring(options.language) : L"-";
        EXPECT_EQ(language + L" " + options.destOverride, given) << utf8(line);
    }
    const std::wstring temp = normalizePath(env(L"TMP"));
    EXPECT_TRUE(isRunningFromTemp(spelledLikeSteam(temp) + L"/Temp1_patch.zip/setup.exe"));
    EXPECT_FALSE(isRunningFromTemp(temp + L" 2\\setup.exe"));
}

}  // namespace
