#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything else: DLLs are looked up in the system folder only, never beside the
    // installer, which usually sits in a download folder the player does not control.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return runInstaller(instance, showCommand);
}
