// monkey_probe: the monkey script's eyes on the Wine desktop. It stays running and answers one
// command per input line, so a look costs a pipe round trip instead of a Wine start.
//   windows    one line per visible top-level window, then ".":
//              hwnd \t class \t client x,y,w,h on screen \t caption \t message-box text
//   ping <ms>  "ok <n>" when every visible top-level window answered WM_NULL within <ms>,
//              "hung <class>" for the first that did not, "none" when there is no window
//   quit
#include <windows.h>

#include <string>
#include <vector>

namespace {

void writeLine(const std::wstring& text) {
    std::wstring line = text + L"\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool readLine(std::string& line) {
    line.clear();
    char c = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') return true;
        if (c != '\r') line += c;
    }
    return !line.empty();
}

std::wstring textOf(HWND hwnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) out += (*p == L'\t' || *p == L'\n' || *p == L'\r') ? L' ' : *p;
    return out;
}

std::vector<HWND> visibleWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND hwnd, LPARAM list) -> BOOL {
            if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring classOf(HWND hwnd) {
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    return name;
}

void listWindows() {
    for (HWND hwnd : visibleWindows()) {
        RECT client{};
        GetClientRect(hwnd, &client);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        wchar_t geometry[64];
        wsprintfW(geometry, L"%ld,%ld,%ld,%ld", origin.x, origin.y, client.right, client.bottom);
        HWND text = GetDlgItem(hwnd, 0xFFFF);
        writeLine(std::to_wstring(reinterpret_cast<UINT_PTR>(hwnd)) + L"\t" + classOf(hwnd) + L"\t" + geometry + L"\t" +
                  textOf(hwnd) + L"\t" + (text ? textOf(text) : L""));
    }
    writeLine(L".");
}

void ping(UINT timeoutMs) {
    std::vector<HWND> windows = visibleWindows();
    int answered = 0;
    for (HWND hwnd : windows) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result)) {
            ++answered;
        } else if (IsWindow(hwnd)) {  // a window that went away meanwhile is no hang
            writeLine(L"hung " + classOf(hwnd));
            return;
        }
    }
    writeLine(windows.empty() ? L"none" : L"ok " + std::to_wstring(answered));
}

}  // namespace

int wmain() {
    std::string line;
    while (readLine(line)) {
        if (line == "windows") listWindows();
        else if (line.rfind("ping ", 0) == 0) ping(static_cast<UINT>(atoi(line.c_str() + 5)));
        else if (line == "quit") break;
        else writeLine(L"?");
    }
    return 0;
}
