// Stand-in until music lands.
#include "audio/music.h"

void startMusic(MusicPlayer&, HINSTANCE) {}
void toggleMute(MusicPlayer& player) { player.muted = !player.muted; }
void stopMusic(MusicPlayer&) {}
