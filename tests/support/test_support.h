// Helpers shared by the test programs: scratch folders and files in the Wine prefix, registry
// values, and a watcher that reads and answers the real message boxes the installer shows.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the prefix's temp folder, removed with everything in it on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name = L"t");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const;

private:
    std::wstring path_;
};

bool makeFolders(const std::wstring& path);  // like mkdir -p; backslash separators
bool writeFile(const std::wstring& path, const std::string& bytes);
std::string readFile(const std::wstring& path);
void removeTree(const std::wstring& path);

// One message box seen by a BoxWatcher.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool hasOk = false, hasYes = false, hasNo = false;
    int defaultButton = 0;     // control id of the default button (IDOK, IDYES, IDNO)
    UINT icon = 0;             // MB_ICONWARNING, MB_ICONERROR, ... recognised from the box's icon; 0 if none
    // The style bits the box must have been shown with, rebuilt from what it shows.
    UINT style() const;
};

// Catches every message box shown on this thread (CBT hook), records caption and text and
// answers it with the given button id (IDOK, IDYES, IDNO, ...).
class BoxWatcher {
public:
    explicit BoxWatcher(int answer = IDOK);
    ~BoxWatcher();
    void setAnswer(int answer) { answer_ = answer; }
    const std::vector<SeenBox>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
    int answer_;
    std::vector<SeenBox> boxes_;
};

// The value of an environment variable, or empty when it is not set.
std::wstring environmentVariable(const wchar_t* name);

// True when every string appears, in order, as a subsequence of the text: what a parser that
// only drops characters (quotes, escapes) may return.
bool appearInOrder(const std::vector<std::wstring>& strings, const std::wstring& text);

// Pumps this thread's messages until the predicate holds or the time runs out.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

}  // namespace testing_support
