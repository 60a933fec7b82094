#include "app/system_dll.h"

FARPROC systemProcedure(const wchar_t* dll, const char* name) {
    // Loaded from the system folder only, like every DLL the installer uses, and kept for the run
    // (the module stays loaded once its first function was taken).
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

HRESULT setDwmWindowAttribute(HWND hwnd, DWORD attribute, const void* value, DWORD size) {
    using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const auto set = systemFunction<SetAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
    return set ? set(hwnd, attribute, value, size) : E_NOTIMPL;
}
