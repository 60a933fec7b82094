/* A stand-in for a DLL that an attacker drops beside the installer. When any process loads it,
 * it leaves "<its own path>.loaded" next to itself and does nothing else. It exports whatever the
 * real DLL of the same name exports (the build script lists those names in a .def file, each
 * bound to planted_stub), so a program that imports from it finds every name and the loader gets
 * as far as running DllMain. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t trace[MAX_PATH + 16];
        DWORD length = GetModuleFileNameW(self, trace, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyW(trace + length, L".loaded");
            HANDLE file = CreateFileW(trace, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}

/* Every export lands here; E_FAIL for functions returning a status. */
__declspec(dllexport) long planted_stub(void) { return (long)0x80004005L; }
