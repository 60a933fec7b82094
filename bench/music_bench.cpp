// Decodes the embedded track a few times and prints the time of each run and the best one.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "audio/music.h"
#include "resources/resource_ids.h"

int wmain(int argc, wchar_t** argv) {
    int runs = argc > 1 ? _wtoi(argv[1]) : 3;
    if (runs < 1) runs = 1;
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(self, MAKEINTRESOURCEW(IDR_MUSIC), MAKEINTRESOURCEW(10));
    const void* data = info ? LockResource(LoadResource(self, info)) : nullptr;
    DWORD size = info ? SizeofResource(self, info) : 0;
    if (!data || size == 0) {
        std::fprintf(stderr, "music resource missing\n");
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        DecodedTrack track = decodeTrack(data, size);
        QueryPerformanceCounter(&end);
        double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (run == 0 || ms < best) best = ms;
        std::printf("run %d: %.1f ms, %d samples per channel, %d channels, %d Hz\n", run + 1, ms,
                    track.samplesPerChannel, track.channels, track.sampleRate);
        if (track.samplesPerChannel <= 0) return 1;
    }
    std::printf("stb_vorbis_decode_memory best of %d: %.1f ms (%lu bytes of Ogg Vorbis)\n", runs, best,
                static_cast<unsigned long>(size));
    return 0;
}
