#!/usr/bin/env bash
# The music through a real sound path: a private PulseAudio server with a null sink, Wine's pulse
# driver, and a recording of the sink's monitor. Sound must flow at about 28.9 % of the track's
# level while audible, be silent while muted and flow again after unmuting.
# Skipped (exit 77) where PulseAudio is not installed.
set -u
command -v pulseaudio >/dev/null && command -v parec >/dev/null || { echo "pulseaudio not installed"; exit 77; }
. "$LUMIVEX_BUILD/harness/env"
listen=$1
work="$LUMIVEX_BUILD/music-pulse"
rm -rf "$work"; mkdir -p "$work/run"; chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
  -L 'module-null-sink sink_name=lumivex_null' -L module-native-protocol-unix >"$work/pulse.log" 2>&1 &
pulse=$!
cleanup() { kill "$recorder" 2>/dev/null; kill "$pulse" 2>/dev/null; wait 2>/dev/null; }
recorder=
trap cleanup EXIT
for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "FAIL: PulseAudio did not start"; cat "$work/pulse.log"; exit 1; }

parec -d lumivex_null.monitor --format=s16le --rate=44100 --channels=2 --raw >"$work/rec.raw" &
recorder=$!
timeout 60 wine "$listen" >"$work/events.txt" 2>/dev/null
sleep 0.5
kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; recorder=
cat "$work/events.txt"
oggdec -Q -R -o "$work/track.raw" "$LUMIVEX_SOURCE/src/resources/music.ogg" || { echo "FAIL: oggdec"; exit 1; }

# The monitor delivers only while something plays, so the recording's own timeline is used: it
# must show sound, then at least 2 s of exact silence (3 s were muted), then sound again.
/usr/bin/python3 - "$work" <<'PY'
import array, math, sys
work = sys.argv[1]
events = open(f"{work}/events.txt").read()
rec = array.array("h", open(f"{work}/rec.raw", "rb").read())
track = array.array("h", open(f"{work}/track.raw", "rb").read(44100 * 4 * 10))
def rms(samples):
    return math.sqrt(sum(x * x for x in samples) / max(1, len(samples)))
block = 44100 // 2  # 0.25 s of stereo samples
levels = [rms(rec[i:i + block]) for i in range(0, len(rec) - block + 1, block)]
kinds = "".join("L" if v > 200 else "S" if v < 2 else "?" for v in levels)
print("0.25 s blocks (L sound, S silence):", kinds)
failures = []
if "device open" not in events:
    failures.append("no device opened: " + events.strip())
runs = []
for kind in kinds:
    if runs and runs[-1][0] == kind:
        runs[-1][1] += 1
    else:
        runs.append([kind, 1])
pattern = [k for k, n in runs if (k == "L" and n >= 4) or (k == "S" and n >= 8)]
if "".join(pattern).find("LSL") < 0:
    failures.append("no sound / muted silence / sound sequence")
loud = [v for v in levels if v > 200]
if loud:
    level = (sum(v * v for v in loud) / len(loud)) ** 0.5 / rms(track)
    print(f"level while audible: {level:.3f} of the track's (volume 0x4A00 = 0.289)")
    if not 0.2 <= level <= 0.4:
        failures.append(f"level {level:.3f} is not about 0.289")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
PY
