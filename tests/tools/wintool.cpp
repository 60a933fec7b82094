// wintool: lets the Linux-side journey scripts see what a person sees on the Wine desktop.
// Console program; every answer is one UTF-8 line per item on stdout, exit code 0 on success,
// 1 when the awaited thing did not show up in time, 2 on bad usage.
//
//   wintool list [class] [title-part]        visible top-level windows
//   wintool wait <class> <ms> [title-part]   waits for a visible window, prints it
//   wintool gone <class> <ms> [title-part]   waits until no such visible window is left
//   wintool box <ms>                         waits for a message box, prints caption, text, icon, buttons
//   wintool press <ms> <button-id>           clicks a message box button (BM_CLICK), for clean-up only
//   wintool close <class> [title-part]       sends WM_CLOSE to every matching window
//   wintool hold <path> <ms>                 opens a file without sharing and keeps it open
//   wintool object <class>                   asks for the client's accessible object: answered|default
//
// Window lines: hwnd \t pid \t class \t window x,y,w,h \t client x,y,w,h (screen) \t title
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void writeUtf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                            nullptr, nullptr);
    bytes += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

// Line feeds, tabs and backslashes escaped so each item stays on one line.
std::wstring escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else if (c == L'\t') out += L"\\t";
        else if (c == L'\\') out += L"\\\\";
        else out += c;
    }
    return out;
}

// InternalGetWindowText reads the stored title without sending a message, so a busy or hung
// window of the observed process can never stall this tool (GetWindowTextLengthW would).
std::wstring windowText(HWND hwnd) {
    std::wstring text(8192, L'\0');
    int got = InternalGetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

LRESULT sendBounded(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result)) return 0;
    return static_cast<LRESULT>(result);
}

