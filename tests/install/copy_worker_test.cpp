// The copy of patch.rpa on a real, hidden installer window: the pre-flight checks, every way a
// copy ends, cancel, closing during a copy, the restart as administrator and the game's launch.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <thread>

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
constexpr size_t kChunk = 64 * 1024;
constexpr size_t MiB = 1024 * 1024;
constexpr int kAfterEnd = 1000;  // the stand-in's moment once the whole copy is written
constexpr DWORD kCopyTimeoutMs = 30000;

std::string pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed) % 251);
    return bytes;
}

bool readOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void setReadOnly(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
}

// What the stand-in copy does: fail at a callback with an error, leave bytes out of a copy that
// claims success, cancel before a callback, write in chunks of a size, run something on the
// worker before each callback.
struct Plan {
    int failAt = -1;
    DWORD error = 0;
    size_t shortBy = 0;
    int cancelAt = -1;
    size_t chunk = kChunk;
    std::function<void(int)> atCallback;
};
Plan plan;

Plan failAt(int callback, DWORD error) { return Plan{callback, error, 0, -1, kChunk, {}}; }
Plan shortBy(size_t bytes) { return Plan{-1, 0, bytes, -1, kChunk, {}}; }
Plan cancelAt(int callback, DWORD error = 0) { return Plan{error ? callback : -1, error, 0, callback, kChunk, {}}; }
Plan chunksOf(size_t bytes) { return Plan{-1, 0, 0, -1, bytes, {}}; }
Plan runAt(std::function<void(int)> action) { return Plan{-1, 0, 0, -1, kChunk, std::move(action)}; }

void cancelJob(LPVOID job) {
    InterlockedExchange(&static_cast<InstallJob*>(job)->cancelRequested, 1);
}

