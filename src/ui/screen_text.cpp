#include "ui/screen_text.h"

#include <algorithm>
#include <cstdio>

#include "ui/layout.h"

namespace {

const wchar_t* const kFooterTail = L"  2468020   \u00B7   v1.0.0";

}  // namespace

const wchar_t* const kPillLabels[3] = {L"\u7B80\u4E2D", L"\u7E41\u4E2D", L"EN"};

std::wstring patchDetailText(const MainWindow& window) {
    return window.patchPresent ? formatPatchSize(window.patchSize)
                               : std::wstring(textsFor(window.language)[patchPlaceHint]);
}

TextSlot sourceLineSlot(const MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return noGameFolder;
    return selected->manual ? manualFolder : steamDetected;
}

std::wstring locationCounterText(const MainWindow& window) {
    const size_t count = window.candidates.size();
    if (count < 2) return std::wstring();
    wchar_t counter[96];
    swprintf(counter, 96, L"%ls  %zu / %zu", textsFor(window.language)[detectedLocations],
             static_cast<size_t>(window.selectedIndex) + 1, count);
    return counter;
}

TextSlot primaryCaptionSlot(InstallerState state) {
    return state == Installing ? cancelInstall : state == Complete ? launchGame : installPatch;
}

std::wstring footerText(LanguageId language) {
    return std::wstring(textsFor(language)[steamAppIdLabel]) + kFooterTail;
}

StatusLine statusLineFor(const MainWindow& window) {
    const LocalizedText& text = textsFor(window.language);
    switch (window.state) {
    case Complete:
        return {std::wstring(text[installComplete]) + L" \u00B7 " + text[canStartGame], 0xFF268E67};
    case Cancelled:
        return {text[installCancelled], 0xFFB16719};
    case Failed:
        return {window.statusMessage, 0xFFC33B53};
    default:
        if (window.targetPatchIdentical) return {text[patchAlreadyInPlace], 0xFF268E67};
        if (window.targetHasPatch) return {text[patchWillOverwrite], 0xFFB16719};
        if (window.patchPresent && hasValidSelection(window)) return {text[readyToInstall], 0xFF2B8B69};
        return {};
    }
}

int shownPerMille(const MainWindow& window) {
    if (window.state == Complete) return 1000;
    return std::min(std::max(window.progressPerMille, 0), 1000);
}
