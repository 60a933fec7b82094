// Starting the game from the installer.
#pragma once
#include <windows.h>

#include "app/texts.h"

struct MainWindow;

enum class LaunchAttempt { NotYet, Started, Failed };

struct LaunchFacts {
    bool hasSelection = false;
    bool executableFound = false;
    LaunchAttempt attempt = LaunchAttempt::NotYet;
};

enum class LaunchStep { Nothing, Launch, CloseInstaller, Warn };

struct LaunchDecision {
    LaunchStep step = LaunchStep::Nothing;
    TextSlot text = TextSlot::windowTitle;  // Warn: the box's lead text, followed by the executable's path
    UINT icon = 0;
};

// Asked before the launch (attempt NotYet) and again with the shell's answer.
LaunchDecision decideLaunch(const LaunchFacts& facts);
// Starts Lumivex.exe in the folder above the selected game folder and closes the installer.
void startGame(MainWindow& window);
