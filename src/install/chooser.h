#pragma once
#include <windows.h>

#include "app/texts.h"
#include "detect/paths.h"

struct MainWindow;

// Shows the shell's folder dialog and adopts the folder picked.
void chooseGameFolder(MainWindow& window);
struct AdoptionDecision {
    bool adopt = false;                        // the folder becomes the manual folder and is selected
    TextSlot warning = TextSlot::windowTitle;  // otherwise this box, with icon
    UINT icon = 0;
};
// resolvedFolder: what resolveChosenFolder made of the pick (empty when it leads to no game folder).
AdoptionDecision decideAdoption(const WidePath& resolvedFolder);
// Adopts a folder picked by hand: returns false (and warns) when it leads to no game folder.
bool adoptChosenFolder(MainWindow& window, const WidePath& picked);
