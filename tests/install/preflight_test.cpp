#include <gtest/gtest.h>

#include "app/startup.h"
#include "install/copy_worker.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "install_fixture.h"

using namespace install_testing;
using testing_support::BoxWatcher;
using testing_support::ScratchFolder;

namespace {
constexpr std::uint64_t GiB = 1024 * MiB;
}  // namespace

// A patch needs its size plus a margin of at most 8 MiB. The copy goes beside the old patch
// when the disk holds both; counting the old file as free space (it is overwritten) is only the
// fallback.
TEST(FreeSpaceRule, BesideWhenBothFitInPlaceWhenOnlyTheOldFileMakesRoom) {
    using P = CopyPlacement;
    const struct {
        std::uint64_t free, existing, patch;
        CopyPlacement expected;
    } rows[] = {
        {2, 0, 1, P::Beside}, {1, 0, 1, P::NoRoom},
        {16 * MiB, 0, 8 * MiB, P::Beside}, {16 * MiB - 1, 0, 8 * MiB, P::NoRoom},
        {6 * GiB + 8 * MiB, 0, 6 * GiB, P::Beside}, {6 * GiB + 8 * MiB - 1, 0, 6 * GiB, P::NoRoom},
        {108 * MiB, 100 * MiB, 100 * MiB, P::Beside}, {108 * MiB - 1, 100 * MiB, 100 * MiB, P::InPlace},
        {8 * MiB, 100 * MiB, 100 * MiB, P::InPlace}, {8 * MiB - 1, 100 * MiB, 100 * MiB, P::NoRoom},
        {8 * MiB, 0, 100 * MiB, P::NoRoom},
        // The sum of free space and the old file must not wrap around.
        {UINT64_MAX, 1, UINT64_MAX - 1, P::InPlace}, {UINT64_MAX - 1, 0, UINT64_MAX - 1, P::NoRoom},
    };
    for (const auto& row : rows)
        EXPECT_EQ(choosePlacement(row.free, row.existing, row.patch), row.expected) << row.free << " " << row.existing;
}

TEST(ElevatedRestart, ParametersCarryLanguageCodeAndQuotedFolder) {
    EXPECT_EQ(elevatedParameters(0, L"D:\\Steam\\game"), L"--lang zh-CN --dest \"D:\\Steam\\game\"");
    EXPECT_EQ(elevatedParameters(1, L"D:\\Steam\\game"), L"--lang zh-TW --dest \"D:\\Steam\\game\"");
    EXPECT_EQ(elevatedParameters(2, L"D:\\Steam Library\\common\\Lumivex Orrendale\\game"),
              L"--lang en --dest \"D:\\Steam Library\\common\\Lumivex Orrendale\\game\"");
    EXPECT_EQ(elevatedParameters(7, L"E:\\g"), L"--lang zh-CN --dest \"E:\\g\"");
}

TEST(ElevatedRestart, NewInstanceReadsBackTheSameFolderAndLanguage) {
    for (std::wstring folder : {L"D:\\Steam Library\\steamapps\\common\\Lumivex Orrendale\\game", L"D:\\",
                                L"\\\\server\\share\\game", L"C:\\\u6E38\u620F\\game"}) {
        for (LanguageId language : {0, 1, 2}) {
            CommandLineOptions options = parseCommandLine((L"Installer.exe " + elevatedParameters(language, folder)).c_str());
            EXPECT_TRUE(options.languageGiven);
            EXPECT_EQ(options.language, language);
            EXPECT_EQ(options.destOverride, folder);
        }
    }
}

