#include "install/launch.h"

#include <windows.h>
#include <shellapi.h>

#include "ui/main_window.h"

void startGame(MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    // The game keeps its executable one level above its "game" data folder.
    WidePath gameRoot = parentFolder(selected->folder);
    WidePath executable = joinPath(gameRoot, L"Lumivex.exe");
    const LocalizedText& texts = textsFor(window.language);
    if (!isFile(executable)) {
        showMessage(window, std::wstring(texts[gameExeNotFound]) + L"\n\n" + executable, MB_ICONWARNING);
        return;
    }
    HINSTANCE result = ShellExecuteW(window.hwnd, L"open", executable.c_str(), nullptr, gameRoot.c_str(), SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        // In Complete the close handler ends the installer without asking.
        SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
        return;
    }
    showMessage(window, std::wstring(texts[gameLaunchFailed]) + L"\n\n" + executable, MB_ICONERROR);
}
