// Starts and stops the music the way the installer does, without the process-wide DLL search
// setting the installer's entry point makes, so only the music player's own loading is tried.
#include <windows.h>

#include "audio/music.h"

int wmain() {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    stopMusic(player);
    return 0;
}
