#include "install/copy_worker.h"

#include <atomic>
#include <cstdint>

#include "detect/paths.h"
#include "install/error_text.h"
#include "install/preflight.h"
#include "ui/main_window.h"

namespace {
std::atomic<CopyFileFunction> copyFileFunction{&CopyFileExW};
std::atomic<MoveFileFunction> moveFileFunction{&MoveFileExW};

// A replacement refused while another program holds a file is tried again for about two seconds
// before the refusal counts: scanners, indexers and backup tools let go within moments.
constexpr int kReplaceTries = 5;
constexpr DWORD kReplacePauseMs = 500;
constexpr DWORD kCancelPollMs = 50;

// What a file looked like before the copy, to tell afterwards whether the copy wrote to it.
struct FileState {
    bool exists = false;
    std::uint64_t size = 0;
    std::uint64_t written = 0;
};

FileState fileState(const std::wstring& longPath) {
    FileState state;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(longPath.c_str(), GetFileExInfoStandard, &data)) return state;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return state;
    state.exists = true;
    state.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    state.written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime;
    return state;
}

// Drops a file's read-only flag; returns the attributes it had (INVALID_FILE_ATTRIBUTES when
// there is no such file). CopyFileExW passes the source's flag on, so a patch extracted from
// read-only media would otherwise install read-only and block the next update.
DWORD dropReadOnly(const std::wstring& longPath) {
    const DWORD attributes = GetFileAttributesW(longPath.c_str());
    const bool readOnlyFile = attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (readOnlyFile) SetFileAttributesW(longPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return attributes;
}

// Installing the patch means replacing the old patch.rpa, and its read-only flag (set by an archive
// tool, a backup program or by hand) refuses that to an administrator too, so no restart could
// help. The flag is lifted while the old file is replaced and put back unless it was, so a failure
// leaves the old file exactly as it was.
class ReadOnlyLifted {
public:
    explicit ReadOnlyLifted(const std::wstring& longPath) : path_(longPath), attributes_(dropReadOnly(longPath)) {}
    ~ReadOnlyLifted() {
        const bool lifted = attributes_ != INVALID_FILE_ATTRIBUTES && (attributes_ & FILE_ATTRIBUTE_READONLY);
        if (lifted && !replaced_) SetFileAttributesW(path_.c_str(), attributes_);
    }
    ReadOnlyLifted(const ReadOnlyLifted&) = delete;
    ReadOnlyLifted& operator=(const ReadOnlyLifted&) = delete;
    void replaced() { replaced_ = true; }

private:
    std::wstring path_;
    DWORD attributes_;
    bool replaced_ = false;
};

void removeFile(const std::wstring& longPath) {
    SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only source passes its flag on
    DeleteFileW(longPath.c_str());
}

// A copy that ended badly may leave a half-written patch.rpa behind (Windows removes it on most
// failures, Wine never does); the game would then load a broken archive. The file is removed
// only when the copy wrote to it: one that is still as it was before (the copy failed before
// opening it, e.g. because the game holds it open) is left alone.
void removeBrokenCopy(const std::wstring& destination, const FileState& before, bool copyClaimedSuccess) {
    FileState after = fileState(destination);
    if (!after.exists) return;
    bool touched = copyClaimedSuccess || !before.exists || after.size != before.size ||
                   after.written != before.written;
    if (touched) removeFile(destination);
}

void joinWorker(MainWindow& window) {
    if (!window.workerThread) return;
    WaitForSingleObject(window.workerThread.get(), INFINITE);
    window.workerThread.reset();
}
}  // namespace

void setFileFunctions(CopyFileFunction copy, MoveFileFunction move) {
    copyFileFunction = copy ? copy : &CopyFileExW;
    moveFileFunction = move ? move : &MoveFileExW;
}

DWORD replacementError(DWORD error, bool heldOpen) {
    return error == ERROR_ACCESS_DENIED && heldOpen ? ERROR_SHARING_VIOLATION : error;
}

