// Functions the installer can do without, taken from the system folder at run time. A missing DLL
// or function gives nullptr and the caller skips that step: the light title bar, the DPI
// awareness calls. The DLLs it cannot do without are delay-loaded instead (cmake/delay_load.cmake);
// if one of them is missing, the failure hook in main.cpp ends the run with exit code 1.
#pragma once
#include <windows.h>

FARPROC systemProcedure(const wchar_t* dll, const char* name);

template <typename Function>
Function systemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(systemProcedure(dll, name)));
}

// DwmSetWindowAttribute, or E_NOTIMPL where dwmapi.dll or the function is missing.
HRESULT setDwmWindowAttribute(HWND hwnd, DWORD attribute, const void* value, DWORD size);