TEST(SameFile, OtherSpellingsNeedNoFile) {
    ScratchFolder root(L"same");
    std::wstring file = root / L"game\\patch.rpa";
    testing_support::writeFile(file, "x");
    std::wstring upper = file;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    std::wstring slashes = file;
    for (wchar_t& c : slashes)
        if (c == L'\\') c = L'/';
    EXPECT_TRUE(isSameFile(file, upper));
    EXPECT_TRUE(isSameFile(file, slashes));
    EXPECT_TRUE(isSameFile(file, file + L"\\"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(root.path().c_str()));
    EXPECT_TRUE(isSameFile(file, L"game\\patch.rpa"));
    EXPECT_TRUE(isSameFile(L".\\game\\..\\game\\patch.rpa", file));
    SetCurrentDirectoryW(previous);
    // Spelled alike but not there: still the same path.
    EXPECT_TRUE(isSameFile(root / L"missing", root / L"MISSING"));
}

TEST(SameFile, TwinCopiesAreDifferentFiles) {
    ScratchFolder root(L"same");
    testing_support::writeFile(root / L"a\\patch.rpa", "same bytes");
    testing_support::writeFile(root / L"b\\patch.rpa", "same bytes");
    EXPECT_FALSE(isSameFile(root / L"a\\patch.rpa", root / L"b\\patch.rpa"));
    EXPECT_FALSE(isSameFile(root / L"a\\patch.rpa", root / L"c\\patch.rpa"));
}

TEST(StartInstall, InstallerInsideTheGameFolderIsCompleteWithoutCopying) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    std::string patch = patternBytes(100000, 1);
    testing_support::writeFile(layout.destination, patch);
    std::vector<std::wstring> before = listFolder(layout.gameFolder);
    std::wstring upper = layout.gameFolder;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    std::wstring slashes = layout.gameFolder + L"/";
    for (wchar_t& c : slashes)
        if (c == L'\\') c = L'/';
    for (const std::wstring& spelling : {layout.gameFolder, upper, slashes}) {
        TestWindow window;
        useLayout(window.record, layout, spelling);
        window.record.appFolder = layout.gameFolder;
        window.record.patchPath = layout.destination;
        window.record.patchPresent = true;
        refreshTargetFlags(window.record);
        EXPECT_TRUE(window.record.targetHasPatch);
        EXPECT_TRUE(window.record.targetPatchIdentical);
        window.record.targetPatchIdentical = false;
        BoxWatcher boxes;
        window.validate();
        startInstall(window.record);
        EXPECT_EQ(window.record.state, Complete) << spelling;
        EXPECT_EQ(window.record.progressPerMille, 1000);
        EXPECT_TRUE(window.record.targetPatchIdentical);
        EXPECT_EQ(window.record.copyJob, nullptr);
        EXPECT_FALSE(window.record.workerThread);
        EXPECT_TRUE(window.redrawRequested());
        EXPECT_TRUE(boxes.boxes().empty());
    }
    EXPECT_EQ(listFolder(layout.gameFolder), before);
    EXPECT_EQ(testing_support::readFile(layout.destination), patch);
}

TEST(StartInstall, IdenticalThroughRelativePatchPath) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.destination, "patch in place");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(layout.gameRoot.c_str()));
    TestWindow window;
    useLayout(window.record, layout);
    window.record.patchPath = L"game\\patch.rpa";
    startInstall(window.record);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(window.record.copyJob, nullptr);
    EXPECT_EQ(testing_support::readFile(layout.destination), "patch in place");
}

TEST(StartInstall, InstallingIgnoresTheRequestWithoutRedraw) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.patchPath, "patch");
    TestWindow window;
    useLayout(window.record, layout);
    window.record.state = Installing;
    window.validate();
    startInstall(window.record);
    EXPECT_EQ(window.record.state, Installing);
    EXPECT_FALSE(window.record.patchPresent);  // not even the patch facts are refreshed
    EXPECT_FALSE(window.redrawRequested());
    EXPECT_FALSE(isFile(layout.destination));
}

TEST(StartInstall, MissingPatchOrFolderIsSilentButRefreshesAndRedraws) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.destination, "older patch");
    TestWindow window;
    BoxWatcher boxes;
    useLayout(window.record, layout);
    window.record.patchPresent = true;
    window.record.patchSize = 12345;
    window.record.state = Failed;
    window.record.statusMessage = L"earlier failure";
    window.validate();
    startInstall(window.record);
    EXPECT_FALSE(window.record.patchPresent);
    EXPECT_EQ(window.record.patchSize, 0u);
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_EQ(window.record.statusMessage, L"earlier failure");
    EXPECT_TRUE(window.redrawRequested());

    // A folder named like the patch is no patch.
    testing_support::makeFolders(layout.patchPath);
    startInstall(window.record);
    EXPECT_FALSE(window.record.patchPresent);
    RemoveDirectoryW(layout.patchPath.c_str());

    testing_support::writeFile(layout.patchPath, "new patch");
    window.record.candidates.clear();
    window.validate();
    startInstall(window.record);
    EXPECT_TRUE(window.record.patchPresent);
    EXPECT_EQ(window.record.patchSize, 9u);
    EXPECT_TRUE(window.redrawRequested());
    useLayout(window.record, layout);
    window.record.selectedIndex = 1;
    startInstall(window.record);
    EXPECT_EQ(window.record.state, Failed);
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(testing_support::readFile(layout.destination), "older patch");
}

