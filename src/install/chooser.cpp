// Stand-in until the folder chooser lands.
#include "install/chooser.h"

void chooseGameFolder(MainWindow&) {}
bool adoptChosenFolder(MainWindow&, const WidePath&) { return false; }
