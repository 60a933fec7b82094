#include "install/error_text.h"

#include <cwchar>

#include "detect/paths.h"

std::wstring systemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) text = trimSpaces(std::wstring(buffer, length));
    // A message made only of blanks would leave the code without words in front of it.
    if (text.empty()) text = L"Unknown error";
    if (buffer != nullptr) LocalFree(buffer);
    wchar_t suffix[32] = {};
    swprintf(suffix, 32, L" (0x%08lX)", static_cast<unsigned long>(code));
    return text + suffix;
}
