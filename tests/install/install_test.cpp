// The installation: its decisions as values (room on the disk, the game's launch, input made before
// the copy's end), then the copy of patch.rpa on a real, hidden installer window.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "app/startup.h"
#include "install/error_text.h"
#include "install/launch.h"
#include "install/preflight.h"
#include "support.h"
#include "ui/main_window.h"
#include "ui/taskbar.h"

using namespace support;

namespace {
bool readOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    return pathEqualsNoCase(normalizePath(a), normalizePath(b));
}

// What the stand-in copy does; none: the system's CopyFileExW and MoveFileExW.
struct Plan {
    int failAt = -1;
    DWORD error = 0;
    int cancelAt = -1;
    size_t shortBy = 0;
};
std::optional<Plan> plan;

Plan failAt(int callback, DWORD error) { return Plan{callback, error}; }
Plan cancelAt(int callback, DWORD error = 0) { return Plan{error ? callback : -1, error, callback}; }
Plan shortBy(size_t bytes) { return Plan{-1, 0, -1, bytes}; }

// Windows refuses to write over a read-only file, even for an administrator; Wine as root does not.
bool refusedAsReadOnly(LPCWSTR path) {
    if (!readOnly(path)) return false;
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

// Wine's CopyFileExW never calls the routine, cannot be cancelled and keeps a written-over file's
// attributes. As on Windows, the routine runs before the first chunk and after each; PROGRESS_CANCEL
// or *cancel end the copy with ERROR_REQUEST_ABORTED; a failed copy deletes its file, a whole one
// takes the source's attributes. 256-byte chunks make more callbacks than per-mille steps.
BOOL WINAPI standInCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID job, LPBOOL cancel,
                        DWORD flags) {
    if (!plan) return CopyFileExW(from, to, routine, job, cancel, flags);
    if (refusedAsReadOnly(to)) return FALSE;
    const std::string bytes = readFile(from);
    FileHandle out(CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return FALSE;
    const size_t total = bytes.size() - std::min(plan->shortBy, bytes.size());
    LARGE_INTEGER size{};
    size.QuadPart = LONGLONG(bytes.size());
    size_t done = 0;
    DWORD error = 0;
    for (int n = 0; !error; ++n) {
        if (n == plan->cancelAt) InterlockedExchange(&static_cast<InstallJob*>(job)->cancelRequested, 1);
        LARGE_INTEGER sent{};
        sent.QuadPart = LONGLONG(done);
        const DWORD reason = n ? CALLBACK_CHUNK_FINISHED : CALLBACK_STREAM_SWITCH;
        if (n == plan->failAt) {
            error = plan->error;
        } else if (*cancel || routine(size, sent, size, sent, 1, reason, nullptr, out.get(), job) == PROGRESS_CANCEL) {
            error = ERROR_REQUEST_ABORTED;
        } else if (done == total) {
            break;
        } else {
            DWORD wrote = 0;
            const DWORD piece = DWORD(std::min(size_t(256), total - done));
            if (!WriteFile(out.get(), bytes.data() + done, piece, &wrote, nullptr)) error = GetLastError();
            done += wrote;
        }
    }
    out.reset();
    if (error) DeleteFileW(to);
    if (!error) SetFileAttributesW(to, GetFileAttributesW(from));
    SetLastError(error);
    return !error;
}

BOOL WINAPI standInMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    return !(plan && refusedAsReadOnly(to)) && MoveFileExW(from, to, flags);
}
const bool standIns = (setFileFunctions(&standInCopy, &standInMove), true);

// Wine's taskbar shows nothing; no fill may go past the button's length.
struct CheckingSink : TaskbarSink {
    void setState(HWND, TBPFLAG) override {}
    void setValue(HWND, ULONGLONG completed, ULONGLONG total) override { EXPECT_LE(completed, total); }
};
std::unique_ptr<TaskbarSink> makeCheckingSink() { return std::make_unique<CheckingSink>(); }
const bool checking = (setTaskbarSinkFactory(&makeCheckingSink), true);

enum How { Install, Beside, InPlace };  // startInstall, or startWorker with that placement
enum Left { OldPatch, NewPatch, NoPatch };

// The state, the one box (icon, lead text, the error's text at its end) or none, the file left.
struct End {
    InstallerState state;
    UINT icon;
    TextSlot lead;
    DWORD error;
    Left left;
};
const End installed{Complete, 0, {}, 0, NewPatch};

End copyFailed(DWORD error, Left left) { return {Failed, MB_ICONERROR, TextSlot::copyFailed, error, left}; }