std::wstring className(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring rectText(const RECT& r) {
    wchar_t buffer[96];
    swprintf(buffer, 96, L"%ld,%ld,%ld,%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return buffer;
}

RECT clientOnScreen(HWND hwnd) {
    RECT client = {};
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

std::wstring describe(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    RECT outer = {};
    GetWindowRect(hwnd, &outer);
    wchar_t head[64];
    swprintf(head, 64, L"0x%llx\t%lu\t", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
             pid);
    return head + className(hwnd) + L"\t" + rectText(outer) + L"\t" + rectText(clientOnScreen(hwnd)) + L"\t" +
           escaped(windowText(hwnd));
}

struct Filter {
    std::wstring cls;
    std::wstring titlePart;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto* filter = reinterpret_cast<Filter*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (!filter->cls.empty() && className(hwnd) != filter->cls) return TRUE;
    if (!filter->titlePart.empty() && windowText(hwnd).find(filter->titlePart) == std::wstring::npos) return TRUE;
    filter->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> findWindows(const std::wstring& cls, const std::wstring& titlePart) {
    Filter filter{cls, titlePart, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&filter));
    return filter.found;
}

// Every wait is bounded; polling keeps this tool free of hooks into the observed process.
template <typename Predicate>
bool waitFor(DWORD timeoutMs, Predicate ready) {
    DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
}

const wchar_t* iconName(HWND box) {
    HWND iconControl = GetDlgItem(box, 0x14);
    if (!iconControl) iconControl = GetDlgItem(box, 0x440);
    if (!iconControl) return L"none";
    HICON shown = reinterpret_cast<HICON>(sendBounded(iconControl, STM_GETICON, 0, 0));
    if (!shown) return L"none";
    if (shown == LoadIconW(nullptr, IDI_WARNING)) return L"warning";
    if (shown == LoadIconW(nullptr, IDI_ERROR)) return L"error";
    if (shown == LoadIconW(nullptr, IDI_QUESTION)) return L"question";
    if (shown == LoadIconW(nullptr, IDI_INFORMATION)) return L"information";
    // Icon handles of another process need not match ours: tell the stock icons by their colours
    // on the screen (warning: yellow triangle, error: red disc, question/information: blue).
    RECT r = {};
    GetWindowRect(iconControl, &r);
    HDC screen = GetDC(nullptr);
    if (!screen) return L"other";
    int red = 0, yellow = 0, blue = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            COLORREF c = GetPixel(screen, x, y);
            int R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
            if (R > 180 && G > 150 && B < 90) ++yellow;
            else if (R > 150 && G < 90 && B < 90) ++red;
            else if (B > 150 && R < 110) ++blue;
        }
    }
    ReleaseDC(nullptr, screen);
    if (yellow > 20 && yellow >= red) return L"warning";
    if (red > 20) return L"error";
    if (blue > 20) return L"question-or-information";
    return L"other";
}

BOOL CALLBACK collectChildren(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

void describeBox(HWND box) {
    writeUtf8(L"window=" + describe(box));
    writeUtf8(L"caption=" + escaped(windowText(box)));
    HWND textControl = GetDlgItem(box, 0xFFFF);
    writeUtf8(L"text=" + escaped(textControl ? windowText(textControl) : std::wstring()));
    writeUtf8(std::wstring(L"icon=") + iconName(box));
    LRESULT def = sendBounded(box, DM_GETDEFID, 0, 0);
    wchar_t number[32];
    swprintf(number, 32, L"%d", HIWORD(def) == DC_HASDEFID ? static_cast<int>(LOWORD(def)) : 0);
    writeUtf8(std::wstring(L"default=") + number);
    std::vector<HWND> children;
    EnumChildWindows(box, collectChildren, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (className(child) != L"Button" || !IsWindowVisible(child)) continue;
        RECT r = {};
        GetWindowRect(child, &r);
        swprintf(number, 32, L"%d", GetDlgCtrlID(child));
        writeUtf8(std::wstring(L"button=") + number + L"\t" + rectText(r) + L"\t" + escaped(windowText(child)));
    }
}

int usage() {
    writeUtf8(L"usage: wintool list|wait|gone|box|press|close|hold|object ...");
    return 2;
}

std::wstring arg(int argc, wchar_t** argv, int index) { return index < argc ? argv[index] : L""; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    std::wstring command = argv[1];
    if (command == L"list") {
        for (HWND hwnd : findWindows(arg(argc, argv, 2), arg(argc, argv, 3))) writeUtf8(describe(hwnd));
        return 0;
    }
    if (command == L"wait" && argc >= 4) {
        std::vector<HWND> found;
        bool ok = waitFor(static_cast<DWORD>(_wtoi(argv[3])), [&] {
            found = findWindows(argv[2], arg(argc, argv, 4));
            return !found.empty();
        });
        if (!ok) return 1;
        writeUtf8(describe(found.front()));
        return 0;
    }
    if (command == L"gone" && argc >= 4) {
        bool ok = waitFor(static_cast<DWORD>(_wtoi(argv[3])),
                          [&] { return findWindows(argv[2], arg(argc, argv, 4)).empty(); });
        return ok ? 0 : 1;
    }
    if (command == L"box" && argc >= 3) {
        std::vector<HWND> found;
        bool ok = waitFor(static_cast<DWORD>(_wtoi(argv[2])), [&] {
            found = findWindows(L"#32770", L"");
            return !found.empty();
        });
        if (!ok) return 1;
        describeBox(found.front());
        return 0;
    }
    if (command == L"press" && argc >= 4) {
        std::vector<HWND> found;
        bool ok = waitFor(static_cast<DWORD>(_wtoi(argv[2])), [&] {
            found = findWindows(L"#32770", L"");
            return !found.empty();
        });
        if (!ok) return 1;
        HWND button = GetDlgItem(found.front(), _wtoi(argv[3]));
        if (!button) return 1;
        PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"close" && argc >= 3) {
        for (HWND hwnd : findWindows(argv[2], arg(argc, argv, 3))) PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"object" && argc >= 3) {  // a screen reader's first question, as WM_GETOBJECT
        DWORD_PTR answer = 0;
        for (HWND hwnd : findWindows(argv[2], L""))
            SendMessageTimeoutW(hwnd, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG, 10000, &answer);
        writeUtf8(answer ? L"answered" : L"default");
        return 0;
    }
    if (command == L"hold" && argc >= 4) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        writeUtf8(L"holding");
        Sleep(static_cast<DWORD>(_wtoi(argv[3])));
        CloseHandle(file);
        return 0;
    }
    return usage();
}
