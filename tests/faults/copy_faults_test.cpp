// Faults injected around the copy of patch.rpa: the disk filling up after the free-space check,
// the game folder vanishing, the patch changing under the copy, cancellation at every progress
// callback, and the window closed while the worker runs. After each: what the user is shown,
// the worker joined, nothing stray left in the game folder, and the files that were not to be
// replaced still byte-identical.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "app/product.h"
#include "install/copy_worker.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "install_fixture.h"
#include "ui_test_support.h"

using namespace install_testing;
using testing_support::BoxWatcher;
using testing_support::ScratchFolder;

namespace {

// Wine's real CopyFileExW with a gate on each side, so a test can change the world after the
// pre-flight checks but before the copy, and after the copy but before the worker's size check.
struct CopyGate {
    std::function<void()> before, after;  // run on the worker thread
};
CopyGate* activeGate = nullptr;

BOOL WINAPI gatedCopy(LPCWSTR source, LPCWSTR destination, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel,
                      DWORD flags) {
    if (activeGate->before) activeGate->before();
    BOOL result = CopyFileExW(source, destination, routine, data, cancel, flags);
    DWORD error = GetLastError();
    if (activeGate->after) activeGate->after();
    SetLastError(error);
    return result;
}

class UseGate {
public:
    explicit UseGate(CopyGate& gate) {
        activeGate = &gate;
        setCopyFileFunction(&gatedCopy);
    }
    ~UseGate() {
        setCopyFileFunction(nullptr);
        activeGate = nullptr;
    }
};

// One game folder that receives the patch, a second candidate whose own patch.rpa must never be
// touched, and the patch beside the installer.
struct World {
    GameLayout layout;
    std::wstring otherPatch;
    std::string patch, otherBytes;
    World(const std::wstring& appRoot, const std::wstring& gameRoot, size_t patchSize) {
        layout = makeLayout(appRoot);
        if (gameRoot != appRoot) {
            layout.gameRoot = gameRoot + L"\\Lumivex Orrendale";
            layout.gameFolder = layout.gameRoot + L"\\game";
            layout.destination = layout.gameFolder + L"\\patch.rpa";
            testing_support::writeFile(layout.gameFolder + L"\\archive.rpa", "RPA-3.0 original");
        }
        otherPatch = gameRoot + L"\\Other Library\\game\\patch.rpa";
        otherBytes = patternBytes(70000, 77);
        testing_support::writeFile(otherPatch, otherBytes);
        testing_support::writeFile(parentFolder(otherPatch) + L"\\archive.rpa", "RPA-3.0 original");
        patch = patternBytes(patchSize, 78);
        testing_support::writeFile(layout.patchPath, patch);
    }
    void use(MainWindow& record) const {
        useLayout(record, layout);
        GameCandidate other;
        other.folder = parentFolder(otherPatch);
        record.candidates.push_back(other);
    }
};

// What must hold after every fault: the worker is gone, the patch and the other candidate's file
// are untouched, and the game folder holds nothing the installer made but patch.rpa.
void expectCleanEnd(const MainWindow& record, const World& world) {
    EXPECT_EQ(record.copyJob, nullptr);
    EXPECT_FALSE(record.workerThread);
    EXPECT_TRUE(testing_support::readFile(world.layout.patchPath) == world.patch);
    EXPECT_TRUE(testing_support::readFile(world.otherPatch) == world.otherBytes);
    for (const std::wstring& name : listFolder(world.layout.gameFolder))
        EXPECT_TRUE(name == L"archive.rpa" || name == L"patch.rpa") << "left in the game folder: " << name;
}

void expectFailureShown(const MainWindow& record, const BoxWatcher& boxes, DWORD error) {
    const std::wstring text = L"Copy failed: " + systemErrorText(error);
    EXPECT_EQ(record.state, Failed);
    EXPECT_EQ(record.statusMessage, text);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, text);
    EXPECT_EQ(boxes.boxes()[0].caption, englishText(TextSlot::windowTitle));
    EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | MB_ICONERROR));
}

