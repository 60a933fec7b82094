// The music: the decoder, and the player through stand-ins of the wave-out functions and without
// a sound device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "audio/music.h"
#include "resources/resource_ids.h"
#include "support.h"

namespace {

std::string fixture(const wchar_t* name) {
    return support::readFile(support::fromUnix(support::env(L"LUMIVEX_SOURCE") + L"/tests/audio/" + name));
}

DecodedTrack decode(const std::string& ogg) { return decodeTrack(ogg.data(), static_cast<DWORD>(ogg.size())); }

std::string embeddedTrack() {
    const HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, info)));
    return std::string(bytes, SizeofResource(nullptr, info));
}

// The embedded track decodes to as many samples as its last Ogg page's granule position says; only
// mono and stereo streams are playable.
TEST(Music, TracksDecodeAsTheirHeadersSay) {
    const std::string ogg = embeddedTrack();
    std::uint64_t granule = 0;
    std::memcpy(&granule, ogg.data() + ogg.rfind("OggS") + 6, 8);
    const DecodedTrack track = decode(ogg);
    EXPECT_EQ(track.samplesPerChannel, static_cast<int>(granule));
    const size_t samples = static_cast<size_t>(track.samplesPerChannel) * track.channels;
    EXPECT_LT(std::count(track.samples.get(), track.samples.get() + samples, 0), samples / 2);  // it sounds
    const std::pair<std::string, bool> rows[] = {
        {fixture(L"mono.ogg"), true},
        {fixture(L"three_channels.ogg"), false},
        {ogg.substr(0, 200), false},
    };
    for (const auto& [bytes, playable] : rows) {
        EXPECT_EQ(isPlayable(decode(bytes)), playable) << bytes.size();
    }
}

// What the player asked of the device: one letter a call (open, prepare, write, reset, unprepare,
// close), the format it opened, the buffer it wrote and each volume it set.
std::string calls;
WAVEFORMATEX opened{};
WAVEHDR written{};
std::vector<DWORD> volumes;

MMRESULT record(char call) {
    calls += call;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordOpen(LPHWAVEOUT device, UINT, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR, DWORD) {
    opened = *format;
    *device = reinterpret_cast<HWAVEOUT>(0x5A5A);
    return record('o');
}

MMRESULT WINAPI recordPrepare(HWAVEOUT, LPWAVEHDR header, UINT) {
    header->dwFlags |= WHDR_PREPARED;
    return record('p');
}

MMRESULT WINAPI recordWrite(HWAVEOUT, LPWAVEHDR header, UINT) {
    written = *header;
    return record('w');
}

MMRESULT WINAPI recordReset(HWAVEOUT) { return record('r'); }
MMRESULT WINAPI recordUnprepare(HWAVEOUT, LPWAVEHDR, UINT) { return record('u'); }
MMRESULT WINAPI recordClose(HWAVEOUT) { return record('c'); }

MMRESULT WINAPI recordVolume(HWAVEOUT, DWORD volume) {
    volumes.push_back(volume);
    return MMSYSERR_NOERROR;
}

void expectReleased(const MusicPlayer& player) {
    EXPECT_FALSE(player.waveOut || player.samples || player.header.lpData || player.winmm);
}

// The whole track goes to the device as one 16-bit buffer that loops until stopped, at the music's
// volume; mute sets the volume to 0 and back; stopping resets the device before the buffer goes.
TEST(Music, TheWholeTrackLoopsUntilStopped) {
    const std::string ogg = fixture(L"mono.ogg");
    const DecodedTrack track = decode(ogg);
    const DWORD trackBytes = static_cast<DWORD>(track.samplesPerChannel) * 2;
    MusicPlayer player;
    player.open = recordOpen;
    player.prepareHeader = recordPrepare;
    player.write = recordWrite;
    player.reset = recordReset;
    player.unprepareHeader = recordUnprepare;
    player.close = recordClose;
    player.setVolume = recordVolume;
    playTrack(player, ogg.data(), static_cast<DWORD>(ogg.size()));
    EXPECT_EQ(calls, "opw");
    EXPECT_EQ(opened.nChannels, 1);
    EXPECT_EQ(opened.nAvgBytesPerSec, static_cast<DWORD>(track.sampleRate) * 2);
    ASSERT_EQ(written.dwBufferLength, trackBytes);
    EXPECT_EQ(std::memcmp(written.lpData, track.samples.get(), trackBytes), 0);
    EXPECT_EQ(written.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD{WHDR_BEGINLOOP | WHDR_ENDLOOP});
    EXPECT_EQ(written.dwLoops, INFINITE);
    toggleMute(player);
    toggleMute(player);
    EXPECT_EQ(volumes, (std::vector<DWORD>{kMusicVolume, 0, kMusicVolume}));
    stopMusic(player);
    EXPECT_EQ(calls, "opwruc");
    expectReleased(player);
}

TEST(Music, WithoutADeviceStaysSilentAndReleasesEverything) {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
    toggleMute(player);  // the button still shows the choice
    EXPECT_EQ(player.muted, 1);
    stopMusic(player);
    stopMusic(player);
    expectReleased(player);
}

}  // namespace
