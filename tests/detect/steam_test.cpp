#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "detect/steam.h"
#include "detect_world.h"

using namespace detect_world;
using testing_support::makeFolders;
using testing_support::ScratchFolder;
using testing_support::writeFile;

namespace {

const wchar_t* kSteamKey = L"Software\\Valve\\Steam";

size_t indexOf(const PathList& list, const std::wstring& path) {
    for (size_t i = 0; i < list.size(); ++i)
        if (pathEqualsNoCase(list[i], path)) return i;
    return list.size();
}

size_t countOf(const PathList& list, const std::wstring& path) {
    size_t n = 0;
    for (const WidePath& p : list) n += pathEqualsNoCase(p, path) ? 1 : 0;
    return n;
}

PathList librariesOf(const std::wstring& root) { return collectLibraries(PathList{normalizePath(root)}); }

// Keeps the process's current folder and puts it back.
struct CurrentFolder {
    std::wstring old;
    explicit CurrentFolder(const std::wstring& folder) {
        wchar_t buffer[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, buffer);
        old = buffer;
        SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(old.c_str()); }
};

// ---------------------------------------------------------------- quoted strings

TEST(QuotedStrings, ResolvesOnlyBackslashAndQuoteEscapes) {
    StringList s = quotedStrings(L"\"a\\\\b\" \"say \\\"hi\\\"\" \"C:\\Games\\new\\tab\" \"\"");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], L"a\\b");
    EXPECT_EQ(s[1], L"say \"hi\"");
    EXPECT_EQ(s[2], L"C:\\Games\\new\\tab");  // \G \n \t keep their backslash
    EXPECT_EQ(s[3], L"");
}

TEST(QuotedStrings, IgnoresEverythingOutsideQuotesAndKeepsAnUnterminatedLastString) {
    StringList s = quotedStrings(L"// comment\n{ word \"k\" { \"v\" } } \"tail \\");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], L"k");
    EXPECT_EQ(s[1], L"v");
    EXPECT_EQ(s[2], L"tail \\");  // a trailing backslash is kept
    EXPECT_TRUE(quotedStrings(L"").empty());
    EXPECT_TRUE(quotedStrings(L"no quotes at all").empty());
    EXPECT_EQ(quotedStrings(L"\""), StringList{L""});
}

// Oracle for inputs without backslashes: the strings are the odd pieces between quote characters.
StringList splitOnQuotes(const std::wstring& text) {
    StringList pieces(1);
    for (wchar_t c : text) {
        if (c == L'"') pieces.emplace_back();
        else pieces.back() += c;
    }
    StringList odd;
    for (size_t i = 1; i < pieces.size(); i += 2) odd.push_back(pieces[i]);
    return odd;
}

TEST(QuotedStrings, RandomInputsKeepTheInvariants) {
    std::mt19937 random(20240601);
    const wchar_t alphabet[] = {L'"', L'"', L'\\', L'a', L'7', L' ', L'{', L'}', L'\n', L'p', L'\u00e4', L'\u6e38', L'\0'};
    for (int round = 0; round < 20000; ++round) {
        std::wstring text(random() % 64, L' ');
        bool noBackslash = round % 2 == 0;
        for (wchar_t& c : text) {
            c = alphabet[random() % (sizeof alphabet / sizeof alphabet[0])];
            if (noBackslash && c == L'\\') c = L'x';
        }
        StringList strings = quotedStrings(text);
        size_t quotes = 0;
        for (wchar_t c : text) quotes += c == L'"';
        ASSERT_LE(strings.size(), quotes);
        ASSERT_TRUE(testing_support::appearInOrder(strings, text));
        if (noBackslash) {
            ASSERT_EQ(strings, splitOnQuotes(text));
        }

        StringList values = libraryPathStrings(strings);
        ASSERT_LE(values.size(), strings.empty() ? 0 : strings.size() - 1);
        // Every value is one of the strings that follow a key, in order.
        size_t next = 1;
        for (const std::wstring& v : values) {
            while (next < strings.size() && strings[next] != v) ++next;
            ASSERT_LT(next, strings.size());
            ++next;
        }
    }
}

