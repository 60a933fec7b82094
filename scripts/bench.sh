#!/usr/bin/env bash
# Runs every benchmark in bench/ and prints one table. Uses the test-preset build (LUMIVEX_BUILD,
# default build/test), where the benchmark programs are configured but left out of the default
# build and of ctest, and its Wine harness; starts the harness (scratch prefix, Xvfb) when none is
# running.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${LUMIVEX_BUILD:-$root/build/test}"
"$root/scripts/setup.sh"
(cd "$root" && cmake --preset test -B "$build" >/dev/null) || { echo "bench: configure failed"; exit 1; }
cmake --build "$build" --target LumivexPatchInstaller stand_in >/dev/null || { echo "bench: build failed"; exit 1; }
for t in first_paint detect_bench paint_bench copy_bench music_bench; do
  cmake --build "$build" --target "$t" >/dev/null 2>&1 || true
done

started=0
if [ ! -f "$build/harness/env" ]; then
  (unset DISPLAY; "$root/tests/harness/start.sh" "$build" >/dev/null) || { echo "bench: harness failed"; exit 1; }
  started=1
fi
. "$build/harness/env"
trap '[ $started -eq 1 ] && "$root/tests/harness/stop.sh" "$build" >/dev/null 2>&1' EXIT

find_exe() { for p in "$build/bench/$1.exe" "$build/$1.exe"; do [ -f "$p" ] && { echo "$p"; return; }; done; }
run_win() { timeout 600 wine "$@" 2>/dev/null | tr -d '\r'; }
rows=()
row() { rows+=("$(printf '| %-38s | %s |' "$1" "$2")"); }

# 1. start to first painted frame, and peak memory of the running installer.
fp=$(LUMIVEX_BUILD="$build" LUMIVEX_EXE="$build/LumivexPatchInstaller.exe" run_win "$(find_exe first_paint)" 3)
row "start to first painted frame" "$(grep -o 'first_paint_ms=.*' <<<"$fp" | cut -d= -f2) ms median (runs: $(grep -o 'first_paint_runs=.*' <<<"$fp" | cut -d= -f2) ms; Wine on Xvfb, screen polled)"

# 2. one detection pass.
if exe=$(find_exe detect_bench) && [ -n "$exe" ]; then
  out=$(run_win "$exe"); row "detection pass (detect_bench)" "$(tr '\n' ';' <<<"$out" | sed 's/;$//; s/;/ \/ /g')"
else row "detection pass (detect_bench)" "n/a (not built)"; fi

# 3. full repaint at two sizes: kept picture, picture drawn afresh, gradient only (one row each).
if exe=$(find_exe paint_bench) && [ -n "$exe" ]; then
  out=$(run_win "$exe")
  while IFS= read -r line; do
    case "$line" in *x*:*) row "full repaint ${line%%:*} (paint_bench)" "${line#*: }" ;; *) row "full repaint (paint_bench)" "$line" ;; esac
  done <<<"$out"
else row "full repaint (paint_bench)" "n/a (not built)"; fi

# 4. copy throughput against cp of the same size on the same disk.
if exe=$(find_exe copy_bench) && [ -n "$exe" ]; then
  out=$(run_win "$exe" 512)
  worker=$(grep -o 'worker_mib_per_s=[0-9.]*' <<<"$out" | cut -d= -f2)
  scratch="$build/bench-cp"; mkdir -p "$scratch"; head -c 512M /dev/urandom > "$scratch/src.bin"; sync
  t0=$(date +%s.%N); cp "$scratch/src.bin" "$scratch/dst.bin"; t1=$(date +%s.%N)
  cpr=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.1f", 512/(b-a)}'); rm -rf "$scratch"
  ratio=$(awk -v w="${worker:-0}" -v c="$cpr" 'BEGIN{ if (c>0 && w>0) printf "%.2f", w/c; else print "n/a"}')
  row "copy 512 MiB (copy_bench vs cp)" "worker ${worker:-n/a} MiB/s, cp ${cpr} MiB/s (both into the page cache), ratio ${ratio}"
else row "copy 512 MiB (copy_bench vs cp)" "n/a (not built)"; fi

# 5. decoding the track against oggdec.
if exe=$(find_exe music_bench) && [ -n "$exe" ]; then
  out=$(run_win "$exe" 3)
  ms=$(grep -o 'best of [0-9]*: [0-9.]* ms' <<<"$out" | grep -o '[0-9.]* ms' | cut -d' ' -f1)
  best=""
  for _ in 1 2 3; do
    t0=$(date +%s%N); oggdec -Q -o /dev/null "$root/src/resources/music.ogg"; t1=$(date +%s%N)
    v=$(( (t1 - t0) / 1000000 )); [ -z "$best" ] || [ "$v" -lt "$best" ] && best=$v
  done
  ratio=$(awk -v a="${ms:-0}" -v b="$best" 'BEGIN{ if (a>0 && b>0) printf "%.2f", a/b; else print "n/a"}')
  row "track decoding (music_bench vs oggdec)" "stb_vorbis ${ms:-n/a} ms, oggdec ${best} ms, ratio ${ratio}"
else row "track decoding (music_bench vs oggdec)" "n/a (not built)"; fi

row "peak memory of the installer" "$(grep -o 'peak_kib=.*' <<<"$fp" | cut -d= -f2) KiB peak working set (3 s after start)"

printf '| %-38s | %s |\n' "benchmark" "result"
printf '|%s|%s|\n' "----------------------------------------" "--------"
printf '%s\n' "${rows[@]}"
