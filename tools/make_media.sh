#!/usr/bin/env bash
# make_media.sh - regenerates the installer's embedded media in src/resources/:
#
#   background1.jpg  2560x1440 progressive JPEG, pastel bokeh lights (~800 KB)
#   background2.jpg  2560x1440 progressive JPEG, soft pastel hills at dawn (~800 KB)
#   app.ico          Windows icon, 256 (PNG), 48, 32, 24 and 16 px: pink rounded
#                    square with a white down-arrow over a tray
#   music.ogg        Ogg Vorbis, stereo, 44100 Hz, exactly 7748608 samples per
#                    channel (~175.7 s): a slow D major chord progression (pads,
#                    bass, plucked arpeggios, a bell melody) rendered as one
#                    circular buffer, so the end runs straight into the start
#                    and the track loops without a click
#
# Everything is made from scratch with fixed random seeds, so a rerun gives the
# same bytes on the same tool versions. The build does not run this script; its
# results are committed.
#
# Debian packages: imagemagick (/usr/bin/convert), python3, python3-numpy,
# vorbis-tools (oggenc, oggdec), sox (soxi); optional: gcc + libstb-dev to run
# tools/check_track.c on the result.
#
# Usage: tools/make_media.sh        (from anywhere; writes into src/resources/)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT="$ROOT/src/resources"
IM=/usr/bin/convert          # the real ImageMagick, not some other convert on PATH
PY=/usr/bin/python3
W=2560
H=1440
SAMPLES=7748608

