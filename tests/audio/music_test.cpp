// The music player, through stand-ins of winmm and without a sound device.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/music.h"
#include "resources/resource_ids.h"
#include "support.h"

using namespace support;

namespace {

// The player's calls (open, prepare, write, reset, unprepare, close), its buffer and its volumes.
std::string calls;
WAVEHDR written{};
std::vector<DWORD> volumes;

MMRESULT record(char call) {
    calls += call;
    return MMSYSERR_NOERROR;
}

DecodedTrack decode(const std::string& ogg) { return decodeTrack(ogg.data(), static_cast<DWORD>(ogg.size())); }

void expectReleased(const MusicPlayer& player) {
    EXPECT_FALSE(player.waveOut || player.samples || player.header.lpData || player.winmm);
}

// The whole track (per its last Ogg page) loops as one buffer at the music's volume; mute sets 0 and
// back; stop resets the device before freeing the buffer. Only mono and stereo play.
TEST(Music, TheWholeTrackLoopsUntilStopped) {
    const HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, resource)));
    const std::string ogg(bytes, SizeofResource(nullptr, resource));
    std::uint64_t granule = 0;
    std::memcpy(&granule, ogg.data() + ogg.rfind("OggS") + 6, 8);
    MusicPlayer player;
    player.open = [](LPHWAVEOUT device, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) WINAPI {
        *device = reinterpret_cast<HWAVEOUT>(0x5A5A);
        return record('o');
    };
    player.prepareHeader = [](HWAVEOUT, LPWAVEHDR header, UINT) WINAPI {
        header->dwFlags |= WHDR_PREPARED;
        return record('p');
    };
    player.write = [](HWAVEOUT, LPWAVEHDR header, UINT) WINAPI {
        written = *header;
        return record('w');
    };
    player.reset = [](HWAVEOUT) WINAPI { return record('r'); };
    player.unprepareHeader = [](HWAVEOUT, LPWAVEHDR, UINT) WINAPI { return record('u'); };
    player.close = [](HWAVEOUT) WINAPI { return record('c'); };
    player.setVolume = [](HWAVEOUT, DWORD volume) WINAPI {
        volumes.push_back(volume);
        return MMRESULT{MMSYSERR_NOERROR};
    };
    playTrack(player, ogg.data(), static_cast<DWORD>(ogg.size()));
    EXPECT_EQ(written.dwBufferLength, granule * 2 * 2);
    EXPECT_EQ(written.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD{WHDR_BEGINLOOP | WHDR_ENDLOOP});
    EXPECT_EQ(written.dwLoops, INFINITE);
    toggleMute(player);
    toggleMute(player);
    EXPECT_EQ(volumes, (std::vector<DWORD>{kMusicVolume, 0, kMusicVolume}));
    stopMusic(player);
    EXPECT_EQ(calls, "opwruc");
    expectReleased(player);
    const std::wstring folder = fromUnix(env(L"LUMIVEX_SOURCE") + L"/tests/audio/");
    EXPECT_TRUE(isPlayable(decode(readFile(folder + L"mono.ogg"))));
    EXPECT_FALSE(isPlayable(decode(readFile(folder + L"three_channels.ogg"))));
}

// No sound device in the prefix: silent, holding nothing, the mute choice still kept for the button.
TEST(Music, WithoutADeviceStaysSilentAndReleasesEverything) {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
    toggleMute(player);
    EXPECT_EQ(player.muted, 1);
    stopMusic(player);
    expectReleased(player);
}

}  // namespace
