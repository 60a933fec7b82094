#include <gtest/gtest.h>

#include <algorithm>

#include "install/copy_worker.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "install_fixture.h"

using namespace install_testing;
using testing_support::BoxWatcher;
using testing_support::ScratchFolder;

namespace {
// A big file written fast: sparse, with a marker naming its offset every MiB and at the end.
bool writeMarkedFile(const std::wstring& path, std::uint64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    bool ok = true;
    for (std::uint64_t offset = 0; offset < size && ok; offset += 1024 * 1024) {
        char marker[32];
        int length = snprintf(marker, sizeof marker, "@%llu#", static_cast<unsigned long long>(offset));
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD written = 0;
        ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && WriteFile(file, marker, length, &written, nullptr);
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size - 4);
    DWORD written = 0;
    ok = ok && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && WriteFile(file, "END!", 4, &written, nullptr);
    CloseHandle(file);
    return ok;
}

bool sameBytes(const std::wstring& a, const std::wstring& b) {
    HANDLE first = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE second = CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE;
    std::vector<char> bufferA(1 << 22), bufferB(1 << 22);
    while (same) {
        DWORD gotA = 0, gotB = 0;
        same = ReadFile(first, bufferA.data(), static_cast<DWORD>(bufferA.size()), &gotA, nullptr) &&
               ReadFile(second, bufferB.data(), static_cast<DWORD>(bufferB.size()), &gotB, nullptr) && gotA == gotB &&
               std::equal(bufferA.begin(), bufferA.begin() + gotA, bufferB.begin());
        if (gotA == 0) break;
    }
    if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    return same;
}

struct CopySetup {
    ScratchFolder root{L"copy"};
    GameLayout layout = makeLayout(root.path());
};

void startWith(TestWindow& window, const GameLayout& layout) {
    useLayout(window.record, layout);
    startInstall(window.record);
}

std::vector<MSG> takeProgressMessages(HWND hwnd) {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageW(&msg, hwnd, WM_APP_COPY_PROGRESS, WM_APP_COPY_PROGRESS, PM_REMOVE)) taken.push_back(msg);
    return taken;
}
}  // namespace

TEST(RealCopy, SmallPatchReplacesAnOlderLargerOne) {
    CopySetup setup;
    std::string patch = patternBytes(300 * 1024 + 17, 3);
    testing_support::writeFile(setup.layout.patchPath, patch);
    testing_support::writeFile(setup.layout.destination, patternBytes(900 * 1024, 4));
    TestWindow window;
    BoxWatcher boxes;
    startWith(window, setup.layout);
    ASSERT_EQ(window.record.state, Installing);
    ASSERT_TRUE(window.waitForCopyEnd());
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(window.record.progressPerMille, 1000);
    EXPECT_TRUE(window.record.targetHasPatch);
    EXPECT_EQ(window.doneMessages, 1);
    EXPECT_EQ(testing_support::readFile(setup.layout.destination), patch);
    EXPECT_EQ(testing_support::readFile(setup.layout.patchPath), patch);
    EXPECT_TRUE(boxes.boxes().empty());
    // Nothing but the patch was added to the game folder.
    std::vector<std::wstring> names = listFolder(setup.layout.gameFolder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"archive.rpa", L"patch.rpa"}));
}

TEST(RealCopy, OneGibibytePatchArrivesByteForByte) {
    CopySetup setup;
    const std::uint64_t size = 1024ull * 1024 * 1024;
    ASSERT_TRUE(writeMarkedFile(setup.layout.patchPath, size));
    TestWindow window;
    BoxWatcher boxes;
    DWORD started = GetTickCount();
    startWith(window, setup.layout);
    ASSERT_EQ(window.record.state, Installing);
    ASSERT_TRUE(window.waitForCopyEnd(300000));
    DWORD elapsed = GetTickCount() - started;
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(fileSize(setup.layout.destination), size);
    EXPECT_TRUE(sameBytes(setup.layout.patchPath, setup.layout.destination));
    EXPECT_LE(window.progress.size(), 1001u);
    EXPECT_TRUE(boxes.boxes().empty());
    RecordProperty("copy_ms", static_cast<int>(elapsed));
    DeleteFileW(setup.layout.destination.c_str());
    DeleteFileW(setup.layout.patchPath.c_str());
}

