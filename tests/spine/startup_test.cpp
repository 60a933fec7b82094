#include <gtest/gtest.h>
#include <windows.h>

#include "app/startup.h"

namespace {

TEST(CommandLine, SwitchesAndValues) {
    CommandLineOptions none = parseCommandLine(L"installer.exe");
    EXPECT_FALSE(none.languageGiven);
    EXPECT_EQ(none.language, 0);
    EXPECT_TRUE(none.destOverride.empty());

    CommandLineOptions caps = parseCommandLine(L"installer.exe --LANG en");
    EXPECT_TRUE(caps.languageGiven);
    EXPECT_EQ(caps.language, 2);

    CommandLineOptions unknown = parseCommandLine(L"installer.exe --lang fr");
    EXPECT_TRUE(unknown.languageGiven);
    EXPECT_EQ(unknown.language, 0);

    CommandLineOptions last = parseCommandLine(L"installer.exe --dest C:\\x --lang");
    EXPECT_FALSE(last.languageGiven);
    EXPECT_EQ(last.destOverride, L"C:\\x");

    CommandLineOptions both = parseCommandLine(L"x.exe --lang zh-TW --dest \"C:\\My Games\\a\" --dest D:\\b");
    EXPECT_EQ(both.language, 1);
    EXPECT_EQ(both.destOverride, L"D:\\b");
    CommandLineOptions reversed = parseCommandLine(L"x.exe --dest \"C:\\My Games\\a\" --lang zh-TW");
    EXPECT_EQ(reversed.language, 1);
    EXPECT_EQ(reversed.destOverride, L"C:\\My Games\\a");

    CommandLineOptions switchAsValue = parseCommandLine(L"x.exe --dest --lang en");
    EXPECT_EQ(switchAsValue.destOverride, L"--lang");
    EXPECT_FALSE(switchAsValue.languageGiven);

    CommandLineOptions joined = parseCommandLine(L"x.exe --lang=en --dest=C:\\x");
    EXPECT_FALSE(joined.languageGiven);
    EXPECT_TRUE(joined.destOverride.empty());

    CommandLineOptions repeated = parseCommandLine(L"x.exe --lang en --lang zh-TW");
    EXPECT_EQ(repeated.language, 1);
    EXPECT_EQ(parseCommandLine(L"x.exe --lang zh-TW2").language, 0);
    // The destination is kept verbatim: blanks and trailing separators included.
    EXPECT_EQ(parseCommandLine(L"x.exe --dest \"  C:\\x\\ \"").destOverride, L"  C:\\x\\ ");
}

TEST(CommandLine, HugeAndUnusualInput) {
    std::wstring dest(40000, L'd');
    CommandLineOptions options = parseCommandLine((L"x.exe --dest " + dest).c_str());
    EXPECT_EQ(options.destOverride, dest);
    std::wstring nonBmp = L"C:\\\U0001F3AE\\game";
    EXPECT_EQ(parseCommandLine((L"x.exe --dest " + nonBmp).c_str()).destOverride, nonBmp);
    CommandLineOptions empty = parseCommandLine(L"");
    EXPECT_FALSE(empty.languageGiven);
    EXPECT_TRUE(empty.destOverride.empty());
}

TEST(Startup, ExecutablePathIsThisProgram) {
    WidePath path = executablePath();
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), L".exe");
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

std::wstring tempFolder() {
    wchar_t buffer[32768] = {};
    DWORD n = GetTempPathW(32768, buffer);
    return normalizePath(std::wstring(buffer, n));
}

TEST(Startup, RunningFromTempCountsOnlyTheFolderAndBelow) {
    std::wstring temp = tempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(isRunningFromTemp(temp + L"\\installer.exe"));
    EXPECT_TRUE(isRunningFromTemp(temp + L"\\Temp1_patch.zip\\installer.exe"));
    std::wstring upper = temp;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(isRunningFromTemp(upper + L"\\a\\installer.exe"));
    EXPECT_FALSE(isRunningFromTemp(temp + L"x\\installer.exe"));
    EXPECT_FALSE(isRunningFromTemp(L"C:\\Downloads\\installer.exe"));
    EXPECT_FALSE(isRunningFromTemp(L""));
    EXPECT_FALSE(isRunningFromTemp(L"installer.exe"));
}

TEST(Startup, BackgroundChoiceFollowsTheLowBits) {
    EXPECT_EQ(backgroundResourceId(0, 0), 202);
    EXPECT_EQ(backgroundResourceId(1, 1), 202);
    EXPECT_EQ(backgroundResourceId(1, 0), 201);
    EXPECT_EQ(backgroundResourceId(2, 3), 201);
}

TEST(Startup, BackgroundPictureLoadsFromTheResources) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    BackgroundImage holder;
    loadBackgroundImage(holder, GetModuleHandleW(nullptr));
    ASSERT_NE(holder.image, nullptr);
    UINT width = 0, height = 0;
    Gdiplus::DllExports::GdipGetImageWidth(holder.image.get(), &width);
    Gdiplus::DllExports::GdipGetImageHeight(holder.image.get(), &height);
    EXPECT_EQ(width, 2560u);
    EXPECT_EQ(height, 1440u);
    releaseBackgroundImage(holder);
    EXPECT_EQ(holder.image, nullptr);
    EXPECT_FALSE(holder.stream);
    releaseBackgroundImage(holder);  // twice is harmless
    Gdiplus::GdiplusShutdown(token);
}

// A window that fits is centred at its size, and at 144 DPI the margin grows to 36 pixels: the
// real installer's start-up in tests/ui/accessible_test.cpp.
TEST(Startup, WindowPlacement) {
    RECT small{0, 0, 1000, 600};
    WindowRect shrunk = placeWindow(1176, 739, small, 96, 640, 500);
    EXPECT_EQ(shrunk.width, 976);
    EXPECT_EQ(shrunk.height, 576);
    EXPECT_EQ(shrunk.x, 12);
    RECT tiny{100, 50, 600, 450};
    WindowRect floor = placeWindow(1176, 739, tiny, 96, 640, 500);
    EXPECT_EQ(floor.width, 640);
    EXPECT_EQ(floor.height, 500);
    EXPECT_EQ(floor.x, 100 + (500 - 640) / 2);  // truncation toward zero
    // The outer size wins over the minimum when it is smaller.
    WindowRect language = placeWindow(500, 300, tiny, 96, 520, 280);
    EXPECT_EQ(language.width, 500);
}

}  // namespace
