// Copies a patch through the real copy worker and, on the same disk in the same run, with a plain
// CopyFileExW (each twice, best run counts); prints both throughputs, their ratio and how many progress messages were posted.
// Usage: copy_bench [size in MiB, default 1024] [folder, default the system temp folder]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "install/copy_worker.h"

namespace {
bool writePatch(const std::wstring& path, unsigned long long size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<char> block(4 << 20);
    unsigned value = 12345;
    for (char& c : block) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    bool ok = true;
    for (unsigned long long done = 0; done < size && ok;) {
        DWORD chunk = static_cast<DWORD>(size - done < block.size() ? size - done : block.size());
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        done += chunk;
    }
    CloseHandle(file);
    return ok;
}

double seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND makeMessageWindow() { return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }

// Runs the worker on its own thread and counts the messages it posts until its end message.
bool workerCopy(HWND window, const std::wstring& source, const std::wstring& destination, int& progressMessages,
                bool& succeeded) {
    InstallJob job;
    job.window = window;
    job.sourcePath = source;
    job.destPath = destination;
    HANDLE thread = CreateThread(nullptr, 0, &copyWorker, &job, 0, nullptr);
    if (!thread) return false;
    progressMessages = 0;
    MSG msg;
    for (;;) {
        if (GetMessageW(&msg, window, 0, 0) <= 0) break;
        if (msg.message == WM_APP_COPY_PROGRESS) ++progressMessages;
        if (msg.message == WM_APP_COPY_DONE) break;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    succeeded = job.succeeded != 0;
    return true;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    unsigned long long sizeMiB = argc > 1 ? wcstoull(argv[1], nullptr, 10) : 1024;
    if (sizeMiB == 0) sizeMiB = 1024;
    std::wstring folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = temp;
    }
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    folder += L"lumivex-copy-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring source = folder + L"\\patch.rpa";
    std::wstring workerTarget = folder + L"\\worker.rpa";
    std::wstring plainTarget = folder + L"\\plain.rpa";
    const unsigned long long size = sizeMiB * 1024ull * 1024ull;
    int status = 0;
    if (!writePatch(source, size)) {
        std::printf("could not write the %llu MiB patch\n", sizeMiB);
        status = 1;
    } else {
        HWND window = makeMessageWindow();
        // Plain, worker, worker, plain: each kind once early and once late, so the disk's write-back
        // of the previous copy weighs on both alike; the faster run of each kind counts.
        int progressMessages = 0;
        bool succeeded = true, ran = true;
        BOOL plain = TRUE;
        double workerSeconds = 1e30, plainSeconds = 1e30;
        for (int round = 0; round < 4; ++round) {
            bool plainRound = round == 0 || round == 3;
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            if (plainRound) {
                plain = plain && CopyFileExW(source.c_str(), plainTarget.c_str(), nullptr, nullptr, nullptr, 0);
            } else {
                bool ok = false;
                ran = ran && workerCopy(window, source, workerTarget, progressMessages, ok);
                succeeded = succeeded && ok;
            }
            QueryPerformanceCounter(&end);
            double took = seconds(start, end);
            double& best = plainRound ? plainSeconds : workerSeconds;
            if (took < best) best = took;
            DeleteFileW(plainRound ? plainTarget.c_str() : workerTarget.c_str());
        }
        double mib = static_cast<double>(sizeMiB);
        std::printf("size_mib=%llu\n", sizeMiB);
        std::printf("worker_ok=%d worker_seconds=%.3f worker_mib_per_s=%.1f\n", ran && succeeded ? 1 : 0, workerSeconds,
                    mib / workerSeconds);
        std::printf("plain_ok=%d plain_seconds=%.3f plain_mib_per_s=%.1f\n", plain ? 1 : 0, plainSeconds,
                    mib / plainSeconds);
        std::printf("worker_to_plain_throughput_ratio=%.3f\n", plainSeconds / workerSeconds);
        std::printf("progress_messages=%d\n", progressMessages);
        if (!ran || !succeeded || !plain) status = 1;
        if (window) DestroyWindow(window);
    }
    DeleteFileW(workerTarget.c_str());
    DeleteFileW(plainTarget.c_str());
    DeleteFileW(source.c_str());
    RemoveDirectoryW(folder.c_str());
    return status;
}
