#pragma once
#include "detect/paths.h"

struct MainWindow;

// Shows the shell's folder dialog and adopts the folder picked.
void chooseGameFolder(MainWindow& window);
// Adopts a folder picked by hand: returns false (and warns) when it leads to no game folder.
bool adoptChosenFolder(MainWindow& window, const WidePath& picked);
