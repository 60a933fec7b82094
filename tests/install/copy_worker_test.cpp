// The copy of patch.rpa on a real, hidden installer window: the pre-flight checks, every way a
// copy ends, cancel, closing during a copy, the restart as administrator and the game's launch.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <optional>
#include "app/startup.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "support.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/taskbar.h"

using support::exists;
using support::readFile;

namespace {
constexpr size_t kChunk = 64 * 1024, MiB = 1024 * 1024;
constexpr int kAfterEnd = 1000;  // the stand-in's moment once the whole copy is written

std::string pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed) % 251);
    return bytes;
}

// Wine 8's CopyFileExW never calls the progress routine and cannot be cancelled. The stand-in
// keeps Windows' contract: the routine before the first chunk and after each; PROGRESS_CANCEL
// or *cancel end the copy with ERROR_REQUEST_ABORTED; a failed copy deletes its destination.
// The plan: the callback at which the copy fails with `error`, the bytes left out of a copy that claims
// success, the callback before which the player cancels, what runs on the worker before callback n.
struct Plan {
    Plan(int f = -1, DWORD e = 0, size_t s = 0, int c = -1, std::function<void(int)> a = {})
        : failAt(f), error(e), shortBy(s), cancelAt(c), atCallback(std::move(a)) {}
    int failAt; DWORD error; size_t shortBy; int cancelAt; std::function<void(int)> atCallback;
} plan;