// A game folder with an older patch.rpa, the installer's folder with the patch, and a hidden
// installer window (language 1) with that game folder selected; both exes are the stand-in.
struct World {
    explicit World(const std::wstring& library = L"")
        : gameRoot((library.empty() ? scratch.path() : library) + L"\\Lumivex Orrendale") {
        writeFile(target, older);
        writeFile(patch, std::string(300000, 'n'));
        record.exePath = app + L"\\LumivexPatchInstaller.exe";
        const std::wstring standIn = buildPath(L"tests\\stand_in.exe");
        CopyFileW(standIn.c_str(), record.exePath.c_str(), FALSE);
        CopyFileW(standIn.c_str(), (gameRoot + L"\\Lumivex.exe").c_str(), FALSE);
        record.hInstance = GetModuleHandleW(nullptr);
        record.language = 1;
        record.appFolder = app;
        record.patchPath = patch;
        record.candidates.push_back(GameCandidate{game});
        registerMainWindowClass(record.hInstance);
        createMainWindow(record, WindowRect{0, 0, 920, 620});
        SendMessageW(record.hwnd, taskbarButtonCreatedMessage(), 0, 0);
    }
    ScratchFolder scratch{L"install"};
    std::wstring gameRoot;
    std::wstring game = gameRoot + L"\\game";
    std::wstring target = game + L"\\patch.rpa";
    std::wstring app = scratch / L"app";
    std::wstring patch = app + L"\\patch.rpa";
    std::string older = std::string(400000, 'o');
    MainWindow record;
    int progressMessages = 0;

    ~World() {
        if (record.hwnd) DestroyWindow(record.hwnd);
        destroyMainWindowRecord(record);
        // The window's end posts WM_QUIT, which would end the next message box at once.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        removeTree(gameRoot);
    }
    void start(How how) {
        if (how == Install) return startInstall(record);
        startWorker(record, target, how == Beside ? CopyPlacement::Beside : CopyPlacement::InPlace);
    }
    // Waits for the worker, then hands the window the copy's messages (Windows: before any input).
    bool ended() {
        const HANDLE worker = record.workerThread.get();
        if (worker && WaitForSingleObject(worker, 30000) != WAIT_OBJECT_0) return false;
        MSG message;
        while (PeekMessageW(&message, record.hwnd, WM_APP_COPY_PROGRESS, WM_APP_COPY_DONE, PM_REMOVE)) {
            if (message.message == WM_APP_COPY_PROGRESS) ++progressMessages;
            DispatchMessageW(&message);
        }
        return record.state != Installing;
    }
    void expectEnd(const BoxWatcher& boxes, const End& end) const {
        EXPECT_EQ(record.state, end.state);
        EXPECT_EQ(record.statusMessage.empty(), end.state != Failed);
        EXPECT_FALSE(exists(target + kPartialSuffix));
        EXPECT_EQ(exists(target), end.left != NoPatch);
        const std::string expected = end.left == OldPatch ? older : readFile(patch);
        EXPECT_TRUE(end.left == NoPatch || readFile(target) == expected);
        ASSERT_EQ(boxes.boxes.size(), end.icon ? 1u : 0u);
        if (!end.icon) return;
        const SeenBox& box = boxes.boxes[0];
        const bool question = end.lead == TextSlot::notWritableRestartAdmin;
        const std::wstring tail = end.error ? systemErrorText(end.error) : L"";
        EXPECT_EQ(box.style, UINT((question ? MB_YESNO : MB_OK) | end.icon));
        EXPECT_EQ(box.text.find(textsFor(1)[end.lead]), 0u) << utf8(box.text);
        EXPECT_EQ(box.text.rfind(tail), box.text.size() - tail.size()) << utf8(box.text);
        EXPECT_TRUE(end.state != Failed || question || record.statusMessage == box.text);
    }
};
}  // namespace

// The patch needs its size plus min(size, 8 MiB); the old patch.rpa counts only for a copy over it.
TEST(Placement, MarginOldFileAndOverflow) {
    const std::uint64_t MiB = 1024 * 1024;
    const std::uint64_t GiB = 1024 * MiB;
    // The free space, the old patch.rpa's size, the patch's size, where the copy goes.
    const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, CopyPlacement> rows[] = {
        {2, 0, 1, CopyPlacement::Beside},
        {1, 0, 1, CopyPlacement::NoRoom},
        {6 * GiB + 8 * MiB, 0, 6 * GiB, CopyPlacement::Beside},
        {6 * GiB + 8 * MiB - 1, 0, 6 * GiB, CopyPlacement::NoRoom},
        {8 * MiB, 100 * MiB, 100 * MiB, CopyPlacement::InPlace},
        {8 * MiB - 1, 100 * MiB, 100 * MiB, CopyPlacement::NoRoom},
        {UINT64_MAX, 1, UINT64_MAX - 1, CopyPlacement::InPlace},
        {UINT64_MAX - 1, 0, UINT64_MAX - 1, CopyPlacement::NoRoom},
    };
    for (const auto& [space, existing, patch, placement] : rows) {
        EXPECT_EQ(choosePlacement(space, existing, patch), placement) << space << " " << existing << " " << patch;
    }
}

