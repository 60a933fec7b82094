#include "detect/detection.h"

#include <windows.h>

#include <algorithm>

#include "app/handles.h"
#include "app/product.h"

#include "detect/steam.h"
#include "install/preflight.h"
#include "ui/main_window.h"

namespace {

const WidePath& gameFolderSuffix() {
    static const WidePath suffix = joinPath(joinPath(L"steamapps\\common", kGameFolderName), L"game");
    return suffix;
}

// Lists the folder without recursion and stops at the first game archive; a listing error ends
// the walk and the entries seen so far decide.
bool holdsGameArchive(const WidePath& folder) {
    WIN32_FIND_DATAW entry{};
    countFileCalls();
    FindHandle find(FindFirstFileW(queryForm(joinPath(folder, L"*")).c_str(), &entry));
    if (!find) return false;
    for (;;) {
        if (isGameArchiveEntry(entry.cFileName, entry.dwFileAttributes)) return true;
        countFileCalls();
        if (!FindNextFileW(find.get(), &entry)) return false;
    }
}

bool candidateBefore(const GameCandidate& a, const GameCandidate& b, bool byManual) {
    if (byManual && a.manual != b.manual) return a.manual > b.manual;
    if (a.score != b.score) return a.score > b.score;
    return a.stamp > b.stamp;
}

void addLibraryCandidates(CandidateList& list, const WidePath& library) {
    ManifestProbe probe = probeManifest(library);
    WidePath common = joinPath(joinPath(library, L"steamapps"), L"common");
    WidePath name = probe.installDir.empty() ? WidePath(kGameFolderName) : probe.installDir;
    addCandidate(list, joinPath(joinPath(common, name), L"game"), 0, probe.present ? 800 : 500, probe.stamp);
    addCandidate(list, joinPath(joinPath(common, kGameFolderName), L"game"), 0, probe.present ? 700 : 500,
                 probe.stamp);
}

void addUninstallCandidates(CandidateList& list) {
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
            WidePath location = readRegistryPath(hive, kUninstallKey, L"InstallLocation", view);
            if (!location.empty()) addCandidate(list, joinPath(location, L"game"), 0, 900, 0);
        }
    }
}

}  // namespace

bool hasGameFolderSuffix(const WidePath& p) {
    const WidePath& suffix = gameFolderSuffix();
    if (!endsWithNoCase(p, suffix)) return false;
    return p.size() == suffix.size() || p[p.size() - suffix.size() - 1] == L'\\';
}

bool isGameArchiveEntry(const std::wstring& name, unsigned long attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && endsWithNoCase(name, L".rpa") &&
           !pathEqualsNoCase(name, kPatchFileName);
}

bool isGameFolder(const WidePath& path) {
    WidePath p = normalizePath(path);
    // The name test is free, so it runs before anything touches the disk. The folder test takes
    // the long form where it names the same folder: one deeper than 260 characters still counts.
    if (!hasGameFolderSuffix(p)) return false;
    countFileCalls();
    if (!isDirectory(p)) return false;
    return holdsGameArchive(p);
}

WidePath resolveChosenFolder(const WidePath& path) {
    WidePath v = normalizePath(path);
    if (v.empty()) return WidePath();
    const WidePath game = L"game";
    const WidePath install = joinPath(kGameFolderName, game);
    const WidePath forms[] = {v, joinPath(v, game), joinPath(v, install), joinPath(joinPath(v, L"common"), install),
                              joinPath(joinPath(joinPath(v, L"steamapps"), L"common"), install)};
    for (const WidePath& form : forms)
        if (isGameFolder(form)) return normalizePath(form);
    return WidePath();
}

void addCandidate(CandidateList& list, const WidePath& path, std::uint8_t manual, std::int32_t score,
                  std::uint64_t stamp) {
    WidePath p = normalizePath(path);
    if (!isGameFolder(p)) return;
    size_t index = findCandidate(list, p);
    if (index == list.size()) {
        list.push_back(GameCandidate{p, manual, score, stamp});
        return;
    }
    GameCandidate& existing = list[index];
    existing.manual = static_cast<std::uint8_t>(existing.manual | manual);
    existing.score = std::max(existing.score, score);
    existing.stamp = std::max(existing.stamp, stamp);
}

void sortCandidates(CandidateList& list, bool byManual) {
    std::stable_sort(list.begin(), list.end(), [byManual](const GameCandidate& a, const GameCandidate& b) {
        return candidateBefore(a, b, byManual);
    });
}

size_t findCandidate(const CandidateList& list, const WidePath& folder) {
    for (size_t i = 0; i < list.size(); ++i)
        if (pathEqualsNoCase(list[i].folder, folder)) return i;
    return list.size();
}

std::uint32_t selectionFor(const CandidateList& list, const WidePath& folder, std::uint32_t fallback) {
    if (folder.empty()) return fallback;
    const size_t index = findCandidate(list, folder);
    return index < list.size() ? static_cast<std::uint32_t>(index) : fallback;
}

DetectionReset decideDetectionReset(InstallerState current, std::int32_t progressPerMille, const CandidateList& list,
                                    const WidePath& remembered) {
    // A running copy goes on: its state and its progress stay.
    if (current == Installing) return {Installing, selectionFor(list, remembered, 0), progressPerMille, std::wstring()};
    return {Ready, selectionFor(list, remembered, 0), 0, std::wstring()};
}

void detectGameFolders(MainWindow& window) {
    WidePath remembered;
    if (const GameCandidate* selected = selectedCandidate(window)) remembered = selected->folder;

    CandidateList list;
    addCandidate(list, window.appFolder, 0, 1000, kStampAlways);
    addUninstallCandidates(list);
    PathList libraries = collectLibraries(collectSteamRoots());
    for (const WidePath& library : libraries) addLibraryCandidates(list, library);
    sortCandidates(list, false);
    window.candidates = std::move(list);

    if (!window.destOverride.empty()) {
        WidePath dest = resolveChosenFolder(window.destOverride);
        if (!dest.empty()) addCandidate(window.candidates, dest, 1, 1100, kStampAlways);
    }
    if (!window.manualFolder.empty()) addCandidate(window.candidates, window.manualFolder, 1, 1200, kStampAlways);
    sortCandidates(window.candidates, true);

    DetectionReset reset = decideDetectionReset(window.state, window.progressPerMille, window.candidates, remembered);
    window.selectedIndex = reset.selectedIndex;

    countFileCalls(2);
    window.patchPresent = isFile(window.patchPath);
    window.patchSize = window.patchPresent ? fileSize(window.patchPath) : 0;
    window.state = reset.state;
    window.progressPerMille = reset.progressPerMille;
    window.statusMessage = std::move(reset.statusMessage);
    refreshTargetFlags(window);
}
