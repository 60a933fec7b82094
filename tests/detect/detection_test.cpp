#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "detect/detection.h"
#include "detect/steam.h"
#include "detect_world.h"
#include "ui/main_window.h"

using namespace detect_world;
using testing_support::makeFolders;
using testing_support::ScratchFolder;
using testing_support::writeFile;

namespace {

const std::uint64_t kOlder = 0x01D9A00000000000ull;
const std::uint64_t kNewer = 0x01D9B00000000000ull;

// A Steam installation of the test's own, announced through HKCU SteamPath, plus an installer
// folder that is not a game folder.
struct World {
    ScratchFolder scratch{L"world"};
    std::wstring root = scratch / L"Steam";
    RegistryValue steamPath{HKEY_CURRENT_USER, L"Software\\Valve\\Steam", L"SteamPath"};
    MainWindow window;

    World() {
        makeFolders(root + L"\\steamapps");
        steamPath.setString(root);
        window.appFolder = scratch / L"installer";
        makeFolders(window.appFolder);
        window.exePath = window.appFolder + L"\\LumivexPatchInstaller.exe";
        window.patchPath = window.appFolder + L"\\patch.rpa";
    }
    std::wstring library(const std::wstring& name) {
        std::wstring path = scratch / name;
        makeFolders(path + L"\\steamapps");
        return path;
    }
    void listLibraries(const std::vector<std::wstring>& libraries) {
        writeFile(root + L"\\steamapps\\libraryfolders.vdf", blockFormatVdf(libraries));
    }
    CandidateList detect() {
        detectGameFolders(window);
        return candidatesBelow(window.candidates, scratch.path());
    }
    const GameCandidate* selected() const { return selectedCandidate(window); }
};

// ---------------------------------------------------------------- the game folder rule

TEST(GameFolderRule, SuffixAtAComponentBoundaryIsPure) {
    EXPECT_TRUE(hasGameFolderSuffix(L"C:\\S\\steamapps\\common\\Lumivex Orrendale\\game"));
    EXPECT_TRUE(hasGameFolderSuffix(L"C:\\S\\STEAMAPPS\\Common\\lumivex orrendale\\GAME"));
    EXPECT_TRUE(hasGameFolderSuffix(L"steamapps\\common\\Lumivex Orrendale\\game"));
    EXPECT_FALSE(hasGameFolderSuffix(L"C:\\S\\xsteamapps\\common\\Lumivex Orrendale\\game"));
    EXPECT_FALSE(hasGameFolderSuffix(L"C:\\S\\steamapps\\common\\Lumivex Orrendale\\game\\"));
    EXPECT_FALSE(hasGameFolderSuffix(L"C:\\S\\steamapps\\common\\Other\\game"));
    EXPECT_FALSE(hasGameFolderSuffix(L""));
    EXPECT_TRUE(isGameArchiveEntry(L"Data.RPA", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_FALSE(isGameArchiveEntry(L"PATCH.rpa", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(isGameArchiveEntry(L"x.rpa", FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(isGameArchiveEntry(L"rpa", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(isGameArchiveEntry(L"x.rpa.bak", FILE_ATTRIBUTE_NORMAL));
}

TEST(GameFolderRule, OnlyAnOriginalArchiveDirectlyInsideMakesAGameFolder) {
    ScratchFolder s(L"rule");
    std::wstring game = gameFolderOf(s / L"lib");
    makeFolders(game);
    EXPECT_FALSE(isGameFolder(game));  // empty
    writeFile(game + L"\\patch.rpa", "patch");
    EXPECT_FALSE(isGameFolder(game));  // only the patch
    makeFolders(game + L"\\folder.rpa");
    EXPECT_FALSE(isGameFolder(game));  // a subfolder named like an archive
    writeFile(game + L"\\sub\\inner.rpa", "x");
    EXPECT_FALSE(isGameFolder(game));  // archives only in a subfolder
    writeFile(game + L"\\SCRIPTS.RPA", "x");
    EXPECT_TRUE(isGameFolder(game));  // the extension in capitals counts
    EXPECT_TRUE(isGameFolder(L"  \"" + game + L"\\\"  "));  // user spelling with quotes and slash
    std::wstring lower = game;
    for (wchar_t& c : lower) c = towlower(c);
    EXPECT_TRUE(isGameFolder(lower));
    EXPECT_FALSE(isGameFolder(game + L"\\SCRIPTS.RPA"));  // a file is no folder

    std::wstring hidden = gameFolderOf(s / L"hidden");
    writeFile(hidden + L"\\h.rpa", "x");
    SetFileAttributesW((hidden + L"\\h.rpa").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(isGameFolder(hidden));

    // The same contents in the wrong places.
    for (const std::wstring& wrong :
         {s / L"x\\xsteamapps\\common\\Lumivex Orrendale\\game", s / L"x\\steamapps\\common\\Other Game\\game",
          s / L"x\\Lumivex Orrendale\\game", s / L"x\\steamapps\\Lumivex Orrendale\\game",
          s / L"x\\steamapps\\common\\Lumivex Orrendale\\game2"}) {
        writeFile(wrong + L"\\archive.rpa", "x");
        EXPECT_FALSE(isGameFolder(wrong)) << wrong.c_str();
        EXPECT_EQ(resolveChosenFolder(wrong), L"") << wrong.c_str();
    }
    EXPECT_FALSE(isGameFolder(s / L"missing\\steamapps\\common\\Lumivex Orrendale\\game"));
    EXPECT_FALSE(isGameFolder(L""));
}

TEST(GameFolderRule, AFolderDeeperThan260CharactersIsStillFound) {
    ScratchFolder s(L"long");
    std::wstring library = s.path();
    for (int i = 0; i < 6; ++i) library += L"\\" + std::wstring(40, wchar_t(L'a' + i));
    std::wstring game = gameFolderOf(library);
    ASSERT_GT(game.size(), 260u);
    // Create it through the long form; the plain form is limited on Windows.
    std::wstring built = L"\\\\?\\";
    size_t start = 0;
    while (start < game.size()) {
        size_t cut = game.find(L'\\', start);
        if (cut == std::wstring::npos) cut = game.size();
        built = L"\\\\?\\" + game.substr(0, cut);
        if (cut > 2) CreateDirectoryW(built.c_str(), nullptr);
        start = cut + 1;
    }
    ASSERT_TRUE(writeFile(L"\\\\?\\" + game + L"\\archive.rpa", "x"));
    EXPECT_TRUE(isGameFolder(game));
    EXPECT_EQ(resolveChosenFolder(library), game);
}

TEST(GameFolderRule, ListingOfAHugeFolderStopsAtTheFirstArchive) {
    ScratchFolder s(L"huge");
    // Removing 200,000 files one by one through Wine takes minutes: a shell does it, on every way out.
    struct ShellRemoval {
        const ScratchFolder& folder;
        ~ShellRemoval() {
            std::wstring doomed = folder.path() + L"-doomed";
            if (MoveFileW(folder.path().c_str(), doomed.c_str()) &&
                startUnix("/bin/rm -rf \"" + unixPath(doomed) + "\"")) {
                EXPECT_TRUE(waitForPath(doomed, false, 120000));
            }
        }
    } removal{s};
    std::wstring game = gameFolderOf(s / L"lib");
    std::wstring plain = gameFolderOf(s / L"plain");
    makeFolders(game);
    makeFolders(plain);
    // 100,000 files through the Windows API take minutes under Wine; a shell makes them in seconds.
    // Every hundredth name ends in the archive extension (or in .txt for the folder without any).
    auto fillWith = [&](const std::wstring& folder, bool archives) {
        std::string script = "cd \"$1\" || exit 1\nawk 'BEGIN { for (i = 0; i < 100000; i++) printf \"f%06d.%s\\n\", i, "
                             "(i % 100 == 0 ? \"" + std::string(archives ? "rpa" : "txt") + "\" : \"dat\") }' | xargs touch\n"
                             "touch \"$1.done\"\n";
        writeFile(s / L"fill.sh", script);
        return startUnix("/bin/sh \"" + unixPath(s / L"fill.sh") + "\" \"" + unixPath(folder) + "\"") &&
               waitForPath(folder + L".done", true, 120000);
    };
    ASSERT_TRUE(fillWith(game, true));
    ASSERT_TRUE(fillWith(plain, false));
    ASSERT_TRUE(GetFileAttributesW((game + L"\\f099900.rpa").c_str()) != INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(GetFileAttributesW((plain + L"\\f099999.dat").c_str()) != INVALID_FILE_ATTRIBUTES);

    std::uint64_t before = detectionFileCalls();
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(isGameFolder(game));
    double withArchive = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::uint64_t stepsWithArchive = detectionFileCalls() - before;

    before = detectionFileCalls();
    started = std::chrono::steady_clock::now();
    EXPECT_FALSE(isGameFolder(plain));
    double without = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::uint64_t stepsWithout = detectionFileCalls() - before;

    // Every hundredth name is an archive: the walk ends long before the end of the listing.
    EXPECT_LT(stepsWithArchive, 5000u);
    EXPECT_GE(stepsWithout, 100000u);
    std::printf("100,000 entries: %llu listing steps / %.3f s with archives, %llu / %.3f s without\n",
                static_cast<unsigned long long>(stepsWithArchive), withArchive,
                static_cast<unsigned long long>(stepsWithout), without);
}

// ---------------------------------------------------------------- naming a folder by hand

TEST(ResolveChosenFolder, AcceptsTheGameFolderAndFourOfItsParents) {
    ScratchFolder s(L"resolve");
    std::wstring library = s / L"Lib";
    std::wstring game = makeGameFolder(library);
    for (const std::wstring& named :
         {game, library + L"\\steamapps\\common\\Lumivex Orrendale", library + L"\\steamapps\\common",
          library + L"\\steamapps", library, L"\"" + library + L"/\"", library + L"\\steamapps\\..\\"}) {
        EXPECT_EQ(resolveChosenFolder(named), game) << named.c_str();
    }
    EXPECT_EQ(resolveChosenFolder(s.path()), L"");  // one level too high
    EXPECT_EQ(resolveChosenFolder(game + L"\\archive.rpa"), L"");
    EXPECT_EQ(resolveChosenFolder(L""), L"");
    writeFile(game + L"\\archive.rpa", "");
    DeleteFileW((game + L"\\archive.rpa").c_str());
    EXPECT_EQ(resolveChosenFolder(library), L"");  // no original archive left
}

// ---------------------------------------------------------------- the list

TEST(AddCandidate, ValidatesThenMergesKeepingPlaceAndSpelling) {
    ScratchFolder s(L"merge");
    std::wstring a = makeGameFolder(s / L"A"), b = makeGameFolder(s / L"B");
    CandidateList list;
    addCandidate(list, s / L"A\\steamapps\\common\\Other\\game", 0, 5000, 1);  // not a game folder
    EXPECT_TRUE(list.empty());
    addCandidate(list, a, 0, -7, 5);
    addCandidate(list, b, 0, 100, 1);
    std::wstring otherSpelling = a;
    for (wchar_t& c : otherSpelling) c = c == L'\\' ? L'/' : towupper(c);
    addCandidate(list, otherSpelling + L"/", 1, -3, kStampAlways);
    addCandidate(list, a, 0, -5, 9);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].folder, a);
    EXPECT_EQ(list[0].manual, 1);         // OR of the flags
    EXPECT_EQ(list[0].score, -3);         // larger signed score
    EXPECT_EQ(list[0].stamp, kStampAlways);  // larger unsigned stamp
    EXPECT_EQ(list[1].folder, b);
    EXPECT_EQ(findCandidate(list, normalizePath(otherSpelling)), 0u);
    EXPECT_EQ(findCandidate(list, s / L"nothing"), 2u);
}

TEST(SortCandidates, ScoreThenNewerStampStableAndManualFirstWhenAsked) {
    CandidateList list = {{L"a", 0, 500, 1},    {L"b", 0, 800, 2}, {L"c", 1, 700, 0},
                          {L"d", 0, 800, 9},    {L"e", 0, 800, 2}, {L"f", 0, -1, kStampAlways},
                          {L"g", 1, 1100, 0}};
    CandidateList byScore = list;
    sortCandidates(byScore, false);
    std::wstring order;
    for (const GameCandidate& c : byScore) order += c.folder;
    EXPECT_EQ(order, L"gdbeca" L"f");
    CandidateList byManual = list;
    sortCandidates(byManual, true);
    order.clear();
    for (const GameCandidate& c : byManual) order += c.folder;
    EXPECT_EQ(order, L"gcdbeaf");
}

// ---------------------------------------------------------------- the detection pass

TEST(DetectionPass, TheLibraryWithTheNewerManifestComesFirst) {
    World w;
    std::wstring older = w.library(L"Older"), newer = w.library(L"Newer");
    std::wstring olderGame = makeGameFolder(older), newerGame = makeGameFolder(newer);
    writeManifest(older, manifestText("Lumivex Orrendale"), kOlder);
    writeManifest(newer, manifestText("Lumivex Orrendale"), kNewer);
    w.listLibraries({older, newer});
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].folder, newerGame);
    EXPECT_EQ(own[0].score, 800);
    EXPECT_EQ(own[0].stamp, kNewer);
    EXPECT_EQ(own[0].manual, 0);
    EXPECT_EQ(own[1].folder, olderGame);
    EXPECT_EQ(own[1].stamp, kOlder);
}

TEST(DetectionPass, InstallDirDecidesBetween800And700) {
    World w;
    struct Lib {
        const wchar_t* name;
        const char* manifest;  // nullptr: no manifest
        bool gameFolder;
        std::int32_t score;  // expected; 0: no candidate
    } libs[] = {
        {L"OtherCase", "\"installdir\" \"LUMIVEX orrendale\"", true, 800},
        {L"Different", "\"installdir\" \"Lumivex Orrendale Beta\"", true, 700},
        {L"NoKey", "\"AppState\" { \"name\" \"x\" }", true, 800},
        {L"KeyLast", "\"AppState\" { \"installdir\"", true, 800},
        {L"Absolute", nullptr, true, 700},
        {L"NoManifest", nullptr, true, 500},
        {L"Stale", "\"installdir\" \"Lumivex Orrendale\"", false, 0},
        {L"Binary", nullptr, true, 800},
    };
    std::vector<std::wstring> listed;
    std::uint64_t stamp = kOlder;
    for (Lib& lib : libs) {
        std::wstring path = w.library(lib.name);
        listed.push_back(path);
        if (lib.gameFolder) makeGameFolder(path);
        std::string manifest = lib.manifest ? lib.manifest : "";
        if (std::wstring(lib.name) == L"Absolute")
            manifest = "\"installdir\" \"" + escapeVdf(utf8(path)) + "\\\\steamapps\\\\common\\\\Lumivex Orrendale\"";
        if (std::wstring(lib.name) == L"Binary")
            manifest = testing_support::readFile(fixturePath(L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move"));
        if (!manifest.empty()) writeManifest(path, manifest, ++stamp);
    }
    // The "Beta" folder exists as well, but its name breaks the rule.
    makeGameFolder(w.scratch / L"Different", L"a.rpa", L"Lumivex Orrendale Beta");
    w.listLibraries(listed);
    CandidateList own = w.detect();
    for (const Lib& lib : libs) {
        std::wstring game = gameFolderOf(w.scratch / lib.name);
        size_t index = findCandidate(own, game);
        if (lib.score == 0) {
            EXPECT_EQ(index, own.size()) << lib.name;
            continue;
        }
        ASSERT_LT(index, own.size()) << lib.name;
        EXPECT_EQ(own[index].score, lib.score) << lib.name;
    }
    EXPECT_EQ(own.size(), 7u);  // one record per library with a game folder, the Beta one refused
    for (size_t i = 1; i < own.size(); ++i) {
        EXPECT_GE(own[i - 1].score, own[i].score);
        if (own[i - 1].score == own[i].score) {
            EXPECT_GE(own[i - 1].stamp, own[i].stamp);
        }
    }
    EXPECT_EQ(own.back().score, 500);
    EXPECT_EQ(own.back().stamp, 0u);
}

TEST(DetectionPass, InstallerInsideAGameFolderIsTheFirstAutomaticCandidate) {
    World w;
    std::wstring lib = w.library(L"Lib");
    std::wstring game = makeGameFolder(lib);
    writeManifest(lib, manifestText("Lumivex Orrendale"), kNewer);
    std::wstring other = w.library(L"Other");
    makeGameFolder(other);
    writeManifest(other, manifestText("Lumivex Orrendale"), kNewer + 1);
    w.listLibraries({other, lib});
    w.window.appFolder = game;
    w.window.patchPath = game + L"\\patch.rpa";
    writeFile(w.window.patchPath, "PATCH");
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].folder, game);
    EXPECT_EQ(own[0].score, 1000);
    EXPECT_EQ(own[0].stamp, kStampAlways);
    EXPECT_EQ(own[0].manual, 0);  // the caption stays "Steam game detected automatically"
    ASSERT_NE(w.selected(), nullptr);
    EXPECT_EQ(w.selected()->folder, game);
    EXPECT_TRUE(w.window.patchPresent);
    EXPECT_EQ(w.window.patchSize, 5u);
    EXPECT_TRUE(w.window.targetHasPatch);
    EXPECT_TRUE(w.window.targetPatchIdentical);
}

TEST(DetectionPass, DestNamingLibraryCommonOrGameFolderComesFirstAsManual) {
    World w;
    std::wstring lib = w.library(L"Lib");
    std::wstring game = makeGameFolder(lib);
    writeManifest(lib, manifestText("Lumivex Orrendale"), kNewer);
    std::wstring other = w.library(L"Other");
    std::wstring otherGame = makeGameFolder(other);
    writeManifest(other, manifestText("Lumivex Orrendale"), kNewer + 5);
    w.listLibraries({lib, other});
    for (const std::wstring& dest : {lib, lib + L"\\steamapps\\common", L"\"" + game + L"\""}) {
        w.window.destOverride = dest;
        CandidateList own = w.detect();
        ASSERT_EQ(own.size(), 2u) << dest.c_str();
        EXPECT_EQ(own[0].folder, game);
        EXPECT_EQ(own[0].manual, 1);
        EXPECT_EQ(own[0].score, 1100);
        EXPECT_EQ(own[0].stamp, kStampAlways);
        EXPECT_EQ(own[1].folder, otherGame);
        EXPECT_EQ(w.window.candidates[0].folder, game);  // before everything on the machine
    }
    // A --dest that is no game folder is dropped without a trace.
    w.window.destOverride = w.scratch / L"installer";
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].folder, otherGame);
    EXPECT_EQ(own[0].manual, 0);
    EXPECT_EQ(own[1].manual, 0);
}

TEST(DetectionPass, AChosenFolderAlsoFoundAutomaticallyIsOneManualRecordOnTop) {
    World w;
    std::wstring lib = w.library(L"Lib");
    std::wstring game = makeGameFolder(lib);
    std::wstring other = w.library(L"Other");
    std::wstring otherGame = makeGameFolder(other);
    writeManifest(other, manifestText("Lumivex Orrendale"), kNewer);
    w.listLibraries({lib, other});
    w.window.destOverride = other;
    std::wstring chosen = game;
    for (wchar_t& c : chosen) c = towupper(c);
    w.window.manualFolder = chosen;
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].folder, game);  // the spelling found first (the library scan) stays
    EXPECT_EQ(own[0].manual, 1);
    EXPECT_EQ(own[0].score, 1200);
    EXPECT_EQ(own[1].folder, otherGame);
    EXPECT_EQ(own[1].score, 1100);
    EXPECT_EQ(w.window.selectedIndex, 0u);
    EXPECT_EQ(w.window.manualFolder, chosen);  // kept for the next pass

    // Once the chosen folder stops being a game folder it silently drops out.
    DeleteFileW((game + L"\\archive.rpa").c_str());
    own = w.detect();
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].folder, otherGame);
}

TEST(DetectionPass, TheSelectionFollowsItsFolderAndFallsBackWhenItIsGone) {
    World w;
    std::wstring a = w.library(L"A"), b = w.library(L"B");
    std::wstring gameA = makeGameFolder(a), gameB = makeGameFolder(b);
    std::wstring manifestA = writeManifest(a, manifestText("Lumivex Orrendale"), kNewer);
    writeManifest(b, manifestText("Lumivex Orrendale"), kOlder);
    w.listLibraries({a, b});
    w.window.manualFolder.clear();
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 2u);
    size_t indexB = findCandidate(w.window.candidates, gameB);
    ASSERT_LT(indexB, w.window.candidates.size());
    ASSERT_GT(indexB, findCandidate(w.window.candidates, gameA));
    w.window.selectedIndex = static_cast<std::uint32_t>(indexB);

