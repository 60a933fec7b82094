#include <windows.h>
#include <delayimp.h>

#include "app/startup.h"

namespace {
// The system DLLs the installer cannot run without are delay-loaded (cmake/delay_load.cmake), so a
// missing one, or a missing function in one, shows up at its first call. Left alone, that call
// raises an exception and the installer dies with a crash report. It ends as a start-up failure
// instead: exit code 1, no message (without user32 or GDI+ none could be shown anyway). The
// optional ones (dwmapi for the title bar, the DPI calls, winmm for the music, oleacc for screen
// readers) are looked up by hand and never come here.
FARPROC WINAPI delayLoadFailed(unsigned, PDelayLoadInfo) { ExitProcess(1); }
}  // namespace

PfnDliHook __pfnDliFailureHook2 = delayLoadFailed;  // declared extern "C" by delayimp.h

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything else: DLLs are looked up in the system folder only, never beside the
    // installer, which usually sits in a download folder the player does not control.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return runInstaller(instance, showCommand);
}
