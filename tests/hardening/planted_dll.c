/* A planted DLL: loaded, it leaves "<its path>.loaded". With -DCONTROL, an unguarded program that
 * loads the DLLs named on its command line and returns how many it loaded. */
#include <windows.h>

#ifdef CONTROL
int wmain(int argc, wchar_t** argv) {
    int loaded = 0;
    for (int index = 1; index < argc; ++index) {
        if (LoadLibraryW(argv[index]) != NULL) ++loaded;
    }
    return loaded;
}
#else
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    wchar_t trace[MAX_PATH + 8] = {0};
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    if (GetModuleFileNameW(self, trace, MAX_PATH) >= MAX_PATH) return TRUE;
    lstrcatW(trace, L".loaded");
    CloseHandle(CreateFileW(trace, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    return TRUE;
}
#endif
