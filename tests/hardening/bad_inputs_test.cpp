// Bad inputs that the detection and installation tests do not already cover; docs/bad-inputs.md
// lists every case with the test that runs it. Each case checks the documented outcome and that
// the call returns in bounded time (a hang fails the time assertion or the ctest time-out).
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <random>

#include "detect/detection.h"
#include "detect/steam.h"
#include "detect_world.h"
#include "install/preflight.h"
#include "install_fixture.h"
#include "ui/layout.h"

using namespace detect_world;
using install_testing::englishText;
using install_testing::GameLayout;
using install_testing::makeLayout;
using install_testing::TestWindow;
using install_testing::useLayout;
using testing_support::BoxWatcher;
using testing_support::makeFolders;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

namespace {

// Library list of one root whose libraryfolders.vdf holds these bytes.
PathList librariesFor(const std::wstring& root, const std::string& vdf) {
    makeFolders(root + L"\\steamapps");
    writeFile(root + L"\\steamapps\\libraryfolders.vdf", vdf);
    return collectLibraries(PathList{root});
}

template <typename F>
double secondsOf(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string vdfPath(const std::wstring& path) { return escapeVdf(utf8(path)); }

// Holds a file open without sharing, as a running game or an antivirus scanner would.
struct LockedFile {
    HANDLE handle;
    explicit LockedFile(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~LockedFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace

// ---------------------------------------------------------------- libraryfolders.vdf content

TEST(BadVdf, EmptyAndByteOrderMarkOnlyGiveTheRootAlone) {
    ScratchFolder s(L"vdf");
    EXPECT_EQ(librariesFor(s / L"a", ""), PathList{s / L"a"});
    EXPECT_EQ(librariesFor(s / L"b", "\xEF\xBB\xBF"), PathList{s / L"b"});
}

TEST(BadVdf, BinaryNoiseGivesTheRootAlone) {
    ScratchFolder s(L"vdf");
    std::mt19937 random(5);
    std::string noise(256 * 1024, '\0');
    for (char& b : noise) b = static_cast<char>(random() % 256);
    PathList libraries;
    EXPECT_LT(secondsOf([&] { libraries = librariesFor(s / L"r", noise); }), 5.0);
    ASSERT_FALSE(libraries.empty());
    EXPECT_EQ(libraries[0], s / L"r");
    for (const WidePath& l : libraries) EXPECT_TRUE(isDirectory(l));
}

TEST(BadVdf, TruncatedInsideAQuoteStillNamesTheLibrary) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Lib");
    // The file ends inside the value: the unterminated last string runs to the end of the text.
    EXPECT_EQ(librariesFor(s / L"r", "\"libraryfolders\" { \"1\" \"" + vdfPath(s / L"Lib")),
              (PathList{s / L"r", s / L"Lib"}));
}

TEST(BadVdf, TruncatedInsideAnEscapeKeepsTheBackslashAndNamesNothing) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Lib");
    std::string text = "\"1\" \"" + vdfPath(s / L"Lib") + "\\";
    EXPECT_EQ(quotedStrings(decodeText(text)).back(), s / L"Lib\\");
    // "<Lib>\" normalises to the folder itself, which exists: the library is found.
    EXPECT_EQ(librariesFor(s / L"r", text), (PathList{s / L"r", s / L"Lib"}));
    // Cut between the two backslashes of an escaped separator: the half path is no folder.
    std::string half = "\"1\" \"" + vdfPath(s.path()) + "\\\\L";
    EXPECT_EQ(librariesFor(s / L"h", half), PathList{s / L"h"});
}

TEST(BadVdf, OneMebibyteOfQuotesIsLinear) {
    ScratchFolder s(L"vdf");
    std::string quotes(1u << 20, '"');
    StringList strings;
    double t = secondsOf([&] { strings = quotedStrings(decodeText(quotes)); });
    EXPECT_EQ(strings.size(), quotes.size() / 2);
    EXPECT_LT(t, 5.0);
    EXPECT_EQ(librariesFor(s / L"r", quotes), PathList{s / L"r"});
}

TEST(BadVdf, DeepNestingIsNotParsedAndCostsNothing) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Deep");
    std::string vdf = std::string(200000, '{') + "\"path\" \"" + vdfPath(s / L"Deep") + "\"" + std::string(200000, '}');
    PathList libraries;
    EXPECT_LT(secondsOf([&] { libraries = librariesFor(s / L"r", vdf); }), 5.0);
    EXPECT_EQ(libraries, (PathList{s / L"r", s / L"Deep"}));
    // Unbalanced the other way round changes nothing either.
    EXPECT_EQ(librariesFor(s / L"u", std::string(100000, '}') + "\"1\" \"" + vdfPath(s / L"Deep") + "\""),
              (PathList{s / L"u", s / L"Deep"}));
}

TEST(BadVdf, Utf16FilesAreNotSteamFilesAndNameNothing) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Lib");
    std::wstring text = L"\"libraryfolders\" { \"1\" \"" + s / L"Lib" + L"\" }";
    std::string le, be;
    for (wchar_t c : text) {
        le += static_cast<char>(c & 0xFF), le += static_cast<char>(c >> 8);
        be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
    }
    // Read as bytes (valid UTF-8 with interleaved NULs, or the ANSI page after a UTF-16 BOM): the
    // strings carry NUL code units, so no string is the folder's name.
    for (const std::string& bytes : {le, "\xFF\xFE" + le, "\xFE\xFF" + be}) {
        PathList libraries = librariesFor(s / L"r", bytes);
        EXPECT_EQ(libraries, PathList{s / L"r"});
    }
}

