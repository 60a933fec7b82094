// The installation's decisions as values: room on the disk, the game's launch, input made before
// the copy's end.
#include <gtest/gtest.h>

#include "install/launch.h"
#include "install/preflight.h"
#include "ui/main_window.h"

namespace {
constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t GiB = 1024 * MiB;

// The patch needs its size plus min(size, 8 MiB); the old patch.rpa counts only for a copy over it.
TEST(Placement, MarginOldFileAndOverflow) {
    const struct {
        std::uint64_t free;
        std::uint64_t existing;
        std::uint64_t patch;
        CopyPlacement placement;
    } rows[] = {
        {2, 0, 1, CopyPlacement::Beside},
        {1, 0, 1, CopyPlacement::NoRoom},
        {6 * GiB + 8 * MiB, 0, 6 * GiB, CopyPlacement::Beside},
        {6 * GiB + 8 * MiB - 1, 0, 6 * GiB, CopyPlacement::NoRoom},
        {8 * MiB, 100 * MiB, 100 * MiB, CopyPlacement::InPlace},
        {8 * MiB - 1, 100 * MiB, 100 * MiB, CopyPlacement::NoRoom},
        {UINT64_MAX, 1, UINT64_MAX - 1, CopyPlacement::InPlace},
        {UINT64_MAX - 1, 0, UINT64_MAX - 1, CopyPlacement::NoRoom},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(choosePlacement(row.free, row.existing, row.patch), row.placement) << &row - rows;
    }
}

TEST(DecideLaunch, SelectionExecutableAndTheShellsAnswer) {
    using Attempt = LaunchAttempt;
    using Step = LaunchStep;
    const struct {
        LaunchFacts facts;
        Step step;
        TextSlot warning;
        UINT icon;
    } rows[] = {
        {{false, true, Attempt::NotYet}, Step::Nothing, {}, 0},
        {{true, false, Attempt::NotYet}, Step::Warn, TextSlot::gameExeNotFound, MB_ICONWARNING},
        {{true, true, Attempt::NotYet}, Step::Launch, {}, 0},
        {{true, true, Attempt::Started}, Step::CloseInstaller, {}, 0},
        {{true, true, Attempt::Failed}, Step::Warn, TextSlot::gameLaunchFailed, MB_ICONERROR},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        const LaunchDecision decision = decideLaunch(row.facts);
        EXPECT_EQ(decision.step, row.step);
        EXPECT_EQ(decision.text, row.warning);
        EXPECT_EQ(decision.icon, row.icon);
    }
}

// Early: before the copy's end by less than a minute, across the tick count's wrap.
TEST(MadeBeforeCopyEnded, TimesAroundTheEnd) {
    const struct {
        DWORD endedAt;
        DWORD input;
        bool early;
    } rows[] = {
        {5000, 4999, true},
        {5000, 5000, false},
        {70000, 10001, true},
        {5, 0xFFFFFFF0u, true},
        {0xFFFFFFF0u, 5, false},
    };
    MainWindow window;
    window.state = Complete;
    window.copyEnded = true;
    for (const auto& row : rows) {
        window.copyEndedAt = row.endedAt;
        EXPECT_EQ(madeBeforeCopyEnded(window, row.input), row.early) << row.endedAt << " " << row.input;
    }
}

}  // namespace