TEST(StartInstall, EmptyPatchWarnsAndChangesNothing) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.patchPath, "");
    testing_support::writeFile(layout.destination, "older patch");
    TestWindow window;
    useLayout(window.record, layout);
    window.record.state = Cancelled;
    BoxWatcher boxes;
    window.validate();
    startInstall(window.record);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"patch.rpa is empty and cannot be installed.");
    EXPECT_EQ(boxes.boxes()[0].caption, englishText(TextSlot::windowTitle));
    EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(window.record.state, Cancelled);
    EXPECT_TRUE(window.record.patchPresent);
    EXPECT_FALSE(window.redrawRequested());
    EXPECT_EQ(testing_support::readFile(layout.destination), "older patch");
}

TEST(StartInstall, FailedInstallRunsAgainFromTheChecks) {
    ScratchFolder root(L"pre");
    GameLayout layout = makeLayout(root.path());
    std::string patch = patternBytes(300000, 7);
    testing_support::writeFile(layout.patchPath, patch);
    TestWindow window;
    useLayout(window.record, layout);
    window.record.state = Failed;
    window.record.statusMessage = L"earlier failure";
    window.record.progressPerMille = 400;
    BoxWatcher boxes;
    startInstall(window.record);
    EXPECT_EQ(window.record.state, Installing);
    EXPECT_EQ(window.record.progressPerMille, 0);
    EXPECT_TRUE(window.record.statusMessage.empty());
    ASSERT_NE(window.record.copyJob, nullptr);
    EXPECT_EQ(window.record.copyJob->destPath, layout.destination);
    EXPECT_EQ(window.record.copyJob->sourcePath, layout.patchPath);
    EXPECT_EQ(window.record.copyJob->lastPerMille, -1);
    ASSERT_TRUE(window.waitForCopyEnd());
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(testing_support::readFile(layout.destination), patch);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(RestartElevated, AccessDeniedAskedYesStartsTheInstallerAsAdministrator) {
    ScratchFolder root(L"elev");
    GameLayout layout = makeLayout(root.path());
    testing_support::writeFile(layout.patchPath, "patch");
    std::wstring installer = layout.appFolder + L"\\LumivexPatchInstaller.exe";
    ASSERT_TRUE(CopyFileW(recorderPath().c_str(), installer.c_str(), FALSE));
    for (DWORD error : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_PRIVILEGE_NOT_HELD)}) {
        DeleteFileW((installer + L".record").c_str());
        StandInCopy copy;
        copy.failAtStart = error;
        UseStandIn use(copy);
        TestWindow window;
        useLayout(window.record, layout);
        window.record.language = 1;
        BoxWatcher boxes(IDYES);
        startInstall(window.record);
        ASSERT_TRUE(testing_support::pumpUntil([&] { return window.destroyed; }, 20000));
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, textsFor(1)[TextSlot::notWritableRestartAdmin]);
        EXPECT_EQ(boxes.boxes()[0].caption, textsFor(1)[TextSlot::windowTitle]);
        EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
        std::wstring commandLine, folder;
        ASSERT_TRUE(readRecord(installer, commandLine, folder));
        std::wstring expectedTail = L" --lang zh-TW --dest \"" + layout.gameFolder + L"\"";
        ASSERT_GE(commandLine.size(), expectedTail.size());
        EXPECT_EQ(commandLine.substr(commandLine.size() - expectedTail.size()), expectedTail) << commandLine;
        EXPECT_TRUE(pathEqualsNoCase(normalizePath(folder), layout.appFolder)) << folder;
        EXPECT_EQ(window.record.state, Failed);
        EXPECT_EQ(window.record.statusMessage, std::wstring(textsFor(1)[TextSlot::copyFailed]) + L": " + systemErrorText(error));
    }
}
