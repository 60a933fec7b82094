/* Checks an Ogg Vorbis track with stb_vorbis (Debian package libstb-dev):
 * prints channels, sample rate and samples per channel, and the loop seam
 * (last vs first sample, RMS of the last and first 50 ms).
 * Build: gcc -O2 -o /tmp/check_track tools/check_track.c -lm
 * Use:   /tmp/check_track src/resources/music.ogg [channels rate samples]
 * With the three expected values it exits non-zero on a mismatch. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <stb/stb_vorbis.h>

static double rms(const short *pcm, int channels, int from, int count)
{
    double sum = 0.0;
    for (int i = from; i < from + count; ++i)
        for (int c = 0; c < channels; ++c) {
            double v = pcm[(size_t)i * channels + c] / 32768.0;
            sum += v * v;
        }
    return sqrt(sum / ((double)count * channels));
}

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 5) {
        fprintf(stderr, "usage: %s file.ogg [channels rate samples]\n", argv[0]);
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f) { perror(argv[1]); return 2; }
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char *data = malloc((size_t)size);
    if (!data || fread(data, 1, (size_t)size, f) != (size_t)size) { fprintf(stderr, "read failed\n"); return 2; }
    fclose(f);

    int channels = 0, rate = 0;
    short *pcm = NULL;
    int samples = stb_vorbis_decode_memory(data, (int)size, &channels, &rate, &pcm);
    if (samples <= 0) { fprintf(stderr, "decode failed (%d)\n", samples); return 1; }

    printf("file bytes: %ld\nchannels: %d\nrate: %d\nsamples per channel: %d\nduration: %.3f s\n",
           size, channels, rate, samples, (double)samples / rate);
    int win = rate / 20;
    int maxdiff = 0;
    for (int c = 0; c < channels; ++c) {
        int d = abs(pcm[(size_t)(samples - 1) * channels + c] - pcm[c]);
        if (d > maxdiff) maxdiff = d;
        printf("ch%d first %d last %d\n", c, pcm[c], pcm[(size_t)(samples - 1) * channels + c]);
    }
    double r_end = rms(pcm, channels, samples - win, win), r_start = rms(pcm, channels, 0, win);
    printf("loop seam |last-first| max: %d (of 32768)\n", maxdiff);
    printf("RMS last 50 ms: %.4f (%.1f dBFS), first 50 ms: %.4f (%.1f dBFS)\n",
           r_end, 20 * log10(r_end + 1e-12), r_start, 20 * log10(r_start + 1e-12));
    printf("overall RMS: %.1f dBFS\n", 20 * log10(rms(pcm, channels, 0, samples) + 1e-12));

    int bad = 0;
    if (argc == 5) {
        if (channels != atoi(argv[2])) { fprintf(stderr, "channels mismatch\n"); bad = 1; }
        if (rate != atoi(argv[3])) { fprintf(stderr, "rate mismatch\n"); bad = 1; }
        if (samples != atoi(argv[4])) { fprintf(stderr, "sample count mismatch\n"); bad = 1; }
    }
    free(pcm);
    free(data);
    return bad;
}