// Fills the disk of `folder` until only `leave` bytes are free.
bool fillDisk(const std::wstring& path, std::uint64_t leave) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string block(256 * 1024, 'F');
    for (;;) {
        std::uint64_t available = freeBytes(parentFolder(path));
        if (available <= leave) break;
        DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(block.size(), available - leave));
        DWORD written = 0;
        if (!WriteFile(file, block.data(), chunk, &written, nullptr) || written == 0) break;
    }
    CloseHandle(file);
    return true;
}

}  // namespace

// LUMIVEX_FAULT_DRIVE (X:) is a small disk of its own (32 MiB), prepared by faults.sh. Another
// program fills it after the free-space check, down to `leave` bytes, or leaves it alone.
TEST(DiskFull, RealCopyRunsOutOfSpaceAfterTheCheck) {
    const std::wstring drive = testing_support::environmentVariable(L"LUMIVEX_FAULT_DRIVE");
    if (drive.empty()) GTEST_SKIP() << "needs the small disk of faults.sh";
    const struct {
        std::string older;
        bool fill;
        std::uint64_t leave;
    } rows[] = {
        {"older patch", true, 0},
        {"older patch", true, 3 * MiB},
        // 10 MiB do not fit beside a 24 MiB patch: the copy goes over it, and the temporary file
        // of an installer that was ended during a copy goes too.
        {patternBytes(24 * MiB, 80), false, 0},
    };
    for (const auto& row : rows) {
        ScratchFolder app(L"diskfull");
        World world(app.path(), drive + L"\\lib", 10 * MiB);
        testing_support::writeFile(world.layout.destination, row.older);
        if (!row.fill) testing_support::writeFile(world.layout.destination + kPartialSuffix, "half a patch");
        const std::wstring filler = drive + L"\\lib\\filler.bin";
        CopyGate gate;
        if (row.fill) gate.before = [&] { fillDisk(filler, row.leave); };
        UseGate use(gate);
        TestWindow window;
        world.use(window.record);
        BoxWatcher boxes;
        startInstall(window.record);
        ASSERT_EQ(window.record.state, Installing) << row.leave;
        ASSERT_TRUE(window.waitForCopyEnd());
        expectCleanEnd(window.record, world);
        if (!row.fill) {
            EXPECT_EQ(window.record.state, Complete);
            EXPECT_TRUE(testing_support::readFile(world.layout.destination) == world.patch);
        } else {
            EXPECT_LE(freeBytes(world.layout.gameFolder), row.leave + MiB);
            expectFailureShown(window.record, boxes, ERROR_DISK_FULL);
            // The half-written copy is gone and the previous patch is as it was.
            EXPECT_TRUE(testing_support::readFile(world.layout.destination) == row.older) << row.leave;
            EXPECT_TRUE(window.record.targetHasPatch);
        }
        testing_support::removeTree(drive + L"\\lib");
    }
}

