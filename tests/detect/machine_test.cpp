// The machine as detection sees it (registry, Steam roots, drives), the game folder rule, the ranked
// list of a detection pass, and start-up: command line, restart parameters, temporary folder, texts.
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
    for (wchar_t& c : path) c = c == L'\\' ? L'/' : towlower(c);
    return path;
}

bool under(const WidePath& path, const WidePath& folder) {
    return path.size() >= folder.size() && pathEqualsNoCase(path.substr(0, folder.size()), folder);
}

// The library (the folder below the scratch one) of each candidate there, "*" marking manual ones.
std::wstring ranked(const MainWindow& window, const std::wstring& s) {
    std::wstring out;
    for (const GameCandidate& c : window.candidates)
        if (under(c.folder, s + L"\\")) {
            const std::wstring rest = c.folder.substr(s.size() + 1);
            out += rest.substr(0, rest.find(L'\\')) + (c.manual ? L"* " : L" ");
        }
    return out;
}

TEST(Machine, RegistryValuesOfEveryTypeAndSize) {
    ScratchFolder s(L"reg");
    EnvironmentVariable variable(L"LUMIVEX_TEST_FOLDER", s.path());
    const std::wstring key = L"Software\\LumivexDetectTest", inner = s.path() + std::wstring(1, L'\0') + L"C:\\x";
    const struct { DWORD type; std::wstring data; DWORD cut; std::wstring read; } rows[] = {  // cut: bytes left off
        {REG_SZ, spelledLikeSteam(s.path()) + L"/", 0, s.path()}, {REG_SZ, L"\"" + s.path() + L"\\\"", 0, s.path()},
        {REG_SZ, L" \t ", 0, L""}, {REG_SZ, inner, 0, s.path()}, {REG_SZ, L"C:\\Bare!", 4, L"C:\\Bare"},
        {REG_SZ, L"C:\\Bare!", 3, L"C:\\Bare!"}, {REG_SZ, L"", 2, L""}, {REG_SZ, L"C", 3, L""},
        {REG_EXPAND_SZ, L"%LUMIVEX_TEST_FOLDER%\\Steam", 0, s / L"Steam"},
        {REG_SZ, L"C:\\%LUMIVEX_TEST_FOLDER%", 0, L"C:\\%LUMIVEX_TEST_FOLDER%"},
        {REG_EXPAND_SZ, L"C:\\%LUMIVEX_UNSET%", 0, L"C:\\%LUMIVEX_UNSET%"}, {REG_DWORD, L"C:", 2, L""},
        {REG_BINARY, s.path(), 0, L""}, {REG_MULTI_SZ, s.path(), 0, L""}, {REG_NONE, s.path(), 0, L""}};
    for (const auto& row : rows) {  // "!" after the cut: nothing terminates what is stored; an odd byte is one unit
        RegistryValue value(HKEY_CURRENT_USER, key, L"v");
        ASSERT_TRUE(value.set(row.type, row.data.c_str(), DWORD((row.data.size() + 1) * 2 - row.cut)));
        EXPECT_TRUE(pathEqualsNoCase(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"v", 0), row.read))
            << row.type << " " << utf8(row.data);
    }
}

TEST(Machine, SteamRootsInTheirOrderOnceEachAndFixedDrivesOnly) {
    ScratchFolder s(L"roots");
    const std::wstring user = s / L"User", view32 = s / L"View32", view64 = s / L"View64";
    for (const std::wstring& f : {user, view32, view64, s / L"x86\\Steam", s / L"pf\\Steam", s / L"fixed\\Steam",
                                  s / L"fixed\\Games\\SteamLibrary", s / L"removable\\Steam"})
        makeFolders(f);
    const std::wstring valve = L"Software\\Valve\\Steam", path = L"InstallPath";
    RegistryValue steamPath(HKEY_CURRENT_USER, valve, L"SteamPath"), installPath(HKEY_CURRENT_USER, valve, path);
    RegistryValue machine32(HKEY_LOCAL_MACHINE, valve, path, KEY_WOW64_32KEY);
    RegistryValue machine64(HKEY_LOCAL_MACHINE, valve, path, KEY_WOW64_64KEY);
    ASSERT_TRUE(steamPath.setString(spelledLikeSteam(user)) && installPath.setString(user + L"\\") &&  // user twice
                machine32.setString(view32) && machine64.setString(view64));
    EnvironmentVariable x86(L"ProgramFiles(x86)", s / L"x86"), programFiles(L"ProgramFiles", s / L"pf");
    MountedDrive fixed(s / L"fixed", DRIVE_FIXED), removable(s / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok() && removable.ok());
    PathList ours;
    for (const WidePath& root : collectSteamRoots())
        if (under(root, s.path()) || under(root, fixed.root()) || under(root, removable.root())) ours.push_back(root);
    // This program is 64-bit: its plain machine view is the 64-bit one, read before the 32-bit view.
    const std::wstring drive = fixed.root();
    EXPECT_EQ(ours, (PathList{normalizePath(spelledLikeSteam(user)), view64, view32, s / L"x86\\Steam", s / L"pf\\Steam",
                              drive, drive + L"Steam", drive + L"Games\\SteamLibrary"}));
}

