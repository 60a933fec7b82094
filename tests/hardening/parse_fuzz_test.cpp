// Randomized mutation test of the Steam text readers: byte decoding, the quoted-string scanner,
// the library-path and installdir extraction, and (every few rounds) the same bytes read from disk
// through readTextFile, collectLibraries and probeManifest. Seeds are the real Steam files of the
// fixtures plus a few written here; each round mutates one seed (bit flips, cuts, splices, inserted
// quotes, escapes, braces, byte-order marks, NULs and broken UTF-8 sequences).
//
// The parsing code calls Win32 (MultiByteToWideChar, file I/O), so it runs here under Wine rather
// than as a native libFuzzer build. How to run it long: docs/fuzzing.md.
//   LUMIVEX_FUZZ_SECONDS  run time (default 20)
//   LUMIVEX_FUZZ_SEED     first random seed (default: from the clock, printed for a replay)
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "detect/steam.h"
#include "test_support.h"

using testing_support::makeFolders;
using testing_support::ScratchFolder;
using testing_support::writeFile;

namespace {


std::vector<std::string> fixtureSeeds() {
    std::vector<std::string> seeds;
    std::wstring source = testing_support::environmentVariable(L"LUMIVEX_SOURCE");
    if (source.empty()) return seeds;
    for (wchar_t& c : source) c = c == L'/' ? L'\\' : c;
    std::wstring folder = L"Z:" + source + L"\\tests\\fixtures\\steam\\";
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return seeds;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string bytes = testing_support::readFile(folder + entry.cFileName);
        if (!bytes.empty()) seeds.push_back(bytes);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return seeds;
}

const char* const kTokens[] = {
    "\"", "\"", "\\", "\\\\", "\\\"", "{", "}", "\"path\"", "\"PATH\"", "\"installdir\"", "\"0\"", "\"1\"",
    "\"12345678901234567890\"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "" /* a NUL byte */, "\r\n", "\n",
    "\xC3", "\xE6\xB8", "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC0\xAF", "\xE4\xF6\xFC", "C:\\\\", "\\\\\\\\server\\\\share",
    "//", "\t", "\"C:\\\\Program Files (x86)\\\\Steam\"", "\"\\\\\\\\?\\\\C:\\\\x\"", "\"CON\"", "\"D:\\\\lib. \"",
};

std::string mutate(std::mt19937& random, const std::vector<std::string>& seeds) {
    std::string data = seeds[random() % seeds.size()];
    int steps = 1 + static_cast<int>(random() % 8);
    for (int step = 0; step < steps; ++step) {
        size_t at = data.empty() ? 0 : random() % (data.size() + 1);
        switch (random() % 9) {
        case 0:  // flip one bit
            if (!data.empty()) data[random() % data.size()] ^= static_cast<char>(1u << (random() % 8));
            break;
        case 1:  // a random byte
            data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(random() % 256));
            break;
        case 2: {  // cut a piece out
            size_t length = random() % 64;
            if (at < data.size()) data.erase(at, length);
            break;
        }
        case 3: {  // a token that means something to the readers
            size_t index = random() % (sizeof kTokens / sizeof kTokens[0]);
            std::string token = kTokens[index][0] ? std::string(kTokens[index]) : std::string(1, '\0');
            data.insert(at, token);
            break;
        }
        case 4:  // end early (truncated inside a quote, an escape or a multi-byte sequence)
            data.resize(at);
            break;
        case 5: {  // splice in a piece of another seed
            const std::string& other = seeds[random() % seeds.size()];
            if (!other.empty()) {
                size_t from = random() % other.size();
                data.insert(at, other.substr(from, random() % 256));
            }
            break;
        }
        case 6: {  // repeat a piece (deep nesting, long runs)
            if (at < data.size()) {
                std::string piece = data.substr(at, 1 + random() % 16);
                int times = 1 + static_cast<int>(random() % 64);
                std::string run;
                for (int i = 0; i < times; ++i) run += piece;
                data.insert(at, run);
            }
            break;
        }
        case 7:  // overwrite one byte with a quote or backslash
            if (!data.empty()) data[random() % data.size()] = random() % 2 ? '"' : '\\';
            break;
        default:  // widen: the same text as UTF-16 little endian, as some editors save it
            if (data.size() < 4096 && random() % 8 == 0) {
                std::string wide = "\xFF\xFE";
                for (char c : data) {
                    wide += c;
                    wide += '\0';
                }
                data = wide;
            }
            break;
        }
        if (data.size() > (1u << 20)) data.resize(1u << 20);
    }
    return data;
}


bool isSubsequence(const StringList& part, const StringList& whole) {
    size_t next = 0;
    for (const std::wstring& p : part) {
        while (next < whole.size() && whole[next] != p) ++next;
        if (next == whole.size()) return false;
        ++next;
    }
    return true;
}

std::string hexOf(const std::string& bytes) {
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size() && i < 512; ++i) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(bytes[i]));
        out += two;
    }
    return out;
}

SIZE_T privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage;
}

}  // namespace

