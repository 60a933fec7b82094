// The embedded track, decoded once and looped by the wave-out device.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

struct MusicPlayer {
    HWAVEOUT waveOut = nullptr;
    WAVEHDR header{};
    std::int16_t* samples = nullptr;
    BYTE muted = 0;
    HMODULE winmm = nullptr;
    decltype(&::waveOutOpen) open = nullptr;
    decltype(&::waveOutPrepareHeader) prepareHeader = nullptr;
    decltype(&::waveOutWrite) write = nullptr;
    decltype(&::waveOutReset) reset = nullptr;
    decltype(&::waveOutUnprepareHeader) unprepareHeader = nullptr;
    decltype(&::waveOutClose) close = nullptr;
    decltype(&::waveOutSetVolume) setVolume = nullptr;
};

constexpr DWORD kMusicVolume = 0x4A004A00;

void startMusic(MusicPlayer& player, HINSTANCE instance);
void toggleMute(MusicPlayer& player);
void stopMusic(MusicPlayer& player);