TEST(BadVdf, NulBytesInsideAValueCutThePathThere) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Lib");
    std::string vdf = "\"1\" \"" + vdfPath(s / L"Lib") + std::string(1, '\0') + "junk\" \"2\" \"" + std::string(1, '\0') + "\"";
    // The path functions take NUL-terminated strings: "<Lib>\0junk" is the folder <Lib>; a value
    // that is a lone NUL is the empty path, which is refused.
    PathList libraries = librariesFor(s / L"r", vdf);
    ASSERT_GE(libraries.size(), 1u);
    EXPECT_EQ(libraries[0], s / L"r");
    EXPECT_LE(libraries.size(), 2u);
    for (const WidePath& l : libraries) EXPECT_TRUE(isDirectory(l));
}

TEST(BadVdf, InvalidUtf8FallsBackToTheAnsiPageForEveryByte) {
    // Lone continuation bytes, an overlong slash, an encoded surrogate, bytes 0x81/0x8D/0x8F/0x90/0x9D
    // that code page 1252 leaves undefined, and a sequence cut at the end.
    const std::string samples[] = {"\x80\x80", "\xC0\xAF", "\xED\xA0\x80", "\x81\x8D\x8F\x90\x9D", "ok \xE6\xB8"};
    for (const std::string& bytes : samples) {
        std::wstring text = decodeText("\"" + bytes + "\"");
        EXPECT_EQ(text.size(), bytes.size() + 2) << bytes;  // one code unit per byte
        StringList strings = quotedStrings(text);
        ASSERT_EQ(strings.size(), 1u);
        EXPECT_EQ(strings[0].size(), bytes.size());
    }
}

TEST(BadVdf, LockedFileIsSkipped) {
    ScratchFolder s(L"vdf");
    makeFolders(s / L"Lib");
    std::wstring root = s / L"r";
    ASSERT_EQ(librariesFor(root, "\"1\" \"" + vdfPath(s / L"Lib") + "\""), (PathList{root, s / L"Lib"}));
    LockedFile lock(root + L"\\steamapps\\libraryfolders.vdf");
    ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(collectLibraries(PathList{root}), PathList{root});
}

// ---------------------------------------------------------------- app manifest content