TEST(Machine, TheGameFolderRuleAndTheFoldersAUserMayName) {
    ScratchFolder s(L"rule");
    std::wstring deep = s.path();
    for (wchar_t c = L'a'; c < L'g'; ++c) deep += L"\\" + std::wstring(40, c);
    const std::wstring library = s / L"ok", game = gameFolderOf(library);
    const struct { std::wstring folder; const wchar_t* file; bool game; } rows[] = {
        {game, L"DATA.RPA", true}, {gameFolderOf(deep), L"a.rpa", true}, {gameFolderOf(s / L"file"), nullptr, false},
        {gameFolderOf(s / L"sub"), L"sub\\a.rpa", false}, {gameFolderOf(s / L"patch"), L"patch.rpa", false},
        {gameFolderOf(s / L"dir"), L"dir.rpa\\x", false}, {gameFolderOf(s / L"other", L"Other Game"), L"a.rpa", false},
        {s / L"x\\xsteamapps\\common\\Lumivex Orrendale\\game", L"a.rpa", false}};
    ASSERT_GT(gameFolderOf(deep).size(), 260u);
    for (const auto& row : rows) {
        ASSERT_TRUE(writeFile(L"\\\\?\\" + row.folder + (row.file ? L"\\" + std::wstring(row.file) : L""), "x"));
        EXPECT_EQ(isGameFolder(row.folder), row.game) << utf8(row.folder);
    }
    // --dest and the folder picker: the game folder or one of four parents, in any spelling.
    const std::pair<std::wstring, std::wstring> named[] = {
        {game, game}, {library + L"\\steamapps\\common\\Lumivex Orrendale", game}, {library + L"\\steamapps", game},
        {library + L"\\steamapps\\..\\steamapps\\common", game}, {L" \"" + spelledLikeSteam(library) + L"/\"", game},
        {deep, gameFolderOf(deep)}, {s.path(), L""}, {game + L"\\DATA.RPA", L""}, {L"", L""}};
    for (const auto& [path, resolved] : named)
        EXPECT_TRUE(pathEqualsNoCase(resolveChosenFolder(path), resolved)) << utf8(path);
}

