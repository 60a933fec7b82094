#include "install_fixture.h"

#include "install/copy_worker.h"

namespace install_testing {

namespace {
constexpr const wchar_t* kTestClass = L"LumivexInstallTestWindow";

void registerClassOnce() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kTestClass;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassExW(&wc);
    done = true;
}
}  // namespace

TestWindow::TestWindow() {
    registerClassOnce();
    record.hInstance = GetModuleHandleW(nullptr);
    record.language = 2;
    HWND hwnd = CreateWindowExW(0, kTestClass, L"install test", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr,
                                record.hInstance, nullptr);
    record.hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TestWindow::proc));
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
}

TestWindow::~TestWindow() {
    stopWorker(record);
    if (!destroyed && record.hwnd) DestroyWindow(record.hwnd);
    // Drop what the worker may still have posted to the dead window.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_APP_COPY_PROGRESS, WM_APP_COPY_DONE, PM_REMOVE)) {
    }
}

LRESULT CALLBACK TestWindow::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_APP_COPY_PROGRESS:
        self->record.progressPerMille = static_cast<std::int32_t>(wParam);
        self->progress.push_back(static_cast<int>(wParam));
        invalidate(self->record);
        return 0;
    case WM_APP_COPY_DONE:
        ++self->doneMessages;
        handleCopyDone(self->record);
        return 0;
    case WM_CLOSE:
        ++self->closeMessages;
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        self->destroyed = true;
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TestWindow::validate() { ValidateRect(record.hwnd, nullptr); }

bool TestWindow::redrawRequested() const { return GetUpdateRect(record.hwnd, nullptr, FALSE) != 0; }

bool TestWindow::waitForCopyEnd(DWORD timeoutMs) {
    return testing_support::pumpUntil([this] { return record.copyJob == nullptr && !record.workerThread; },
                                      timeoutMs);
}

GameLayout makeLayout(const std::wstring& root) {
    GameLayout layout;
    layout.appFolder = root + L"\\app";
    layout.patchPath = layout.appFolder + L"\\patch.rpa";
    layout.gameRoot = root + L"\\Lumivex Orrendale";
    layout.gameFolder = layout.gameRoot + L"\\game";
    layout.destination = layout.gameFolder + L"\\patch.rpa";
    testing_support::makeFolders(layout.appFolder);
    testing_support::writeFile(layout.gameFolder + L"\\archive.rpa", "RPA-3.0 original");
    return layout;
}

void useLayout(MainWindow& record, const GameLayout& layout, const std::wstring& candidateFolder) {
    record.appFolder = layout.appFolder;
    record.exePath = layout.appFolder + L"\\LumivexPatchInstaller.exe";
    record.patchPath = layout.patchPath;
    record.candidates.clear();
    GameCandidate candidate;
    candidate.folder = candidateFolder.empty() ? layout.gameFolder : candidateFolder;
    record.candidates.push_back(candidate);
    record.selectedIndex = 0;
}

std::uint64_t freeBytes(const std::wstring& folder) {
    ULARGE_INTEGER available{};
    GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr);
    return available.QuadPart;
}

std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned value = seed * 2654435761u + 1u;
    for (size_t i = 0; i < size; ++i) {
        value = value * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(value >> 16);
    }
    return bytes;
}