TEST(BadManifest, EmptyLockedAndTraversalManifests) {
    ScratchFolder s(L"acf");
    writeManifest(s / L"empty", "", 0x01D9000000000001ull);
    ManifestProbe empty = probeManifest(s / L"empty");
    EXPECT_TRUE(empty.present);
    EXPECT_EQ(empty.stamp, 0x01D9000000000001ull);
    EXPECT_EQ(empty.installDir, L"");

    std::wstring lockedPath = writeManifest(s / L"locked", manifestText("Lumivex Orrendale"), 0x01D9000000000002ull);
    LockedFile lock(lockedPath);
    ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
    ManifestProbe locked = probeManifest(s / L"locked");
    EXPECT_TRUE(locked.present);  // counts, with its stamp; only the name is lost
    EXPECT_EQ(locked.stamp, 0x01D9000000000002ull);
    EXPECT_EQ(locked.installDir, L"");

    // An installdir that climbs out of steamapps\common never yields a game folder outside it.
    std::wstring library = s / L"lib";
    makeGameFolder(s / L"elsewhere");
    writeManifest(library, "\"AppState\" { \"installdir\" \"..\\\\..\\\\..\\\\elsewhere\\\\steamapps\\\\common\\\\Lumivex Orrendale\" }");
    ManifestProbe climbing = probeManifest(library);
    EXPECT_EQ(climbing.installDir, L"..\\..\\..\\elsewhere\\steamapps\\common\\Lumivex Orrendale");
    std::wstring built = normalizePath(library + L"\\steamapps\\common\\" + climbing.installDir + L"\\game");
    EXPECT_EQ(built, gameFolderOf(s / L"elsewhere"));
    // The rule itself still holds for the folder it lands in; what keeps this harmless is that
    // the folder really is a game folder with an original archive (so it is a valid target).
    EXPECT_TRUE(isGameFolder(built));
}

TEST(BadManifest, ManifestThatIsAFolderOrADeviceName) {
    ScratchFolder s(L"acf");
    makeFolders(s / L"f\\steamapps\\appmanifest_2468020.acf");
    EXPECT_FALSE(probeManifest(s / L"f").present);
    // A library path that is a device name: nothing is present and nothing blocks.
    double t = secondsOf([&] {
        EXPECT_FALSE(probeManifest(L"NUL").present);
        EXPECT_FALSE(probeManifest(L"CON").present);
        EXPECT_FALSE(probeManifest(L"COM1").present);
    });
    EXPECT_LT(t, 5.0);
}

// ---------------------------------------------------------------- registry values

namespace {
const std::wstring kKey = L"Software\\LumivexHardeningTest";
WidePath readBack(const wchar_t* name) { return readRegistryPath(HKEY_CURRENT_USER, kKey.c_str(), name, 0); }
}  // namespace

TEST(BadRegistry, EveryNonStringTypeIsRefused) {
    ScratchFolder s(L"reg");
    std::wstring text = s.path();
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    // The bytes of a real folder's name under every type that is not a string.
    const DWORD types[] = {REG_NONE, REG_BINARY, REG_DWORD_BIG_ENDIAN, REG_LINK, REG_MULTI_SZ,
                           REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR, REG_RESOURCE_REQUIREMENTS_LIST, REG_QWORD, 77};
    for (DWORD type : types) {
        RegistryValue value(HKEY_CURRENT_USER, kKey, L"Typed");
        ASSERT_TRUE(value.set(type, text.c_str(), bytes)) << type;
        EXPECT_EQ(readBack(L"Typed"), L"") << "type " << type;
    }
}

TEST(BadRegistry, StringsOfOddSizesAndShapes) {
    ScratchFolder s(L"reg");
    {
        RegistryValue nul(HKEY_CURRENT_USER, kKey, L"Nul");
        nul.set(REG_SZ, L"\0", 2);
        EXPECT_EQ(readBack(L"Nul"), L"");
        RegistryValue three(HKEY_CURRENT_USER, kKey, L"Three");
        three.set(REG_SZ, "C\0:", 3);  // one and a half code units
        EXPECT_EQ(readBack(L"Three"), normalizePath(L"C:"));  // the odd byte is zero-extended
        RegistryValue inner(HKEY_CURRENT_USER, kKey, L"InnerNul");
        std::wstring two = s.path() + std::wstring(1, L'\0') + L"C:\\Windows";
        inner.set(REG_SZ, two.data(), static_cast<DWORD>((two.size() + 1) * sizeof(wchar_t)));
        EXPECT_EQ(readBack(L"InnerNul"), s.path());  // up to the first NUL
        RegistryValue blanks(HKEY_CURRENT_USER, kKey, L"Blanks");
        blanks.setString(L"   \t  ");
        EXPECT_EQ(readBack(L"Blanks"), L"");
        RegistryValue quoted(HKEY_CURRENT_USER, kKey, L"Quoted");
        quoted.setString(L"\"" + s.path() + L"\"");
        EXPECT_EQ(readBack(L"Quoted"), s.path());
    }
}

