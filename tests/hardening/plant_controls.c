/* Two unprotected programs that show the planted DLLs really are picked up when nothing guards
 * against them, so a missing trace in the installer's run means protection, not a broken trap.
 *
 *   plant_controls load    bare LoadLibraryW of the five names, default search order
 *   plant_controls import  nothing at run time: the import table names gdiplus.dll and
 *                          dwmapi.dll, which the loader resolves before main
 * Exit code: the number of DLLs that the load mode loaded from the program's own folder (load),
 * 0 (import). */
#include <windows.h>
#include <dwmapi.h>
#include <wchar.h>

typedef int GpStatus;
__declspec(dllimport) GpStatus WINAPI GdiplusStartup(ULONG_PTR*, const void*, void*);

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && wcscmp(argv[1], L"load") == 0) {
        static const wchar_t* const names[] = {L"winmm.dll", L"gdiplus.dll", L"dwmapi.dll", L"uxtheme.dll",
                                               L"version.dll"};
        int planted = 0;
        for (int i = 0; i < 5; ++i) {
            HMODULE module = LoadLibraryW(names[i]);
            if (module == NULL) continue;
            wchar_t path[MAX_PATH];
            GetModuleFileNameW(module, path, MAX_PATH);
            if (wcsstr(path, L"system32") == NULL && wcsstr(path, L"System32") == NULL) ++planted;
        }
        return planted;
    }
    /* Never true at run time; keeps both imports in the table. */
    if (argc > 100) {
        ULONG_PTR token = 0;
        GdiplusStartup(&token, NULL, NULL);
        DwmSetWindowAttribute(NULL, 20, NULL, 0);
    }
    return 0;
}
