// Plays the embedded track through the real device for a fixed script, for a recording made
// outside: 3 s audible, 3 s muted, 3 s audible again, then stop. Prints whether a device opened.
#include <windows.h>

#include <cstdio>

#include "audio/music.h"

int wmain() {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    std::printf("device %s\n", player.waveOut ? "open" : "unavailable");
    std::fflush(stdout);
    Sleep(3000);
    toggleMute(player);
    std::printf("muted\n");
    std::fflush(stdout);
    Sleep(3000);
    toggleMute(player);
    std::printf("audible\n");
    std::fflush(stdout);
    Sleep(3000);
    stopMusic(player);
    return player.waveOut ? 1 : 0;
}
