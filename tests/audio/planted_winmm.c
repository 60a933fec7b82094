/* A stand-in "winmm.dll" as an attacker would plant it next to a downloaded installer: when any
   of its code runs it leaves a marker file beside itself. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        while (length > 0 && path[length - 1] != L'\\') --length;
        lstrcpyW(path + length, L"planted-winmm-ran.txt");
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}

__declspec(dllexport) int plantedMarker(void) { return 1; }
