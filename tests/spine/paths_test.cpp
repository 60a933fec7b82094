#include <gtest/gtest.h>
#include <windows.h>

#include "detect/paths.h"
#include "test_support.h"

namespace {

std::wstring currentDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, buffer);
    return buffer;
}

TEST(Paths, NormalizeCleansUserInput) {
    EXPECT_EQ(normalizePath(L"  \"C:/Games/Steam/\"  "), L"C:\\Games\\Steam");
    EXPECT_EQ(normalizePath(L"C:\\a\\.\\b\\..\\c\\\\"), L"C:\\a\\c");
    EXPECT_EQ(normalizePath(L""), L"");
    EXPECT_EQ(normalizePath(L"   \t "), L"");
    EXPECT_EQ(normalizePath(L"\"\""), L"");
    EXPECT_EQ(normalizePath(L"C:\\"), L"C:\\");
    EXPECT_EQ(normalizePath(L"C:/"), L"C:\\");
    // One pair of enclosing quotes goes.
    EXPECT_EQ(normalizePath(L"\"C:\\x\""), L"C:\\x");
    std::wstring single = normalizePath(L"\"");
    EXPECT_NE(single.find(L'"'), std::wstring::npos);
    // Relative paths become absolute against the current folder.
    EXPECT_EQ(normalizePath(L"sub\\dir"), currentDirectory() + (currentDirectory().back() == L'\\' ? L"" : L"\\") + L"sub\\dir");
}

TEST(Paths, NormalizeKeepsVeryLongAndNonBmpPaths) {
    std::wstring component(200, L'a');
    std::wstring longPath = L"C:\\";
    while (longPath.size() < 32767 - 201) longPath += component + L"\\";
    longPath += L"x";
    std::wstring normalized = normalizePath(longPath);
    EXPECT_EQ(normalized, longPath);
    std::wstring emoji = L"C:\\Spiele\\\U0001F3AE game";
    EXPECT_EQ(normalizePath(emoji), emoji);
    EXPECT_EQ(parentFolder(emoji), L"C:\\Spiele");
}

TEST(Paths, JoinCompareAndAffixes) {
    EXPECT_EQ(joinPath(L"", L"x"), L"x");
    EXPECT_EQ(joinPath(L"a", L""), L"a");
    EXPECT_EQ(joinPath(L"C:\\", L"x"), L"C:\\x");
    EXPECT_EQ(joinPath(L"a/", L"b"), L"a/b");
    EXPECT_EQ(joinPath(L"a", L"b"), L"a\\b");
    EXPECT_EQ(joinPath(L"a", L"\\b"), L"a\\\\b");
    EXPECT_TRUE(pathEqualsNoCase(L"C:\\Games\\Steam", L"c:\\GAMES\\steam"));
    EXPECT_FALSE(pathEqualsNoCase(L"C:\\Games", L"C:\\Games\\"));
    EXPECT_TRUE(pathEqualsNoCase(L"C:\\ÄÖÜ", L"c:\\äöü"));
    EXPECT_TRUE(endsWithNoCase(L"Data.RPA", L".rpa"));
    EXPECT_FALSE(endsWithNoCase(L"rpa", L".rpa"));
    EXPECT_TRUE(endsWithNoCase(L"x", L""));
    EXPECT_TRUE(startsWith(L"abc", L""));
    EXPECT_TRUE(startsWith(L"abc", L"ab"));
    EXPECT_FALSE(startsWith(L"abc", L"AB"));
    EXPECT_FALSE(startsWith(L"a", L"ab"));
}

TEST(Paths, ParentFolder) {
    EXPECT_EQ(parentFolder(L"C:\\x"), L"C:\\");
    EXPECT_EQ(parentFolder(L"C:\\x\\y"), L"C:\\x");
    EXPECT_EQ(parentFolder(L"name"), L"");
    EXPECT_EQ(parentFolder(L"\\name"), L"");
    EXPECT_EQ(parentFolder(L"\\\\server\\share"), L"\\\\server");
    EXPECT_EQ(parentFolder(L"C:/x/y"), L"C:/x");
}

TEST(Paths, LongPathForm) {
    EXPECT_EQ(toLongPath(L"C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(toLongPath(L"\\\\srv\\s"), L"\\\\?\\UNC\\srv\\s");
    EXPECT_EQ(toLongPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(toLongPath(L"C:"), L"C:");
    EXPECT_EQ(toLongPath(L"rel\\x"), L"rel\\x");
}

TEST(Paths, FileQueriesOnRealFiles) {
    testing_support::ScratchFolder folder(L"paths");
    std::wstring file = folder / L"data.bin";
    ASSERT_TRUE(testing_support::writeFile(file, std::string(1234, 'x')));
    EXPECT_TRUE(isFile(file));
    EXPECT_FALSE(isDirectory(file));
    EXPECT_TRUE(isDirectory(folder.path()));
    EXPECT_FALSE(isFile(folder.path()));
    EXPECT_EQ(fileSize(file), 1234u);
    EXPECT_NE(lastWriteTime(file), 0u);
    std::wstring missing = folder / L"missing";
    EXPECT_FALSE(isFile(missing));
    EXPECT_FALSE(isDirectory(missing));
    EXPECT_EQ(fileSize(missing), 0u);
    EXPECT_EQ(lastWriteTime(missing), 0u);
}

}  // namespace
