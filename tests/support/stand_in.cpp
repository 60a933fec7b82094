// Stands in for the game and the restart: writes its command line and working folder to
// "<its own path>.record" (UTF-16, a line each); with "<its own path>.demo" it says so on screen.
#include <windows.h>

#include <string>

#include "support.h"

using namespace support;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[4096] = {};
    wchar_t folder[4096] = {};
    GetModuleFileNameW(nullptr, self, 4096);
    GetCurrentDirectoryW(4096, folder);
    const std::wstring partial = std::wstring(self) + L".partial";
    const std::wstring record = std::wstring(self) + L".record";
    // Moved into place, so a reader never sees half a record.
    const std::wstring lines = std::wstring(GetCommandLineW()) + L"\n" + folder + L"\n";
    const std::string bytes(reinterpret_cast<const char*>(lines.data()), lines.size() * sizeof(wchar_t));
    if (!writeFile(partial, bytes)) return 1;
    if (!MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
    if (exists(std::wstring(self) + L".demo")) {
        const std::wstring text = std::wstring(L"The game would start now, in ") + folder;
        MessageBoxW(nullptr, text.c_str(), L"Lumivex: Orrendale (demo)", MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}