// Wine 8's CopyFileExW never calls the progress routine, cannot be cancelled, writes over a
// read-only file and keeps the attributes of a file it writes over. The stand-in keeps Windows'
// contract: a read-only destination is refused with ERROR_ACCESS_DENIED; the routine runs before
// the first chunk and after each; PROGRESS_CANCEL or *cancel end the copy with
// ERROR_REQUEST_ABORTED; a failed copy deletes its destination; a whole one takes the source's
// attributes.
BOOL WINAPI standInCopy(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE routine, LPVOID job, LPBOOL cancel,
                        DWORD) {
    if (readOnly(to)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::string bytes = readFile(from);
    FileHandle out(CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return FALSE;
    const size_t total = bytes.size() - std::min(plan.shortBy, bytes.size());
    LARGE_INTEGER size{};
    size.QuadPart = LONGLONG(bytes.size());
    size_t done = 0;
    DWORD error = 0;
    for (int n = 0; !error; ++n) {
        if (plan.atCallback) plan.atCallback(n);
        if (n == plan.cancelAt) cancelJob(job);
        LARGE_INTEGER moved{};
        moved.QuadPart = LONGLONG(done);
        const DWORD reason = n ? CALLBACK_CHUNK_FINISHED : CALLBACK_STREAM_SWITCH;
        if (n == plan.failAt) {
            error = plan.error;
        } else if (*cancel) {
            error = ERROR_REQUEST_ABORTED;
        } else if (routine(size, moved, size, moved, 1, reason, nullptr, out.get(), job) == PROGRESS_CANCEL) {
            error = ERROR_REQUEST_ABORTED;
        } else if (done == total) {
            break;
        } else {
            DWORD wrote = 0;
            const DWORD piece = DWORD(std::min(plan.chunk, total - done));
            if (!WriteFile(out.get(), bytes.data() + done, piece, &wrote, nullptr)) error = GetLastError();
            done += wrote;
        }
    }
    out.reset();
    if (error) DeleteFileW(to);
    if (!error) SetFileAttributesW(to, GetFileAttributesW(from));
    if (!error && plan.atCallback) plan.atCallback(kAfterEnd);
    if (!error && plan.cancelAt == kAfterEnd) cancelJob(job);
    SetLastError(error);
    return !error;
}

// Windows refuses to replace a read-only file, even for an administrator; Wine as root replaces it.
BOOL WINAPI standInMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (readOnly(to)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExW(from, to, flags);
}

struct UseStandIn {
    explicit UseStandIn(Plan with) {
        plan = std::move(with);
        setFileFunctions(&standInCopy, &standInMove);
    }
    ~UseStandIn() {
        setFileFunctions(nullptr, nullptr);
        plan = Plan{};
    }
};

// What the taskbar button was last set to, and how full it was each time (per-mille of its
// length). Wine's taskbar shows none.
struct TaskbarRecord {
    TBPFLAG state = TBPF_NOPROGRESS;
    std::vector<ULONGLONG> fills;
};
TaskbarRecord taskbar;

struct RecordingSink : TaskbarSink {
    void setState(HWND, TBPFLAG state) override { taskbar.state = state; }
    void setValue(HWND, ULONGLONG completed, ULONGLONG total) override {
        taskbar.fills.push_back(total ? completed * 1000 / total : 0);
    }
};
std::unique_ptr<TaskbarSink> makeRecordingSink() { return std::make_unique<RecordingSink>(); }
const bool recording = (setTaskbarSinkFactory(&makeRecordingSink), true);

enum Left { OldPatch, NewPatch, NoPatch };

// A game folder (in `library`, else the scratch folder) with an older patch.rpa and Lumivex.exe
// above it; the installer's folder with its exe and the patch (both exes the stand-in); a hidden
// installer window (language 1) with that game folder selected.
struct World {
    support::ScratchFolder scratch{L"install"};
    std::wstring gameRoot;
    std::wstring game;
    std::wstring target;
    std::wstring app = scratch / L"app";
    std::wstring patch = app + L"\\patch.rpa";
    std::string older;
    MainWindow record;
    int progressMessages = 0;

    World(const std::string& patchBytes, const std::string& olderBytes = "older patch",
          const std::wstring& library = L"") {
        gameRoot = (library.empty() ? scratch.path() : library) + L"\\Lumivex Orrendale";
        game = gameRoot + L"\\game";
        target = game + L"\\patch.rpa";
        older = olderBytes;
        support::writeFile(game + L"\\archive.rpa", "RPA-3.0");
        support::writeFile(target, older);
        support::writeFile(patch, patchBytes);
        record.exePath = app + L"\\LumivexPatchInstaller.exe";
        const std::wstring standIn = support::buildPath(L"tests\\stand_in.exe");
        CopyFileW(standIn.c_str(), record.exePath.c_str(), FALSE);
        CopyFileW(standIn.c_str(), (gameRoot + L"\\Lumivex.exe").c_str(), FALSE);
        record.hInstance = GetModuleHandleW(nullptr);
        record.language = 1;
        record.appFolder = app;
        record.patchPath = patch;
        record.candidates.push_back(GameCandidate{game});
        registerMainWindowClass(record.hInstance);
        createMainWindow(record, WindowRect{0, 0, 920, 620});
        taskbar = TaskbarRecord{};
        SendMessageW(record.hwnd, taskbarButtonCreatedMessage(), 0, 0);
    }
    ~World() {
        if (record.hwnd) DestroyWindow(record.hwnd);
        destroyMainWindowRecord(record);
        // The window's end posts WM_QUIT, which would end the next message box at once.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        support::removeTree(gameRoot);
    }
    // The copy startInstall starts, with the placement chosen here.
    void copy(bool beside) {
        startWorker(record, target, beside ? CopyPlacement::Beside : CopyPlacement::InPlace);
    }
    // Pumps the window's messages until the copy has ended, counting the progress messages.
    bool ended() {
        const ULONGLONG deadline = GetTickCount64() + kCopyTimeoutMs;
        while (record.state == Installing) {
            if (GetTickCount64() > deadline) return false;
            MSG message;
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
                continue;
            }
            if (message.message == WM_APP_COPY_PROGRESS) ++progressMessages;
            DispatchMessageW(&message);
        }
        return true;
    }
    void expectLeft(Left left) const {
        EXPECT_FALSE(exists(target + kPartialSuffix));
        EXPECT_EQ(exists(target), left != NoPatch);
        const std::string expected = left == OldPatch ? older : readFile(patch);
        EXPECT_TRUE(left == NoPatch || readFile(target) == expected);
    }
    // The state, and the one box (icon, lead text, the error's text at its end) or none.
    void expectShown(const support::BoxWatcher& boxes, InstallerState state, UINT icon = 0,
                     TextSlot lead = TextSlot::windowTitle, DWORD error = 0) const {
        EXPECT_EQ(record.state, state);
        EXPECT_EQ(record.statusMessage.empty(), state != Failed);
        ASSERT_EQ(boxes.boxes.size(), icon ? 1u : 0u);
        if (!icon) return;
        const support::SeenBox& box = boxes.boxes[0];
        const bool question = lead == TextSlot::notWritableRestartAdmin;
        const std::wstring head = textsFor(1)[lead];
        const std::wstring tail = error ? systemErrorText(error) : L"";
        EXPECT_EQ(box.caption, textsFor(1)[TextSlot::windowTitle]);
        EXPECT_EQ(box.style, UINT((question ? MB_YESNO : MB_OK) | icon));
        EXPECT_EQ(box.text.substr(0, head.size()), head);
        const size_t tailStart = box.text.size() - std::min(box.text.size(), tail.size());
        EXPECT_EQ(box.text.substr(tailStart), tail) << support::utf8(box.text);
        EXPECT_TRUE(state != Failed || question || record.statusMessage == box.text);
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
    const struct {
        Patch patch;
        std::string bytes;
        InstallerState state;
        UINT icon;
        Left left;
    } rows[] = {
        {Missing, "x", Ready, 0, OldPatch},
        {Beside, "", Ready, MB_ICONWARNING, OldPatch},
        {Beside, "older patch", Installing, 0, NewPatch},  // the same bytes in another file
        {OtherSpelling, "x", Complete, 0, OldPatch},
        {ThroughDrive, "x", Complete, 0, OldPatch},
    };
    for (const auto& row : rows) {
        World world(row.bytes);
        std::optional<support::MountedDrive> drive;
        if (row.patch == Missing) DeleteFileW(world.patch.c_str());
        if (row.patch == OtherSpelling) {
            world.record.patchPath = world.scratch / L"Lumivex Orrendale\\.\\GAME/x\\..\\patch.rpa";
        }
        if (row.patch == ThroughDrive) {
            drive.emplace(world.scratch.path(), DRIVE_FIXED);
            world.record.patchPath = drive->root() + L"Lumivex Orrendale\\game\\patch.rpa";
        }
        support::BoxWatcher boxes;
        startInstall(world.record);
        EXPECT_EQ(world.record.state, row.state) << row.patch;
        ASSERT_TRUE(world.ended());
        const InstallerState end = row.state == Installing ? Complete : row.state;
        world.expectShown(boxes, end, row.icon, TextSlot::patchEmpty);
        world.expectLeft(row.left);
    }
}

// Each end of a copy: the real CopyFileExW for the whole copy, the copy over the old file, other
// programs holding patch.rpa (the game, for the whole copy or with fopen's sharing; a scanner for
// half a second), read-only files and the folder gone; the stand-in for what Wine cannot show.
TEST(CopyEnds, ANewPatchOrTheOldOneAndNeverABrokenFile) {
    enum Setup {
        Nothing,
        Held,
        HeldLikeFopen,
        BriefHold,
        ReadOnlyOld,
        ReadOnlyHeld,
        ReadOnlySource,
        FolderGone,
    };
    const UINT warn = MB_ICONWARNING;
    const UINT error = MB_ICONERROR;
    const TextSlot inUse = TextSlot::patchInUse;
    const TextSlot failed = TextSlot::copyFailed;
    const TextSlot ask = TextSlot::notWritableRestartAdmin;
    const DWORD sharing = ERROR_SHARING_VIOLATION;
    const DWORD diskFull = ERROR_DISK_FULL;
    const DWORD handleFull = ERROR_HANDLE_DISK_FULL;
    const DWORD locked = ERROR_LOCK_VIOLATION;
    const struct {
        bool beside;
        bool standIn;
        Plan plan;
        Setup setup;
        InstallerState state;
        UINT icon;
        TextSlot lead;
        DWORD error;
        Left left;
    } rows[] = {
        {true, false, {}, Nothing, Complete, 0, {}, 0, NewPatch},
        {false, false, {}, Nothing, Complete, 0, {}, 0, NewPatch},
        {true, false, {}, Held, Failed, warn, inUse, sharing, OldPatch},
        {true, false, {}, HeldLikeFopen, Failed, warn, inUse, sharing, OldPatch},
        {true, false, {}, BriefHold, Complete, 0, {}, 0, NewPatch},
        {true, false, {}, ReadOnlySource, Complete, 0, {}, 0, NewPatch},
        {false, true, {}, ReadOnlySource, Complete, 0, {}, 0, NewPatch},
        {true, true, {}, ReadOnlyOld, Complete, 0, {}, 0, NewPatch},
        {false, true, {}, ReadOnlyOld, Complete, 0, {}, 0, NewPatch},
        {true, true, {}, ReadOnlyHeld, Failed, warn, inUse, sharing, OldPatch},
        {true, false, {}, FolderGone, Failed, error, failed, ERROR_PATH_NOT_FOUND, NoPatch},
        {true, true, shortBy(10), Nothing, Failed, error, failed, ERROR_WRITE_FAULT, OldPatch},
        {false, true, shortBy(10), Nothing, Failed, error, failed, ERROR_WRITE_FAULT, NoPatch},
        {true, true, failAt(2, diskFull), Nothing, Failed, error, failed, diskFull, OldPatch},
        {false, true, failAt(2, handleFull), Nothing, Failed, error, failed, handleFull, NoPatch},
        {true, true, failAt(1, locked), Nothing, Failed, warn, inUse, locked, OldPatch},
        {true, true, failAt(1, ERROR_PRIVILEGE_NOT_HELD), Nothing, Failed, warn, ask, 0, OldPatch},
        {true, true, failAt(0, ERROR_REQUEST_ABORTED), Nothing, Cancelled, 0, {}, 0, OldPatch},
        // Many small chunks: far more callbacks than per-mille steps.
        {true, true, chunksOf(256), Nothing, Complete, 0, {}, 0, NewPatch},
        // Cancel before the first callback, in the middle, at the last one, together with a
        // failure, and after the copy is whole.
        {true, true, cancelAt(0), Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, cancelAt(3), Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, cancelAt(6), Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, cancelAt(2, diskFull), Nothing, Cancelled, 0, {}, 0, OldPatch},
        {true, true, cancelAt(kAfterEnd), Nothing, Complete, 0, {}, 0, NewPatch},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        World world(pattern(5 * kChunk + 3, 2), pattern(7 * kChunk, 9));
        std::optional<UseStandIn> standIn;
        if (row.standIn) standIn.emplace(row.plan);
        const bool oldReadOnly = row.setup == ReadOnlyOld || row.setup == ReadOnlyHeld;
        if (oldReadOnly) setReadOnly(world.target);
        if (row.setup == ReadOnlySource) setReadOnly(world.patch);
        if (row.setup == FolderGone) support::removeTree(world.game);
        // The game opens its archive sharing nothing or, like fopen, sharing reading and writing.
        const DWORD holderSharing = row.setup == HeldLikeFopen ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
        const bool held = row.setup == Held || row.setup == HeldLikeFopen || row.setup == BriefHold ||
                          row.setup == ReadOnlyHeld;
        FileHandle holder;
        if (held) {
            const std::wstring& file = world.target;
            holder.reset(CreateFileW(file.c_str(), GENERIC_READ, holderSharing, nullptr, OPEN_EXISTING, 0, nullptr));
        }
        std::thread letGo;
        if (row.setup == BriefHold) {
            letGo = std::thread([&holder] {
                Sleep(500);
                holder.reset();
            });
        }
        support::BoxWatcher boxes(IDNO);
        world.copy(row.beside);
        ASSERT_TRUE(world.ended());
        if (letGo.joinable()) letGo.join();
        holder.reset();
        world.expectShown(boxes, row.state, row.icon, row.lead, row.error);
        world.expectLeft(row.left);
        EXPECT_EQ(readOnly(world.target), oldReadOnly && row.left == OldPatch);
        EXPECT_EQ(world.record.progressPerMille == 1000, row.state == Complete);
        EXPECT_LE(world.progressMessages, 1001);
        // The taskbar button shows the bar, then an error or nothing.
        EXPECT_EQ(taskbar.state, row.state == Failed ? TBPF_ERROR : TBPF_NOPROGRESS);
        EXPECT_TRUE(std::is_sorted(taskbar.fills.begin(), taskbar.fills.end()));
        EXPECT_LE(taskbar.fills.empty() ? 0 : taskbar.fills.back(), 1000u);
        EXPECT_EQ(exists(world.game), row.setup != FolderGone);  // never made by the installer
    }
}

// Replacing patch.rpa is refused (a folder of that name: Windows and Wine both answer 5). Yes to the
// restart as administrator starts the installer's exe from its folder with the language and the
// game folder and closes this one; No stays Failed. An installer already running as administrator
// says why instead of asking again.
TEST(AccessDenied, AskedToRestartUnlessAlreadyAdministrator) {
    const struct {
        bool elevated;
        int answer;
    } rows[] = {{false, IDNO}, {false, IDYES}, {true, IDYES}};
    for (const auto& row : rows) {
        World world(pattern(200000, 5));
        world.record.elevated = row.elevated;
        DeleteFileW(world.target.c_str());
        support::makeFolders(world.target);
        const HWND hwnd = world.record.hwnd;
        support::BoxWatcher boxes(row.answer);
        startInstall(world.record);
        ASSERT_TRUE(world.ended());
        if (row.elevated) {
            world.expectShown(boxes, Failed, MB_ICONERROR, TextSlot::copyFailed, ERROR_ACCESS_DENIED);
        } else {
            world.expectShown(boxes, Failed, MB_ICONWARNING, TextSlot::notWritableRestartAdmin);
        }
        const std::wstring failure = textsFor(1)[TextSlot::copyFailed];
        EXPECT_EQ(world.record.statusMessage, failure + L": " + systemErrorText(ERROR_ACCESS_DENIED));
        const bool restarted = !row.elevated && row.answer == IDYES;
        EXPECT_EQ(IsWindow(hwnd) != FALSE, !restarted);
        EXPECT_FALSE(exists(world.target + kPartialSuffix));
        if (!restarted) continue;
        const auto [commandLine, folder] = support::standInRecord(world.record.exePath);
        const CommandLineOptions options = parseCommandLine(commandLine.c_str());
        EXPECT_TRUE(options.languageGiven && options.language == 1) << support::utf8(commandLine);
        EXPECT_TRUE(sameFolder(options.destOverride, world.game)) << support::utf8(commandLine);
        EXPECT_TRUE(sameFolder(folder, world.app)) << support::utf8(folder);
    }
}

// Input made before the copy ended reaches the window after the end (posted messages go first):
// it is ignored. The same input made afterwards starts Lumivex.exe above the game folder, in that
// folder, and closes the installer (Escape only closes it).
TEST(EarlyInput, IgnoredThenTheGameStartsAndTheInstallerCloses) {
    for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE), WPARAM(0)}) {
        World world(pattern(2 * kChunk, 6));
        const HWND hwnd = world.record.hwnd;
        const POINT button = support::pointOf(hwnd, Complete, &MainLayout::primaryButton);
        auto input = [&] {
            if (key) {
                support::pressKey(hwnd, key);
            } else {
                support::clickAt(hwnd, button);
            }
        };
        // The input, then a later tick for the copy's end.
        UseStandIn standIn(runAt([&](int n) {
            if (n != kAfterEnd) return;
            input();
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 20) SwitchToThread();
        }));
        startInstall(world.record);
        ASSERT_EQ(WaitForSingleObject(world.record.workerThread.get(), kCopyTimeoutMs), WAIT_OBJECT_0);
        MSG message;
        while (PeekMessageW(&message, hwnd, WM_APP_COPY_PROGRESS, WM_APP_COPY_DONE, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        ASSERT_EQ(world.record.state, Complete);
        support::pumpUntil([&] { return !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); });
        EXPECT_TRUE(IsWindow(hwnd)) << key;
        EXPECT_FALSE(exists(world.gameRoot + L"\\Lumivex.exe.record")) << key;
        input();
        EXPECT_TRUE(support::pumpUntil([&] { return !IsWindow(hwnd); })) << key;
        if (key == VK_ESCAPE) continue;
        const std::wstring folder = support::standInRecord(world.gameRoot + L"\\Lumivex.exe").second;
        EXPECT_TRUE(sameFolder(folder, world.gameRoot)) << support::utf8(folder);
    }
}