TEST(BadRegistry, HugeStringsAreReadWhole) {
    std::wstring big(32767, L'a');
    big.replace(0, 3, L"C:\\");
    RegistryValue max(HKEY_CURRENT_USER, kKey, L"Max");
    ASSERT_TRUE(max.setString(big));
    WidePath value;
    EXPECT_LT(secondsOf([&] { value = readBack(L"Max"); }), 5.0);
    EXPECT_EQ(value.size(), 32767u);
    EXPECT_FALSE(isDirectory(value));
    std::wstring huge(500000, L'b');
    huge.replace(0, 3, L"C:\\");
    RegistryValue giant(HKEY_CURRENT_USER, kKey, L"Giant");
    if (giant.setString(huge)) {
        EXPECT_LT(secondsOf([&] { value = readBack(L"Giant"); }), 5.0);
        EXPECT_EQ(value.substr(0, 3), L"C:\\");
    }
}

TEST(BadRegistry, ExpansionToNothingOrToTheLimit) {
    ScratchFolder s(L"reg");
    {
        EnvironmentVariable empty(L"LUMIVEX_EMPTY", L"");
        SetEnvironmentVariableW(L"LUMIVEX_EMPTY", L"");
        RegistryValue nothing(HKEY_CURRENT_USER, kKey, L"Nothing");
        nothing.setString(L"%LUMIVEX_EMPTY%", REG_EXPAND_SZ);
        EXPECT_EQ(readBack(L"Nothing"), L"");
    }
    {
        EnvironmentVariable gone(L"LUMIVEX_UNSET", L"", true);
        RegistryValue unset(HKEY_CURRENT_USER, kKey, L"Unset");
        unset.setString(L"C:\\%LUMIVEX_UNSET%", REG_EXPAND_SZ);
        EXPECT_EQ(readBack(L"Unset"), L"C:\\%LUMIVEX_UNSET%");  // left unexpanded
    }
    {
        // 32,766 characters and the terminator: the longest expansion there is.
        EnvironmentVariable longest(L"LUMIVEX_LONG", std::wstring(32763, L'x'));
        RegistryValue limit(HKEY_CURRENT_USER, kKey, L"Limit");
        limit.setString(L"C:\\%LUMIVEX_LONG%", REG_EXPAND_SZ);
        WidePath value;
        EXPECT_LT(secondsOf([&] { value = readBack(L"Limit"); }), 5.0);
        EXPECT_EQ(value, L"C:\\" + std::wstring(32763, L'x'));
        // Twice that is beyond what the system expands: some prefix of it or the raw text, quickly.
        RegistryValue over(HKEY_CURRENT_USER, kKey, L"Over");
        over.setString(L"C:\\%LUMIVEX_LONG%%LUMIVEX_LONG%", REG_EXPAND_SZ);
        EXPECT_LT(secondsOf([&] { value = readBack(L"Over"); }), 5.0);
        EXPECT_EQ(value.substr(0, 3), L"C:\\");
        EXPECT_LE(value.size(), 3u + 2 * 32763);
    }
}

// ---------------------------------------------------------------- paths

TEST(BadPaths, TrailingDotsAndBlanksNameTheSameFolder) {
    ScratchFolder s(L"paths");
    std::wstring game = makeGameFolder(s / L"lib");
    for (const std::wstring& spelling : {game + L".", game + L". .", game + L" ", game + L"\\.", game + L"...",
                                       game + L"\\..\\game"}) {
        WidePath n = normalizePath(spelling);
        EXPECT_TRUE(isDirectory(n)) << spelling.c_str();
        EXPECT_EQ(resolveChosenFolder(spelling), game) << spelling.c_str();
    }
}

TEST(BadPaths, DeviceNamesAreNeverFoldersOrGames) {
    for (const wchar_t* name : {L"CON", L"NUL", L"COM1", L"LPT1", L"AUX", L"PRN", L"C:\\x\\NUL", L"C:\\con.txt", L"NUL:"}) {
        double t = secondsOf([&] {
            EXPECT_FALSE(isDirectory(normalizePath(name))) << name;
            EXPECT_FALSE(isGameFolder(name)) << name;
            EXPECT_EQ(resolveChosenFolder(name), L"") << name;
        });
        EXPECT_LT(t, 5.0) << name;
    }
}