BOOL WINAPI standInCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel, DWORD) {
    const std::string bytes = readFile(from);
    FileHandle out(CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return FALSE;
    const size_t total = bytes.size() - std::min(plan.shortBy, bytes.size());
    size_t done = 0;
    DWORD error = 0, wrote = 0;
    for (int n = 0; !error; ++n, done += error ? 0 : wrote) {
        if (plan.atCallback) plan.atCallback(n);
        if (n == plan.cancelAt) InterlockedExchange(&static_cast<InstallJob*>(data)->cancelRequested, 1);
        LARGE_INTEGER size{}, moved{};
        size.QuadPart = LONGLONG(bytes.size()), moved.QuadPart = LONGLONG(done);
        if (n == plan.failAt) error = plan.error;
        else if (*cancel || routine(size, moved, size, moved, 1, n ? CALLBACK_CHUNK_FINISHED : CALLBACK_STREAM_SWITCH,
                                    nullptr, out.get(), data) == PROGRESS_CANCEL)
            error = ERROR_REQUEST_ABORTED;
        else if (done == total) break;
        else if (!WriteFile(out.get(), bytes.data() + done, DWORD(std::min(kChunk, total - done)), &wrote, nullptr))
            error = GetLastError();
    }
    out.reset();
    if (error) DeleteFileW(to);
    else if (plan.atCallback) plan.atCallback(kAfterEnd);
    if (!error && plan.cancelAt == kAfterEnd) InterlockedExchange(&static_cast<InstallJob*>(data)->cancelRequested, 1);
    SetLastError(error);
    return !error;
}

// What the taskbar button was last set to, and every value it was given (Wine's taskbar shows none).
struct { TBPFLAG state; std::vector<ULONGLONG> values; } taskbar;
struct RecordingSink : TaskbarSink {
    void setState(HWND, TBPFLAG state) override { taskbar.state = state; }
    void setValue(HWND, ULONGLONG done, ULONGLONG) override { taskbar.values.push_back(done); }
};
const bool recording =
    (setTaskbarSinkFactory([]() -> std::unique_ptr<TaskbarSink> { return std::make_unique<RecordingSink>(); }), true);

struct UseStandIn {
    explicit UseStandIn(Plan with) { plan = std::move(with), setCopyFileFunction(&standInCopy); }
    ~UseStandIn() { setCopyFileFunction(nullptr), plan = Plan{}; }
};
enum Left { OldPatch, NewPatch, NoPatch };
// A game folder (in `library`, else the scratch folder) with an older patch.rpa and Lumivex.exe above
// it; the installer's folder with its exe and the patch (both exes the stand-in); a hidden installer
// window (language 1) with that game folder selected.
struct World {
    support::ScratchFolder scratch{L"install"};
    std::wstring gameRoot, game, target, app = scratch / L"app", patch = app + L"\\patch.rpa";
    std::string older;
    MainWindow record;
    World(const std::string& patchBytes, std::string old = "older patch", const std::wstring& library = L"")
        : gameRoot((library.empty() ? scratch.path() : library) + L"\\Lumivex Orrendale"), game(gameRoot + L"\\game"),
          target(game + L"\\patch.rpa"), older(std::move(old)) {
        support::writeFile(game + L"\\archive.rpa", "RPA-3.0"), support::writeFile(target, older);
        support::writeFile(patch, patchBytes);
        record.exePath = app + L"\\LumivexPatchInstaller.exe";
        for (const std::wstring& exe : {record.exePath, gameRoot + L"\\Lumivex.exe"})
            CopyFileW(support::buildPath(L"tests\\stand_in.exe").c_str(), exe.c_str(), FALSE);
        record.hInstance = GetModuleHandleW(nullptr), record.language = 1, record.appFolder = app;
        record.patchPath = patch, record.candidates.push_back(GameCandidate{game});
        registerMainWindowClass(record.hInstance), createMainWindow(record, WindowRect{0, 0, 920, 620});
        taskbar = {TBPF_NOPROGRESS, {}}, SendMessageW(record.hwnd, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    }
    ~World() {
        if (record.hwnd) DestroyWindow(record.hwnd);
        destroyMainWindowRecord(record);
        MSG msg;  // the window's end posts WM_QUIT, which would end the next message box at once
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        support::removeTree(gameRoot);
    }
    // The copy startInstall starts, with the placement chosen here.
    void copy(bool beside) { startWorker(record, target, beside ? CopyPlacement::Beside : CopyPlacement::InPlace); }
    bool ended() { return support::pumpUntil([&] { return record.state != Installing; }); }
    void expectLeft(Left left) const {
        EXPECT_FALSE(exists(target + kPartialSuffix));
        EXPECT_TRUE(left == NoPatch ? !exists(target) : readFile(target) == (left ? readFile(patch) : older));
    }
    // The state, and the one box (icon, lead text, the error's text at its end) or none.
    void expectShown(const support::BoxWatcher& boxes, InstallerState state, UINT icon = 0,
                     TextSlot lead = TextSlot::windowTitle, DWORD error = 0) const {
        EXPECT_EQ(record.state, state);
        EXPECT_EQ(record.statusMessage.empty(), state != Failed);
        ASSERT_EQ(boxes.boxes.size(), icon ? 1u : 0u);
        if (!icon) return;
        const std::wstring& text = boxes.boxes[0].text;
        const std::wstring head = textsFor(1)[lead], tail = error ? systemErrorText(error) : L"";
        EXPECT_EQ(boxes.boxes[0].caption, textsFor(1)[TextSlot::windowTitle]);
        EXPECT_EQ(boxes.boxes[0].style, UINT((lead == TextSlot::notWritableRestartAdmin ? MB_YESNO : MB_OK) | icon));
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), tail.size())), tail) << support::utf8(text);
        EXPECT_TRUE(state != Failed || lead == TextSlot::notWritableRestartAdmin || record.statusMessage == text);
    }
};

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    return pathEqualsNoCase(normalizePath(a), normalizePath(b));
}
}  // namespace

