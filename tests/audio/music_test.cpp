#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "resources/resource_ids.h"
#include "test_support.h"

namespace {

struct Bytes {
    const void* data = nullptr;
    DWORD size = 0;
};

Bytes embeddedTrack() {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(self, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    if (!info) return {};
    return {LockResource(LoadResource(self, info)), SizeofResource(self, info)};
}

// A file under tests/audio of the source tree, reached through Wine's Z: drive.
std::string sourceFile(const char* name) {
    char source[4096] = {};
    GetEnvironmentVariableA("LUMIVEX_SOURCE", source, sizeof source);
    std::string path = std::string("Z:") + source + "/tests/audio/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    std::wstring wide(path.begin(), path.end());
    return testing_support::readFile(wide);
}

void expectReleased(const MusicPlayer& player) {
    EXPECT_EQ(player.waveOut, nullptr);
    EXPECT_EQ(player.samples, nullptr);
    EXPECT_EQ(player.winmm, nullptr);
    EXPECT_EQ(player.header.lpData, nullptr);
    EXPECT_EQ(player.header.dwFlags, 0u);
    EXPECT_EQ(player.open, nullptr);
    EXPECT_EQ(player.prepareHeader, nullptr);
    EXPECT_EQ(player.write, nullptr);
    EXPECT_EQ(player.reset, nullptr);
    EXPECT_EQ(player.unprepareHeader, nullptr);
    EXPECT_EQ(player.close, nullptr);
    EXPECT_EQ(player.setVolume, nullptr);
}

// What the stand-in device saw. The machines that run these tests have no sound device, so the
// device side is observed through stand-ins placed in the player after the real winmm has been
// loaded (startMusic then skips its own look-up).
struct DeviceLog {
    std::vector<std::string> calls;
    WAVEFORMATEX format{};
    WAVEHDR header{};
    std::vector<DWORD> volumes;
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT prepareResult = MMSYSERR_NOERROR;
    MMRESULT writeResult = MMSYSERR_NOERROR;
};
DeviceLog device;
const HWAVEOUT kFakeHandle = reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(0x5150));

MMRESULT WINAPI fakeOpen(LPHWAVEOUT handle, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR,
                         DWORD flags) {
    device.calls.push_back("open");
    device.format = *format;
    EXPECT_EQ(id, WAVE_MAPPER);
    EXPECT_EQ(callback, 0u);
    EXPECT_EQ(flags, static_cast<DWORD>(CALLBACK_NULL));
    *handle = device.openResult == MMSYSERR_NOERROR ? kFakeHandle : reinterpret_cast<HWAVEOUT>(1);
    return device.openResult;
}
MMRESULT WINAPI fakePrepare(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    device.calls.push_back("prepare");
    EXPECT_EQ(handle, kFakeHandle);
    EXPECT_EQ(size, 32u + (sizeof(void*) == 8 ? 16u : 0u));
    device.header = *header;
    if (device.prepareResult == MMSYSERR_NOERROR) header->dwFlags |= WHDR_PREPARED;
    return device.prepareResult;
}
MMRESULT WINAPI fakeWrite(HWAVEOUT handle, LPWAVEHDR header, UINT) {
    device.calls.push_back("write");
    EXPECT_EQ(handle, kFakeHandle);
    EXPECT_TRUE(header->dwFlags & WHDR_PREPARED);
    return device.writeResult;
}
MMRESULT WINAPI fakeReset(HWAVEOUT) {
    device.calls.push_back("reset");
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeUnprepare(HWAVEOUT, LPWAVEHDR header, UINT) {
    device.calls.push_back("unprepare");
    // The buffer must still be alive while the device lets go of it.
    EXPECT_NE(header->lpData, nullptr);
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeClose(HWAVEOUT) {
    device.calls.push_back("close");
    return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeSetVolume(HWAVEOUT handle, DWORD volume) {
    EXPECT_EQ(handle, kFakeHandle);
    device.volumes.push_back(volume);
    return MMSYSERR_NOERROR;
}

void useFakeDevice(MusicPlayer& player) {
    device = DeviceLog{};
    player.winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(player.winmm, nullptr);
    player.open = fakeOpen;
    player.prepareHeader = fakePrepare;
    player.write = fakeWrite;
    player.reset = fakeReset;
    player.unprepareHeader = fakeUnprepare;
    player.close = fakeClose;
    player.setVolume = fakeSetVolume;
}

using Calls = std::vector<std::string>;

TEST(Track, EmbeddedTrackIsStereo44100Hz) {
    Bytes ogg = embeddedTrack();
    ASSERT_NE(ogg.data, nullptr);
    DecodedTrack track = decodeTrack(ogg.data, ogg.size);
    EXPECT_EQ(track.samplesPerChannel, 7748608);
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.sampleRate, 44100);
    ASSERT_NE(track.samples, nullptr);
    EXPECT_TRUE(isPlayable(track));
    // Real music, not silence: a sample a minute in is not zero on both channels.
    const std::int16_t* minute = track.samples.get() + 2 * 44100 * 60;
    int nonZero = 0;
    for (int i = 0; i < 44100; ++i) nonZero += minute[i] != 0;
    EXPECT_GT(nonZero, 40000);
}

TEST(Track, BrokenStreamDecodesToNothing) {
    Bytes ogg = embeddedTrack();
    std::string cut(static_cast<const char*>(ogg.data), 200);
    DecodedTrack track = decodeTrack(cut.data(), static_cast<DWORD>(cut.size()));
    EXPECT_FALSE(isPlayable(track));
    std::string garbage(4096, 'x');
    EXPECT_FALSE(isPlayable(decodeTrack(garbage.data(), static_cast<DWORD>(garbage.size()))));
    EXPECT_FALSE(isPlayable(decodeTrack(nullptr, 0)));
}

TEST(Track, ThreeChannelStreamIsNotPlayable) {
    std::string ogg = sourceFile("three_channels.ogg");
    ASSERT_FALSE(ogg.empty());
    DecodedTrack track = decodeTrack(ogg.data(), static_cast<DWORD>(ogg.size()));
    EXPECT_EQ(track.channels, 3);
    EXPECT_EQ(track.samplesPerChannel, 2000);
    EXPECT_FALSE(isPlayable(track));
}

TEST(Player, WithoutAudioDeviceStaysSilentAndReleasesEverything) {
    ASSERT_EQ(waveOutGetNumDevs(), 0u) << "this machine has a sound device; the silent path needs none";
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
    EXPECT_EQ(player.muted, 0);
    // Muting still flips the flag so the button's look changes.
    toggleMute(player);
    EXPECT_EQ(player.muted, 1);
    toggleMute(player);
    EXPECT_EQ(player.muted, 0);
    stopMusic(player);
    stopMusic(player);
    expectReleased(player);
    // A second start after a failure is just as silent.
    startMusic(player, GetModuleHandleW(nullptr));
    expectReleased(player);
}

TEST(Player, PlaysTheWholeTrackAsOneLoopingBuffer) {
    MusicPlayer player;
    startMusic(player, GetModuleHandleW(nullptr));  // the real start fails here (no device)
    useFakeDevice(player);
    startMusic(player, GetModuleHandleW(nullptr));
    EXPECT_EQ(device.calls, (Calls{"open", "prepare", "write"}));
    EXPECT_EQ(device.format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(device.format.nChannels, 2);
    EXPECT_EQ(device.format.nSamplesPerSec, 44100u);
    EXPECT_EQ(device.format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(device.format.nBlockAlign, 4);
    EXPECT_EQ(device.format.wBitsPerSample, 16);
    EXPECT_EQ(device.format.cbSize, 0);
    EXPECT_EQ(device.header.dwBufferLength, 30994432u);
    EXPECT_EQ(device.header.dwFlags, static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP));
    EXPECT_EQ(device.header.dwLoops, 0xFFFFFFFFu);
    EXPECT_EQ(device.header.dwBytesRecorded, 0u);
    EXPECT_EQ(reinterpret_cast<void*>(device.header.lpData), static_cast<void*>(player.samples));
    EXPECT_EQ(player.waveOut, kFakeHandle);
    EXPECT_EQ(device.volumes, (std::vector<DWORD>{0x4A004A00}));

    // Already playing: a second start changes nothing.
    startMusic(player, GetModuleHandleW(nullptr));
    EXPECT_EQ(device.calls.size(), 3u);

    toggleMute(player);
    EXPECT_EQ(player.muted, 1);
    toggleMute(player);
    EXPECT_EQ(player.muted, 0);
    EXPECT_EQ(device.volumes, (std::vector<DWORD>{0x4A004A00, 0, 0x4A004A00}));

    stopMusic(player);
    EXPECT_EQ(device.calls, (Calls{"open", "prepare", "write", "reset", "unprepare", "close"}));
    expectReleased(player);
    stopMusic(player);
    EXPECT_EQ(device.calls.size(), 6u);
}

TEST(Player, MonoTrackGetsAMonoFormat) {
    std::string ogg = sourceFile("mono.ogg");
    ASSERT_FALSE(ogg.empty());
    MusicPlayer player;
    useFakeDevice(player);
    playTrack(player, ogg.data(), static_cast<DWORD>(ogg.size()));
    ASSERT_EQ(device.calls, (Calls{"open", "prepare", "write"}));
    EXPECT_EQ(device.format.nChannels, 1);
    EXPECT_EQ(device.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(device.format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(device.format.nBlockAlign, 2);
    EXPECT_EQ(device.header.dwBufferLength, 5512u * 2);
    stopMusic(player);
    expectReleased(player);
}

TEST(Player, ThreeChannelTrackNeverReachesTheDevice) {
    std::string ogg = sourceFile("three_channels.ogg");
    ASSERT_FALSE(ogg.empty());
    MusicPlayer player;
    useFakeDevice(player);
    playTrack(player, ogg.data(), static_cast<DWORD>(ogg.size()));
    EXPECT_TRUE(device.calls.empty());
    expectReleased(player);
}

TEST(Player, RefusedDeviceOrBufferReleasesEverything) {
    MusicPlayer player;
    useFakeDevice(player);
    device.openResult = MMSYSERR_BADDEVICEID;
    startMusic(player, GetModuleHandleW(nullptr));
    EXPECT_EQ(device.calls, (Calls{"open"}));
    expectReleased(player);

    useFakeDevice(player);
    device.prepareResult = MMSYSERR_NOMEM;
    startMusic(player, GetModuleHandleW(nullptr));
    EXPECT_EQ(device.calls, (Calls{"open", "prepare", "reset", "close"}));
    expectReleased(player);

    useFakeDevice(player);
    device.writeResult = MMSYSERR_NOMEM;
    startMusic(player, GetModuleHandleW(nullptr));
    EXPECT_EQ(device.calls, (Calls{"open", "prepare", "write", "reset", "unprepare", "close"}));
    expectReleased(player);
    EXPECT_TRUE(device.volumes.empty());
}

TEST(Player, MissingTrackResourceIsSilent) {
    MusicPlayer player;
    useFakeDevice(player);
    // kernel32 carries no resource 203.
    startMusic(player, GetModuleHandleW(L"kernel32.dll"));
    EXPECT_TRUE(device.calls.empty());
    expectReleased(player);
}

}  // namespace