for tool in "$IM" "$PY" oggenc oggdec soxi; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
"$PY" -c 'import numpy' 2>/dev/null || { echo "missing: python3-numpy" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT"
cd "$WORK"

JPEG_OPTS=(-strip -interlace Plane -sampling-factor 4:2:0 -quality 88)

########################################################################
# background1.jpg: pastel gradient, soft clouds, out-of-focus light circles
########################################################################
echo "background1.jpg"
"$PY" - > bokeh1.mvg <<'PY'
import random
r = random.Random(1101)
cols = ["255,255,255", "255,228,240", "236,222,255", "255,236,222", "222,238,255"]
for i in range(140):
    # more lights towards the right, the left stays calm for the text card
    x = 2560 * (r.random() ** 0.6)
    y = 1440 * r.random()
    rad = r.choice([18, 26, 34, 48, 64, 90, 120, 160]) * r.uniform(0.8, 1.2)
    a = r.uniform(0.10, 0.38) * (0.5 if x < 1000 else 1.0)
    c = r.choice(cols)
    print(f"fill rgba({c},{a:.3f}) stroke rgba({c},{min(a*1.6,0.7):.3f}) stroke-width {max(2,rad*0.06):.1f} "
          f"circle {x:.1f},{y:.1f} {x+rad:.1f},{y:.1f}")
PY
"$IM" -size ${W}x${H} xc:white -sparse-color Shepards \
  '0,0 #ffe1d2  2560,0 #d8cff7  0,1440 #fbd3e4  2560,1440 #c9def8  1280,720 #fde8f1  1900,300 #e9d6f6  700,1200 #ffe6dc' \
  base1.png
"$IM" -seed 4242 -size 320x180 plasma:fractal -colorspace Gray -blur 0x6 -auto-level \
  -resize ${W}x${H}! -blur 0x8 clouds1.png
"$IM" -size ${W}x${H} xc:none -draw "$(cat bokeh1.mvg)" -blur 0x3 bokeh1.png
"$IM" -size ${W}x${H} xc:none -draw "$(cat bokeh1.mvg)" -resize 50% -blur 0x6 -resize ${W}x${H}! \
  -flop -alpha on -channel A -evaluate multiply 0.6 +channel bokeh1b.png
"$IM" base1.png \( clouds1.png -level 20%,100% \) -compose SoftLight -composite \
  bokeh1b.png -compose Over -composite \
  bokeh1.png -compose Over -composite \
  -seed 77 -attenuate 0.45 +noise Gaussian \
  "${JPEG_OPTS[@]}" "$OUT/background1.jpg"

########################################################################
# background2.jpg: dawn sky, sun glow, pink wisps, layered hazy hills
########################################################################
echo "background2.jpg"
"$PY" - <<'PY'
import math, random
r = random.Random(2202)
layers = [  # base height, amplitude, colour (far to near)
    (880, 90, "#dccdf0"),
    (990, 110, "#e8c8e6"),
    (1120, 100, "#f3c7d8"),
    (1280, 80, "#f8d3d0"),
]
for i, (base, amp, col) in enumerate(layers):
    waves = [(r.uniform(0.6, 1.0) / (k + 1) ** 1.6, r.uniform(0.7, 1.3) * (k + 1), r.uniform(0, 6.3)) for k in range(4)]
    pts = []
    for x in range(-40, 2601, 20):
        u = x / 2560
        y = base - amp * sum(a * math.sin(2 * math.pi * f * u + p) for a, f, p in waves)
        pts.append(f"{x},{y:.1f}")
    pts += ["2600,1480", "-40,1480"]
    with open(f"hill{i}.mvg", "w") as fh:
        fh.write(f"fill {col} polygon " + " ".join(pts) + "\n")
with open("sparkles.mvg", "w") as fh:   # a few floating light sparkles in the sky
    for _ in range(60):
        x, y = r.uniform(900, 2560), r.uniform(40, 800)
        rad = r.choice([4, 6, 9, 14, 22]) * r.uniform(0.8, 1.3)
        fh.write(f"fill rgba(255,255,255,{r.uniform(0.15,0.45):.2f}) circle {x:.1f},{y:.1f} {x+rad:.1f},{y:.1f}\n")
PY
"$IM" -size 1x720 gradient:'#c2d9f6-#e9d8f5' -size 1x720 gradient:'#e9d8f5-#ffdccb' -append \
  -resize ${W}x${H}! sky2.png
"$IM" -size ${W}x${H} -define gradient:center=1850,800 -define gradient:radii=1300,900 \
  radial-gradient:'#fff4e8-#000000' glow2.png
"$IM" -seed 5151 -size 256x96 plasma:fractal -colorspace Gray -blur 0x3 -auto-level \
  -resize ${W}x${H}! -blur 0x10 -level 35%,95% \
  \( -size ${W}x${H} gradient:'#ffffff-#000000' -level 0%,70% \) -compose Multiply -composite clouds2.png
"$IM" sky2.png glow2.png -compose Screen -composite \
  \( -size ${W}x${H} xc:'#ffe3ef' clouds2.png -alpha off -compose CopyOpacity -composite \) -compose Over -composite \
  \( -size ${W}x${H} xc:none -draw "$(cat sparkles.mvg)" -blur 0x2.5 \) -compose Over -composite \
  \( -size ${W}x${H} xc:none -draw "$(cat hill0.mvg)" -blur 0x10 -channel A -evaluate multiply 0.85 +channel \) -compose Over -composite \
  \( -size ${W}x${H} xc:none -draw "$(cat hill1.mvg)" -blur 0x7 -channel A -evaluate multiply 0.9 +channel \) -compose Over -composite \
  \( -size ${W}x${H} xc:none -draw "$(cat hill2.mvg)" -blur 0x5 \) -compose Over -composite \
  \( -size ${W}x${H} xc:none -draw "$(cat hill3.mvg)" -blur 0x3 \) -compose Over -composite \
  -seed 88 -attenuate 0.45 +noise Gaussian \
  "${JPEG_OPTS[@]}" "$OUT/background2.jpg"

########################################################################
# app.ico: drawn at 256 px from primitives, scaled to 48, 32, 24 and 16
########################################################################
echo "app.ico"
"$IM" -size 256x256 gradient:'#ff9cc2-#e8609b' \
  \( -size 256x256 xc:none -fill white -draw 'roundrectangle 8,8 247,247 52,52' \) \
  -alpha off -compose CopyOpacity -composite \
  \( -size 256x256 xc:none -fill 'rgba(255,255,255,0.18)' -draw 'roundrectangle 8,8 247,130 52,52' \) \
  -compose Over -composite \
  -fill white -stroke none \
  -draw 'roundrectangle 110,44 146,140 10,10' \
  -draw 'polygon 70,118 186,118 128,182' \
  -draw 'roundrectangle 60,194 196,214 10,10' \
  -depth 8 icon256.png
"$IM" icon256.png -strip -depth 8 -define png:exclude-chunks=date,time \
  -define icon:auto-resize=256,48,32,24,16 "$OUT/app.ico"

########################################################################
# music.ogg
########################################################################
echo "music.ogg (synthesising)"
"$PY" - music.wav <<'PY'
import sys, wave
import numpy as np

SR = 44100
N = 7748608                 # samples per channel; the whole piece is one seamless loop
BEAT = N // 256             # 30268 samples = 0.6863 s (about 87.4 beats a minute)
BAR = 4 * BEAT
CHORD = 2 * BAR             # one chord every two bars
rng = np.random.RandomState(20240611)

def hz(m):
    return 440.0 * 2.0 ** ((m - 69) / 12.0)

out = np.zeros((2, N))

def add(sig, start):
    """Mix a (2, n) block in at 'start', wrapping round the end so the piece loops."""
    n = sig.shape[1]
    start %= N
    first = min(n, N - start)
    out[:, start:start + first] += sig[:, :first]
    if first < n:
        out[:, :n - first] += sig[:, first:]

def env_adsr(n, a, r, sustain_n):
    """Raised-cosine attack of a samples, hold, raised-cosine release of r samples."""
    e = np.ones(n)
    a = min(a, n)
    e[:a] = 0.5 - 0.5 * np.cos(np.pi * np.arange(a) / a)
    rel_start = min(sustain_n, n)
    rr = n - rel_start
    if rr > 0:
        e[rel_start:] *= 0.5 + 0.5 * np.cos(np.pi * np.arange(rr) / max(r, 1))
        e[rel_start + r:] = 0.0
    return e

# Bass note (MIDI), pad voicing (MIDI) per chord: Dmaj9 Bm9 Gmaj9 Asus4 F#m7 Gmaj7 Em9 A7
PROG = [
    (38, [57, 61, 64, 66]),
    (35, [57, 61, 62, 66]),
    (43, [59, 62, 66, 69]),
    (45, [57, 62, 64, 69]),
    (42, [57, 61, 64, 69]),
    (43, [55, 59, 62, 66]),
    (40, [54, 59, 62, 67]),
    (45, [57, 61, 64, 67]),
]

def pad_note(m, dur, level):
    rel = int(2.2 * SR)
    n = dur + rel
    t = np.arange(n) / SR
    e = env_adsr(n, int(1.4 * SR), rel, dur)
    sig = np.zeros((2, n))
    f = hz(m)
    for ch in range(2):
        for k in range(1, 6):
            if f * k > 5000:
                break
            amp = 1.0 / k ** 1.8
            for det in (-1, 1):
                cents = det * (4.0 + 2.5 * ch) + rng.uniform(-1, 1)
                fk = f * k * 2 ** (cents / 1200.0)
                ph = rng.uniform(0, 2 * np.pi)
                sig[ch] += amp * np.sin(2 * np.pi * fk * t + ph)
    # slow swell so the pad breathes
    lfo = 0.85 + 0.15 * np.sin(2 * np.pi * 0.23 * t + rng.uniform(0, 6.28))
    return sig * e * lfo * level

def bass_note(m, dur, level):
    rel = int(0.9 * SR)
    n = dur + rel
    t = np.arange(n) / SR
    e = env_adsr(n, int(0.08 * SR), rel, dur - int(0.05 * SR))
    e *= 0.75 + 0.25 * np.exp(-t / 1.5)
    f = hz(m)
    s = np.sin(2 * np.pi * f * t) + 0.28 * np.sin(4 * np.pi * f * t) + 0.08 * np.sin(6 * np.pi * f * t)
    s = s * e * level
    return np.vstack([s, s])

def pluck_note(m, level, pan):
    n = int(2.8 * SR)
    t = np.arange(n) / SR
    f = hz(m)
    s = np.zeros(n)
    for k in range(1, 9):
        if f * k > 9000:
            break
        s += (1.0 / k ** 1.3) * np.exp(-t * (1.6 + 1.1 * k)) * np.sin(2 * np.pi * f * k * 1.0004 ** (k - 1) * t)
    att = int(0.004 * SR)
    s[:att] *= np.linspace(0, 1, att)
    fade = int(0.3 * SR)
    s[-fade:] *= np.linspace(1, 0, fade)
    s *= level
    gl, gr = np.cos((pan + 1) * np.pi / 4), np.sin((pan + 1) * np.pi / 4)
    return np.vstack([s * gl, s * gr])

def bell_note(m, dur, level, pan):
    n = dur + int(3.0 * SR)
    t = np.arange(n) / SR
    f = hz(m)
    vib = 1 + 0.0025 * np.sin(2 * np.pi * 4.8 * t) * np.clip(t / 0.8, 0, 1)
    ph = 2 * np.pi * f * np.cumsum(vib) / SR
    s = np.sin(ph) + 0.22 * np.sin(2 * ph) + 0.07 * np.sin(3 * ph) + 0.05 * np.sin(2.76 * ph) * np.exp(-t / 0.4)
    e = np.exp(-t / 1.6) * 0.7 + 0.3 * np.exp(-t / 0.35)
    att = int(0.03 * SR)
    e[:att] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(att) / att)
    fade = int(0.5 * SR)
    e[-fade:] *= np.linspace(1, 0, fade)
    s = s * e * level
    gl, gr = np.cos((pan + 1) * np.pi / 4), np.sin((pan + 1) * np.pi / 4)
    return np.vstack([s * gl, s * gr])

