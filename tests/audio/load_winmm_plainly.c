/* Control for the planting test: the plain LoadLibraryW("winmm.dll") the installer must not use.
   Run beside the planted DLL, it shows that the test's setting really lets a planted DLL in. */
#include <windows.h>

int wmain(void) { return LoadLibraryW(L"winmm.dll") != NULL ? 0 : 1; }
