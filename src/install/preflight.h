// The checks made before a copy, the target flags and the restart as administrator.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/texts.h"
#include "detect/paths.h"

struct MainWindow;
enum InstallerState : std::int32_t;

// Where the copy writes. Beside: into a temporary file next to the game folder's patch.rpa,
// which replaces it only once the whole patch has arrived, so a copy that fails or is cancelled
// leaves the player's previous patch as it was; that needs room for the whole patch beside the old
// file. InPlace: straight over the old patch.rpa (which then cannot survive a failed copy), for a
// disk that has room only once the old file's space is counted. NoRoom: neither.
enum class CopyPlacement { Beside, InPlace, NoRoom };
CopyPlacement choosePlacement(std::uint64_t freeBytes, std::uint64_t existingTarget, std::uint64_t patchSize);

// What the checks found, gathered by startInstall (later facts only when earlier ones pass).
struct InstallFacts {
    InstallerState state;
    bool hasSelection = false;
    bool patchPresent = false;
    std::uint64_t patchSize = 0;
    bool alreadyInPlace = false;  // the game folder's patch.rpa is this very file
    CopyPlacement placement = CopyPlacement::Beside;
};

enum class InstallStep {
    Nothing,         // a copy is running
    LaunchGame,      // the copy is complete: the button launches the game
    Redraw,          // no patch or no folder: the screen already says so
    Refuse,          // a message box; see InstallDecision
    AlreadyInPlace,  // Complete without copying
    StartCopy,
};

struct InstallDecision {
    InstallStep step = InstallStep::Nothing;
    TextSlot text = TextSlot::windowTitle;  // Refuse: the box's text
    UINT icon = 0;                          // Refuse: MB_ICONWARNING or MB_ICONERROR
    bool fails = false;                     // Refuse: the state becomes Failed with the text as status
};

InstallDecision decideInstall(const InstallFacts& facts);
// Gathers the facts, decides, and acts: message box, state change or the worker's start.
void startInstall(MainWindow& window);
// Starts the copy of the patch to `destination` on a worker thread (Installing), or fails at once.
void startWorker(MainWindow& window, const WidePath& destination, CopyPlacement placement);
void refreshTargetFlags(MainWindow& window);
bool isSameFile(const WidePath& a, const WidePath& b);
void restartElevated(MainWindow& window);
// Whether this process runs with an administrator's full rights (an elevated token).
bool runsElevated();
// Removes the temporary file an installer that was ended while copying left beside patch.rpa, so
// that it takes no room from the next copy.
void removeStalePartial(const WidePath& destination);
// The free-space rule: the patch needs its own size plus a margin of min(size, 8 MiB);
// an existing target counts as free space. An overflowing sum passes.
bool hasRoomForPatch(std::uint64_t freeBytes, std::uint64_t existingTarget, std::uint64_t patchSize);
// Parameters of the elevated restart: --lang <code> --dest "<folder>".
std::wstring elevatedParameters(std::int32_t language, const WidePath& folder);