TEST(BadPaths, LongAndDeviceNamespaceForms) {
    ScratchFolder s(L"paths");
    std::wstring game = makeGameFolder(s / L"lib");
    // \\?\ names the same folder; the rule checks the folder's own name, so it is a game folder.
    EXPECT_TRUE(isGameFolder(L"\\\\?\\" + game));
    EXPECT_EQ(toLongPath(L"\\\\?\\" + game), L"\\\\?\\" + game);
    // \\.\ is the device namespace: answers without blocking, whatever they are.
    double t = secondsOf([&] {
        isGameFolder(L"\\\\.\\" + game);
        resolveChosenFolder(L"\\\\.\\PhysicalDrive0");
        resolveChosenFolder(L"\\\\.\\pipe\\x");
        EXPECT_FALSE(isGameFolder(L"\\\\.\\NUL"));
    });
    EXPECT_LT(t, 5.0);
}

TEST(BadPaths, UncPathsToNowhereReturnQuickly) {
    double t = secondsOf([&] {
        EXPECT_FALSE(isGameFolder(L"\\\\no-such-server\\share\\steamapps\\common\\Lumivex Orrendale\\game"));
        EXPECT_EQ(resolveChosenFolder(L"\\\\no-such-server\\share"), L"");
        EXPECT_EQ(resolveChosenFolder(L"\\\\"), L"");
        EXPECT_EQ(resolveChosenFolder(L"\\\\?\\UNC\\no-such-server\\share"), L"");
    });
    EXPECT_LT(t, 30.0);
}

TEST(BadPaths, LongestAndOverlongPaths) {
    std::wstring longest = L"C:\\";
    while (longest.size() < 32767) longest += L"abcdefgh\\";
    longest.resize(32767);
    std::wstring over = longest + std::wstring(10000, L'z');
    for (const std::wstring& p : {longest, over}) {
        double t = secondsOf([&] {
            EXPECT_FALSE(isGameFolder(p));
            EXPECT_EQ(resolveChosenFolder(p), L"");
            EXPECT_FALSE(isDirectory(toLongPath(normalizePath(p))));
        });
        EXPECT_LT(t, 5.0);
    }
}

TEST(BadPaths, NonBmpAndBrokenSurrogateNames) {
    ScratchFolder s(L"paths");
    std::wstring library = s / L"\U0001F3AE\U00020000 lib";
    std::wstring game = makeGameFolder(library);
    ASSERT_TRUE(isDirectory(game));
    EXPECT_TRUE(isGameFolder(game));
    EXPECT_EQ(resolveChosenFolder(library), game);
    // Lone surrogates: no folder of that name can be made or found, and nothing breaks.
    std::wstring lone = s / std::wstring(1, wchar_t(0xD800)) + L"x";
    EXPECT_FALSE(isGameFolder(lone));
    EXPECT_EQ(resolveChosenFolder(lone + L"\\" + std::wstring(1, wchar_t(0xDFFF))), L"");
}

TEST(BadPaths, DriveRootsAndOddDestValues) {
    for (const wchar_t* dest : {L"C:\\", L"C:", L"Z:\\", L"\\", L".", L"", L"\"\"", L"--lang", L"*", L"C:\\*\\?"}) {
        double t = secondsOf([&] {
            EXPECT_EQ(resolveChosenFolder(dest), L"") << dest;
            EXPECT_FALSE(isGameFolder(dest)) << dest;
        });
        EXPECT_LT(t, 5.0) << dest;
    }
}

// ---------------------------------------------------------------- game folders

TEST(BadGameFolder, AFileNamedGameIsNoGameFolder) {
    ScratchFolder s(L"gf");
    std::wstring game = gameFolderOf(s / L"lib");
    makeFolders(parentFolder(game));
    writeFile(game, "not a folder");
    EXPECT_FALSE(isGameFolder(game));
    EXPECT_EQ(resolveChosenFolder(s / L"lib"), L"");
}

