// The release's start check: the exe's main window appears and it closes with 0 when asked.
// Usage: start_check.exe <exe>
#include <cstdio>

#include "support.h"

using namespace support;

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const ScratchFolder folder(L"start-check");
    const Installer installer(folder.path(), L"--lang en", argv[1]);
    const HWND main = installer.window(kMainWindowClass, 60000);
    if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    const DWORD code = installer.exitCode();
    std::printf("window %s, exit code %lu (259: still running)\n", main ? "shown" : "missing", code);
    return main && code == 0 ? 0 : 1;
}