TEST(RealCopy, DestinationHeldOpenByTheGameIsInUse) {
    CopySetup setup;
    testing_support::writeFile(setup.layout.patchPath, patternBytes(200000, 5));
    testing_support::writeFile(setup.layout.destination, "the game has this open");
    HANDLE held = CreateFileW(setup.layout.destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TestWindow window;
    BoxWatcher boxes;
    startWith(window, setup.layout);
    ASSERT_TRUE(window.waitForCopyEnd());
    CloseHandle(held);
    EXPECT_EQ(window.record.state, Failed);
    std::wstring expected = L"The patch is in use. Close the game and any program using it, then try again. " +
                            systemErrorText(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(window.record.statusMessage, expected);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, expected);
    EXPECT_EQ(boxes.boxes()[0].caption, englishText(TextSlot::windowTitle));
    EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(testing_support::readFile(setup.layout.destination), "the game has this open");
}

TEST(CopyProgress, PostsOnlyChangesAndStopsOnCancel) {
    TestWindow window;
    InstallJob job;
    job.window = window.hwnd();
    LARGE_INTEGER total, done, zero{};
    auto call = [&](LONGLONG t, LONGLONG d) {
        total.QuadPart = t;
        done.QuadPart = d;
        return copyProgress(total, done, zero, zero, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, &job);
    };
    EXPECT_EQ(call(3000, 0), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(3000, 2), static_cast<DWORD>(PROGRESS_CONTINUE));   // still 0
    EXPECT_EQ(call(3000, 1500), static_cast<DWORD>(PROGRESS_CONTINUE));
    EXPECT_EQ(call(3000, 1501), static_cast<DWORD>(PROGRESS_CONTINUE));  // still 500
    EXPECT_EQ(call(3000, 9000), static_cast<DWORD>(PROGRESS_CONTINUE));  // clamped to 1000
    EXPECT_EQ(call(0, 0), static_cast<DWORD>(PROGRESS_CONTINUE));        // no size: 0
    EXPECT_EQ(call(-5, 100), static_cast<DWORD>(PROGRESS_CONTINUE));     // still 0
    // Large files: the product is taken in 64 bits.
    EXPECT_EQ(call(6ll << 30, 3ll << 30), static_cast<DWORD>(PROGRESS_CONTINUE));
    InterlockedExchange(&job.cancelRequested, 1);
    EXPECT_EQ(call(6ll << 30, 4ll << 30), static_cast<DWORD>(PROGRESS_CANCEL));
    std::vector<MSG> posted = takeProgressMessages(window.hwnd());
    std::vector<WPARAM> values;
    for (const MSG& msg : posted) {
        values.push_back(msg.wParam);
        EXPECT_EQ(msg.lParam, 0);
    }
    EXPECT_EQ(values, (std::vector<WPARAM>{0, 500, 1000, 0, 500}));
}

TEST(StandInCopy, SmallCopyReportsEachChangeThenCompletes) {
    CopySetup setup;
    std::string patch = patternBytes(3 * StandInCopy::kChunk, 9);
    testing_support::writeFile(setup.layout.patchPath, patch);
    StandInCopy copy;
    UseStandIn use(copy);
    TestWindow window;
    startWith(window, setup.layout);
    ASSERT_TRUE(window.waitForCopyEnd());
    // The copy goes beside patch.rpa; the bar ends only once it has taken patch.rpa's place.
    EXPECT_EQ(window.progress, (std::vector<int>{0, 333, 666, 999}));
    EXPECT_EQ(window.record.progressPerMille, 1000);
    EXPECT_EQ(copy.callbacks.load(), 4);
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_EQ(testing_support::readFile(setup.layout.destination), patch);
}

TEST(StandInCopy, LargeCopyPostsAtMost1000RisingValues) {
    CopySetup setup;
    const size_t size = 100 * 1024 * 1024 + 12345;
    testing_support::writeFile(setup.layout.patchPath, patternBytes(size, 11));
    StandInCopy copy;
    UseStandIn use(copy);
    TestWindow window;
    startWith(window, setup.layout);
    ASSERT_TRUE(window.waitForCopyEnd(120000));
    EXPECT_GT(copy.callbacks.load(), 1600);
    EXPECT_EQ(window.progress.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(window.progress.begin(), window.progress.end()));
    EXPECT_EQ(std::adjacent_find(window.progress.begin(), window.progress.end()), window.progress.end());
    EXPECT_EQ(window.progress.front(), 0);
    EXPECT_EQ(window.progress.back(), 999);
    EXPECT_EQ(window.record.state, Complete);
    EXPECT_TRUE(sameBytes(setup.layout.patchPath, setup.layout.destination));
}

// How a failed copy is shown: an error during the copy, a copy that claims success but is short
// (0x1D, a write fault), and a lock violation at the start, which is the in-use warning too.
TEST(StandInCopy, FailuresShowTheirTextAndBox) {
    const std::wstring copyFailed = L"Copy failed: ";
    const struct {
        int failAt;
        DWORD failAtStart;
        bool shortDestination;
        std::wstring text;
        UINT icon;
    } rows[] = {
        {4, 0, false, copyFailed + systemErrorText(ERROR_DISK_FULL), MB_ICONERROR},
        {-1, 0, true, copyFailed + systemErrorText(ERROR_WRITE_FAULT), MB_ICONERROR},
        {-1, ERROR_LOCK_VIOLATION, false,
         englishText(TextSlot::patchInUse) + L" " + systemErrorText(ERROR_LOCK_VIOLATION), MB_ICONWARNING},
    };
    for (const auto& row : rows) {
        CopySetup setup;
        testing_support::writeFile(setup.layout.patchPath, patternBytes(10 * StandInCopy::kChunk + 3, 15));
        StandInCopy copy;
        copy.failAt = row.failAt;
        copy.failError = ERROR_DISK_FULL;
        copy.failAtStart = row.failAtStart;
        copy.shortDestination = row.shortDestination;
        UseStandIn use(copy);
        TestWindow window;
        BoxWatcher boxes;
        startWith(window, setup.layout);
        ASSERT_TRUE(window.waitForCopyEnd());
        EXPECT_EQ(window.record.state, Failed);
        EXPECT_EQ(window.record.statusMessage, row.text);
        EXPECT_FALSE(window.record.targetHasPatch);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, row.text);
        EXPECT_EQ(boxes.boxes()[0].style(), static_cast<UINT>(MB_OK | row.icon));
    }
    EXPECT_EQ(rows[1].text.substr(rows[1].text.size() - 13), L" (0x0000001D)");
}