std::vector<std::wstring> listFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::wstring testProgramFolder() {
    wchar_t self[4096] = {};
    GetModuleFileNameW(nullptr, self, 4096);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring recorderPath() { return testProgramFolder() + L"\\install_recorder.exe"; }

bool readRecord(const std::wstring& exe, std::wstring& commandLine, std::wstring& folder, DWORD timeoutMs) {
    std::wstring recordPath = exe + L".record";
    if (!testing_support::pumpUntil([&] { return GetFileAttributesW(recordPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                    timeoutMs))
        return false;
    std::string bytes = testing_support::readFile(recordPath);
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    size_t first = text.find(L'\n');
    if (first == std::wstring::npos) return false;
    size_t second = text.find(L'\n', first + 1);
    commandLine = text.substr(0, first);
    folder = text.substr(first + 1, second == std::wstring::npos ? std::wstring::npos : second - first - 1);
    return true;
}

std::wstring englishText(TextSlot slot) { return textsFor(2)[slot]; }

namespace {
StandInCopy* activeCopy = nullptr;

// Calls the progress routine the way Windows does; false when the copy must end.
bool report(StandInCopy& copy, LPPROGRESS_ROUTINE routine, LPVOID data, LONGLONG total, LONGLONG done, DWORD reason,
            HANDLE source, HANDLE destination, const wchar_t* destinationPath, bool& ended, BOOL& result) {
    int index = copy.callbacks.load();
    if (index == copy.pauseAt) {
        SetEvent(copy.paused);
        WaitForSingleObject(copy.resume, 20000);
    }
    if (index == copy.failAt) {
        CloseHandle(source);
        CloseHandle(destination);
        SetLastError(copy.failError);
        ended = true;
        result = FALSE;
        return false;
    }
    ++copy.callbacks;
    if (!routine) return true;
    LARGE_INTEGER totalSize, transferred;
    totalSize.QuadPart = total;
    transferred.QuadPart = done;
    DWORD answer = routine(totalSize, transferred, totalSize, transferred, 1, reason, source, destination, data);
    if (answer == PROGRESS_CANCEL || answer == PROGRESS_STOP) {
        if (copy.sleepAfterCancelMs) Sleep(copy.sleepAfterCancelMs);
        CloseHandle(source);
        CloseHandle(destination);
        if (answer == PROGRESS_CANCEL) DeleteFileW(destinationPath);
        SetLastError(ERROR_REQUEST_ABORTED);
        ended = true;
        result = FALSE;
        return false;
    }
    return true;
}

BOOL WINAPI standInCopyFile(LPCWSTR sourcePath, LPCWSTR destinationPath, LPPROGRESS_ROUTINE routine, LPVOID data,
                            LPBOOL cancel, DWORD) {
    StandInCopy& copy = *activeCopy;
    struct MarkReturned {
        StandInCopy& copy;
        ~MarkReturned() { copy.returned = true; }
    } mark{copy};
    if (copy.failAtStart) {
        SetLastError(copy.failAtStart);
        return FALSE;
    }
    HANDLE source = CreateFileW(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (source == INVALID_HANDLE_VALUE) return FALSE;
    LARGE_INTEGER size{};
    GetFileSizeEx(source, &size);
    HANDLE destination = CreateFileW(destinationPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (destination == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(source);
        SetLastError(error);
        return FALSE;
    }
    bool ended = false;
    BOOL result = TRUE;
    if (!report(copy, routine, data, size.QuadPart, 0, CALLBACK_STREAM_SWITCH, source, destination, destinationPath, ended,
                result))
        return result;
    std::vector<char> buffer(StandInCopy::kChunk);
    LONGLONG done = 0;
    while (done < size.QuadPart) {
        if (cancel && *cancel) {
            CloseHandle(source);
            CloseHandle(destination);
            DeleteFileW(destinationPath);
            SetLastError(ERROR_REQUEST_ABORTED);
            return FALSE;
        }
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), StandInCopy::kChunk, &got, nullptr) || got == 0) break;
        DWORD keep = got;
        if (copy.shortDestination && done + got >= size.QuadPart) keep = got - 1;
        DWORD written = 0;
        WriteFile(destination, buffer.data(), keep, &written, nullptr);
        done += got;
        if (copy.sleepPerChunkMs) Sleep(copy.sleepPerChunkMs);
        if (!report(copy, routine, data, size.QuadPart, done, CALLBACK_CHUNK_FINISHED, source, destination,
                    destinationPath, ended, result))
            return result;
    }
    CloseHandle(source);
    CloseHandle(destination);
    return TRUE;
}
}  // namespace

StandInCopy::StandInCopy() {
    paused = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    resume = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

StandInCopy::~StandInCopy() {
    CloseHandle(paused);
    CloseHandle(resume);
}

UseStandIn::UseStandIn(StandInCopy& copy) {
    activeCopy = &copy;
    setCopyFileFunction(&standInCopyFile);
}

UseStandIn::~UseStandIn() {
    setCopyFileFunction(nullptr);
    activeCopy = nullptr;
}

}  // namespace install_testing
