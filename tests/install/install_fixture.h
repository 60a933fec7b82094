// What the installation tests share: a small window that plays the main window's part for the
// copy messages, a game folder layout in a scratch folder, the recorder program, and a copy
// function that behaves like Windows' CopyFileExW (progress routine, cancellation), which
// Wine's own copy does not.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "ui/main_window.h"

namespace install_testing {

// A window holding a MainWindow record. Its procedure hands WM_APP_COPY_DONE to handleCopyDone,
// stores WM_APP_COPY_PROGRESS values and closes on WM_CLOSE.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    MainWindow record;
    std::vector<int> progress;  // every progress value received, in order
    int doneMessages = 0;
    int closeMessages = 0;
    bool destroyed = false;
    HWND hwnd() const { return record.hwnd; }
    // Clears the update region so a later invalidation can be seen.
    void validate();
    bool redrawRequested() const;
    // Pumps messages until the worker's end was handled (job gone) or the time is up.
    bool waitForCopyEnd(DWORD timeoutMs = 60000);

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// <root>\app\patch.rpa and <root>\Lumivex Orrendale\game (with an original archive).
struct GameLayout {
    std::wstring appFolder, patchPath, gameRoot, gameFolder, destination;
};
GameLayout makeLayout(const std::wstring& root);
// Fills the record with the layout: paths, one candidate (or the given folder text), English.
void useLayout(MainWindow& record, const GameLayout& layout, const std::wstring& candidateFolder = L"");

constexpr std::uint64_t MiB = 1024 * 1024;
std::uint64_t freeBytes(const std::wstring& folder);  // on the folder's volume, for this user
std::string patternBytes(size_t size, unsigned seed);
std::vector<std::wstring> listFolder(const std::wstring& folder);
std::wstring testProgramFolder();
std::wstring recorderPath();
// Waits (bounded) for the recorder's "<exe>.record" and returns its two lines.
bool readRecord(const std::wstring& exe, std::wstring& commandLine, std::wstring& folder, DWORD timeoutMs = 20000);
std::wstring englishText(TextSlot slot);

// The Windows behaviour of CopyFileExW, step by step, with hooks for the tests.
struct StandInCopy {
    static constexpr DWORD kChunk = 65536;
    // Before callback number pauseAt (0 = the first, at the start of the copy) the copy signals
    // `paused` and waits for `resume`.
    int pauseAt = -1;
    // Instead of callback number failAt the copy fails with failError (keeping the partial file).
    int failAt = -1;
    DWORD failError = 0;
    // Fails at once with this error without touching anything.
    DWORD failAtStart = 0;
    // Reports success but leaves a destination one byte short.
    bool shortDestination = false;
    DWORD sleepPerChunkMs = 0;
    DWORD sleepAfterCancelMs = 0;
    HANDLE paused = nullptr;
    HANDLE resume = nullptr;
    std::atomic<int> callbacks{0};
    std::atomic<bool> returned{false};
    StandInCopy();
    ~StandInCopy();
};
// Installs the stand-in (as the worker's copy function) for its lifetime.
class UseStandIn {
public:
    explicit UseStandIn(StandInCopy& copy);
    ~UseStandIn();
};

}  // namespace install_testing