TEST(StopWorker, JoinsARunningWorkerBeforeFreeingItsJob) {
    CopySetup setup;
    testing_support::writeFile(setup.layout.patchPath, patternBytes(200 * StandInCopy::kChunk, 17));
    StandInCopy copy;
    copy.pauseAt = 5;
    copy.sleepAfterCancelMs = 400;
    UseStandIn use(copy);
    TestWindow window;
    startWith(window, setup.layout);
    ASSERT_EQ(WaitForSingleObject(copy.paused, 20000), WAIT_OBJECT_0);
    SetEvent(copy.resume);
    DWORD before = GetTickCount();
    stopWorker(window.record);
    DWORD waited = GetTickCount() - before;
    // The worker was still inside the copy when asked; stopWorker came back only after it ended.
    EXPECT_TRUE(copy.returned.load());
    EXPECT_GE(waited, 350u);
    EXPECT_EQ(window.record.copyJob, nullptr);
    EXPECT_FALSE(window.record.workerThread);
    EXPECT_LT(copy.callbacks.load(), 200);
    // Its end message finds no job: nothing changes, no box.
    BoxWatcher boxes;
    window.validate();
    testing_support::pumpUntil([&] { return window.doneMessages == 1; }, 5000);
    EXPECT_EQ(window.doneMessages, 1);
    EXPECT_EQ(window.record.state, Installing);
    EXPECT_TRUE(boxes.boxes().empty());
    stopWorker(window.record);  // nothing left to stop
}