    // A's manifest becomes the older one: the sort moves B up, the selection moves with it.
    setWriteTime(manifestA, kOlder - 1);
    w.detect();
    size_t newIndexB = findCandidate(w.window.candidates, gameB);
    EXPECT_LT(newIndexB, findCandidate(w.window.candidates, gameA));
    ASSERT_NE(w.selected(), nullptr);
    EXPECT_EQ(w.selected()->folder, gameB);

    DeleteFileW((gameB + L"\\archive.rpa").c_str());
    w.detect();
    EXPECT_EQ(w.window.selectedIndex, 0u);
    EXPECT_EQ(findCandidate(w.window.candidates, gameB), w.window.candidates.size());
}

TEST(DetectionPass, ResetsInstallStateProgressAndStatusButNotARunningCopy) {
    World w;
    makeGameFolder(w.root);
    writeFile(w.window.patchPath, std::string(1234, 'p'));
    w.window.state = Failed;
    w.window.progressPerMille = 640;
    w.window.statusMessage = L"Access is denied.";
    w.window.targetHasPatch = true;
    w.detect();
    EXPECT_EQ(w.window.state, Ready);
    EXPECT_EQ(w.window.progressPerMille, 0);
    EXPECT_EQ(w.window.statusMessage, L"");
    EXPECT_TRUE(w.window.patchPresent);
    EXPECT_EQ(w.window.patchSize, 1234u);
    EXPECT_FALSE(w.window.targetHasPatch);  // the selected game folder holds no patch.rpa yet

    w.window.state = Installing;
    w.window.progressPerMille = 300;
    w.window.statusMessage = L"x";
    DeleteFileW(w.window.patchPath.c_str());
    w.detect();
    EXPECT_EQ(w.window.state, Installing);
    EXPECT_EQ(w.window.progressPerMille, 0);
    EXPECT_EQ(w.window.statusMessage, L"");
    EXPECT_FALSE(w.window.patchPresent);
    EXPECT_EQ(w.window.patchSize, 0u);
}

