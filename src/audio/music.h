// The embedded track, decoded once and looped by the wave-out device.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

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

struct SampleBufferFree {
    void operator()(std::int16_t* samples) const { std::free(samples); }
};
using SampleBuffer = std::unique_ptr<std::int16_t, SampleBufferFree>;

// What the decoder made of a whole Ogg Vorbis stream: interleaved 16-bit samples.
struct DecodedTrack {
    SampleBuffer samples;
    int channels = 0;
    int sampleRate = 0;
    int samplesPerChannel = 0;  // 0 or negative when decoding failed
};

DecodedTrack decodeTrack(const void* data, DWORD size);
// The device gets mono or stereo only; anything else (or a failed decode) stays silent.
bool isPlayable(const DecodedTrack& track);
WAVEFORMATEX playbackFormat(int channels, int sampleRate);

// Loads winmm, decodes resource 203 of the module and starts the endless loop; silent on failure.
void startMusic(MusicPlayer& player, HINSTANCE instance);
// Decodes the given stream and hands it to the device (winmm must already be loaded).
void playTrack(MusicPlayer& player, const void* data, DWORD size);
void toggleMute(MusicPlayer& player);
// Releases everything the player holds; safe to call any number of times.
void stopMusic(MusicPlayer& player);