TEST(Machine, DetectionRanksMergesAndKeepsTheSelection) {
    ScratchFolder s(L"pass");
    std::vector<std::wstring> libraries;
    for (const wchar_t* name : {L"Bare", L"Renamed", L"Oldest", L"Older", L"Newer"}) libraries.push_back(s / name);
    SteamWorld world(s / L"Steam", libraries);  // a game folder and a manifest in each
    DeleteFileW((libraries[0] + L"\\steamapps\\" + kManifestName).c_str());
    writeManifest(libraries[1], "Lumivex Orrendale Beta", 0x01D9900000000009ull);  // the newest, named otherwise
    for (size_t i = 2; i < 5; ++i) writeManifest(libraries[i], "Lumivex Orrendale", 0x01D9900000000000ull + i);
    // The uninstall record names Older's folder in two views and two spellings: one record still.
    const std::wstring install = s / L"Older\\steamapps\\common\\Lumivex Orrendale";
    RegistryValue user(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation");
    RegistryValue machine(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", KEY_WOW64_32KEY);
    ASSERT_TRUE(user.setString(install + L"\\") && machine.setString(spelledLikeSteam(install)));
    MainWindow window;
    detectGameFolders(window);
    EXPECT_EQ(ranked(window, s.path()), L"Older Newer Oldest Renamed Bare ");
    window.selectedIndex = static_cast<std::uint32_t>(findCandidate(window.candidates, gameFolderOf(s / L"Newer")));
    window.destOverride = s / L"Renamed";  // a library named on the command line
    window.manualFolder = spelledLikeSteam(gameFolderOf(s / L"Bare"));  // chosen: first, found or not
    window.state = Installing;  // a pass during a copy leaves its state but clears progress and status
    window.progressPerMille = 300;
    window.statusMessage = L"x";
    detectGameFolders(window);
    EXPECT_EQ(ranked(window, s.path()), L"Bare* Renamed* Older Newer Oldest ");
    EXPECT_EQ(window.selectedIndex, 3u);  // still Newer
    EXPECT_TRUE(window.state == Installing && window.progressPerMille == 0 && window.statusMessage.empty());
    DeleteFileW((gameFolderOf(s / L"Newer") + L"\\archive.rpa").c_str());
    window.state = Failed;
    detectGameFolders(window);
    EXPECT_EQ(ranked(window, s.path()), L"Bare* Renamed* Older Oldest ");
    EXPECT_TRUE(window.selectedIndex == 0 && window.state == Ready);
}

TEST(Startup, CommandLineAndTheTemporaryFolder) {
    const struct { const wchar_t* line; bool given; LanguageId language; const wchar_t* dest; } rows[] = {  // 1 zh-TW, 2 en
        {L"x.exe", false, 0, L""}, {L"x.exe --LANG en", true, 2, L""}, {L"x.exe junk --lang English more", true, 2, L""},
        {L"x.exe --lang fr", true, 0, L""}, {L"x.exe --lang zh-TW --dest \"C:\\My Games\\a\" --dest D:\\b", true, 1, L"D:\\b"},
        {L"x.exe --dest C:\\My Games --lang", false, 0, L"C:\\My"}, {L"x.exe --dest \"  C:\\x\\ \"", false, 0, L"  C:\\x\\ "},
        {L"x.exe --dest --lang en", false, 0, L"--lang"}, {L"x.exe --lang=en --dest=C:\\x -dest C:\\y", false, 0, L""}};
    for (const auto& row : rows) {
        const CommandLineOptions options = parseCommandLine(row.line);
        EXPECT_TRUE(options.languageGiven == row.given && options.language == row.language) << utf8(row.line);
        EXPECT_EQ(options.destOverride, row.dest) << utf8(row.line);
    }
    wchar_t buffer[MAX_PATH + 1] = {};
    const std::wstring temp = normalizePath(std::wstring(buffer, GetTempPathW(MAX_PATH + 1, buffer)));
    const std::pair<std::wstring, bool> temps[] = {  // the rule holds for the folder, not for the name's start
        {temp + L"\\setup.exe", true}, {spelledLikeSteam(temp) + L"/Temp1_patch.zip/setup.exe", true},
        {temp + L"x\\setup.exe", false}, {temp + L" 2\\setup.exe", false}, {parentFolder(temp) + L"\\setup.exe", false},
        {L"setup.exe", false}, {L"", false}};
    for (const auto& [exe, fromTemp] : temps) EXPECT_EQ(isRunningFromTemp(exe), fromTemp) << utf8(exe);
}

// Every language has all its texts and survives the restart as administrator, with a folder whose
// name may hold blanks and trailing backslashes, which the quoting must survive (never quotes).
TEST(Startup, EveryLanguageIsWholeAndTheRestartReadsBackAsSent) {
    for (LanguageId language : {0, 1, 2}) {
        for (int slot = 0; slot < static_cast<int>(TextSlot::textSlotCount); ++slot)
            EXPECT_TRUE(textsFor(language).slot[slot] && *textsFor(language).slot[slot]) << language << " " << slot;
        for (const wchar_t* folder : {L"C:\\Games\\Lumivex Orrendale\\game", L"D:\\", L"E:\\My  Games\\a b\\\\"}) {
            const CommandLineOptions options =
                parseCommandLine((L"\"C:\\My Apps\\setup.exe\" " + elevatedParameters(language, folder)).c_str());
            EXPECT_TRUE(options.languageGiven && options.language == language) << language << " " << utf8(folder);
            EXPECT_EQ(options.destOverride, folder);
        }
    }
}

}  // namespace
