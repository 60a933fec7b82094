// The installation's decisions as values: room on the disk, what the main button does, when the game
// is started, which input came before the copy's end, what a refused replacement means.
#include <gtest/gtest.h>
#include "app/startup.h"
#include "install/launch.h"
#include "install/preflight.h"
#include "ui/main_window.h"

constexpr std::uint64_t MiB = 1024 * 1024, GiB = 1024 * MiB;

// The patch needs its size plus min(size, 8 MiB); the old patch.rpa counts only for a copy over it
// (room: hasRoomForPatch with it counted).
TEST(Placement, MarginOldFileAndOverflow) {
    using P = CopyPlacement;
    const struct { std::uint64_t free, existing, patch; bool room; P placement; } rows[] = {
        {2, 0, 1, true, P::Beside}, {1, 0, 1, false, P::NoRoom},
        {16 * MiB, 0, 8 * MiB, true, P::Beside}, {16 * MiB - 1, 0, 8 * MiB, false, P::NoRoom},
        {6 * GiB + 8 * MiB, 0, 6 * GiB, true, P::Beside}, {6 * GiB + 8 * MiB - 1, 0, 6 * GiB, false, P::NoRoom},
        {108 * MiB - 1, 100 * MiB, 100 * MiB, true, P::InPlace}, {108 * MiB, 1, 100 * MiB, true, P::Beside},
        {8 * MiB - 1, 100 * MiB, 100 * MiB, false, P::NoRoom}, {8 * MiB, 100 * MiB, 100 * MiB, true, P::InPlace},
        // Free space plus the old file beyond 2^64 passes; a patch whose need overflows does not.
        {UINT64_MAX, 1, UINT64_MAX - 1, true, P::InPlace}, {UINT64_MAX - 1, 0, UINT64_MAX - 1, false, P::NoRoom},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(hasRoomForPatch(r.free, r.existing, r.patch), r.room) << r.free << " " << r.existing;
        EXPECT_EQ(choosePlacement(r.free, r.existing, r.patch), r.placement) << r.free << " " << r.existing;
    }
}

TEST(DecideInstall, EachStateAndFact) {
    using S = InstallStep;  using C = CopyPlacement;
    const struct { InstallFacts facts; InstallDecision expected; } rows[] = {
        {{Installing, true, true, 5}, {S::Nothing}}, {{Complete, true, true, 5}, {S::LaunchGame}},
        {{Ready, false, true, 5}, {S::Redraw}}, {{Failed, true, false, 5}, {S::Redraw}},
        {{Cancelled, true, true, 0}, {S::Refuse, TextSlot::patchEmpty, MB_ICONWARNING, false}},
        {{Ready, true, true, 5, true, C::NoRoom}, {S::AlreadyInPlace}},
        {{Ready, true, true, 5, false, C::NoRoom}, {S::Refuse, TextSlot::notEnoughSpace, MB_ICONERROR, true}},
        {{Failed, true, true, 5, false, C::InPlace}, {S::StartCopy}}, {{Cancelled, true, true, 5}, {S::StartCopy}},
    };
    for (const auto& r : rows) {
        const InstallDecision d = decideInstall(r.facts);
        EXPECT_EQ(d.step, r.expected.step) << &r - rows;
        EXPECT_TRUE(d.step != S::Refuse ||
                    (d.text == r.expected.text && d.icon == r.expected.icon && d.fails == r.expected.fails));
    }
    // ERROR_ACCESS_DENIED from the replacement is the game's hold when patch.rpa cannot be opened for writing.
    EXPECT_EQ(replacementError(ERROR_ACCESS_DENIED, true), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(replacementError(ERROR_ACCESS_DENIED, false), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(replacementError(ERROR_PATH_NOT_FOUND, true), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(DecideLaunch, SelectionExecutableAndTheShellsAnswer) {
    using A = LaunchAttempt;  using S = LaunchStep;
    const struct { LaunchFacts facts; LaunchDecision expected; } rows[] = {
        {{false, true, A::NotYet}, {S::Nothing}}, {{false, false, A::Failed}, {S::Nothing}},
        {{true, false, A::NotYet}, {S::Warn, TextSlot::gameExeNotFound, MB_ICONWARNING}},
        {{true, true, A::NotYet}, {S::Launch}}, {{true, true, A::Started}, {S::CloseInstaller}},
        {{true, true, A::Failed}, {S::Warn, TextSlot::gameLaunchFailed, MB_ICONERROR}},
    };
    for (const auto& r : rows) {
        const LaunchDecision d = decideLaunch(r.facts);
        EXPECT_EQ(d.step, r.expected.step) << &r - rows;
        EXPECT_TRUE(d.step != S::Warn || (d.text == r.expected.text && d.icon == r.expected.icon)) << &r - rows;
    }
}

// Input is early when its time is before the copy's end, by less than a minute (tick wrap-around).
TEST(MadeBeforeCopyEnded, TimesAroundTheEnd) {
    const struct { bool ended; InstallerState state; DWORD endedAt, input; bool early; } rows[] = {
        {true, Complete, 5000, 4999, true}, {true, Failed, 5000, 5000, false}, {true, Cancelled, 5000, 5001, false},
        {false, Complete, 5000, 4999, false}, {true, Installing, 5000, 4999, false},
        {true, Complete, 70000, 10001, true}, {true, Complete, 70000, 10000, false},
        {true, Complete, 5, 0xFFFFFFF0u, true}, {true, Complete, 0xFFFFFFF0u, 5, false},
    };
    MainWindow window;
    for (const auto& r : rows) {
        window.copyEnded = r.ended, window.state = r.state, window.copyEndedAt = r.endedAt;
        EXPECT_EQ(madeBeforeCopyEnded(window, r.input), r.early) << r.endedAt << " " << r.input;
    }
}
