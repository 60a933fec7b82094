// Cases that need the machine prepared by system_tests.sh: a second drive letter on the same
// folder, a small disk, and a game folder the Unix user running Wine cannot write. Each case reads
// where things are from the environment and fails when it was started without it.
#include <gtest/gtest.h>

#include <algorithm>

#include "install/copy_worker.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "install_fixture.h"

using namespace install_testing;
using testing_support::BoxWatcher;
using testing_support::environmentVariable;
using testing_support::ScratchFolder;

// LUMIVEX_TWIN_FOLDER (C:\...) and LUMIVEX_TWIN_DRIVE (X:) name one folder twice;
// LUMIVEX_TWIN_LINK is a symbolic link to its "game" folder.
TEST(TwinDrive, SameFileThroughSecondDriveAndLink) {
    std::wstring folder = environmentVariable(L"LUMIVEX_TWIN_FOLDER");
    std::wstring drive = environmentVariable(L"LUMIVEX_TWIN_DRIVE");
    std::wstring link = environmentVariable(L"LUMIVEX_TWIN_LINK");
    ASSERT_FALSE(folder.empty() || drive.empty() || link.empty());
    GameLayout layout = makeLayout(folder);
    testing_support::writeFile(layout.destination, "patch in place");
    testing_support::writeFile(layout.gameFolder + L"\\twin.rpa", "patch in place");
    std::wstring throughDrive = drive + L"\\Lumivex Orrendale\\game\\patch.rpa";
    std::wstring throughLink = link + L"\\patch.rpa";
    ASSERT_EQ(testing_support::readFile(throughDrive), "patch in place");
    ASSERT_EQ(testing_support::readFile(throughLink), "patch in place");
    EXPECT_TRUE(isSameFile(layout.destination, throughDrive));
    EXPECT_TRUE(isSameFile(throughLink, layout.destination));
    EXPECT_FALSE(isSameFile(layout.gameFolder + L"\\twin.rpa", throughDrive));

    for (const std::wstring& patch : {throughDrive, throughLink}) {
        TestWindow window;
        useLayout(window.record, layout);
        window.record.patchPath = patch;
        window.record.patchPresent = true;
        refreshTargetFlags(window.record);
        EXPECT_TRUE(window.record.targetPatchIdentical) << patch;
        BoxWatcher boxes;
        startInstall(window.record);
        EXPECT_EQ(window.record.state, Complete) << patch;
        EXPECT_EQ(window.record.progressPerMille, 1000);
        EXPECT_EQ(window.record.copyJob, nullptr);
        EXPECT_TRUE(boxes.boxes().empty());
    }
    EXPECT_EQ(testing_support::readFile(layout.destination), "patch in place");
    testing_support::removeTree(layout.gameRoot);
    testing_support::removeTree(layout.appFolder);
}

// LUMIVEX_SMALL_DRIVE (X:) is a small disk of its own.
TEST(SmallDisk, RefusedWhenShortAndTheOldPatchStays) {
    std::wstring drive = environmentVariable(L"LUMIVEX_SMALL_DRIVE");
    ASSERT_FALSE(drive.empty());
    ScratchFolder source(L"space");
    GameLayout layout = makeLayout(source.path());
    std::wstring gameFolder = drive + L"\\Lumivex Orrendale\\game";
    std::string older = patternBytes(2 * MiB, 21);
    ASSERT_TRUE(testing_support::writeFile(gameFolder + L"\\patch.rpa", older));
    std::uint64_t available = freeBytes(gameFolder);
    ASSERT_GT(available, 10 * MiB);
    // Needs one MiB more than free space plus the old patch.
    std::uint64_t patchSize = available + 2 * MiB - 8 * MiB + MiB;
    ASSERT_TRUE(testing_support::writeFile(layout.patchPath, patternBytes(patchSize, 22)));
    TestWindow window;
    useLayout(window.record, layout, gameFolder);
    BoxWatcher boxes;
    startInstall(window.record);
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_EQ(window.record.statusMessage, L"There is not enough free disk space to write the patch.");
    EXPECT_EQ(window.record.copyJob, nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, window.record.statusMessage);
    EXPECT_EQ(boxes.boxes()[0].caption, englishText(TextSlot::windowTitle));
    EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(testing_support::readFile(gameFolder + L"\\patch.rpa"), older);
    EXPECT_EQ(listFolder(gameFolder), std::vector<std::wstring>({L"patch.rpa"}));
    testing_support::removeTree(drive + L"\\Lumivex Orrendale");
}

// LUMIVEX_LOCKED_GAME: a game folder this user may read but not write, holding an older patch.
TEST(AccessDenied, RealCopyAsksForAdministratorAndYesRestarts) {
    std::wstring locked = environmentVariable(L"LUMIVEX_LOCKED_GAME");
    ASSERT_FALSE(locked.empty());
    std::string older = testing_support::readFile(locked + L"\\patch.rpa");
    ASSERT_FALSE(older.empty());
    ScratchFolder root(L"denied");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.patchPath, patternBytes(300000, 25));
    std::wstring installer = layout.appFolder + L"\\LumivexPatchInstaller.exe";
    ASSERT_TRUE(CopyFileW(recorderPath().c_str(), installer.c_str(), FALSE));
    TestWindow window;
    useLayout(window.record, layout, locked);
    window.record.language = 2;
    BoxWatcher boxes(IDYES);
    startInstall(window.record);
    ASSERT_EQ(window.record.state, Installing);
    ASSERT_TRUE(testing_support::pumpUntil([&] { return window.destroyed; }, 30000));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"The game folder is not writable. Restart as administrator and try again?");
    EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_EQ(window.record.statusMessage, L"Copy failed: " + systemErrorText(ERROR_ACCESS_DENIED));
    std::wstring commandLine, folder;
    ASSERT_TRUE(readRecord(installer, commandLine, folder));
    std::wstring expectedTail = L" --lang en --dest \"" + locked + L"\"";
    ASSERT_GE(commandLine.size(), expectedTail.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - expectedTail.size()), expectedTail) << commandLine;
    EXPECT_TRUE(pathEqualsNoCase(normalizePath(folder), layout.appFolder)) << folder;
    EXPECT_EQ(testing_support::readFile(locked + L"\\patch.rpa"), older);
}

TEST(AccessDenied, AnsweredNoStaysFailed) {
    std::wstring locked = environmentVariable(L"LUMIVEX_LOCKED_GAME");
    ASSERT_FALSE(locked.empty());
    std::string older = testing_support::readFile(locked + L"\\patch.rpa");
    ScratchFolder root(L"denied");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.patchPath, patternBytes(300000, 26));
    std::wstring installer = layout.appFolder + L"\\LumivexPatchInstaller.exe";
    ASSERT_TRUE(CopyFileW(recorderPath().c_str(), installer.c_str(), FALSE));
    TestWindow window;
    useLayout(window.record, layout, locked);
    BoxWatcher boxes(IDNO);
    startInstall(window.record);
    ASSERT_TRUE(window.waitForCopyEnd());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_EQ(window.record.statusMessage, L"Copy failed: " + systemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(window.destroyed);
    Sleep(500);
    EXPECT_EQ(GetFileAttributesW((installer + L".record").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(testing_support::readFile(locked + L"\\patch.rpa"), older);
    EXPECT_EQ(listFolder(locked).size(), 2u);  // archive.rpa and the old patch, nothing left behind
}
