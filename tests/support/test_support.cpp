#include "test_support.h"

#include <shellapi.h>

namespace testing_support {

namespace {
thread_local BoxWatcher* activeWatcher = nullptr;
}  // namespace

ScratchFolder::ScratchFolder(const std::wstring& name) {
    static unsigned counter = 0;
    // Below a folder outside the temp folder, so the installer's "running from temp" check does
    // not fire for programs placed here.
    wchar_t windows[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SystemDrive", windows, MAX_PATH);
    std::wstring base = std::wstring(windows[0] ? windows : L"C:") + L"\\lumivex-tests";
    path_ = base + L"\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    removeTree(path_);
    makeFolders(path_);
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

std::wstring ScratchFolder::operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

bool makeFolders(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2) makeFolders(path.substr(0, cut));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos) makeFolders(path.substr(0, cut));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size() && ok) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    CloseHandle(file);
    return ok;
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryW(child.c_str());
                else removeTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

UINT SeenBox::style() const {
    UINT buttons = (hasYes && hasNo) ? MB_YESNO : MB_OK;
    UINT defaultBit = 0;
    if (buttons == MB_YESNO && defaultButton == IDNO) defaultBit = MB_DEFBUTTON2;
    return buttons | icon | defaultBit;
}

BoxWatcher::BoxWatcher(int answer) : answer_(answer) {
    activeWatcher = this;
    hook_ = SetWindowsHookExW(WH_CBT, &BoxWatcher::hook, nullptr, GetCurrentThreadId());
}

BoxWatcher::~BoxWatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
    activeWatcher = nullptr;
}

LRESULT CALLBACK BoxWatcher::hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && activeWatcher != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[64] = {};
        GetClassNameW(box, className, 64);
        if (lstrcmpW(className, L"#32770") == 0) {
            SeenBox seen;
            wchar_t caption[512] = {};
            GetWindowTextW(box, caption, 512);
            seen.caption = caption;
            HWND textControl = GetDlgItem(box, 0xFFFF);
            if (textControl) {
                int length = GetWindowTextLengthW(textControl);
                std::wstring text(static_cast<size_t>(length) + 1, L'\0');
                GetWindowTextW(textControl, &text[0], length + 1);
                text.resize(static_cast<size_t>(length));
                seen.text = text;
            }
            seen.hasOk = GetDlgItem(box, IDOK) != nullptr;
            seen.hasYes = GetDlgItem(box, IDYES) != nullptr;
            seen.hasNo = GetDlgItem(box, IDNO) != nullptr;
            LRESULT def = SendMessageW(box, DM_GETDEFID, 0, 0);
            if (HIWORD(def) == DC_HASDEFID) seen.defaultButton = LOWORD(def);
            // The icon control is 0x14 in Windows' message box and stc1 (0x440) in Wine's.
            HWND iconControl = GetDlgItem(box, 0x14);
            if (!iconControl) iconControl = GetDlgItem(box, 0x440);
            if (iconControl) {
                HICON shown = reinterpret_cast<HICON>(SendMessageW(iconControl, STM_GETICON, 0, 0));
                if (shown == LoadIconW(nullptr, IDI_WARNING)) seen.icon = MB_ICONWARNING;
                else if (shown == LoadIconW(nullptr, IDI_ERROR)) seen.icon = MB_ICONERROR;
                else if (shown == LoadIconW(nullptr, IDI_QUESTION)) seen.icon = MB_ICONQUESTION;
                else if (shown == LoadIconW(nullptr, IDI_INFORMATION)) seen.icon = MB_ICONINFORMATION;
            }
            activeWatcher->boxes_.push_back(seen);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(activeWatcher->answer_, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::wstring environmentVariable(const wchar_t* name) {
    std::vector<wchar_t> value(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), 32768);
    return length > 0 && length < 32768 ? std::wstring(value.data(), length) : std::wstring();
}

bool appearInOrder(const std::vector<std::wstring>& strings, const std::wstring& text) {
    size_t position = 0;
    for (const std::wstring& s : strings) {
        for (wchar_t c : s) {
            while (position < text.size() && text[position] != c) ++position;
            if (position == text.size()) return false;
            ++position;
        }
    }
    return true;
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

}  // namespace testing_support