# Four passes through the progression: sparse, flowing, with melody, and softer again.
ARP = [0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 1, 3, 2, 4, 3, 1]
PENTA = [62, 64, 66, 69, 71, 74, 76, 78, 81]   # D major pentatonic, upper register
prev_mel = 74
for p in range(4):
    for c, (bass, voicing) in enumerate(PROG):
        start = (p * 8 + c) * CHORD
        for m in voicing:
            add(pad_note(m, CHORD, 0.055), start)
        add(bass_note(bass, CHORD, 0.16 if p else 0.12), start)
        tones = [voicing[0] + 12, voicing[1] + 12, voicing[2] + 12, voicing[3] + 12, voicing[1] + 24]
        if p == 0:
            steps, step_len, lev = range(0, 16, 2), BEAT // 2, 0.05
        elif p == 3:
            steps, step_len, lev = range(0, 16, 2), BEAT // 2, 0.055
        else:
            steps, step_len, lev = range(16), BEAT // 2, 0.06
        for s in steps:
            vel = lev * (1.0 if s % 4 == 0 else 0.72) * rng.uniform(0.85, 1.05)
            jitter = int(rng.uniform(-0.006, 0.006) * SR)
            pos = (start + s * step_len + jitter) % N
            add(pluck_note(tones[ARP[s]], vel, 0.5 * np.sin(s * 0.7 + c)), pos)
        if p in (2, 3):
            chord_pcs = {(x % 12) for x in voicing + [bass]}
            for beat, dur_beats in ((0, 3), (3, 1), (4, 2), (6, 2)):
                if p == 3 and beat in (3, 6):
                    continue
                cands = [x for x in PENTA if (x % 12) in chord_pcs] if beat in (0, 4) else PENTA
                # stepwise motion: pick among the nearest notes, avoiding a repeat
                cands = sorted(cands, key=lambda x: abs(x - prev_mel) + rng.uniform(0, 4))
                note = cands[1] if cands[0] == prev_mel and len(cands) > 1 else cands[0]
                prev_mel = note
                add(bell_note(note, dur_beats * BEAT, 0.07 if p == 2 else 0.055, -0.25),
                    start + beat * BEAT)

