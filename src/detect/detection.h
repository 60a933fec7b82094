// Which folders are the game's "game" folder, and the ranked list of those found.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "detect/paths.h"

struct MainWindow;
enum InstallerState : std::int32_t;

struct GameCandidate {
    WidePath folder;
    std::uint8_t manual = 0;
    std::int32_t score = 0;
    std::uint64_t stamp = 0;
};

using CandidateList = std::vector<GameCandidate>;

constexpr std::uint64_t kStampAlways = ~0ULL;

bool isGameFolder(const WidePath& path);
// The pure half of the rule: the normalised path ends in steamapps\common\Lumivex Orrendale\game
// and the suffix starts at a path component.
bool hasGameFolderSuffix(const WidePath& normalizedPath);
// A listing entry that counts as an original game archive (a file *.rpa other than patch.rpa).
bool isGameArchiveEntry(const std::wstring& name, unsigned long attributes);
WidePath resolveChosenFolder(const WidePath& path);
void addCandidate(CandidateList& list, const WidePath& path, std::uint8_t manual, std::int32_t score,
                  std::uint64_t stamp);
// Stable ordering by score, then newer stamp; with byManual the manual flag is the first key.
void sortCandidates(CandidateList& list, bool byManual);
// Index of the first candidate whose folder equals the given one, or list.size().
size_t findCandidate(const CandidateList& list, const WidePath& folder);
// The index of folder in the list, or fallback when it is empty or not listed.
std::uint32_t selectionFor(const CandidateList& list, const WidePath& folder, std::uint32_t fallback);

// What a detection pass sets on the record besides the list and the patch flags.
struct DetectionReset {
    InstallerState state;            // Ready, unless a copy is running
    std::uint32_t selectedIndex = 0;  // the folder selected before, where it is still listed
    std::int32_t progressPerMille = 0;  // kept while a copy is running
    std::wstring statusMessage;
};
DetectionReset decideDetectionReset(InstallerState current, std::int32_t progressPerMille, const CandidateList& list,
                                    const WidePath& remembered);
// Rebuilds the candidate list and the patch and target flags in place.
void detectGameFolders(MainWindow& window);