// The real startInstall: the patch's facts, and a patch that already is the game folder's own
// (state Installing: a copy started).
TEST(StartInstall, PatchFactsAndTheSameFileReachedOtherwise) {
    enum Patch { Beside, Missing, OtherSpelling, ThroughDrive };
    const struct { Patch patch; std::string bytes; InstallerState state; UINT icon; Left left; } rows[] = {
        {Missing, "x", Ready, 0, OldPatch}, {Beside, "", Ready, MB_ICONWARNING, OldPatch},
        {Beside, "older patch", Installing, 0, NewPatch},  // the same bytes in another file
        {OtherSpelling, "x", Complete, 0, OldPatch}, {ThroughDrive, "x", Complete, 0, OldPatch},
    };
    for (const auto& r : rows) {
        World w(r.bytes);
        std::optional<support::MountedDrive> drive;
        if (r.patch == Missing) DeleteFileW(w.patch.c_str());
        if (r.patch == OtherSpelling) w.record.patchPath = w.scratch / L"Lumivex Orrendale\\.\\GAME/x\\..\\patch.rpa";
        if (r.patch == ThroughDrive) drive.emplace(w.scratch.path(), DRIVE_FIXED);
        if (drive) w.record.patchPath = drive->root() + L"Lumivex Orrendale\\game\\patch.rpa";
        support::BoxWatcher boxes;
        startInstall(w.record);
        EXPECT_EQ(w.record.state, r.state) << r.patch;
        ASSERT_TRUE(w.ended());
        w.expectShown(boxes, r.state == Installing ? Complete : r.state, r.icon, TextSlot::patchEmpty);
        w.expectLeft(r.left);
    }
}

// Each end of a copy: the real CopyFileExW for the whole copy, the copy over the old file, the
// game holding patch.rpa open and the folder gone; the stand-in for failures within the copy.
TEST(CopyEnds, ANewPatchOrTheOldOneAndNeverABrokenFile) {
    enum Setup { Nothing, HeldOpen, FolderGone };
    const UINT W = MB_ICONWARNING, E = MB_ICONERROR;
    using T = TextSlot;
    const struct {
        bool beside, standIn; Plan plan; Setup setup;
        InstallerState state; UINT icon; TextSlot lead; DWORD error; Left left;
    } rows[] = {
        {true, false, {}, Nothing, Complete, 0, {}, 0, NewPatch},
        {false, false, {}, Nothing, Complete, 0, {}, 0, NewPatch},
        {true, false, {}, HeldOpen, Failed, W, T::patchInUse, ERROR_SHARING_VIOLATION, OldPatch},
        {true, true, {}, HeldOpen, Failed, W, T::patchInUse, ERROR_SHARING_VIOLATION, OldPatch},  // bar short of 1000
        {true, false, {}, FolderGone, Failed, E, T::copyFailed, ERROR_PATH_NOT_FOUND, NoPatch},
        {true, true, {-1, 0, 10}, Nothing, Failed, E, T::copyFailed, ERROR_WRITE_FAULT, OldPatch},
        {false, true, {-1, 0, 10}, Nothing, Failed, E, T::copyFailed, ERROR_WRITE_FAULT, NoPatch},
        {true, true, {2, ERROR_DISK_FULL}, Nothing, Failed, E, T::copyFailed, ERROR_DISK_FULL, OldPatch},
        {false, true, {2, ERROR_HANDLE_DISK_FULL}, Nothing, Failed, E, T::copyFailed, ERROR_HANDLE_DISK_FULL, NoPatch},
        {true, true, {1, ERROR_LOCK_VIOLATION}, Nothing, Failed, W, T::patchInUse, ERROR_LOCK_VIOLATION, OldPatch},
        {true, true, {1, ERROR_PRIVILEGE_NOT_HELD}, Nothing, Failed, W, T::notWritableRestartAdmin, 0, OldPatch},
        {true, true, {0, ERROR_REQUEST_ABORTED}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        // Cancel before each callback, once together with a failure, and once after the copy is whole.
        {true, true, {-1, 0, 0, 0}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, {-1, 0, 0, 1}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, {-1, 0, 0, 3}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, {-1, 0, 0, 6}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, {2, ERROR_DISK_FULL, 0, 2}, Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, {-1, 0, 0, kAfterEnd}, Nothing, Complete, 0, {}, 0, NewPatch},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        World w(pattern(5 * kChunk + 3, 2), pattern(7 * kChunk, 9));
        std::optional<UseStandIn> use;
        if (r.standIn) use.emplace(r.plan);
        FileHandle held(r.setup == HeldOpen ? CreateFileW(w.target.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0)
                                            : INVALID_HANDLE_VALUE);
        if (r.setup == FolderGone) support::removeTree(w.game);
        support::BoxWatcher boxes(IDNO);
        w.copy(r.beside);
        ASSERT_TRUE(w.ended());
        held.reset();
        w.expectShown(boxes, r.state, r.icon, r.lead, r.error);
        w.expectLeft(r.left);
        EXPECT_EQ(w.record.progressPerMille == 1000, r.state == Complete);
        EXPECT_EQ(taskbar.state, r.state == Failed ? TBPF_ERROR : TBPF_NOPROGRESS);  // the bar, then an error or nothing
        EXPECT_TRUE(std::is_sorted(taskbar.values.begin(), taskbar.values.end()));
        EXPECT_EQ(exists(w.game), r.setup != FolderGone);  // never made by the installer
    }
}

// The window closed during a copy asks first: Yes closes and the copy stops (with no cancel of
// ours), No goes on copying.
TEST(CloseDuringCopy, YesStopsTheCopyNoKeepsIt) {
    for (int answer : {IDYES, IDNO}) {
        World w(pattern(6 * kChunk, 4));
        const HWND hwnd = w.record.hwnd;
        UseStandIn use({-1, 0, 0, -1, [&](int n) { n == 2 ? void(SendMessageW(hwnd, WM_CLOSE, 0, 0)) : void(); }});
        support::BoxWatcher boxes(answer);
        startInstall(w.record);
        ASSERT_TRUE(support::pumpUntil([&] { return !boxes.boxes.empty(); }));
        ASSERT_TRUE(answer == IDNO ? w.ended() : !WaitForSingleObject(w.record.workerThread.get(), 20000));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, textsFor(1)[TextSlot::confirmCancelExit]);
        EXPECT_EQ(boxes.boxes[0].style, UINT(MB_YESNO | MB_ICONWARNING));
        EXPECT_EQ(IsWindow(hwnd) != FALSE, answer == IDNO);
        w.expectLeft(answer == IDNO ? NewPatch : OldPatch);
    }
}

