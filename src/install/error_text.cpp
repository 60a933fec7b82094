#include "install/error_text.h"

#include <cwchar>

#include "app/handles.h"
#include "detect/paths.h"

std::wstring systemErrorText(DWORD code) {
    LocalMemory<wchar_t*> buffer;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
        reinterpret_cast<LPWSTR>(buffer.out()), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer) text = trimSpaces(std::wstring(buffer.get(), length));
    // A message made only of blanks would leave the code without words in front of it.
    if (text.empty()) text = L"Unknown error";
    wchar_t suffix[32] = {};
    swprintf(suffix, 32, L" (0x%08lX)", static_cast<unsigned long>(code));
    return text + suffix;
}
