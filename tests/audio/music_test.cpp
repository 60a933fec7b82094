// The music: the decoder on the embedded track and other streams; the player through stand-ins of
// the wave-out functions that record what it asks of the device, and on this machine, which has no
// sound device.
#include <gtest/gtest.h>

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

template <typename Value>
Value readAt(const std::string& bytes, size_t offset) {
    Value value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The embedded track decodes to what its Ogg headers say: channels and rate in the Vorbis
// identification header, samples per channel as the last page's granule position.
TEST(Music, TracksDecodeAsTheirHeadersSay) {
    const std::string ogg = embeddedTrack();
    const size_t identification = ogg.find("\x01vorbis");
    ASSERT_NE(identification, std::string::npos);
    const int channels = ogg[identification + 11];
    const auto rate = readAt<std::uint32_t>(ogg, identification + 12);
    const auto granule = readAt<std::uint64_t>(ogg, ogg.rfind("OggS") + 6);
    const DecodedTrack track = decode(ogg);
    EXPECT_EQ(track.channels, channels);
    EXPECT_EQ(track.sampleRate, static_cast<int>(rate));
    EXPECT_EQ(track.samplesPerChannel, static_cast<int>(granule));
    ASSERT_TRUE(isPlayable(track));
    std::uint32_t sounding = 0;  // samples of the first channel in the second a minute in
    for (std::uint32_t index = 0; index < rate; ++index) {
        const std::int16_t sample = track.samples.get()[track.channels * (60 * rate + index)];
        if (sample != 0) ++sounding;
    }
    EXPECT_GT(sounding, rate * 9 / 10);
    const WAVEFORMATEX format = playbackFormat(track.channels, track.sampleRate);  // 16-bit PCM
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nChannels, channels);
    EXPECT_EQ(format.nSamplesPerSec, rate);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.nBlockAlign, 2 * channels);
    EXPECT_EQ(format.nAvgBytesPerSec, rate * 2 * channels);
}

TEST(Music, OnlyMonoAndStereoStreamsArePlayable) {
    const struct {
        const char* what;
        std::string bytes;
        int channels;
        bool playable;
    } rows[] = {
        {"mono", fixture(L"mono.ogg"), 1, true},
        {"three channels", fixture(L"three_channels.ogg"), 3, false},
        {"cut short", embeddedTrack().substr(0, 200), 0, false},
        {"not Ogg", std::string(4096, 'x'), 0, false},
        {"nothing", "", 0, false},
    };
    for (const auto& row : rows) {
        const DecodedTrack track = decode(row.bytes);
        EXPECT_EQ(track.channels, row.channels) << row.what;
        EXPECT_EQ(isPlayable(track), row.playable) << row.what;
    }
}

// What the player asked of the wave-out device: one letter a call (open, prepare, write, reset,
// unprepare, close), the format it opened, the buffer it wrote and each volume it set.
struct DeviceRecord {
    std::string calls;
    WAVEFORMATEX format{};
    WAVEHDR written{};
    std::vector<DWORD> volumes;
};
DeviceRecord device;
const HWAVEOUT kDevice = reinterpret_cast<HWAVEOUT>(0x5A5A);

MMRESULT WINAPI recordOpen(LPHWAVEOUT opened, UINT, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR, DWORD) {
    device.calls += 'o';
    device.format = *format;
    *opened = kDevice;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordPrepare(HWAVEOUT, LPWAVEHDR header, UINT) {
    device.calls += 'p';
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordWrite(HWAVEOUT, LPWAVEHDR header, UINT) {
    device.calls += 'w';
    device.written = *header;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordReset(HWAVEOUT) {
    device.calls += 'r';
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordUnprepare(HWAVEOUT, LPWAVEHDR header, UINT) {
    device.calls += 'u';
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordClose(HWAVEOUT) {
    device.calls += 'c';
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI recordVolume(HWAVEOUT, DWORD volume) {
    device.volumes.push_back(volume);
    return MMSYSERR_NOERROR;
}

// The device, the samples, winmm and its functions.
void expectReleased(const MusicPlayer& player) {
    EXPECT_FALSE(player.waveOut);
    EXPECT_FALSE(player.samples);
    EXPECT_FALSE(player.header.lpData);
    EXPECT_FALSE(player.winmm);
    EXPECT_FALSE(player.open || player.prepareHeader || player.write || player.reset);
    EXPECT_FALSE(player.unprepareHeader || player.close || player.setVolume);
}

// The whole track goes to the device as one buffer that loops until it is stopped, at the music's
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
    EXPECT_EQ(device.calls, "opw");
    EXPECT_EQ(device.format.nChannels, 1);
    EXPECT_EQ(device.format.nSamplesPerSec, static_cast<DWORD>(track.sampleRate));
    ASSERT_EQ(device.written.dwBufferLength, trackBytes);
    EXPECT_EQ(std::memcmp(device.written.lpData, track.samples.get(), trackBytes), 0);
    EXPECT_EQ(device.written.dwFlags & WHDR_BEGINLOOP, static_cast<DWORD>(WHDR_BEGINLOOP));
    EXPECT_EQ(device.written.dwFlags & WHDR_ENDLOOP, static_cast<DWORD>(WHDR_ENDLOOP));
    EXPECT_EQ(device.written.dwLoops, INFINITE);  // the most a loop count can ask for
    toggleMute(player);
    toggleMute(player);
    EXPECT_EQ(device.volumes, (std::vector<DWORD>{kMusicVolume, 0, kMusicVolume}));
    stopMusic(player);
    EXPECT_EQ(device.calls, "opwruc");
    expectReleased(player);
}

TEST(Music, WithoutADeviceStaysSilentAndReleasesEverything) {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
    toggleMute(player);  // the button still shows the choice
    EXPECT_EQ(player.muted, 1);
    toggleMute(player);
    stopMusic(player);
    stopMusic(player);
    EXPECT_EQ(player.muted, 0);
    expectReleased(player);
}

}  // namespace
