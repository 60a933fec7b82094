// Picking the game folder by hand with the shell's folder dialog.
#include "install/chooser.h"

#include <shobjidl.h>

#include "detect/detection.h"
#include "install/preflight.h"
#include "ui/main_window.h"

namespace {

constexpr FILEOPENDIALOGOPTIONS kFolderPickOptions =
    FOS_NOCHANGEDIR | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;

// Opens the dialog inside the selected candidate's folder, when there is one.
void startInSelectedFolder(IFileDialog* dialog, const MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    ComPtr<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(selected->folder.c_str(), nullptr, IID_IShellItem, folder.outVoid())) &&
        folder)
        dialog->SetFolder(folder.get());
}

// The picked folder as a file-system path, or empty when the user cancelled.
WidePath askForFolder(MainWindow& window) {
    ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                dialog.outVoid())) ||
        !dialog)
        return WidePath();
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | kFolderPickOptions);
    dialog->SetTitle(textsFor(window.language)[TextSlot::folderDialogTitle]);
    startInSelectedFolder(dialog.get(), window);
    if (FAILED(dialog->Show(window.hwnd))) return WidePath();
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.out())) || !result) return WidePath();
    CoTaskText name;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, name.out())) || !name) return WidePath();
    return WidePath(name.get());
}

}  // namespace

void chooseGameFolder(MainWindow& window) {
    WidePath picked = askForFolder(window);
    if (!picked.empty()) adoptChosenFolder(window, picked);
}

AdoptionDecision decideAdoption(const WidePath& resolvedFolder) {
    if (resolvedFolder.empty()) return {false, TextSlot::selectFolderHint, MB_ICONWARNING};
    return {true};
}

bool adoptChosenFolder(MainWindow& window, const WidePath& picked) {
    const WidePath folder = resolveChosenFolder(picked);
    const AdoptionDecision decision = decideAdoption(folder);
    if (!decision.adopt) {
        showMessage(window, textsFor(window.language)[decision.warning], decision.icon);
        return false;
    }
    window.manualFolder = folder;
    detectGameFolders(window);
    window.selectedIndex = selectionFor(window.candidates, folder, window.selectedIndex);
    refreshTargetFlags(window);
    invalidate(window);
    return true;
}
