// Stands in for the game (as Lumivex.exe) and for the installer's restart: writes the command line
// it got and the folder it was started in to "<its own path>.record" (UTF-8, one per line). In the
// demo world ("<its own path>.demo" exists) it also says so on screen, so a person sees the launch.
#include <windows.h>

#include <string>

#include "support.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[4096] = {}, folder[4096] = {};
    GetModuleFileNameW(nullptr, self, 4096);
    GetCurrentDirectoryW(4096, folder);
    const std::wstring partial = std::wstring(self) + L".partial", record = std::wstring(self) + L".record";
    // Written under another name and moved into place, so a reader never sees half a record.
    if (!support::writeFile(partial, support::utf8(GetCommandLineW()) + "\n" + support::utf8(folder) + "\n") ||
        !MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    if (support::exists(std::wstring(self) + L".demo"))
        MessageBoxW(nullptr, (std::wstring(L"The game would start now, in ") + folder).c_str(),
                    L"Lumivex: Orrendale (demo)", MB_OK | MB_ICONINFORMATION);
    return 0;
}