TEST(DecodeText, RandomBytesNeverFailAndAsciiStaysAscii) {
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(random() % 48, '\0');
        bool ascii = round % 3 == 0;
        for (char& b : bytes) b = static_cast<char>(ascii ? 1 + random() % 127 : random() % 256);
        std::wstring text = decodeText(bytes);
        if (ascii) {
            std::wstring widened(bytes.begin(), bytes.end());
            ASSERT_EQ(text, widened);
        }
        StringList strings = quotedStrings(text);
        ASSERT_TRUE(testing_support::appearInOrder(strings, text));
    }
}

// ---------------------------------------------------------------- library path extraction

TEST(LibraryPathStrings, BothFileFormatsAndAnyCaseOfPath) {
    StringList flat = quotedStrings(L"\"LibraryFolders\" { \"TimeNextStatsReport\" \"1\" \"1\" \"D:\\\\Lib\" \"2\" \"E:\\\\L2\" }");
    StringList block = quotedStrings(
        L"\"libraryfolders\" { \"0\" { \"path\" \"C:\\\\S\" \"label\" \"\" } \"1\" { \"PATH\" \"D:\\\\T\" } }");
    StringList flatValues = libraryPathStrings(flat);
    // The stats value "1" is itself a numbered key, so the library number after it is taken too.
    EXPECT_EQ(flatValues, (StringList{L"1", L"D:\\Lib", L"E:\\L2"}));
    // In the block format a block number is followed by "path": that word is a (relative) value too.
    EXPECT_EQ(libraryPathStrings(block), (StringList{L"path", L"C:\\S", L"PATH", L"D:\\T"}));
    EXPECT_TRUE(libraryPathStrings(StringList{}).empty());
    EXPECT_TRUE(libraryPathStrings(StringList{L"path"}).empty());  // a key without value
}

TEST(ManifestInstallDir, FirstInstallDirKeyAnyCaseAndNothingWhenItIsLast) {
    EXPECT_EQ(manifestInstallDir(StringList{L"AppState", L"InstallDir", L"Lumivex Orrendale", L"installdir", L"x"}),
              L"Lumivex Orrendale");
    EXPECT_EQ(manifestInstallDir(StringList{L"AppState", L"name", L"installdir"}), L"");
    EXPECT_EQ(manifestInstallDir(StringList{}), L"");
}

// ---------------------------------------------------------------- reading files

TEST(ReadTextFile, ByteOrderMarkAnsiAndNonAsciiUtf8) {
    ScratchFolder s(L"read");
    writeFile(s / L"bom.vdf", "\xEF\xBB\xBF\"key\" \"v\"");
    EXPECT_EQ(readTextFile(s / L"bom.vdf"), L"\"key\" \"v\"");
    // Latin-1 bytes are not valid UTF-8: the ANSI code page (1252 in this prefix) decodes them.
    writeFile(s / L"ansi.vdf", "\"path\" \"D:\\\\Spiele \xE4\xF6\xFC\"");
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(readTextFile(s / L"ansi.vdf"), L"\"path\" \"D:\\\\Spiele \u00e4\u00f6\u00fc\"");
    writeFile(s / L"utf8.vdf", "\"path\" \"D:\\\\\xE6\xB8\xB8\xE6\x88\x8F \xC3\xA4\"");
    EXPECT_EQ(readTextFile(s / L"utf8.vdf"), L"\"path\" \"D:\\\\\u6e38\u620f \u00e4\"");
    // A BOM alone leaves nothing; an empty file reads as nothing.
    writeFile(s / L"onlybom", "\xEF\xBB\xBF");
    EXPECT_EQ(readTextFile(s / L"onlybom"), L"");
    writeFile(s / L"empty", "");
    EXPECT_EQ(readTextFile(s / L"empty"), L"");
    EXPECT_EQ(readTextFile(s / L"missing"), L"");
}

TEST(ReadTextFile, SixteenMebibytesAreReadOneByteMoreIsRefusedAndFoldersGiveNothing) {
    ScratchFolder s(L"big");
    std::string quotes(16u * 1024 * 1024, '"');
    ASSERT_TRUE(writeFile(s / L"exact.vdf", quotes));
    std::wstring text = readTextFile(s / L"exact.vdf");
    ASSERT_EQ(text.size(), quotes.size());
    StringList strings = quotedStrings(text);
    EXPECT_EQ(strings.size(), quotes.size() / 2);  // every pair of quotes is one empty string
    EXPECT_TRUE(libraryPathStrings(strings).empty());
    quotes += '"';
    ASSERT_TRUE(writeFile(s / L"over.vdf", quotes));
    EXPECT_EQ(readTextFile(s / L"over.vdf"), L"");
    makeFolders(s / L"folder.vdf");
    EXPECT_EQ(readTextFile(s / L"folder.vdf"), L"");
}