TEST(BadGameFolder, ALinkLoopInsideTheGameFolderDoesNotHang) {
    ScratchFolder s(L"gf");
    std::wstring game = makeGameFolder(s / L"lib");
    std::wstring plain = gameFolderOf(s / L"plain");
    makeFolders(plain);
    // Loops made on the Unix side, as Wine sees symbolic links: game\loop -> game, a folder
    // named like an archive that points at its own parent, and a link to itself.
    writeFile(s / L"links.sh", "ln -s . \"$1/loop\" && ln -s .. \"$2/x.rpa\" && ln -s \"$2/self\" \"$2/self\" && touch \"$2/done\"\n");
    ASSERT_TRUE(startUnix("/bin/sh \"" + unixPath(s / L"links.sh") + "\" \"" + unixPath(game) + "\" \"" + unixPath(plain) + "\""));
    ASSERT_TRUE(waitForPath(plain + L"\\done", true, 20000));
    DeleteFileW((plain + L"\\done").c_str());
    double t = secondsOf([&] {
        EXPECT_TRUE(isGameFolder(game));
        // The rule reads names, it never walks links: a folder below the game folder is no choice.
        EXPECT_EQ(resolveChosenFolder(game + L"\\loop\\loop\\loop"), L"");
        EXPECT_FALSE(isGameFolder(plain));  // x.rpa is a folder, "self" points at itself
    });
    EXPECT_LT(t, 10.0);
}

// ---------------------------------------------------------------- patch.rpa

TEST(BadPatch, PatchThatIsAFolderCountsAsMissing) {
    ScratchFolder root(L"patch");
    GameLayout layout = makeLayout(root.path());
    DeleteFileW(layout.patchPath.c_str());
    makeFolders(layout.patchPath);
    writeFile(layout.destination, "older patch");
    TestWindow window;
    useLayout(window.record, layout);
    BoxWatcher boxes;
    startInstall(window.record);
    EXPECT_FALSE(window.record.patchPresent);
    EXPECT_NE(window.record.state, Installing);
    EXPECT_EQ(window.record.copyJob, nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(readFile(layout.destination), "older patch");
}

TEST(BadPatch, EmptyThenGrowingPatchIsReadAgainOnEachPress) {
    ScratchFolder root(L"patch");
    GameLayout layout = makeLayout(root.path());
    writeFile(layout.patchPath, "");
    TestWindow window;
    useLayout(window.record, layout);
    BoxWatcher boxes;
    startInstall(window.record);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, englishText(TextSlot::patchEmpty));
    EXPECT_EQ(window.record.copyJob, nullptr);
    std::string grown = install_testing::patternBytes(70000, 3);
    writeFile(layout.patchPath, grown);
    startInstall(window.record);
    ASSERT_EQ(window.record.state, Installing);
    ASSERT_TRUE(window.waitForCopyEnd());
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(readFile(layout.destination), grown);
}

TEST(BadPatch, LockedPatchFailsAsInUseAndLeavesTheTarget) {
    ScratchFolder root(L"patch");
    GameLayout layout = makeLayout(root.path());
    writeFile(layout.patchPath, install_testing::patternBytes(5000, 4));
    writeFile(layout.destination, "older patch");
    LockedFile lock(layout.patchPath);
    ASSERT_NE(lock.handle, INVALID_HANDLE_VALUE);
    TestWindow window;
    useLayout(window.record, layout);
    BoxWatcher boxes;
    startInstall(window.record);
    if (window.record.state == Installing) {
        ASSERT_TRUE(window.waitForCopyEnd());
    }
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_EQ(window.record.statusMessage.rfind(englishText(TextSlot::patchInUse), 0), 0u) << window.record.statusMessage.c_str();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].icon, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(readFile(layout.destination), "older patch");
}

TEST(BadPatch, SparsePatchAboveFourGibibytesKeepsItsSize) {
    ScratchFolder root(L"patch");
    GameLayout layout = makeLayout(root.path());
    const std::uint64_t size = 5ull * 1024 * 1024 * 1024 + 7;
    HANDLE file = CreateFileW(layout.patchPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(fileSize(layout.patchPath), size);  // not cut to 32 bits
    MainWindow record;
    record.appFolder = layout.appFolder;
    record.patchPath = layout.patchPath;
    detectGameFolders(record);
    EXPECT_TRUE(record.patchPresent);
    EXPECT_EQ(record.patchSize, size);
    EXPECT_FALSE(formatPatchSize(size).empty());
    // The free-space rule works in 64 bits: 5 GiB do not fit into 4 GiB, they fit into 6.
    EXPECT_FALSE(hasRoomForPatch(4ull << 30, 0, size));
    EXPECT_TRUE(hasRoomForPatch(6ull << 30, 0, size));
}