TEST(VanishingFolder, GameFolderRemovedBeforeTheCopyOpensIt) {
    ScratchFolder root(L"vanish");
    World world(root.path(), root.path(), 300000);
    CopyGate gate;
    gate.before = [&] { testing_support::removeTree(world.layout.gameRoot); };
    UseGate use(gate);
    TestWindow window;
    world.use(window.record);
    BoxWatcher boxes;
    startInstall(window.record);
    ASSERT_EQ(window.record.state, Installing);
    ASSERT_TRUE(window.waitForCopyEnd());
    expectFailureShown(window.record, boxes, ERROR_PATH_NOT_FOUND);
    expectCleanEnd(window.record, world);
    // The installer never creates the folder it was told to write into.
    EXPECT_EQ(GetFileAttributesW(world.layout.gameRoot.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The patch shrinks, or is overwritten by a shorter one, while the copy is under way: the copy
// reports success, and only the size check after it can notice.
TEST(ChangingSource, ShortOrReplacedPatchIsAWriteFault) {
    enum Change { Truncate, Replace };
    for (Change change : {Truncate, Replace}) {
        ScratchFolder root(L"source");
        World world(root.path(), root.path(), 48 * MiB);
        testing_support::writeFile(world.layout.destination, "older patch");
        const std::string replacement = patternBytes(2 * MiB + 7, 79);
        HANDLE changed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool applied = false;
        std::thread meddler([&] {
            // As soon as a part of the patch has arrived (or the copy is over).
            testing_support::pumpUntil([&] { return fileSize(world.layout.destination + kPartialSuffix) >= 4 * MiB; },
                                       30000);
            // Truncated in place, or overwritten in place by a shorter file (as a second extraction
            // of the archive does): a rename over the open patch is refused by the system.
            HANDLE file = CreateFileW(world.layout.patchPath.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      change == Truncate ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                LARGE_INTEGER at;
                at.QuadPart = static_cast<LONGLONG>(MiB);
                DWORD written = 0;
                applied = change == Truncate
                              ? SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file)
                              : WriteFile(file, replacement.data(), static_cast<DWORD>(replacement.size()), &written,
                                          nullptr) && written == replacement.size();
                CloseHandle(file);
            }
            SetEvent(changed);
        });
        CopyGate gate;
        gate.after = [&] { WaitForSingleObject(changed, 30000); };
        UseGate use(gate);
        TestWindow window;
        world.use(window.record);
        BoxWatcher boxes;
        startInstall(window.record);
        const bool started = window.record.state == Installing;
        const bool ended = window.waitForCopyEnd();
        meddler.join();
        CloseHandle(changed);
        ASSERT_TRUE(started && ended && applied) << change;
        expectFailureShown(window.record, boxes, ERROR_WRITE_FAULT);
        EXPECT_NE(window.record.statusMessage.find(L"(0x0000001D)"), std::wstring::npos);
        // The copy of the wrong size is gone and the previous patch is as it was.
        EXPECT_TRUE(window.record.targetHasPatch);
        EXPECT_EQ(testing_support::readFile(world.layout.destination), "older patch");
        EXPECT_EQ(listFolder(world.layout.gameFolder), (std::vector<std::wstring>{L"archive.rpa", L"patch.rpa"}));
        EXPECT_TRUE(testing_support::readFile(world.otherPatch) == world.otherBytes);
        EXPECT_EQ(window.record.copyJob, nullptr);
        EXPECT_FALSE(window.record.workerThread);
    }
}

// Cancel pressed before each progress callback of one copy (Windows' contract through the
// stand-in), once followed by another error: always Cancelled, the bar stays at the last value
// reported, no text, no box, and the previous patch is kept as it was.
TEST(CancelEverywhere, EveryCallbackOfOneCopy) {
    const int chunks = 7;  // 6 full chunks and a short one: callbacks 0 (start) to 7
    for (int at = 0; at <= chunks; ++at) {
        ScratchFolder root(L"cancel");
        World world(root.path(), root.path(), 6 * StandInCopy::kChunk + 100);
        testing_support::writeFile(world.layout.destination, "older patch");
        StandInCopy copy;
        copy.pauseAt = at;
        const bool failsToo = at == 3;
        if (failsToo) {
            copy.failAt = at;
            copy.failError = ERROR_DISK_FULL;
        }
        UseStandIn use(copy);
        TestWindow window;
        world.use(window.record);
        BoxWatcher boxes;
        startInstall(window.record);
        ASSERT_EQ(WaitForSingleObject(copy.paused, 20000), WAIT_OBJECT_0) << at;
        requestCancel(window.record);
        requestCancel(window.record);  // twice is harmless
        EXPECT_EQ(window.record.state, Installing);
        SetEvent(copy.resume);
        ASSERT_TRUE(window.waitForCopyEnd()) << at;
        EXPECT_EQ(window.record.state, Cancelled) << at;
        EXPECT_EQ(static_cast<int>(window.progress.size()), at) << at;
        EXPECT_EQ(window.record.progressPerMille, window.progress.empty() ? 0 : window.progress.back()) << at;
        EXPECT_LT(window.record.progressPerMille, 1000) << at;
        EXPECT_TRUE(window.record.statusMessage.empty()) << at;
        EXPECT_TRUE(boxes.boxes().empty()) << at;
        EXPECT_EQ(copy.callbacks.load(), failsToo ? at : at + 1) << at;
        expectCleanEnd(window.record, world);
        EXPECT_EQ(testing_support::readFile(world.layout.destination), "older patch") << at;
    }
}

// A cancel that comes after the copy's last callback is too late: the patch is in place.
TEST(CancelEverywhere, AfterTheCopyEndedStillCompletes) {
    ScratchFolder root(L"late");
    World world(root.path(), root.path(), 200000);
    TestWindow window;
    CopyGate gate;
    HANDLE copied = CreateEventW(nullptr, TRUE, FALSE, nullptr), cancelled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gate.after = [&] {
        SetEvent(copied);
        WaitForSingleObject(cancelled, 20000);
    };
    UseGate use(gate);
    world.use(window.record);
    BoxWatcher boxes;
    startInstall(window.record);
    ASSERT_EQ(WaitForSingleObject(copied, 20000), WAIT_OBJECT_0);
    requestCancel(window.record);
    SetEvent(cancelled);
    ASSERT_TRUE(window.waitForCopyEnd());
    CloseHandle(copied);
    CloseHandle(cancelled);
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_TRUE(testing_support::readFile(world.layout.destination) == world.patch);
    EXPECT_TRUE(boxes.boxes().empty());
    expectCleanEnd(window.record, world);
}

// The real main window closed while the worker is inside the copy.
TEST(CloseDuringCopy, YesLeavesAtOnceAndTheRecordJoinsTheWorkerNoKeepsCopying) {
    for (int answer : {IDYES, IDNO}) {
        ui_testing::LiveWindow live(2);
        ASSERT_TRUE(live.hwnd);
        ScratchFolder root(L"close");
        World world(root.path(), root.path(), 40 * StandInCopy::kChunk);
        StandInCopy copy;
        copy.pauseAt = 5;
        copy.sleepAfterCancelMs = 400;
        UseStandIn use(copy);
        world.use(live.record);
        BoxWatcher boxes(answer);
        startInstall(live.record);
        ASSERT_EQ(live.record.state, Installing);
        ASSERT_EQ(WaitForSingleObject(copy.paused, 20000), WAIT_OBJECT_0);
        live.send(WM_CLOSE);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, englishText(TextSlot::confirmCancelExit));
        EXPECT_TRUE(boxes.boxes()[0].hasYes && boxes.boxes()[0].hasNo);
        EXPECT_EQ(boxes.boxes()[0].icon, static_cast<UINT>(MB_ICONWARNING));
        SetEvent(copy.resume);
        if (answer == IDNO) {
            EXPECT_TRUE(IsWindow(live.hwnd));
            ASSERT_TRUE(testing_support::pumpUntil([&] { return live.record.copyJob == nullptr; }, 30000));
            EXPECT_EQ(live.record.state, Complete);
            EXPECT_TRUE(testing_support::readFile(world.layout.destination) == world.patch);
        } else {
            // The window went at once; the copy was still running and is told to stop.
            EXPECT_FALSE(IsWindow(live.hwnd));
            EXPECT_FALSE(copy.returned.load());
            ASSERT_NE(live.record.copyJob, nullptr);
            EXPECT_EQ(live.record.copyJob->cancelRequested, 1);
            DWORD before = GetTickCount();
            destroyMainWindowRecord(live.record);
            EXPECT_TRUE(copy.returned.load());  // joined before the job was freed
            EXPECT_GE(GetTickCount() - before, 350u);
            EXPECT_EQ(live.record.state, Installing);
            EXPECT_EQ(listFolder(world.layout.gameFolder), std::vector<std::wstring>{L"archive.rpa"});
        }
        // The worker's last message finds no window or no job: no further box.
        testing_support::pumpUntil([] { return false; }, 200);
        EXPECT_EQ(boxes.boxes().size(), 1u);
        expectCleanEnd(live.record, world);
    }
}