TEST(DetectionPass, TheUninstallRecordInSeveralViewsIsOneRecord) {
    World w;
    std::wstring lib = w.library(L"Lib");
    std::wstring game = makeGameFolder(lib);
    std::wstring install = lib + L"\\steamapps\\common\\Lumivex Orrendale";
    std::wstring spelled = install;
    for (wchar_t& c : spelled) c = c == L'\\' ? L'/' : towlower(c);
    RegistryValue user(HKEY_CURRENT_USER, detect_world::kUninstallKey, L"InstallLocation");
    user.setString(spelled + L"/");
    RegistryValue machine32(HKEY_LOCAL_MACHINE, detect_world::kUninstallKey, L"InstallLocation", KEY_WOW64_32KEY);
    machine32.setString(install);
    RegistryValue machine64(HKEY_LOCAL_MACHINE, detect_world::kUninstallKey, L"InstallLocation", KEY_WOW64_64KEY);
    machine64.setString(L"%SystemDrive%\\..\\" + install.substr(3), REG_EXPAND_SZ);
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 1u);
    EXPECT_TRUE(pathEqualsNoCase(own[0].folder, game));
    EXPECT_EQ(own[0].score, 900);
    EXPECT_EQ(own[0].stamp, 0u);

    // Listed by Steam with a manifest as well: still one record, the higher score, the manifest's stamp.
    writeManifest(lib, manifestText("Lumivex Orrendale"), kNewer);
    w.listLibraries({lib});
    own = w.detect();
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].score, 900);
    EXPECT_EQ(own[0].stamp, kNewer);
}

