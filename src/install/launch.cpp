#include "install/launch.h"

#include <shellapi.h>

#include "ui/main_window.h"

LaunchDecision decideLaunch(const LaunchFacts& facts) {
    if (!facts.hasSelection) return {LaunchStep::Nothing};
    if (!facts.executableFound) return {LaunchStep::Warn, TextSlot::gameExeNotFound, MB_ICONWARNING};
    switch (facts.attempt) {
    case LaunchAttempt::NotYet:
        return {LaunchStep::Launch};
    case LaunchAttempt::Started:
        // In Complete the close handler ends the installer without asking.
        return {LaunchStep::CloseInstaller};
    case LaunchAttempt::Failed:
        break;
    }
    return {LaunchStep::Warn, TextSlot::gameLaunchFailed, MB_ICONERROR};
}

void startGame(MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    LaunchFacts facts;
    facts.hasSelection = selected != nullptr;
    // The game keeps its executable one level above its "game" data folder.
    const WidePath gameRoot = selected ? parentFolder(selected->folder) : WidePath();
    const WidePath executable = selected ? joinPath(gameRoot, kGameExeName) : WidePath();
    facts.executableFound = selected && isFile(executable);
    LaunchDecision decision = decideLaunch(facts);
    if (decision.step == LaunchStep::Launch) {
        HINSTANCE result =
            ShellExecuteW(window.hwnd, L"open", executable.c_str(), nullptr, gameRoot.c_str(), SW_SHOWNORMAL);
        facts.attempt = reinterpret_cast<INT_PTR>(result) > 32 ? LaunchAttempt::Started : LaunchAttempt::Failed;
        decision = decideLaunch(facts);
    }
    if (decision.step == LaunchStep::CloseInstaller) SendMessageW(window.hwnd, WM_CLOSE, 0, 0);
    if (decision.step == LaunchStep::Warn)
        showMessage(window, std::wstring(textsFor(window.language)[decision.text]) + L"\n\n" + executable,
                    decision.icon);
}
