// Steam's text files: hand-made and real (tests/fixtures/steam).
#include <gtest/gtest.h>
#include <windows.h>

#include "detect/steam.h"
#include "support.h"

using namespace support;

namespace {

std::string fixture(const std::wstring& name) { return readFile(fixturePath(name)); }

// A libraryfolders.vdf gives its root, then the existing libraries it names, whatever its shape.
TEST(SteamFiles, LibraryFoldersInEveryShape) {
    ASSERT_EQ(GetACP(), 1252u);
    ScratchFolder scratch(L"vdf");
    const std::wstring one = scratch / L"Lib one \u6e38\u620f";
    const std::wstring two = scratch / L"Lib two's";
    const std::wstring ansi = scratch / L"Spiele\u00e4\u00fc";
    for (const std::wstring& folder : {one, two, ansi}) {
        makeFolders(folder);
    }
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

}  // namespace