# Reverb: circular convolution with decaying filtered noise, so its tail wraps too.
ir_len = int(4.0 * SR)
tt = np.arange(ir_len) / SR
wet = np.zeros_like(out)
for ch in range(2):
    noise = rng.standard_normal(ir_len)
    ftab = np.fft.rfft(noise)
    fr = np.fft.rfftfreq(ir_len, 1 / SR)
    ftab *= 1 / (1 + (fr / 3500.0) ** 2)          # darker tail
    ftab[fr < 120] *= 0.3
    noise = np.fft.irfft(ftab, ir_len)
    ir = noise * np.exp(-tt / 0.55)
    ir[: int(0.018 * SR)] = 0                     # short pre-delay
    ir /= np.sqrt(np.sum(ir ** 2))
    wet[ch] = np.fft.irfft(np.fft.rfft(out[ch]) * np.fft.rfft(ir, N), N)
mix = out + 0.45 * wet
mix *= 0.55 / np.max(np.abs(mix))
dither = (rng.uniform(-0.5, 0.5, mix.shape) + rng.uniform(-0.5, 0.5, mix.shape))
pcm = np.clip(np.round(mix * 32767 + dither), -32768, 32767).astype('<i2')
with wave.open(sys.argv[1], 'wb') as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(SR)
    w.writeframes(pcm.T.tobytes())
rms = np.sqrt(np.mean(mix ** 2))
print('frames', pcm.shape[1], 'rms dBFS %.1f' % (20 * np.log10(rms)))
PY
oggenc -Q -q 4 --serial 7 -o "$OUT/music.ogg" music.wav

########################################################################
# checks
########################################################################
identify "$OUT/app.ico"
for f in background1.jpg background2.jpg; do
  identify -format "$f: %wx%h %[interlace] %b\n" "$OUT/$f"
done
oggdec -Q -o decoded.wav "$OUT/music.ogg"
got=$(soxi -s decoded.wav)
[ "$got" = "$SAMPLES" ] || { echo "music.ogg: $got samples, wanted $SAMPLES" >&2; exit 1; }
echo "music.ogg: $(soxi -c decoded.wav) ch, $(soxi -r decoded.wav) Hz, $got samples"
if command -v gcc >/dev/null && [ -f /usr/include/stb/stb_vorbis.h ]; then
  gcc -O2 -w -o check_track "$ROOT/tools/check_track.c" -lm
  ./check_track "$OUT/music.ogg" 2 44100 "$SAMPLES"
fi
ls -l "$OUT"