// ---------------------------------------------------------------- registry

TEST(ReadRegistryPath, StringShapesTypesAndSizes) {
    ScratchFolder s(L"reg");
    const std::wstring key = L"Software\\LumivexDetectTest";
    {
        RegistryValue slashes(HKEY_CURRENT_USER, key, L"Slashes");
        std::wstring lower = s.path();
        for (wchar_t& c : lower) c = c == L'\\' ? L'/' : towlower(c);
        slashes.setString(lower + L"/");
        EXPECT_TRUE(pathEqualsNoCase(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Slashes", 0), s.path()));
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Slashes", 0).back(), s.path().back());

        RegistryValue trailing(HKEY_CURRENT_USER, key, L"Trailing");
        trailing.setString(s.path() + L"\\");
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Trailing", 0), s.path());

        RegistryValue number(HKEY_CURRENT_USER, key, L"Number");
        DWORD value = 0x003A0043;  // the bytes of "C:" as UTF-16, still not a string
        number.set(REG_DWORD, &value, sizeof value);
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Number", 0), L"");

        RegistryValue zero(HKEY_CURRENT_USER, key, L"Zero");
        zero.set(REG_SZ, L"", 0);
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Zero", 0), L"");
        RegistryValue one(HKEY_CURRENT_USER, key, L"One");
        one.set(REG_SZ, "C", 1);
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"One", 0), L"");

        RegistryValue expand(HKEY_CURRENT_USER, key, L"Expand");
        EnvironmentVariable programFiles(L"ProgramFiles", s.path());
        expand.setString(L"%ProgramFiles%\\Steam", REG_EXPAND_SZ);
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Expand", 0), s.path() + L"\\Steam");
        // A REG_SZ is never expanded.
        RegistryValue plain(HKEY_CURRENT_USER, key, L"Plain");
        plain.setString(L"C:\\%ProgramFiles%");
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Plain", 0), L"C:\\%ProgramFiles%");

        // Stored without terminator, odd byte count included.
        RegistryValue bare(HKEY_CURRENT_USER, key, L"Bare");
        std::wstring text = L"C:\\Bare";
        bare.set(REG_SZ, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Bare", 0), L"C:\\Bare");
        RegistryValue odd(HKEY_CURRENT_USER, key, L"Odd");
        odd.set(REG_SZ, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t) + 1));
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Odd", 0), L"C:\\Bare");

        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, key.c_str(), L"Missing", 0), L"");
    }
    // Every value and the key the test made are gone again.
    HKEY left = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &left), ERROR_SUCCESS);
    if (left) RegCloseKey(left);
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, L"Software\\NoSuchKeyAtAll", L"x", 0), L"");
}

TEST(ReadRegistryPath, MachineViewsAreSeparate) {
    ScratchFolder s(L"views");
    const std::wstring key = L"SOFTWARE\\LumivexDetectViews";
    RegistryValue view32(HKEY_LOCAL_MACHINE, key, L"InstallPath", KEY_WOW64_32KEY);
    view32.setString(s.path() + L"\\x86");
    RegistryValue view64(HKEY_LOCAL_MACHINE, key, L"InstallPath", KEY_WOW64_64KEY);
    view64.setString(s.path() + L"\\x64");
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallPath", KEY_WOW64_32KEY), s.path() + L"\\x86");
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallPath", KEY_WOW64_64KEY), s.path() + L"\\x64");
    // This test program is 64-bit: its default view is the 64-bit one.
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallPath", 0), s.path() + L"\\x64");
}

// ---------------------------------------------------------------- roots