TEST(ParseFuzz, MutatedSteamFilesKeepEveryInvariant) {
    std::vector<std::string> seeds = fixtureSeeds();
    ASSERT_GE(seeds.size(), 5u) << "fixtures not found through LUMIVEX_SOURCE";
    seeds.push_back("\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"C:\\\\Steam\"\n\t}\n}\n");
    seeds.push_back("\"AppState\" { \"appid\" \"2468020\" \"installdir\" \"Lumivex Orrendale\" }");
    seeds.push_back(std::string("\"a\\\\b\" \"say \\\"hi\\\"\" \"tail \\"));
    seeds.push_back(std::string());

    std::wstring secondsText = testing_support::environmentVariable(L"LUMIVEX_FUZZ_SECONDS");
    std::wstring seedText = testing_support::environmentVariable(L"LUMIVEX_FUZZ_SEED");
    const double seconds = secondsText.empty() ? 20.0 : _wtof(secondsText.c_str());
    const unsigned seed = seedText.empty() ? static_cast<unsigned>(GetTickCount()) : static_cast<unsigned>(_wtoi(seedText.c_str()));
    std::printf("fuzz seed %u, %.0f s\n", seed, seconds);
    std::mt19937 random(seed);

    ScratchFolder scratch(L"fuzz");
    const std::wstring root = scratch / L"Steam";
    makeFolders(root + L"\\steamapps");
    const std::wstring vdfPath = root + L"\\steamapps\\libraryfolders.vdf";
    const std::wstring manifestPath = root + L"\\steamapps\\appmanifest_2468020.acf";

    const SIZE_T startBytes = privateBytes();
    SIZE_T peakGrowth = 0;
    double slowestMs = 0;
    unsigned long long executions = 0, diskRounds = 0, decodedEmpty = 0;
    auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    while (elapsed() < seconds) {
        std::string bytes = mutate(random, seeds);
        auto before = std::chrono::steady_clock::now();

        std::wstring text = decodeText(bytes);
        ASSERT_LE(text.size(), bytes.size()) << hexOf(bytes);
        decodedEmpty += text.empty() && !bytes.empty();
        StringList strings = quotedStrings(text);
        size_t quotes = 0, total = 0;
        for (wchar_t c : text) quotes += c == L'"';
        for (const std::wstring& s : strings) total += s.size();
        ASSERT_LE(strings.size(), quotes) << hexOf(bytes);
        ASSERT_LE(total, text.size()) << hexOf(bytes);
        ASSERT_TRUE(testing_support::appearInOrder(strings, text)) << hexOf(bytes);
        StringList values = libraryPathStrings(strings);
        ASSERT_LE(values.size(), strings.empty() ? 0u : strings.size() - 1) << hexOf(bytes);
        ASSERT_TRUE(isSubsequence(values, strings)) << hexOf(bytes);
        std::wstring installDir = manifestInstallDir(strings);
        if (!installDir.empty()) {
            ASSERT_TRUE(isSubsequence(StringList{installDir}, strings)) << hexOf(bytes);
        }

        // The same bytes from disk: readTextFile must agree with the pure decoder, a library list
        // always starts with its root and holds only folders, a manifest file is always present.
        if (executions % 16 == 0) {
            ++diskRounds;
            ASSERT_TRUE(writeFile(vdfPath, bytes));
            ASSERT_EQ(readTextFile(vdfPath), bytes.size() <= kMaxTextFileBytes ? text : std::wstring()) << hexOf(bytes);
            PathList libraries = collectLibraries(PathList{root});
            ASSERT_FALSE(libraries.empty());
            ASSERT_EQ(libraries[0], root);
            for (const WidePath& library : libraries) ASSERT_TRUE(isDirectory(library)) << hexOf(bytes);
            ASSERT_TRUE(writeFile(manifestPath, bytes));
            ManifestProbe probe = probeManifest(root);
            ASSERT_TRUE(probe.present);
            ASSERT_NE(probe.stamp, 0u);
            ASSERT_EQ(probe.installDir, installDir) << hexOf(bytes);
        }

        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
        if (ms > slowestMs) slowestMs = ms;
        // Everything is linear in the input (at most 1 MiB here): one input never takes seconds.
        ASSERT_LT(ms, 5000.0) << "input of " << bytes.size() << " bytes: " << hexOf(bytes);
        ++executions;
        if (executions % 1024 == 0) {
            SIZE_T now = privateBytes();
            if (now > startBytes && now - startBytes > peakGrowth) peakGrowth = now - startBytes;
            // Inputs are at most 1 MiB; nothing may pile up between rounds.
            ASSERT_LT(peakGrowth, static_cast<SIZE_T>(64u << 20)) << "memory keeps growing";
        }
    }
    std::printf("fuzz: %llu executions (%llu through the disk) in %.1f s, %llu inputs decoded to nothing, "
                "slowest %.1f ms, private bytes grew by at most %lu KiB\n",
                executions, diskRounds, elapsed(), decodedEmpty, slowestMs, static_cast<unsigned long>(peakGrowth / 1024));
    EXPECT_GT(executions, 100u);
}
