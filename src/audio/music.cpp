// Background music: the whole track is decoded up front and given to the wave-out device as one
// buffer that loops on its own, so no thread, timer or callback of ours is involved.
#include "audio/music.h"

#include "resources/resource_ids.h"

extern "C" int stb_vorbis_decode_memory(const unsigned char* mem, int len, int* channels, int* sample_rate,
                                        short** output);

namespace {

constexpr UINT kHeaderSize = sizeof(WAVEHDR);

template <typename Function>
bool lookUp(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Only from the system folder: a winmm.dll lying next to the installer (a download folder) must
// never be the one that runs.
bool loadWinmm(MusicPlayer& player) {
    player.winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!player.winmm) return false;
    bool all = lookUp(player.winmm, "waveOutOpen", player.open);
    all = lookUp(player.winmm, "waveOutPrepareHeader", player.prepareHeader) && all;
    all = lookUp(player.winmm, "waveOutWrite", player.write) && all;
    all = lookUp(player.winmm, "waveOutReset", player.reset) && all;
    all = lookUp(player.winmm, "waveOutUnprepareHeader", player.unprepareHeader) && all;
    all = lookUp(player.winmm, "waveOutClose", player.close) && all;
    all = lookUp(player.winmm, "waveOutSetVolume", player.setVolume) && all;
    return all;
}

void applyVolume(MusicPlayer& player, DWORD volume) {
    if (player.waveOut && player.setVolume) player.setVolume(player.waveOut, volume);
}

}  // namespace

DecodedTrack decodeTrack(const void* data, DWORD size) {
    DecodedTrack track;
    if (!data || size == 0 || size > 0x7FFFFFFFu) return track;
    short* output = nullptr;
    track.samplesPerChannel = stb_vorbis_decode_memory(static_cast<const unsigned char*>(data),
                                                       static_cast<int>(size), &track.channels,
                                                       &track.sampleRate, &output);
    track.samples.reset(reinterpret_cast<std::int16_t*>(output));
    return track;
}

bool isPlayable(const DecodedTrack& track) {
    return track.samplesPerChannel > 0 && track.samples && (track.channels == 1 || track.channels == 2);
}

WAVEFORMATEX playbackFormat(int channels, int sampleRate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.nAvgBytesPerSec = static_cast<DWORD>(sampleRate) * static_cast<DWORD>(channels) * 2;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

void startMusic(MusicPlayer& player, HINSTANCE instance) {
    if (player.waveOut) return;
    if (!player.winmm && !loadWinmm(player)) {
        stopMusic(player);
        return;
    }
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    HGLOBAL loaded = info ? LoadResource(instance, info) : nullptr;
    DWORD size = info ? SizeofResource(instance, info) : 0;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) {
        stopMusic(player);
        return;
    }
    playTrack(player, data, size);
}

void playTrack(MusicPlayer& player, const void* data, DWORD size) {
    if (player.waveOut || !player.open) {
        if (!player.waveOut) stopMusic(player);
        return;
    }
    DecodedTrack track = decodeTrack(data, size);
    // The buffer length must fit the header's 32-bit field.
    if (!isPlayable(track) ||
        static_cast<unsigned long long>(track.samplesPerChannel) * track.channels * 2 > 0xFFFFFFFFull) {
        stopMusic(player);
        return;
    }
    WAVEFORMATEX format = playbackFormat(track.channels, track.sampleRate);
    if (player.open(&player.waveOut, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        player.waveOut = nullptr;
        stopMusic(player);
        return;
    }
    player.header = WAVEHDR{};
    player.header.lpData = reinterpret_cast<LPSTR>(track.samples.get());
    player.header.dwBufferLength = static_cast<DWORD>(track.samplesPerChannel) * track.channels * 2;
    player.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    player.header.dwLoops = 0xFFFFFFFF;
    // From here the player owns the buffer; stopMusic frees it after the device let go of it.
    player.samples = track.samples.release();
    if (player.prepareHeader(player.waveOut, &player.header, kHeaderSize) != MMSYSERR_NOERROR ||
        player.write(player.waveOut, &player.header, kHeaderSize) != MMSYSERR_NOERROR) {
        stopMusic(player);
        return;
    }
    player.muted = 0;
    applyVolume(player, kMusicVolume);
}

void toggleMute(MusicPlayer& player) {
    bool wasMuted = player.muted != 0;
    player.muted = wasMuted ? 0 : 1;
    applyVolume(player, wasMuted ? kMusicVolume : 0);
}

void stopMusic(MusicPlayer& player) {
    if (player.waveOut) {
        if (player.reset) player.reset(player.waveOut);
        if ((player.header.dwFlags & WHDR_PREPARED) && player.unprepareHeader)
            player.unprepareHeader(player.waveOut, &player.header, kHeaderSize);
        if (player.close) player.close(player.waveOut);
        player.waveOut = nullptr;
    }
    if (player.samples) {
        std::free(player.samples);
        player.samples = nullptr;
    }
    player.header = WAVEHDR{};
    if (player.winmm) {
        FreeLibrary(player.winmm);
        player.winmm = nullptr;
    }
    player.open = nullptr;
    player.prepareHeader = nullptr;
    player.write = nullptr;
    player.reset = nullptr;
    player.unprepareHeader = nullptr;
    player.close = nullptr;
    player.setVolume = nullptr;
}
