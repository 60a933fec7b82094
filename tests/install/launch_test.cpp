#include <gtest/gtest.h>

#include "install/launch.h"
#include "install/preflight.h"
#include "install_fixture.h"

using namespace install_testing;
using testing_support::BoxWatcher;
using testing_support::ScratchFolder;

namespace {
std::wstring lower(std::wstring text) {
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}
}  // namespace

TEST(StartGame, StartsLumivexInTheFolderAboveGameAndCloses) {
    ScratchFolder root(L"launch");
    GameLayout layout = makeLayout(root.path());
    std::wstring game = layout.gameRoot + L"\\Lumivex.exe";
    ASSERT_TRUE(CopyFileW(recorderPath().c_str(), game.c_str(), FALSE));
    TestWindow window;
    useLayout(window.record, layout);
    window.record.state = Complete;
    BoxWatcher boxes;
    startGame(window.record);
    std::wstring commandLine, folder;
    ASSERT_TRUE(readRecord(game, commandLine, folder));
    EXPECT_EQ(lower(normalizePath(folder)), lower(layout.gameRoot));
    EXPECT_NE(lower(commandLine).find(L"lumivex.exe"), std::wstring::npos) << commandLine;
    EXPECT_EQ(window.closeMessages, 1);
    EXPECT_TRUE(window.destroyed);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(StartGame, InstallInCompleteStateLaunchesInsteadOfCopying) {
    ScratchFolder root(L"launch");
    GameLayout layout = makeLayout(root.path());
    std::wstring game = layout.gameRoot + L"\\Lumivex.exe";
    ASSERT_TRUE(CopyFileW(recorderPath().c_str(), game.c_str(), FALSE));
    testing_support::writeFile(layout.patchPath, "new patch");
    TestWindow window;
    useLayout(window.record, layout);
    window.record.state = Complete;
    startInstall(window.record);
    std::wstring commandLine, folder;
    ASSERT_TRUE(readRecord(game, commandLine, folder));
    EXPECT_TRUE(window.destroyed);
    EXPECT_EQ(window.record.copyJob, nullptr);
    EXPECT_FALSE(isFile(layout.destination));
}

// A game root that holds no program called Lumivex.exe (nothing, or a folder of that name), or a
// file of that name that is no program: one box with the path after a blank line, and the
// installer stays in Complete.
TEST(StartGame, MissingOrBrokenExecutableShowsOneBoxAndStays) {
    enum Kind { Missing, Folder, NotAProgram };
    const struct {
        Kind kind;
        const wchar_t* lead;
        UINT style;
    } cases[] = {
        {Missing, L"Lumivex.exe was not found, so the game cannot be launched.", MB_OK | MB_ICONWARNING},
        {Folder, L"Lumivex.exe was not found, so the game cannot be launched.", MB_OK | MB_ICONWARNING},
        {NotAProgram, L"The game could not be launched. Please run Lumivex.exe directly.", MB_OK | MB_ICONERROR},
    };
    for (const auto& c : cases) {
        ScratchFolder root(L"launch");
        GameLayout layout = makeLayout(root.path());
        const std::wstring game = layout.gameRoot + L"\\Lumivex.exe";
        if (c.kind == Folder) testing_support::makeFolders(game);
        if (c.kind == NotAProgram) testing_support::writeFile(game, std::string(64, 'x'));
        TestWindow window;
        useLayout(window.record, layout);
        window.record.state = Complete;
        BoxWatcher boxes;
        startGame(window.record);
        ASSERT_EQ(boxes.boxes().size(), 1u) << c.kind;
        EXPECT_EQ(boxes.boxes()[0].caption, englishText(TextSlot::windowTitle));
        EXPECT_EQ(boxes.boxes()[0].text, std::wstring(c.lead) + L"\n\n" + game) << c.kind;
        EXPECT_EQ(boxes.boxes()[0].style(), c.style) << c.kind;
        EXPECT_EQ(window.closeMessages, 0);
        EXPECT_FALSE(window.destroyed);
        EXPECT_EQ(window.record.state, Complete);
    }
}

TEST(StartGame, NoSelectedFolderDoesNothing) {
    TestWindow window;
    window.record.state = Complete;
    BoxWatcher boxes;
    startGame(window.record);
    window.record.candidates.push_back(GameCandidate{L"C:\\nowhere\\game", 0, 0, 0});
    window.record.selectedIndex = 1;
    startGame(window.record);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(window.closeMessages, 0);
}
