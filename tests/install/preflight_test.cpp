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
    // The free space, the old patch.rpa's size, the patch's size, where the copy goes.
    const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, CopyPlacement> rows[] = {
        {2, 0, 1, CopyPlacement::Beside},
        {1, 0, 1, CopyPlacement::NoRoom},
        {6 * GiB + 8 * MiB, 0, 6 * GiB, CopyPlacement::Beside},
        {6 * GiB + 8 * MiB - 1, 0, 6 * GiB, CopyPlacement::NoRoom},
        {8 * MiB, 100 * MiB, 100 * MiB, CopyPlacement::InPlace},
        {8 * MiB - 1, 100 * MiB, 100 * MiB, CopyPlacement::NoRoom},
        {UINT64_MAX, 1, UINT64_MAX - 1, CopyPlacement::InPlace},
        {UINT64_MAX - 1, 0, UINT64_MAX - 1, CopyPlacement::NoRoom},
    };
    for (const auto& [free, existing, patch, placement] : rows) {
        EXPECT_EQ(choosePlacement(free, existing, patch), placement) << free << " " << existing << " " << patch;
    }
}

TEST(DecideLaunch, SelectionExecutableAndTheShellsAnswer) {
    using Attempt = LaunchAttempt;
    using Step = LaunchStep;
    const std::pair<LaunchFacts, LaunchDecision> rows[] = {
        {{false, true, Attempt::NotYet}, {Step::Nothing}},
        {{true, false, Attempt::NotYet}, {Step::Warn, TextSlot::gameExeNotFound, MB_ICONWARNING}},
        {{true, true, Attempt::NotYet}, {Step::Launch}},
        {{true, true, Attempt::Started}, {Step::CloseInstaller}},
        {{true, true, Attempt::Failed}, {Step::Warn, TextSlot::gameLaunchFailed, MB_ICONERROR}},
    };
    for (const auto& [facts, wanted] : rows) {
        SCOPED_TRACE(testing::Message() << facts.hasSelection << facts.executableFound << int(facts.attempt));
        const LaunchDecision decision = decideLaunch(facts);
        EXPECT_EQ(decision.step, wanted.step);
        EXPECT_EQ(decision.text, wanted.text);
        EXPECT_EQ(decision.icon, wanted.icon);
    }
}

// Early: before the copy's end by less than a minute, across the tick count's wrap.
TEST(MadeBeforeCopyEnded, TimesAroundTheEnd) {
    // When the copy ended, when the input was made, whether it counts as early.
    const std::tuple<DWORD, DWORD, bool> rows[] = {
        {5000, 4999, true},
        {5000, 5000, false},
        {70000, 10001, true},
        {5, 0xFFFFFFF0u, true},
        {0xFFFFFFF0u, 5, false},
    };
    MainWindow window;
    window.state = Complete;
    window.copyEnded = true;
    for (const auto& [endedAt, input, early] : rows) {
        window.copyEndedAt = endedAt;
        EXPECT_EQ(madeBeforeCopyEnded(window, input), early) << endedAt << " " << input;
    }
}

}  // namespace