// A real small drive (a tmpfs that system_tests.sh mounts, as a drive letter): the room rule
// against its free space (a temporary file an ended run left behind gives its room back), and the
// disk filling up under a copy beside or over the old patch (over: the patch's size less the free
// space).
TEST(SmallDrive, RoomAndDiskFull) {
    const std::wstring disk = support::env(L"LUMIVEX_SMALL_DISK");
    if (disk.empty()) GTEST_SKIP() << "needs the tmpfs of system_tests.sh";
    support::MountedDrive drive(support::fromUnix(disk), DRIVE_FIXED);
    ASSERT_TRUE(drive.ok());
    enum How { Check, CopyBeside, CopyInPlace };
    const std::int64_t M = MiB;
    const struct {
        How how;
        std::int64_t stale;  // the size of a patch.rpa.partial left behind
        std::int64_t over;
        InstallerState state;
        UINT icon;
        TextSlot lead;
        DWORD error;
        Left left;
    } rows[] = {
        {Check, 0, -8 * M - 4096, Complete, 0, {}, 0, NewPatch},
        {Check, 0, -8 * M + M / 2, Complete, 0, {}, 0, NewPatch},  // only over the old patch
        {Check, 0, -7 * M + 4096, Failed, MB_ICONERROR, TextSlot::notEnoughSpace, 0, OldPatch},
        {Check, 4 * M, -4 * M - 4096, Complete, 0, {}, 0, NewPatch},
        {CopyBeside, 0, M, Failed, MB_ICONERROR, TextSlot::copyFailed, ERROR_DISK_FULL, OldPatch},
        {CopyInPlace, 0, 2 * M, Failed, MB_ICONERROR, TextSlot::copyFailed, ERROR_DISK_FULL, NoPatch},
    };
    for (const auto& row : rows) {
        World world("", pattern(MiB, 8), drive.root() + L"lib");
        support::writeFile(world.target + kPartialSuffix, pattern(size_t(row.stale), 11));
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(drive.root().c_str(), &free, nullptr, nullptr));
        const std::int64_t patchSize = std::int64_t(free.QuadPart) + row.over;
        support::writeFile(world.patch, pattern(size_t(patchSize), 10));
        support::BoxWatcher boxes;
        if (row.how == Check) {
            startInstall(world.record);
        } else {
            world.copy(row.how == CopyBeside);
        }
        ASSERT_TRUE(world.ended()) << row.how;
        world.expectShown(boxes, row.state, row.icon, row.lead, row.error);
        world.expectLeft(row.left);
    }
}