TEST(SteamRoots, OneFolderReportedInSeveralSpellingsIsListedOnceAtItsFirstPlace) {
    ScratchFolder s(L"roots");
    std::wstring steam = s / L"Steam";
    std::wstring machine = s / L"MachineSteam";
    makeFolders(steam);
    makeFolders(machine);
    std::wstring steamLike = steam;  // Steam writes lower case with forward slashes
    for (wchar_t& c : steamLike) c = c == L'\\' ? L'/' : towlower(c);
    RegistryValue steamPath(HKEY_CURRENT_USER, kSteamKey, L"SteamPath");
    steamPath.setString(steamLike);
    RegistryValue installPath(HKEY_CURRENT_USER, kSteamKey, L"InstallPath");
    installPath.setString(steam + L"\\");
    RegistryValue machine32(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Valve\\Steam", L"InstallPath", KEY_WOW64_32KEY);
    machine32.setString(machine);
    EnvironmentVariable programFiles(L"ProgramFiles", s.path());  // + "Steam": the same folder again

    PathList roots = collectSteamRoots();
    EXPECT_EQ(countOf(roots, steam), 1u);
    EXPECT_EQ(countOf(roots, machine), 1u);
    ASSERT_EQ(indexOf(roots, steam), 0u);
    EXPECT_EQ(roots[0], normalizePath(steamLike));  // the first report's spelling
    EXPECT_EQ(indexOf(roots, machine), 1u);
    // Each root is an existing folder and none is listed twice.
    for (size_t i = 0; i < roots.size(); ++i) {
        EXPECT_TRUE(isDirectory(roots[i])) << roots[i].c_str();
        EXPECT_EQ(countOf(roots, roots[i]), 1u);
    }
}

TEST(SteamRoots, MissingFoldersAndNonFolderValuesAreNotRoots) {
    ScratchFolder s(L"noroot");
    writeFile(s / L"file", "x");
    RegistryValue steamPath(HKEY_CURRENT_USER, kSteamKey, L"SteamPath");
    steamPath.setString(s / L"file");
    RegistryValue installPath(HKEY_CURRENT_USER, kSteamKey, L"InstallPath");
    installPath.setString(s / L"gone");
    PathList roots = collectSteamRoots();
    EXPECT_EQ(indexOf(roots, s / L"file"), roots.size());
    EXPECT_EQ(indexOf(roots, s / L"gone"), roots.size());
    PathList list;
    addSteamRoot(list, L"");
    addSteamRoot(list, L"   ");
    addSteamRoot(list, s.path());
    addSteamRoot(list, L"\"" + s.path() + L"\\\"");
    EXPECT_EQ(list, PathList{s.path()});
}

TEST(SteamRoots, FixedDrivesOfferTheirRootAndFourFoldersRemovableDrivesNothing) {
    ScratchFolder s(L"drives");
    makeFolders(s / L"fixed\\steamapps");
    makeFolders(s / L"fixed\\Games\\SteamLibrary");
    makeFolders(s / L"fixed\\Steam");
    makeFolders(s / L"removable\\Steam");
    MountedDrive fixed(s / L"fixed", DRIVE_FIXED);
    MountedDrive removable(s / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok());
    ASSERT_TRUE(removable.ok());
    EXPECT_EQ(GetDriveTypeW(fixed.root().c_str()), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeW(removable.root().c_str()), static_cast<UINT>(DRIVE_REMOVABLE));

    PathList roots = collectSteamRoots();
    size_t driveRoot = indexOf(roots, fixed.root());
    ASSERT_LT(driveRoot, roots.size());
    // In the order root, Steam, SteamLibrary, Games\Steam, Games\SteamLibrary; missing ones skipped.
    ASSERT_LT(driveRoot + 2, roots.size());
    EXPECT_EQ(roots[driveRoot], fixed.root());
    EXPECT_EQ(roots[driveRoot + 1], fixed.root() + L"Steam");
    EXPECT_EQ(roots[driveRoot + 2], fixed.root() + L"Games\\SteamLibrary");
    EXPECT_EQ(indexOf(roots, removable.root()), roots.size());
    EXPECT_EQ(indexOf(roots, removable.root() + L"Steam"), roots.size());
    // The drive root holds a steamapps folder: it is a library of its own.
    PathList libraries = collectLibraries(roots);
    EXPECT_LT(indexOf(libraries, fixed.root()), libraries.size());
}

TEST(SteamRoots, DriveStringsAndOffersArePureHelpers) {
    const wchar_t buffer[] = L"C:\\\0D:\\\0\0junk";
    EXPECT_EQ(splitDriveStrings(buffer, 9), (PathList{L"C:\\", L"D:\\"}));
    EXPECT_EQ(splitDriveStrings(buffer, 4), (PathList{L"C:\\"}));
    EXPECT_TRUE(splitDriveStrings(buffer, 0).empty());
    EXPECT_EQ(driveRootOffers(L"E:\\"), (PathList{L"E:\\", L"E:\\Steam", L"E:\\SteamLibrary", L"E:\\Games\\Steam",
                                                  L"E:\\Games\\SteamLibrary"}));
}

// ---------------------------------------------------------------- libraries

TEST(Libraries, BlockAndFlatFormatsNonAsciiPathsAndDuplicatesAcrossRoots) {
    ScratchFolder s(L"libs");
    std::wstring rootA = s / L"SteamA", rootB = s / L"SteamB";
    std::wstring one = s / L"Lib \u6e38\u620f one", two = s / L"Lib two's", three = s / L"Lib\u00e4three";
    for (const std::wstring& f : {rootA, rootB, one, two, three}) makeFolders(f);
    writeFile(rootA + L"\\steamapps\\libraryfolders.vdf", blockFormatVdf({rootA, one, s / L"missing", two}, "PATH"));
    std::wstring oneForward = one;
    for (wchar_t& c : oneForward) c = c == L'\\' ? L'/' : towupper(c);
    writeFile(rootB + L"\\steamapps\\libraryfolders.vdf", "\xEF\xBB\xBF" + flatFormatVdf({oneForward, three}));

    PathList libraries = collectLibraries(PathList{rootA, rootB});
    ASSERT_EQ(libraries, (PathList{rootA, one, two, rootB, three}));
}

TEST(Libraries, AnsiEncodedFileNetworkPathsFilesAndAFolderInPlaceOfTheFile) {
    ScratchFolder s(L"libs2");
    std::wstring root = s / L"Steam";
    std::wstring latin = s / L"Spiele\u00e4\u00fc";
    makeFolders(latin);
    writeFile(s / L"plainfile", "x");
    // Bytes in code page 1252, not valid UTF-8.
    std::string vdf = "\"libraryfolders\" { \"1\" \"" + escapeVdf(utf8(s.path())) + "\\\\Spiele\xE4\xFC\" " +
                      "\"2\" \"\\\\\\\\server\\\\share\\\\Steam\" \"3\" \"" + escapeVdf(utf8(s / L"plainfile")) + "\" }";
    writeFile(root + L"\\steamapps\\libraryfolders.vdf", vdf);
    EXPECT_EQ(librariesOf(root), (PathList{root, latin}));

    std::wstring other = s / L"Other";
    makeFolders(other + L"\\steamapps\\libraryfolders.vdf");  // a folder where the file should be
    EXPECT_EQ(librariesOf(other), PathList{other});
}

TEST(Libraries, RealSteamFilesGiveTheLibrariesTheRulesName) {
    ScratchFolder s(L"fixtures");
    // The fixtures name their libraries relative to a test folder ("c/Program Files (x86)/Steam");
    // such a path resolves against the current folder and counts only when it exists there.
    makeFolders(s / L"cwd\\c\\Program Files (x86)\\Steam");
    makeFolders(s / L"cwd\\d\\SteamLibrary");
    CurrentFolder cwd(s / L"cwd");
    struct Case {
        const wchar_t* fixture;
        PathList extra;
    } cases[] = {
        {L"find-steam-app__v1_libraryfolders.vdf", {s / L"cwd\\c\\Program Files (x86)\\Steam", s / L"cwd\\d\\SteamLibrary"}},
        {L"find-steam-app__v2_libraryfolders.vdf", {s / L"cwd\\c\\Program Files (x86)\\Steam", s / L"cwd\\d\\SteamLibrary"}},
        {L"Steam-Dummy__libraryfolders_oldformat_mixedindent_0579e63.vdf", {}},
        {L"Steam-Dummy__Windows_libraryfolders_oldformat_nolibs.vdf", {}},
        {L"vdf-rs__null_byte.vdf", {}},
        {L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move", {}},
        {L"steamlocate-rs__appmanifest_230410.acf", {}},
    };
    for (const Case& c : cases) {
        std::string bytes = testing_support::readFile(fixturePath(c.fixture));
        ASSERT_FALSE(bytes.empty()) << c.fixture;
        std::wstring root = s / (std::wstring(L"root-") + std::to_wstring(&c - cases));
        writeFile(root + L"\\steamapps\\libraryfolders.vdf", bytes);
        PathList expected{root};
        expected.insert(expected.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(librariesOf(root), expected) << c.fixture;
    }
    // The quirk of the old format: "ContentStatsID" follows the key "0" and becomes a relative
    // library path that counts once such a folder exists.
    makeFolders(s / L"cwd\\ContentStatsID");
    std::wstring root = s / L"root-nolibs";
    writeFile(root + L"\\steamapps\\libraryfolders.vdf",
              testing_support::readFile(fixturePath(L"Steam-Dummy__Windows_libraryfolders_oldformat_nolibs.vdf")));
    EXPECT_EQ(librariesOf(root), (PathList{root, s / L"cwd\\ContentStatsID"}));
}

// ---------------------------------------------------------------- manifests

TEST(Manifest, RealManifestsGiveTheirInstallDirAndStamp) {
    ScratchFolder s(L"manifests");
    struct Case {
        const wchar_t* fixture;
        const wchar_t* installDir;
    } cases[] = {
        {L"Steam-Dummy__External_appmanifest_421_stateflags512.acf", L"something2"},
        {L"find-steam-app__c_appmanifest_228980.acf", L"Steamworks Shared"},
        {L"steamlocate-rs__appmanifest_230410.acf", L"Warframe"},
        {L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move", L""},
        {L"find-steam-app__v2_libraryfolders.vdf", L""},
        {L"vdf-rs__null_byte.vdf", L""},
    };
    std::uint64_t stamp = 0x01D9000000000000ull;
    for (const Case& c : cases) {
        std::wstring library = s / (std::wstring(L"lib-") + std::to_wstring(&c - cases));
        writeManifest(library, testing_support::readFile(fixturePath(c.fixture)), ++stamp);
        ManifestProbe probe = probeManifest(library);
        EXPECT_TRUE(probe.present) << c.fixture;
        EXPECT_EQ(probe.stamp, stamp) << c.fixture;
        EXPECT_EQ(probe.installDir, c.installDir) << c.fixture;
    }
}

TEST(Manifest, MissingUnreadableFolderAndJunkManifests) {
    ScratchFolder s(L"probe");
    ManifestProbe missing = probeManifest(s / L"none");
    EXPECT_FALSE(missing.present);
    EXPECT_EQ(missing.stamp, 0u);
    EXPECT_EQ(missing.installDir, L"");

    makeFolders(s / L"folder\\steamapps\\appmanifest_2468020.acf");
    EXPECT_FALSE(probeManifest(s / L"folder").present);

    // Too big to read: still present with its stamp, only installDir is lost.
    std::string big = manifestText("Lumivex Orrendale");
    big.resize(16u * 1024 * 1024 + 1, ' ');
    writeManifest(s / L"big", big, 0x01D8000000000001ull);
    ManifestProbe bigProbe = probeManifest(s / L"big");
    EXPECT_TRUE(bigProbe.present);
    EXPECT_EQ(bigProbe.stamp, 0x01D8000000000001ull);
    EXPECT_EQ(bigProbe.installDir, L"");

    writeManifest(s / L"last", "\"AppState\" { \"installdir\"", 0x01D8000000000002ull);
    EXPECT_EQ(probeManifest(s / L"last").installDir, L"");
    EXPECT_TRUE(probeManifest(s / L"last").present);

    writeManifest(s / L"unterminated", "\"installdir\" \"Lumivex Orrendale");
    EXPECT_EQ(probeManifest(s / L"unterminated").installDir, L"Lumivex Orrendale");

    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        std::string junk(random() % 4096, '\0');
        for (char& b : junk) b = static_cast<char>(random() % 256);
        if (round % 4 == 0) junk = "\"installdir\" \"" + junk;
        writeManifest(s / L"junk", junk);
        ManifestProbe probe = probeManifest(s / L"junk");
        ASSERT_TRUE(probe.present);
        ASSERT_NE(probe.stamp, 0u);
    }
}

}  // namespace
