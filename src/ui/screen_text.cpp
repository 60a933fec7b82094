#include "ui/screen_text.h"

#include <algorithm>
#include <cstdio>

#include "ui/layout.h"
#include "ui/palette.h"

using namespace palette;

const wchar_t* const kPillLabels[3] = {L"\u7B80\u4E2D", L"\u7E41\u4E2D", L"EN"};

std::wstring patchDetailText(const MainWindow& window) {
    return window.patchPresent ? formatPatchSize(window.patchSize)
                               : std::wstring(textsFor(window.language)[TextSlot::patchPlaceHint]);
}

TextSlot sourceLineSlot(const MainWindow& window) {
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return TextSlot::noGameFolder;
    return selected->manual ? TextSlot::manualFolder : TextSlot::steamDetected;
}

std::wstring locationCounterText(const MainWindow& window) {
    const size_t count = window.candidates.size();
    if (count < 2) return std::wstring();
    wchar_t counter[96];
    swprintf(counter, 96, L"%ls  %zu / %zu", textsFor(window.language)[TextSlot::detectedLocations],
             static_cast<size_t>(window.selectedIndex) + 1, count);
    return counter;
}

TextSlot primaryCaptionSlot(InstallerState state) {
    return state == Installing ? TextSlot::cancelInstall
           : state == Complete ? TextSlot::launchGame
                               : TextSlot::installPatch;
}

std::wstring footerText(LanguageId language) {
    return std::wstring(textsFor(language)[TextSlot::steamAppIdLabel]) +
           L"  " LUMIVEX_APP_ID L"   \u00B7   v" LUMIVEX_VERSION;
}

StatusLine statusLineFor(const MainWindow& window) {
    const LocalizedText& text = textsFor(window.language);
    switch (window.state) {
    case Complete:
        return {std::wstring(text[TextSlot::installComplete]) + L" \u00B7 " + text[TextSlot::canStartGame], kDoneText};
    case Cancelled:
        return {text[TextSlot::installCancelled], kCautionText};
    case Failed:
        return {window.statusMessage, kFailedText};
    default:
        if (window.targetPatchIdentical) return {text[TextSlot::patchAlreadyInPlace], kDoneText};
        if (window.targetHasPatch) return {text[TextSlot::patchWillOverwrite], kCautionText};
        if (window.patchPresent && hasValidSelection(window)) return {text[TextSlot::readyToInstall], kSourceText};
        return {};
    }
}

int shownPerMille(const MainWindow& window) {
    if (window.state == Complete) return 1000;
    return std::min(std::max(window.progressPerMille, 0), 1000);
}
