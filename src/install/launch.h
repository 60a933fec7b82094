#pragma once
struct MainWindow;
// Starts Lumivex.exe in the folder above the selected game folder and closes the installer.
void startGame(MainWindow& window);
