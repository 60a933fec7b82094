// The checks made before a copy, the target flags and the restart as administrator.
#pragma once
#include <cstdint>

#include "detect/paths.h"

struct MainWindow;

void startInstall(MainWindow& window);
void refreshTargetFlags(MainWindow& window);
bool isSameFile(const WidePath& a, const WidePath& b);
void restartElevated(MainWindow& window);
// The free-space rule: the patch needs its own size plus a margin of min(size, 8 MiB);
// an existing target counts as free space. An overflowing sum passes.
bool hasRoomForPatch(std::uint64_t freeBytes, std::uint64_t existingTarget, std::uint64_t patchSize);
// Parameters of the elevated restart: --lang <code> --dest "<folder>".
std::wstring elevatedParameters(std::int32_t language, const WidePath& folder);
