// Steam's text files as detection reads them, hand-made and real ones (tests/fixtures/steam), and a
// short fixed-seed randomized run over them (the long run: docs/fuzzing.md).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>

#include "detect/steam.h"
#include "support.h"

using namespace support;

namespace {

std::string fixture(const wchar_t* name) { return readFile(fixturePath(name)); }

TEST(SteamFiles, BytesDecodeAsUtf8OrTheAnsiPageAndQuotedStringsUnescape) {
    ASSERT_EQ(GetACP(), 1252u);  // the prefix's ANSI page, which the fallback rows are in
    const std::pair<std::string, std::wstring> rows[] = {
        {"\xEF\xBB\xBF\"k\"", L"\"k\""}, {"\xEF\xBB\xBF", L""}, {"\xEF\xBB\xBF\xEF\xBB\xBFx", L"\uFEFFx"},
        {"\xE6\xB8\xB8 \xC3\xA4", L"\u6e38 \u00e4"}, {"D:\\\xE4\xF6\xFC", L"D:\\\u00e4\u00f6\u00fc"},
        {"\x80\x80", L"\u20ac\u20ac"}, {"\xC0\xAF", L"\u00c0\u00af"}, {"\xED\xA0\x80", L"\u00ed\u00a0\u20ac"},
        {"ok \xE6\xB8", L"ok \u00e6\u00b8"}, {std::string("a\0b", 3), std::wstring(L"a\0b", 3)}, {"", L""}};
    for (const auto& [bytes, text] : rows) EXPECT_EQ(decodeText(bytes), text) << bytes;
    const std::pair<std::wstring, StringList> strings[] = {  // only \\ and \" are escapes
        {L"\"a\\\\b\" \"say \\\"hi\\\"\" \"C:\\Games\\new\" \"\"", {L"a\\b", L"say \"hi\"", L"C:\\Games\\new", L""}},
        {L"// c\n{ word \"k\" { \"v\" } } \"tail \\", {L"k", L"v", L"tail \\"}},
        {L"\"", {L""}}, {L"no quotes", {}}, {std::wstring(L"\"a\0b\"", 5), {std::wstring(L"a\0b", 3)}}};
    for (const auto& [text, list] : strings) EXPECT_EQ(quotedStrings(text), list) << utf8(text);
}

TEST(SteamFiles, LibraryFoldersInEveryShape) {
    ScratchFolder s(L"vdf");
    const std::wstring one = s / L"Lib one \u6e38\u620f", two = s / L"Lib two's", cwd = s / L"cwd";
    const PathList relative{cwd + L"\\c\\Program Files (x86)\\Steam", cwd + L"\\d\\SteamLibrary"};
    for (const std::wstring& f : {one, two, s / L"Spiele\u00e4\u00fc", relative[0], relative[1]}) makeFolders(f);
    writeFile(s / L"file", "x");
    const std::string flat = libraryFoldersVdf({two}, false), cut = flat.substr(0, flat.rfind('"'));
    const std::string ansi = libraryFoldersVdf({s / L"Spiele"}, false), big(kMaxTextFileBytes - flat.size(), ' ');
    const std::wstring wide = L"\"1\" \"" + two + L"\"";  // as UTF-16 LE, the way some editors save text
    const std::string utf16(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    const struct { const wchar_t* what; std::string vdf; PathList found; } rows[] = {
        {L"block", libraryFoldersVdf({one, s / L"missing", two}), {one, two}},
        {L"flat, BOM", "\xEF\xBB\xBF" + libraryFoldersVdf({one, two}, false), {one, two}},
        {L"ANSI", ansi.substr(0, ansi.rfind('"')) + "\xE4\xFC\"}", {s / L"Spiele\u00e4\u00fc"}},
        {L"no drive letter, file", libraryFoldersVdf({L"\\\\server\\share", L"\\\\?\\" + one, s / L"file"}), {}},
        {L"unterminated", cut, {two}}, {L"NUL in the value", cut + std::string(1, '\0') + "junk\"}", {two}},
        {L"UTF-16", utf16, {}}, {L"UTF-16, BOM", "\xFF\xFE" + utf16, {}},
        {L"16 MiB", flat + big, {two}}, {L"16 MiB + 1", flat + big + " ", {}},
        {L"v1", fixture(L"find-steam-app__v1_libraryfolders.vdf"), relative},
        {L"v2", fixture(L"find-steam-app__v2_libraryfolders.vdf"), relative},
        {L"indent", fixture(L"Steam-Dummy__libraryfolders_oldformat_mixedindent_0579e63.vdf"), {}},
        {L"nolibs", fixture(L"Steam-Dummy__Windows_libraryfolders_oldformat_nolibs.vdf"), {}},
        {L"NUL byte", fixture(L"vdf-rs__null_byte.vdf"), {}},
        {L"binary", fixture(L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move"), {}}};
    wchar_t old[MAX_PATH] = {};  // the fixtures name libraries relative to the folder they come from
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(cwd.c_str());
    for (const auto& row : rows) {
        const std::wstring root = s / row.what;
        ASSERT_TRUE(writeFile(root + L"\\steamapps\\libraryfolders.vdf", row.vdf));
        PathList expected{root};
        expected.insert(expected.end(), row.found.begin(), row.found.end());
        EXPECT_EQ(collectLibraries({root}), expected) << utf8(row.what);
    }
    SetCurrentDirectoryW(old);
    makeFolders(s / L"dir\\steamapps\\libraryfolders.vdf");
    EXPECT_EQ(collectLibraries({s / L"dir"}), PathList{s / L"dir"});
}

TEST(SteamFiles, ManifestsGiveTheirInstallDirAndStamp) {
    ScratchFolder s(L"acf");
    const std::pair<std::string, std::wstring> rows[] = {
        {fixture(L"Steam-Dummy__External_appmanifest_421_stateflags512.acf"), L"something2"},
        {fixture(L"find-steam-app__c_appmanifest_228980.acf"), L"Steamworks Shared"},
        {fixture(L"steamlocate-rs__appmanifest_230410.acf"), L"Warframe"},
        {fixture(L"find-steam-app__d_appmanifest_570.acf.BINARY_stale_after_move"), L""},
        {fixture(L"vdf-rs__null_byte.vdf"), L""}, {"", L""}, {"\"AppState\" { \"installdir\"", L""},
        {"\"InstallDir\" \"Lumivex Orrendale", L"Lumivex Orrendale"},
        {manifestText("x") + std::string(kMaxTextFileBytes, ' '), L""}};  // too big to read: present, no name
    std::uint64_t stamp = 0x01D9000000000000ull;
    for (const auto& [bytes, installDir] : rows) {
        const std::wstring library = s / std::to_wstring(++stamp & 0xFF);
        const std::wstring manifest = library + L"\\steamapps\\" + kManifestName;
        ASSERT_TRUE(writeFile(manifest, bytes) && setWriteTime(manifest, stamp));
        const ManifestProbe probe = probeManifest(library);
        EXPECT_TRUE(probe.present && probe.stamp == stamp && probe.installDir == installDir) << utf8(library);
    }
    makeFolders(s / L"dir\\steamapps\\" + kManifestName);
    EXPECT_FALSE(probeManifest(s / L"dir").present || probeManifest(s / L"missing").present);
}

// Strings escaped as Steam does come back as they were; mutated real files keep the readers' invariants.
// LUMIVEX_FUZZ_SECONDS runs by time, not 20,000 rounds; LUMIVEX_FUZZ_SEED is a number or "random".
TEST(SteamFiles, RandomizedRoundTripsAndMutations) {
    const std::wstring seedText = env(L"LUMIVEX_FUZZ_SEED"), secondsText = env(L"LUMIVEX_FUZZ_SECONDS");
    const unsigned seed = seedText == L"random" ? GetTickCount() : seedText.empty() ? 20241207u : std::stoul(seedText);
    const ULONGLONG end = GetTickCount64() + 1000ull * (secondsText.empty() ? 0 : std::stoul(secondsText));
    std::mt19937 random(seed);
    std::vector<std::string> seeds{""};
    for (const std::wstring& name : listFolder(fixturePath(L"*"))) seeds.push_back(fixture(name.c_str()));
    ASSERT_GE(seeds.size(), 9u);
    const char* const tokens[] = {"\"", "\\", "\\\"", "\\\\", "\xEF\xBB\xBF", "\xC3", "{", "\"path\" \"", "\"0\" \"C:"};
    ScratchFolder s(L"fuzz");
    const std::wstring root = s / L"Steam", vdf = root + L"\\steamapps\\libraryfolders.vdf";
    for (unsigned round = 0; secondsText.empty() ? round < 20000 : GetTickCount64() < end; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        StringList sent(random() % 6);
        std::wstring joined;
        for (std::wstring& text : sent) {
            for (size_t n = random() % 8; n > 0; --n) text += L"\"\\a \u6e38{"[random() % 7];  // 7: a NUL too
            joined += L" \t\n{}"[random() % 5] + std::wstring(L"\"");
            for (wchar_t c : text) joined += (c == L'"' || c == L'\\' ? L"\\" : L"") + std::wstring(1, c);
            joined += L'"';
        }
        ASSERT_EQ(quotedStrings(joined), sent) << utf8(joined);
        std::string bytes = seeds[random() % seeds.size()];
        for (size_t n = 1 + random() % 4; n > 0; --n) {
            const size_t at = random() % (bytes.size() + 1);
            if (random() % 3 == 0) bytes.insert(at, tokens[random() % std::size(tokens)]);
            else if (random() % 2 == 0) bytes.insert(at, 1, static_cast<char>(random()));
            else bytes.erase(at, random() % 64);
        }
        const std::wstring text = decodeText(bytes);
        const StringList strings = quotedStrings(text);
        const std::wstring installDir = manifestInstallDir(strings);
        ASSERT_LE(strings.size(), static_cast<size_t>(std::count(text.begin(), text.end(), L'"')));
        ASSERT_TRUE(installDir.empty() || std::find(strings.begin(), strings.end(), installDir) != strings.end());
        for (const std::wstring& value : libraryPathStrings(strings))
            ASSERT_NE(std::find(strings.begin() + 1, strings.end(), value), strings.end());
        if (round % 100 == 0 && writeFile(vdf, bytes)) {  // the same bytes through the disk
            ASSERT_EQ(readTextFile(vdf), text);
            for (const WidePath& library : collectLibraries({root})) ASSERT_TRUE(isDirectory(library)) << utf8(library);
        }
    }
}

}  // namespace
