// Picking the game folder by hand with the shell's folder dialog.
#include "install/chooser.h"

#include <shobjidl.h>

#include "detect/detection.h"
#include "install/preflight.h"
#include "ui/main_window.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct ComRef {
    Interface* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p) p->Release();
    }
    Interface** out() { return &p; }
    Interface* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct CoTaskText {
    PWSTR text = nullptr;
    ~CoTaskText() { CoTaskMemFree(text); }
};

constexpr FILEOPENDIALOGOPTIONS kFolderPickOptions =
    FOS_NOCHANGEDIR | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;

// Opens the dialog inside the selected candidate's folder, when there is one.
void startInSelectedFolder(IFileDialog* dialog, const MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    ComRef<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(selected->folder.c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(folder.out()))) &&
        folder)
        dialog->SetFolder(folder.p);
}

// The picked folder as a file-system path, or empty when the user cancelled.
WidePath askForFolder(MainWindow& window) {
    ComRef<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                reinterpret_cast<void**>(dialog.out()))) ||
        !dialog)
        return WidePath();
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | kFolderPickOptions);
    dialog->SetTitle(textsFor(window.language)[folderDialogTitle]);
    startInSelectedFolder(dialog.p, window);
    if (FAILED(dialog->Show(window.hwnd))) return WidePath();
    ComRef<IShellItem> result;
    if (FAILED(dialog->GetResult(result.out())) || !result) return WidePath();
    CoTaskText name;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &name.text)) || !name.text) return WidePath();
    return WidePath(name.text);
}

}  // namespace

void chooseGameFolder(MainWindow& window) {
    WidePath picked = askForFolder(window);
    if (!picked.empty()) adoptChosenFolder(window, picked);
}

bool adoptChosenFolder(MainWindow& window, const WidePath& picked) {
    WidePath folder = resolveChosenFolder(picked);
    if (folder.empty()) {
        showMessage(window, textsFor(window.language)[selectFolderHint], MB_ICONWARNING);
        return false;
    }
    window.manualFolder = folder;
    detectGameFolders(window);
    for (size_t i = 0; i < window.candidates.size(); ++i) {
        if (pathEqualsNoCase(window.candidates[i].folder, folder)) {
            window.selectedIndex = static_cast<std::uint32_t>(i);
            break;
        }
    }
    refreshTargetFlags(window);
    invalidate(window);
    return true;
}