TEST(DetectionPass, JunkSteamFilesNeverStopThePass) {
    World w;
    std::wstring lib = w.library(L"Lib");
    std::wstring game = makeGameFolder(lib);
    std::mt19937 random(1234);
    for (int round = 0; round < 30; ++round) {
        std::string junk(random() % 20000, '\0');
        for (char& b : junk) b = static_cast<char>(random() % 256);
        if (round % 3 == 0) junk = blockFormatVdf({lib}) + junk;  // junk after a valid start
        writeFile(w.root + L"\\steamapps\\libraryfolders.vdf", junk);
        writeManifest(lib, std::string(junk.rbegin(), junk.rend()));
        CandidateList own = w.detect();
        if (round % 3 == 0) {
            ASSERT_LT(findCandidate(own, game), own.size());
            EXPECT_GE(own[findCandidate(own, game)].score, 700);
        }
    }
    // The Steam folder's own game folder and a quote-only vdf of 16 MiB.
    writeFile(w.root + L"\\steamapps\\libraryfolders.vdf", std::string(16u * 1024 * 1024, '"'));
    std::wstring rootGame = makeGameFolder(w.root);
    CandidateList own = w.detect();
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].folder, rootGame);
    EXPECT_EQ(own[0].score, 500);
}

TEST(DetectionPass, NothingFoundLeavesIndexZero) {
    World w;
    w.window.selectedIndex = 5;
    CandidateList own = w.detect();
    EXPECT_TRUE(own.empty());
    EXPECT_EQ(w.window.selectedIndex, 0u);
    if (w.window.candidates.empty()) {
        EXPECT_EQ(w.selected(), nullptr);
    }
}

}  // namespace