// Replacing patch.rpa is refused (a folder of that name: Windows and Wine both answer 5; Wine as root
// writes any read-only file or folder): Yes to the restart as administrator starts the installer's
// exe from its folder with the language and the game folder and closes this one; No stays Failed.
TEST(AccessDenied, AskedToRestartYesRestartsNoStaysFailed) {
    for (int answer : {IDNO, IDYES}) {
        World w(pattern(200000, 5));
        DeleteFileW(w.target.c_str()), support::makeFolders(w.target);
        const HWND hwnd = w.record.hwnd;
        support::BoxWatcher boxes(answer);
        startInstall(w.record);
        ASSERT_TRUE(w.ended());
        w.expectShown(boxes, Failed, MB_ICONWARNING, TextSlot::notWritableRestartAdmin);
        EXPECT_EQ(w.record.statusMessage,
                  std::wstring(textsFor(1)[TextSlot::copyFailed]) + L": " + systemErrorText(ERROR_ACCESS_DENIED));
        EXPECT_EQ(IsWindow(hwnd) != FALSE, answer == IDNO);
        EXPECT_FALSE(exists(w.target + kPartialSuffix));
        if (answer == IDNO) continue;
        const auto [commandLine, folder] = support::standInRecord(w.record.exePath);
        const CommandLineOptions options = parseCommandLine(commandLine.c_str());
        EXPECT_TRUE(options.languageGiven && options.language == 1) << support::utf8(commandLine);
        EXPECT_TRUE(sameFolder(options.destOverride, w.game)) << support::utf8(commandLine);
        EXPECT_TRUE(sameFolder(folder, w.app)) << support::utf8(folder);
    }
}