bool mayBeBriefHold(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

namespace {
// Whether another program has the file open. Opening it for reading with no sharing at all fails
// with ERROR_SHARING_VIOLATION while any other handle reads or writes it, whatever sharing that
// holder allowed; a game that opened its archive like fopen does shares reading and writing, yet
// its handle still keeps the file from being replaced.
bool heldOpenByAnother(const std::wstring& longPath) {
    FileHandle probe(
        CreateFileW(longPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

bool cancelRequested(InstallJob& job) { return InterlockedCompareExchange(&job.cancelRequested, 0, 0) != 0; }

// Waits a while; false, at once, when the player cancels meanwhile.
bool pauseUnlessCancelled(InstallJob& job, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += kCancelPollMs) {
        if (cancelRequested(job)) return false;
        Sleep(kCancelPollMs);
    }
    return !cancelRequested(job);
}

void recordFailure(InstallJob& job, DWORD error) {
    job.errorCode = error;
    // Whatever ends a copy after the player asked to cancel counts as the cancellation.
    job.cancelled = error == ERROR_REQUEST_ABORTED || cancelRequested(job);
}

// A rename within one volume moves no data: the new patch's bytes are forced to the disk before
// it takes the old one's place, or a power cut soon after could leave neither.
DWORD flushToDisk(const std::wstring& longPath) {
    FileHandle file(CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    if (!FlushFileBuffers(file.get())) return GetLastError();
    return ERROR_SUCCESS;
}

// The finished temporary file takes patch.rpa's place; ERROR_SUCCESS or the error that refused it.
DWORD replaceOnce(const std::wstring& temp, const std::wstring& destination) {
    const DWORD flushError = flushToDisk(temp);
    if (flushError != ERROR_SUCCESS) return flushError;
    ReadOnlyLifted old(destination);
    const MoveFileFunction move = moveFileFunction.load();
    if (!move(temp.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return GetLastError();
    old.replaced();
    return ERROR_SUCCESS;
}

// Replaces patch.rpa, trying again for a moment while something holds either file.
DWORD replaceDestination(InstallJob& job, const std::wstring& temp, const std::wstring& destination) {
    DWORD error = replaceOnce(temp, destination);
    for (int tries = 1; tries < kReplaceTries && mayBeBriefHold(error); ++tries) {
        if (!pauseUnlessCancelled(job, kReplacePauseMs)) break;
        error = replaceOnce(temp, destination);
    }
    if (error != ERROR_ACCESS_DENIED) return error;
    return replacementError(error, heldOpenByAnother(destination) || heldOpenByAnother(temp));
}

// The copy into a temporary file beside patch.rpa, which then takes its place in one step. On
// every other ending the temporary file goes and patch.rpa stays byte for byte as it was.
void copyBeside(InstallJob& job, const std::wstring& source, const std::wstring& destination, const std::wstring& temp,
                CopyFileFunction copy) {
    BOOL cancel = FALSE;  // Cancellation goes through the progress routine, never through this flag.
    if (!copy(source.c_str(), temp.c_str(), &copyProgress, &job, &cancel, 0)) {
        recordFailure(job, GetLastError());
    } else if (fileSize(source) != fileSize(temp)) {
        job.errorCode = ERROR_WRITE_FAULT;  // claimed success, but the size says otherwise
    } else {
        dropReadOnly(temp);
        const DWORD error = replaceDestination(job, temp, destination);
        if (error == ERROR_SUCCESS) {
            job.succeeded = 1;
            return;
        }
        recordFailure(job, error);
    }
    removeFile(temp);
}

// The copy straight over patch.rpa, for a disk without room for both files.
void copyInPlace(InstallJob& job, const std::wstring& source, const std::wstring& destination, CopyFileFunction copy) {
    BOOL cancel = FALSE;
    const FileState before = fileState(destination);
    ReadOnlyLifted old(destination);
    if (copy(source.c_str(), destination.c_str(), &copyProgress, &job, &cancel, 0)) {
        old.replaced();
        // A copy that claims success but leaves another size behind is a broken write.
        if (fileSize(source) == fileSize(destination)) {
            dropReadOnly(destination);
            job.succeeded = 1;
        } else {
            job.errorCode = ERROR_WRITE_FAULT;
            removeBrokenCopy(destination, before, true);
        }
    } else {
        recordFailure(job, GetLastError());
        removeBrokenCopy(destination, before, false);
    }
}
}  // namespace

DWORD WINAPI copyWorker(LPVOID parameter) {
    auto* job = static_cast<InstallJob*>(parameter);
    HWND target = job->window;
    {
        const std::wstring source = queryForm(job->sourcePath);
        const std::wstring destination = queryForm(job->destPath);
        const std::wstring temp = queryForm(job->destPath + kPartialSuffix);
        // An installer that was ended while copying leaves its temporary file behind.
        removeStalePartial(job->destPath);
        CopyFileFunction copy = copyFileFunction.load();
        if (job->beside)
            copyBeside(*job, source, destination, temp, copy);
        else
            copyInPlace(*job, source, destination, copy);
    }
    // The job belongs to the window thread from here on: it is not touched after this post.
    PostMessageW(target, WM_APP_COPY_DONE, 0, 0);
    return 0;
}

DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER,
                            LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    auto* job = static_cast<InstallJob*>(data);
    if (cancelRequested(*job)) return PROGRESS_CANCEL;
    LONG perMille = 0;
    if (totalFileSize.QuadPart >= 1) {
        std::uint64_t scaled = static_cast<std::uint64_t>(totalBytesTransferred.QuadPart) * 1000u;
        std::uint64_t quotient = scaled / static_cast<std::uint64_t>(totalFileSize.QuadPart);
        perMille = static_cast<LONG>(static_cast<std::uint32_t>(quotient));
        if (perMille < 0) perMille = 0;
        if (perMille > 1000) perMille = 1000;
    }
    // A copy beside patch.rpa is not in place until it has replaced it: the bar stops short of
    // its end until then.
    if (job->beside && perMille > 999) perMille = 999;
    // Posting only changes keeps a copy of any size to at most 1001 messages.
    if (InterlockedExchange(&job->lastPerMille, perMille) != perMille)
        PostMessageW(job->window, WM_APP_COPY_PROGRESS, static_cast<WPARAM>(perMille), 0);
    return PROGRESS_CONTINUE;
}

void requestCancel(MainWindow& window) {
    if (window.copyJob) InterlockedExchange(&window.copyJob->cancelRequested, 1);
}

void stopWorker(MainWindow& window) {
    requestCancel(window);
    joinWorker(window);
    window.copyJob.reset();
}

CopyEnd decideCopyEnd(const CopyResult& result, const LocalizedText& texts, const std::wstring& errorText,
                      bool elevated) {
    if (result.succeeded) return {Complete, std::wstring(), CopyOffer::Nothing};
    if (result.cancelled) return {Cancelled, std::wstring(), CopyOffer::Nothing};
    const DWORD error = result.error;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return {Failed, std::wstring(texts[TextSlot::patchInUse]) + L" " + errorText, CopyOffer::WarningBox};
    const std::wstring status = std::wstring(texts[TextSlot::copyFailed]) + L": " + errorText;
    // An installer that already runs as administrator says why instead of offering itself again.
    const bool lacksRights = error == ERROR_ACCESS_DENIED || error == ERROR_PRIVILEGE_NOT_HELD;
    if (lacksRights && !elevated) return {Failed, status, CopyOffer::Elevation};
    return {Failed, status, CopyOffer::ErrorBox};
}

void handleCopyDone(MainWindow& window) {
    if (!window.copyJob) return;
    // Joining first makes the worker's results visible and guarantees it is done with the job.
    joinWorker(window);
    const CopyResult result{window.copyJob->succeeded != 0, window.copyJob->cancelled != 0, window.copyJob->errorCode};
    window.copyJob.reset();

    const bool failed = !result.succeeded && !result.cancelled;
    const CopyEnd end =
        decideCopyEnd(result, textsFor(window.language), failed ? systemErrorText(result.error) : std::wstring(),
                      window.elevated);
    window.state = end.state;
    if (end.state == Complete) {
        window.progressPerMille = 1000;
        window.targetHasPatch = true;
    } else {
        // The hint line must not go on promising a patch that the failed copy took away.
        refreshTargetFlags(window);
    }
    if (end.state == Failed) window.statusMessage = end.statusMessage;
    switch (end.offer) {
    case CopyOffer::WarningBox:
        showMessage(window, window.statusMessage, MB_ICONWARNING);
        break;
    case CopyOffer::ErrorBox:
        showMessage(window, window.statusMessage, MB_ICONERROR);
        break;
    case CopyOffer::Elevation:
        restartElevated(window);
        break;
    case CopyOffer::Nothing:
        break;
    }
    invalidate(window);
}
