// Steam's text files as detection reads them: hand-made, real (tests/fixtures/steam) and mutated.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>

#include "detect/steam.h"
#include "support.h"

using namespace support;

namespace {

std::string fixture(const std::wstring& name) { return readFile(fixturePath(name)); }

// Only \\ and \" are escapes; an unterminated string runs to the end.
TEST(SteamFiles, QuotedStrings) {
    const std::pair<std::wstring, StringList> strings[] = {
        {L"\"a\\\\b\" \"say \\\"hi\\\"\"", {L"a\\b", L"say \"hi\""}},
        {L"// c\n{ word \"k\" { \"v\" } } \"tail \\", {L"k", L"v", L"tail \\"}},
        {std::wstring(L"\"a\0b\"", 5), {std::wstring(L"a\0b", 3)}},
    };
    for (const auto& [text, list] : strings) {
        EXPECT_EQ(quotedStrings(text), list) << utf8(text);
    }
}

// Each libraryfolders.vdf lists the libraries that exist, after the Steam root it is in. Text is
// UTF-8 (a BOM dropped), else the ANSI page (1252 in the prefix).
TEST(SteamFiles, LibraryFoldersInEveryShape) {
    ASSERT_EQ(GetACP(), 1252u);
    ScratchFolder scratch(L"vdf");
    const std::wstring one = scratch / L"Lib one \u6e38\u620f";
    const std::wstring two = scratch / L"Lib two's";
    const std::wstring ansiFolder = scratch / L"Spiele\u00e4\u00fc";
    const std::wstring cwd = scratch / L"cwd";  // the fixtures name folders relative to theirs
    const PathList relative{cwd + L"\\c\\Program Files (x86)\\Steam", cwd + L"\\d\\SteamLibrary"};
    for (const std::wstring& folder : {one, two, ansiFolder, relative[0], relative[1]}) {
        makeFolders(folder);
    }
    writeFile(scratch / L"file", "x");
    const std::string flat = libraryFoldersVdf({two}, false);
    const std::string cut = flat.substr(0, flat.rfind('"'));
    const std::string ansi = libraryFoldersVdf({scratch / L"Spiele"}, false);
    const std::string ansiNames = ansi.substr(0, ansi.rfind('"')) + "\xE4\xFC\"}";
    const std::string filler(kMaxTextFileBytes - flat.size(), ' ');
    const std::wstring wide = L"\"1\" \"" + two + L"\"";  // UTF-16 LE, as some editors save text
    const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    const PathList unusable{L"\\\\server\\share", L"\\\\?\\" + one, scratch / L"file"};
    const struct {
        std::wstring what;
        std::string vdf;
        PathList found;
    } rows[] = {
        {L"block", libraryFoldersVdf({one, scratch / L"missing", two}), {one, two}},
        {L"flat, BOM", "\xEF\xBB\xBF" + libraryFoldersVdf({one, two}, false), {one, two}},
        {L"ANSI", ansiNames, {ansiFolder}},
        {L"no drive letter, file", libraryFoldersVdf(unusable), {}},
        {L"unterminated", cut, {two}},
        {L"NUL in the value", cut + std::string(1, '\0') + "junk\"}", {two}},
        {L"UTF-16, BOM", "\xFF\xFE" + utf16, {}},
        {L"16 MiB", flat + filler, {two}},
        {L"16 MiB + 1", flat + filler + " ", {}},
        {L"v1", fixture(L"find-steam-app__v1_libraryfolders.vdf"), relative},
        {L"v2", fixture(L"find-steam-app__v2_libraryfolders.vdf"), relative},
        {L"indent", fixture(L"Steam-Dummy__libraryfolders_oldformat_mixedindent_0579e63.vdf"), {}},
    };
    wchar_t old[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(cwd.c_str());
    for (const auto& row : rows) {
        const std::wstring root = scratch / row.what;
        ASSERT_TRUE(writeFile(root + L"\\steamapps\\libraryfolders.vdf", row.vdf));
        PathList expected{root};
        expected.insert(expected.end(), row.found.begin(), row.found.end());
        EXPECT_EQ(collectLibraries({root}), expected) << utf8(row.what);
    }
    SetCurrentDirectoryW(old);
}

// The install folder of real manifests; a binary one (Steam's before a move) has none.
TEST(SteamFiles, ManifestsGiveTheirInstallDir) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"Steam-Dummy__External_appmanifest_421_stateflags512.acf", L"something2"},
        {L"steamlocate-rs__appmanifest_230410.acf", L"Warframe"},
        {L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move", L""},
    };
    for (const auto& [name, installDir] : rows) {
        EXPECT_EQ(manifestInstallDir(quotedStrings(decodeText(fixture(name)))), installDir) << utf8(name);
    }
    EXPECT_EQ(manifestInstallDir(quotedStrings(L"\"InstallDir\" \"Lumivex O")), L"Lumivex O");  // any case, open
}

// Mutated real files keep the readers' promises: each string was between quotes, the install folder
// and the library paths are among the strings. Long runs: docs/fuzzing.md.
TEST(SteamFiles, RandomizedMutations) {
    const std::wstring seedText = env(L"LUMIVEX_FUZZ_SEED");
    unsigned seed = 20241207u;
    if (seedText == L"random") seed = GetTickCount();
    else if (!seedText.empty()) seed = std::stoul(seedText);
    const ULONGLONG seconds = std::stoul(L"0" + env(L"LUMIVEX_FUZZ_SECONDS"));
    const ULONGLONG end = GetTickCount64() + 1000 * seconds;
    std::mt19937 random(seed);
    std::vector<std::string> seeds{""};
    for (const std::wstring& name : listFolder(fixturePath(L"*"))) seeds.push_back(fixture(name));
    ASSERT_GE(seeds.size(), 9u);
    const char* const tokens[] = {"\"", "\\", "\\\"", "\xEF\xBB\xBF", "\xC3", "{", "\"path\" \"", "\"0\" \"C:"};
    for (unsigned round = 0; seconds ? GetTickCount64() < end : round < 20000; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        std::string bytes = seeds[random() % seeds.size()];
        for (unsigned change = random() % 4; change < 4; ++change) {
            const size_t at = random() % (bytes.size() + 1);
            const unsigned kind = random() % 3;
            if (kind == 0) bytes.insert(at, tokens[random() % std::size(tokens)]);
            if (kind == 1) bytes.insert(at, 1, static_cast<char>(random()));
            if (kind == 2) bytes.erase(at, random() % 64);
        }
        const std::wstring text = decodeText(bytes);
        const StringList strings = quotedStrings(text);
        ASSERT_LE(strings.size(), static_cast<size_t>(std::count(text.begin(), text.end(), L'"')));
        const std::wstring installDir = manifestInstallDir(strings);
        ASSERT_TRUE(installDir.empty() || std::count(strings.begin(), strings.end(), installDir) > 0);
        for (const std::wstring& value : libraryPathStrings(strings)) {
            ASSERT_GT(std::count(strings.begin() + 1, strings.end(), value), 0) << utf8(value);
        }
    }
}

}  // namespace
