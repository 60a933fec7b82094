// Stand-in until game launch lands.
#include "install/launch.h"

void startGame(MainWindow&) {}
