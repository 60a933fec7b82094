// The copy of patch.rpa on a worker thread, its progress and its outcome.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/texts.h"

struct MainWindow;
enum InstallerState : std::int32_t;

constexpr UINT WM_APP_COPY_PROGRESS = WM_APP + 10;  // wParam: per-mille 0..1000
constexpr UINT WM_APP_COPY_DONE = WM_APP + 11;

struct InstallJob {
    HWND window = nullptr;
    std::wstring sourcePath;
    std::wstring destPath;
    // The copy goes first into destPath + ".partial" beside patch.rpa, which it then replaces;
    // false for a copy straight over patch.rpa.
    bool beside = false;
    volatile LONG cancelRequested = 0;
    volatile LONG lastPerMille = -1;
    DWORD errorCode = 0;
    BYTE succeeded = 0;
    BYTE cancelled = 0;
};

// The file calls the worker makes: CopyFileExW and MoveFileExW in the product. Tests install
// stand-ins that follow the documented Windows contract where Wine's calls do not (progress,
// cancel, read-only destinations).
using CopyFileFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPPROGRESS_ROUTINE, LPVOID, LPBOOL, DWORD);
using MoveFileFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
void setFileFunctions(CopyFileFunction copy, MoveFileFunction move);  // nullptr restores the system's

// Replacing patch.rpa failed with `error`: ERROR_ACCESS_DENIED also comes back when another program
// holds the file open (a running game, whatever sharing it asked for), and only a second look tells
// that apart from a file or folder the user may not write; heldOpen is that look's answer. Returns
// the error to report.
DWORD replacementError(DWORD error, bool heldOpen);
// Whether a failed replacement may be a program holding the file for a moment (a virus scanner, an
// indexer, a backup tool), worth trying again shortly.
bool mayBeBriefHold(DWORD error);

DWORD WINAPI copyWorker(LPVOID job);
DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                            LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred, DWORD streamNumber,
                            DWORD callbackReason, HANDLE sourceFile, HANDLE destinationFile, LPVOID data);
void requestCancel(MainWindow& window);
void stopWorker(MainWindow& window);

// What the worker left in its job.
struct CopyResult {
    bool succeeded = false;
    bool cancelled = false;
    DWORD error = 0;
};

enum class CopyOffer { Nothing, WarningBox, ErrorBox, Elevation };

// The end of a copy: the new state, the status text (set only for Failed), and what to offer.
struct CopyEnd {
    InstallerState state;
    std::wstring statusMessage;
    CopyOffer offer = CopyOffer::Nothing;
};

// errorText: the system's text for result.error (systemErrorText), used only when the copy failed.
// elevated: the installer already runs as administrator, so restarting it as one cannot help.
CopyEnd decideCopyEnd(const CopyResult& result, const LocalizedText& texts, const std::wstring& errorText,
                      bool elevated);
// WM_APP_COPY_DONE: joins the worker, frees the job and applies decideCopyEnd.
void handleCopyDone(MainWindow& window);
