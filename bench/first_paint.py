#!/usr/bin/python3
"""Time from process start to the first painted frame of the installer, and its peak memory.

Starts the installer (--lang en, patch present, a detected game) and polls a 4x4 patch of the
screen inside the card until it turns from the empty desktop to the card colour. Peak memory is
VmHWM of the installer's process a few seconds later (the track is decoded at start-up).
Usage: first_paint.py <build> <installer exe> [runs]   prints 'first_paint_ms=' and 'vmhwm_kib=' lines."""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from driver import Desktop, MAIN  # noqa: E402
from world import Prefix, SteamWorld, STEAM_KEY  # noqa: E402


def card_painted(env, x, y):
    r = subprocess.run(["import", "-window", "root", "-crop", f"4x4+{x}+{y}", "-depth", "8", "rgb:-"],
                       env=env, capture_output=True, timeout=10)
    px = r.stdout[:3]
    return len(px) == 3 and min(px) > 0xB0   # the translucent card is near white; the empty root is black


def main():
    build, exe = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    desk = Desktop(build)
    prefix = Prefix(desk.env["WINEPREFIX"], desk.env["DISPLAY"])
    d_folder = os.path.join(build, "e2e-d", "bench")
    prefix.map_drive("d", d_folder)
    world = SteamWorld(prefix, "e2e\\bench", d_folder, os.path.join(build, "tests"))
    world.make_steam([(world.steam_win, True)])
    world.add_game(world.steam_win, manifest_age_days=3)
    exe_win = world.make_installer_folder("C:\\e2e\\bench\\Patch", exe)
    # Where the card will be: the window opens centred at its design size (1160x700 client).
    x, y = 1920 // 2 - 580 + 120, 1080 // 2 - 350 + 300
    times, peaks = [], []
    for _ in range(runs):
        start = time.monotonic()
        proc = subprocess.Popen(["wine", exe_win, "--lang", "en"], env=desk.env, cwd=world.unix("C:\\e2e\\bench\\Patch"),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        painted = None
        while time.monotonic() - start < 30:
            if card_painted(desk.env, x, y):
                painted = time.monotonic() - start
                break
        times.append(painted)
        time.sleep(3)
        try:
            with open(f"/proc/{proc.pid}/status") as f:
                peaks.extend(int(l.split()[1]) for l in f if l.startswith("VmHWM:"))
        except OSError:
            pass
        desk.wintool("close", MAIN)
        try:
            proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        time.sleep(0.5)
    ok = [t for t in times if t is not None]
    print(f"first_paint_ms={statistics.median(ok) * 1000:.0f}" if ok else "first_paint_ms=n/a")
    print(f"first_paint_runs={' '.join('%.0f' % (t * 1000) if t else 'timeout' for t in times)}")
    print(f"vmhwm_kib={max(peaks)}" if peaks else "vmhwm_kib=n/a")


if __name__ == "__main__":
    main()
