#include "install/preflight.h"

#include <windows.h>
#include <shellapi.h>

#include "install/copy_worker.h"
#include "install/error_text.h"
#include "install/launch.h"

#include "ui/main_window.h"

void refreshTargetFlags(MainWindow& window) {
    window.targetHasPatch = false;
    window.targetPatchIdentical = false;
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    WidePath destination = joinPath(selected->folder, kPatchFileName);
    window.targetHasPatch = isFile(destination);
    window.targetPatchIdentical =
        window.targetHasPatch && window.patchPresent && isSameFile(window.patchPath, destination);
}

namespace {
HANDLE openForAttributes(const WidePath& path) {
    return CreateFileW(queryForm(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

bool isSameFile(const WidePath& a, const WidePath& b) {
    if (pathEqualsNoCase(normalizePath(a), normalizePath(b))) return true;
    FileHandle first(openForAttributes(a));
    if (!first) return false;
    FileHandle second(openForAttributes(b));
    if (!second) return false;
    BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
    return GetFileInformationByHandle(first.get(), &infoA) && GetFileInformationByHandle(second.get(), &infoB) &&
           infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool hasRoomForPatch(std::uint64_t freeBytes, std::uint64_t existingTarget, std::uint64_t patchSize) {
    // The file about to be replaced gives its space back.
    std::uint64_t available = freeBytes + existingTarget;
    if (available < freeBytes) return true;  // beyond any real disk: let the copy decide
    constexpr std::uint64_t kMaxMargin = 8u * 1024u * 1024u;
    std::uint64_t margin = patchSize < kMaxMargin ? patchSize : kMaxMargin;
    std::uint64_t needed = patchSize + margin;
    if (needed < patchSize) return false;  // no disk holds more than 2^64 bytes
    return available >= needed;
}

CopyPlacement choosePlacement(std::uint64_t freeBytes, std::uint64_t existingTarget, std::uint64_t patchSize) {
    if (hasRoomForPatch(freeBytes, 0, patchSize)) return CopyPlacement::Beside;
    if (hasRoomForPatch(freeBytes, existingTarget, patchSize)) return CopyPlacement::InPlace;
    return CopyPlacement::NoRoom;
}

namespace {
CopyPlacement placementFor(const WidePath& destination, std::uint64_t patchSize) {
    // The free-space query takes a folder; its long form needs the closing backslash.
    WidePath folder = queryForm(parentFolder(destination));
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    ULARGE_INTEGER freeToCaller{};
    // A volume that cannot tell its free space is given the benefit of the doubt; a real
    // shortage then shows up as the copy's own error.
    if (!GetDiskFreeSpaceExW(folder.c_str(), &freeToCaller, nullptr, nullptr)) return CopyPlacement::Beside;
    std::uint64_t existing = isFile(destination) ? fileSize(destination) : 0;
    return choosePlacement(freeToCaller.QuadPart, existing, patchSize);
}
}  // namespace

void startWorker(MainWindow& window, const WidePath& destination, CopyPlacement placement) {
    stopWorker(window);
    window.copyJob = std::make_unique<InstallJob>();
    window.copyJob->window = window.hwnd;
    window.copyJob->sourcePath = window.patchPath;
    window.copyJob->destPath = destination;
    window.copyJob->beside = placement == CopyPlacement::Beside;
    window.workerThread.reset(CreateThread(nullptr, 0, &copyWorker, window.copyJob.get(), 0, nullptr));
    if (window.workerThread) {
        window.state = Installing;
        window.progressPerMille = 0;
        window.statusMessage.clear();
    } else {
        DWORD error = GetLastError();
        window.copyJob.reset();
        window.state = Failed;
        window.statusMessage = std::wstring(textsFor(window.language)[TextSlot::copyFailed]) + L": " + systemErrorText(error);
    }
    invalidate(window);
}

InstallDecision decideInstall(const InstallFacts& facts) {
    if (facts.state == Installing) return {InstallStep::Nothing};
    if (facts.state == Complete) return {InstallStep::LaunchGame};
    if (!facts.hasSelection || !facts.patchPresent) return {InstallStep::Redraw};
    if (facts.patchSize == 0) return {InstallStep::Refuse, TextSlot::patchEmpty, MB_ICONWARNING, false};
    // Extracted straight into the game folder: the patch is already where it belongs.
    if (facts.alreadyInPlace) return {InstallStep::AlreadyInPlace};
    if (facts.placement == CopyPlacement::NoRoom)
        return {InstallStep::Refuse, TextSlot::notEnoughSpace, MB_ICONERROR, true};
    return {InstallStep::StartCopy};
}

void startInstall(MainWindow& window) {
    InstallFacts facts{window.state};
    WidePath destination;
    if (window.state != Installing && window.state != Complete) {
        window.patchPresent = isFile(window.patchPath);
        window.patchSize = window.patchPresent ? fileSize(window.patchPath) : 0;
        const GameCandidate* selected = selectedCandidate(window);
        facts.hasSelection = selected != nullptr;
        facts.patchPresent = window.patchPresent;
        facts.patchSize = window.patchSize;
        if (selected && window.patchPresent && window.patchSize != 0) {
            destination = joinPath(selected->folder, kPatchFileName);
            facts.alreadyInPlace = isFile(destination) && isSameFile(window.patchPath, destination);
            if (!facts.alreadyInPlace) {
                removeStalePartial(destination);
                facts.placement = placementFor(destination, window.patchSize);
            }
        }
    }
    const InstallDecision decision = decideInstall(facts);
    switch (decision.step) {
    case InstallStep::Nothing:
        return;
    case InstallStep::LaunchGame:
        startGame(window);
        return;
    case InstallStep::Redraw:
        invalidate(window);
        return;
    case InstallStep::Refuse: {
        const wchar_t* text = textsFor(window.language)[decision.text];
        if (decision.fails) {
            window.state = Failed;
            window.statusMessage = text;
        }
        showMessage(window, text, decision.icon);
        if (decision.fails) invalidate(window);
        return;
    }
    case InstallStep::AlreadyInPlace:
        window.state = Complete;
        window.progressPerMille = 1000;
        window.targetHasPatch = true;
        window.targetPatchIdentical = true;
        invalidate(window);
        return;
    case InstallStep::StartCopy:
        startWorker(window, destination, facts.placement);
        return;
    }
}

void removeStalePartial(const WidePath& destination) {
    const WidePath partial = queryForm(destination + kPartialSuffix);
    const DWORD attributes = GetFileAttributesW(partial.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    SetFileAttributesW(partial.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(partial.c_str());
}

bool runsElevated() {
    TokenHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
}

std::wstring elevatedParameters(std::int32_t language, const WidePath& folder) {
    // Backslashes right before the closing quote would escape it for CommandLineToArgvW
    // ("D:\" would come back as D:"), so a trailing run of them is doubled.
    size_t trailing = 0;
    while (trailing < folder.size() && folder[folder.size() - 1 - trailing] == L'\\') ++trailing;
    return std::wstring(L"--lang ") + languageCode(language) + L" --dest \"" + folder +
           std::wstring(trailing, L'\\') + L"\"";
}

void restartElevated(MainWindow& window) {
    int answer = showMessage(window, textsFor(window.language)[TextSlot::notWritableRestartAdmin], MB_YESNO | MB_ICONWARNING);
    if (answer != IDYES) return;
    const GameCandidate* selected = selectedCandidate(window);
    if (!selected) return;
    std::wstring parameters = elevatedParameters(window.language, selected->folder);
    HINSTANCE result = ShellExecuteW(window.hwnd, L"runas", window.exePath.c_str(), parameters.c_str(),
                                     window.appFolder.c_str(), SW_SHOWNORMAL);
    // The new instance takes over; this one ends through its normal shutdown.
    if (reinterpret_cast<INT_PTR>(result) > 32) DestroyWindow(window.hwnd);
}
