// The music: the decoder on the embedded track and other streams; the player on machines without a sound device.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/music.h"
#include "resources/resource_ids.h"
#include "support.h"

std::string fixture(const wchar_t* name) {
    return support::readFile(support::fromUnix(support::env(L"LUMIVEX_SOURCE") + L"/tests/audio/" + name));
}
DecodedTrack decode(const std::string& ogg) { return decodeTrack(ogg.data(), DWORD(ogg.size())); }

// The embedded track decodes to what its Ogg headers say (channels and rate in the Vorbis identification
// header, samples per channel as the last page's granule position), and is music.
TEST(Music, TracksDecodeAsTheirHeadersSay) {
    const HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    const std::string ogg(static_cast<const char*>(LockResource(LoadResource(nullptr, info))), SizeofResource(nullptr, info));
    const size_t id = ogg.find("\x01vorbis"), last = ogg.rfind("OggS");
    std::uint32_t rate = 0, sounding = 0;
    std::uint64_t granule = 0;
    ASSERT_TRUE(id != std::string::npos && std::memcpy(&rate, &ogg[id + 12], 4) && std::memcpy(&granule, &ogg[last + 6], 8));
    const DecodedTrack track = decode(ogg);
    EXPECT_TRUE(track.channels == ogg[id + 11] && track.sampleRate == int(rate) && track.samplesPerChannel == int(granule));
    ASSERT_TRUE(isPlayable(track));
    const WAVEFORMATEX f = playbackFormat(track.channels, track.sampleRate);  // 16-bit PCM as decoded
    EXPECT_TRUE(f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels == track.channels && f.nSamplesPerSec == rate &&
                f.wBitsPerSample == 16 && f.nBlockAlign == 2 * f.nChannels && f.nAvgBytesPerSec == rate * f.nBlockAlign);
    for (std::uint32_t i = 0; i < rate; ++i) sounding += track.samples.get()[track.channels * (60 * rate + i)] != 0;
    EXPECT_GT(sounding, rate * 9 / 10);  // a second a minute in
    const struct { const char* what; std::string bytes; int channels; bool playable; } rows[] = {
        {"mono", fixture(L"mono.ogg"), 1, true}, {"three channels", fixture(L"three_channels.ogg"), 3, false},
        {"cut short", ogg.substr(0, 200), 0, false}, {"not Ogg", std::string(4096, 'x'), 0, false}, {"nothing", "", 0, false}};
    for (const auto& row : rows)
        EXPECT_TRUE(decode(row.bytes).channels == row.channels && isPlayable(decode(row.bytes)) == row.playable) << row.what;
}

void expectReleased(const MusicPlayer& p) {  // the device, the samples, winmm and its functions
    EXPECT_TRUE(!p.waveOut && !p.samples && !p.winmm && !p.header.lpData && !p.open && !p.prepareHeader && !p.write &&
                !p.reset && !p.unprepareHeader && !p.close && !p.setVolume);
}

TEST(Music, WithoutADeviceStaysSilentAndReleasesEverything) {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
    toggleMute(player);  // the button still shows the choice
    EXPECT_EQ(player.muted, 1);
    toggleMute(player), stopMusic(player), stopMusic(player);
    EXPECT_EQ(player.muted, 0);
    expectReleased(player);
}