// Input made before the copy ended reaches the window after the end (posted messages go first):
// it is ignored. The same input made afterwards starts Lumivex.exe above the game folder, in that
// folder, and closes the installer (Escape only closes it).
TEST(EarlyInput, IgnoredThenTheGameStartsAndTheInstallerCloses) {
    for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE), WPARAM(0)}) {
        World w(pattern(2 * kChunk, 6));
        const HWND hwnd = w.record.hwnd;
        const POINT button = support::pointOf(hwnd, Complete, &MainLayout::primaryButton);
        auto input = [&] { key ? support::pressKey(hwnd, key) : support::clickAt(hwnd, button); };
        UseStandIn use({-1, 0, 0, -1, [&](int n) {  // the input, then a later tick for the copy's end
                            if (n == kAfterEnd) input();
                            for (DWORD t = GetTickCount(); n == kAfterEnd && GetTickCount() - t < 20;) SwitchToThread();
                        }});
        startInstall(w.record);
        ASSERT_EQ(WaitForSingleObject(w.record.workerThread.get(), 20000), WAIT_OBJECT_0);
        MSG msg;
        while (PeekMessageW(&msg, hwnd, WM_APP_COPY_PROGRESS, WM_APP_COPY_DONE, PM_REMOVE)) DispatchMessageW(&msg);
        ASSERT_EQ(w.record.state, Complete);
        support::pumpUntil([&] { return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); });
        EXPECT_TRUE(IsWindow(hwnd)) << key;
        EXPECT_FALSE(exists(w.gameRoot + L"\\Lumivex.exe.record")) << key;
        input();
        EXPECT_TRUE(support::pumpUntil([&] { return !IsWindow(hwnd); })) << key;
        if (key == VK_ESCAPE) continue;
        const std::wstring folder = support::standInRecord(w.gameRoot + L"\\Lumivex.exe").second;
        EXPECT_TRUE(sameFolder(folder, w.gameRoot)) << support::utf8(folder);
    }
}

// A real small drive (a tmpfs that system_tests.sh mounts, as a drive letter): the room rule against
// its free space, and the disk filling up under a copy beside or over the old patch (over: the patch's
// size less the free space).
TEST(SmallDrive, RoomAndDiskFull) {
    const std::wstring disk = support::env(L"LUMIVEX_SMALL_DISK");
    if (disk.empty()) GTEST_SKIP() << "needs the tmpfs of system_tests.sh";
    support::MountedDrive drive(support::fromUnix(disk), DRIVE_FIXED);
    ASSERT_TRUE(drive.ok());
    enum How { Check, CopyBeside, CopyInPlace };
    const std::int64_t M = MiB, E = MB_ICONERROR;
    const struct { How how; std::int64_t over; InstallerState state; UINT icon; TextSlot lead; DWORD error; Left left; }
        rows[] = {
            {Check, -8 * M - 4096, Complete, 0, {}, 0, NewPatch},
            {Check, -8 * M + M / 2, Complete, 0, {}, 0, NewPatch},  // only over the old patch
            {Check, -7 * M + 4096, Failed, E, TextSlot::notEnoughSpace, 0, OldPatch},
            {CopyBeside, M, Failed, E, TextSlot::copyFailed, ERROR_DISK_FULL, OldPatch},
            {CopyInPlace, 2 * M, Failed, E, TextSlot::copyFailed, ERROR_DISK_FULL, NoPatch},
        };
    for (const auto& r : rows) {
        World w("", pattern(MiB, 8), drive.root() + L"lib");
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(drive.root().c_str(), &free, nullptr, nullptr));
        support::writeFile(w.patch, pattern(size_t(std::int64_t(free.QuadPart) + r.over), 10));
        support::BoxWatcher boxes;
        r.how == Check ? startInstall(w.record) : w.copy(r.how == CopyBeside);
        ASSERT_TRUE(w.ended()) << r.how;
        w.expectShown(boxes, r.state, r.icon, r.lead, r.error);
        w.expectLeft(r.left);
    }
}