TEST(DecideLaunch, SelectionExecutableAndTheShellsAnswer) {
    using Attempt = LaunchAttempt;
    using Step = LaunchStep;
    const std::pair<LaunchFacts, LaunchDecision> rows[] = {
        {{false, true, Attempt::NotYet}, {Step::Nothing}},
        {{true, false, Attempt::NotYet}, {Step::Warn, TextSlot::gameExeNotFound, MB_ICONWARNING}},
        {{true, true, Attempt::NotYet}, {Step::Launch}},
        {{true, true, Attempt::Started}, {Step::CloseInstaller}},
        {{true, true, Attempt::Failed}, {Step::Warn, TextSlot::gameLaunchFailed, MB_ICONERROR}},
    };
    for (const auto& [facts, wanted] : rows) {
        SCOPED_TRACE(testing::Message() << facts.hasSelection << facts.executableFound << int(facts.attempt));
        const LaunchDecision decision = decideLaunch(facts);
        EXPECT_EQ(decision.step, wanted.step);
        EXPECT_EQ(decision.text, wanted.text);
        EXPECT_EQ(decision.icon, wanted.icon);
    }
}

// Early: before the copy's end by less than a minute, across the tick count's wrap.
TEST(MadeBeforeCopyEnded, TimesAroundTheEnd) {
    // When the copy ended, when the input was made, whether it counts as early.
    const std::tuple<DWORD, DWORD, bool> rows[] = {
        {5000, 4999, true},
        {5000, 5000, false},
        {70000, 10001, true},
        {5, 0xFFFFFFF0u, true},
        {0xFFFFFFF0u, 5, false},
    };
    MainWindow window;
    window.state = Complete;
    window.copyEnded = true;
    for (const auto& [endedAt, input, early] : rows) {
        window.copyEndedAt = endedAt;
        EXPECT_EQ(madeBeforeCopyEnded(window, input), early) << endedAt << " " << input;
    }
}

