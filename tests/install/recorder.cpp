// A stand-in program for the game and for the installer's restart: it writes the command line it
// was given and the folder it was started in to "<its own path>.record" (UTF-8, one per line).
#include <windows.h>

#include <string>

namespace {
std::string utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[4096] = {};
    GetModuleFileNameW(nullptr, self, 4096);
    wchar_t folder[4096] = {};
    GetCurrentDirectoryW(4096, folder);
    std::string record = utf8(GetCommandLineW()) + "\n" + utf8(folder) + "\n";
    // Written under another name and moved into place, so a reader never sees half a record.
    std::wstring partial = std::wstring(self) + L".partial";
    std::wstring finished = std::wstring(self) + L".record";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), finished.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