// Every end of a run, on the real file calls where Wine shows the case, else on the stand-ins.
TEST(CopyEnds, ANewPatchOrTheOldOneAndNeverABrokenFile) {
    enum Setup {
        Nothing,
        MissingPatch,   // no patch.rpa beside the installer
        EmptyPatch,
        OtherPath,      // the patch is the game folder's own, under another path and spelling
        HeldLikeFopen,  // the game holds the read-only patch.rpa sharing reading and writing
        BriefHold,      // a scanner holds it, sharing nothing, for half a second
        ReadOnlyOld,
        ReadOnlySource,
        Elevated,       // already administrator
        Restart,        // Yes to the restart
    };
    const std::optional<Plan> real;
    const Plan standIn;
    const DWORD denied = ERROR_ACCESS_DENIED;
    const DWORD locked = ERROR_LOCK_VIOLATION;
    const End lockedInUse{Failed, MB_ICONWARNING, TextSlot::patchInUse, locked, OldPatch};
    const End inUse{Failed, MB_ICONWARNING, TextSlot::patchInUse, ERROR_SHARING_VIOLATION, OldPatch};
    const End cancelled{Cancelled, 0, {}, 0, OldPatch};
    const End askToRestart{Failed, MB_ICONWARNING, TextSlot::notWritableRestartAdmin, 0, OldPatch};
    const struct {
        How how;
        std::optional<Plan> plan;
        Setup setup;
        End end;
    } rows[] = {
        {Install, real, MissingPatch, {Ready, 0, {}, 0, OldPatch}},
        {Install, real, EmptyPatch, {Ready, MB_ICONWARNING, TextSlot::patchEmpty, 0, OldPatch}},
        {Install, real, OtherPath, {Complete, 0, {}, 0, OldPatch}},
        {InPlace, real, Nothing, installed},
        {Install, real, HeldLikeFopen, inUse},
        {Install, real, BriefHold, installed},
        {Install, real, ReadOnlySource, installed},
        {InPlace, standIn, ReadOnlySource, installed},
        {Install, standIn, ReadOnlyOld, installed},
        {InPlace, standIn, ReadOnlyOld, installed},
        {Install, shortBy(10), Nothing, copyFailed(ERROR_WRITE_FAULT, OldPatch)},
        {Install, failAt(2, ERROR_DISK_FULL), Nothing, copyFailed(ERROR_DISK_FULL, OldPatch)},
        {Install, failAt(1, denied), Elevated, copyFailed(denied, OldPatch)},
        {Install, failAt(1, denied), Restart, askToRestart},
        {Install, failAt(1, locked), Nothing, lockedInUse},
        {Install, cancelAt(3), Nothing, cancelled},
        {Install, cancelAt(2, ERROR_DISK_FULL), Nothing, cancelled},
    };
    // Wine runs every process as administrator; the installer must see it so at start-up.
    EXPECT_TRUE(runsElevated());
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        World world;
        plan = row.plan;
        if (row.setup == MissingPatch) DeleteFileW(world.patch.c_str());
        if (row.setup == EmptyPatch) writeFile(world.patch, "");
        if (row.setup == OtherPath) {
            DeleteFileW(world.patch.c_str());
            CreateHardLinkW(world.patch.c_str(), world.target.c_str(), nullptr);
            world.record.patchPath = world.app + L"\\.\\X/..\\PATCH.rpa";
        }
        const bool oldReadOnly = row.setup == ReadOnlyOld || row.setup == HeldLikeFopen;
        if (oldReadOnly) SetFileAttributesW(world.target.c_str(), FILE_ATTRIBUTE_READONLY);
        if (row.setup == ReadOnlySource) SetFileAttributesW(world.patch.c_str(), FILE_ATTRIBUTE_READONLY);
        world.record.elevated = row.setup == Elevated;
        const DWORD sharing = row.setup == HeldLikeFopen ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
        FileHandle holder;
        if (row.setup == HeldLikeFopen || row.setup == BriefHold) {
            holder.reset(CreateFileW(world.target.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr));
        }
        std::thread letGo([&] {
            if (row.setup != BriefHold) return;
            Sleep(500);
            holder.reset();
        });
        BoxWatcher boxes(row.setup == Restart ? IDYES : IDNO);
        world.start(row.how);
        const bool copies = row.setup != OtherPath && row.end.state != Ready;  // else nothing to copy
        EXPECT_EQ(world.record.state == Installing, copies);
        letGo.join();
        ASSERT_TRUE(world.ended());
        holder.reset();
        // Input made before the copy ended counts from the end's message on.
        EXPECT_EQ(world.record.copyEnded, copies);
        world.expectEnd(boxes, row.end);
        EXPECT_EQ(readOnly(world.target), oldReadOnly && row.end.left == OldPatch);
        EXPECT_LE(world.progressMessages, 1001);
        if (row.setup != Restart) continue;
        const auto [commandLine, folder] = standInRecord(world.record.exePath);
        const CommandLineOptions options = parseCommandLine(commandLine.c_str());
        EXPECT_TRUE(options.languageGiven && options.language == 1) << utf8(commandLine);
        EXPECT_TRUE(sameFolder(options.destOverride, world.game)) << utf8(commandLine);
        EXPECT_TRUE(sameFolder(folder, world.app)) << utf8(folder);
    }
}

// A small drive (the harness's S:, a 32 MiB tmpfs): the room rule, a patch.rpa.partial left behind
// giving its room back, and the disk filling up under a copy.
TEST(SmallDrive, RoomAndDiskFull) {
    const std::wstring drive = L"S:\\";
    const std::int64_t MiB = 1024 * 1024;
    ULARGE_INTEGER size{};
    GetDiskFreeSpaceExW(drive.c_str(), nullptr, &size, nullptr);
    if (size.QuadPart > 32 * MiB) GTEST_SKIP() << "S: is no 32 MiB tmpfs: the harness may not mount here";
    // How the copy starts, a patch.rpa.partial left behind, the patch's size less the free space.
    const std::tuple<How, std::int64_t, std::int64_t, End> rows[] = {
        {Install, 0, -8 * MiB + MiB / 4, installed},  // only over the old patch
        {Install, 0, -MiB, {Failed, MB_ICONERROR, TextSlot::notEnoughSpace, 0, OldPatch}},
        {Install, 4 * MiB, -4 * MiB - 4096, installed},
        {Beside, 0, MiB, copyFailed(ERROR_DISK_FULL, OldPatch)},
        {InPlace, 0, 2 * MiB, copyFailed(ERROR_DISK_FULL, NoPatch)},
    };
    for (const auto& [how, stale, over, end] : rows) {
        SCOPED_TRACE(over);
        World world(drive + L"lib");
        plan.reset();
        writeFile(world.target + kPartialSuffix, std::string(size_t(stale), 's'));
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(drive.c_str(), &free, nullptr, nullptr));
        writeFile(world.patch, std::string(size_t(std::int64_t(free.QuadPart) + over), 'n'));
        BoxWatcher boxes;
        world.start(how);
        ASSERT_TRUE(world.ended());
        world.expectEnd(boxes, end);
    }
}
