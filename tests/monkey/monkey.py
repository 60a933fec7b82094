#!/usr/bin/python3
"""Monkey test: the real installer under Wine, hit with random mouse moves, clicks and keys
(xdotool) in every state, message boxes and the folder dialog answered at random. It must never
crash (every exit code is 0 and Wine's debugger, which the harness points at C:\\crash-report.txt,
is never called) nor hang (every ~200 events each of its windows must answer WM_NULL
within a bounded time), and it must close with 0 at the end. Launching the game or closing the
window are legal outcomes: the installer is then started again and the run goes on.

Usage: monkey.py <monkey_probe.exe> <stand-in game exe> [events (default 2000)]
Env: LUMIVEX_BUILD, LUMIVEX_EXE; LUMIVEX_MONKEY_SEED=<seed> replays a run (the seed is printed
first), LUMIVEX_MONKEY_SEED=random draws a new seed; LUMIVEX_MONKEY_EVENTS for a longer run.
"""
import os
import random
import select
import shutil
import subprocess
import sys
import time

MAIN, LANGUAGE, DIALOG = "LumivexPatchInstallerMain", "LumivexPatchInstallerLanguage", "#32770"
CONFIRM_EXIT = {
    "Installation is still running. Cancel it and exit?",
    "安装尚未完成。确定要取消并退出吗？",
    "安裝尚未完成。確定要取消並結束嗎？",
}
# The folder dialog's titles. Wine 8's navigation tree on its left dereferences a null shell item
# when a click is handled after the pointer has left the clicked row (explorerframe nstc.c,
# on_nm_click reads the cursor position late) and the process dies inside IFileDialog::Show.
# Windows has no such fault, so clicks on that dialog stay right of its tree.
FOLDER_DIALOG = {
    "Select the Lumivex: Orrendale game folder",
    "选择《露米维》的 game 文件夹",
    "選擇《露米維》的 game 資料夾",
}
FOLDER_DIALOG_CLICK_ZONE = (0.3, 0, 0.7, 1)


def folder_tree(rect):
    """The part of a folder dialog's screen rectangle left of FOLDER_DIALOG_CLICK_ZONE."""
    x, y, w, h = rect
    return (x, y, int(w * FOLDER_DIALOG_CLICK_ZONE[0]) + 1, h)


def inside(x, y, rects):
    return any(rx <= x < rx + rw and ry <= y < ry + rh for rx, ry, rw, rh in rects)
GAME_ID, GAME_DIR = "2468020", "Lumivex Orrendale"
STEAM_KEY = r"HKCU\Software\Valve\Steam"
PING_MS, CHECK_EVERY, NO_WINDOW_LIMIT_S, START_LIMIT_S = 5000, 200, 40, 40
DEFAULT_SEED = 1354983186

# Keys the player may press on the main or the language window, with weights.
KEYS = [("Return", 10), ("F5", 8), ("ctrl+b", 3), ("Escape", 2), ("alt+F4", 1), ("Tab", 3), ("space", 3),
        ("Left", 3), ("Right", 3), ("alt+y", 2), ("alt+n", 2), ("1", 2), ("2", 2), ("3", 2), ("c", 2), ("t", 2),
        ("e", 2), ("a", 2)]
DIALOG_KEYS = ["Return", "Escape", "alt+y", "alt+n", "space", "Tab", "y", "n"]


def fail(message):
    print(f"FAILED: {message}", flush=True)
    raise SystemExit(1)


class Probe:
    """monkey_probe.exe kept running; one command per line."""

    def __init__(self, exe, env):
        self.process = subprocess.Popen(["wine", exe], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.buffer = b""

    def _line(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                fail("the probe did not answer within %.0f s" % timeout)
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                fail("the probe ended")
            self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.decode("utf-8", errors="replace")

    def ask(self, command, timeout=30):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()
        return self._line(timeout)

    def windows(self):
        first = self.ask("windows")
        lines = [] if first == "." else [first]
        while lines and lines[-1] != ".":
            lines.append(self._line(30))
        result = []
        for line in lines[:-1] if lines else []:
            parts = line.split("\t")
            if len(parts) >= 5:
                x, y, w, h = (int(v) for v in parts[2].split(","))
                result.append({"cls": parts[1], "rect": (x, y, w, h), "caption": parts[3], "text": parts[4]})
        return result

    def close(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.flush()
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


class World:
    """A Steam library on C: with the game and a second library, the installer folder with a big
    patch.rpa (so a copy lasts long enough to be interrupted), and the stand-in game exe."""

    def __init__(self, prefix, installer, game_exe, env):
        self.env = env
        self.root = os.path.join(prefix, "drive_c", "lumivex-monkey")
        shutil.rmtree(self.root, ignore_errors=True)
        self.lib = os.path.join(self.root, "lib")
        os.makedirs(self.lib)
        # The game folders on a tmpfs when allowed: 2 x 640 MiB copies cost no disk writes.
        self.mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1400m", "lumivex-monkey", self.lib],
                                      capture_output=True).returncode == 0
        self.patch_size = (640 if self.mounted else 96) * 1024 * 1024
        self.games = []
        steam = os.path.join(self.lib, "Steam")
        libraries = [("C:\\lumivex-monkey\\lib\\Steam", steam), ("C:\\lumivex-monkey\\lib\\Library2",
                                                                 os.path.join(self.lib, "Library2"))]
        for win, unix in libraries:
            game = os.path.join(unix, "steamapps", "common", GAME_DIR, "game")
            os.makedirs(game)
            with open(os.path.join(game, "archive.rpa"), "wb") as f:
                f.write(b"RPA-3.0 0000000000000000 42424242\n" + os.urandom(4096))
            shutil.copyfile(game_exe, os.path.join(unix, "steamapps", "common", GAME_DIR, "Lumivex.exe"))
            with open(os.path.join(unix, "steamapps", f"appmanifest_{GAME_ID}.acf"), "w") as f:
                f.write(f'"AppState"\n{{\n\t"appid"\t\t"{GAME_ID}"\n\t"installdir"\t\t"{GAME_DIR}"\n}}\n')
            self.games.append(game)
        with open(os.path.join(steam, "steamapps", "libraryfolders.vdf"), "w") as f:
            f.write('"libraryfolders"\n{\n' + "".join(
                f'\t"{i}"\n\t{{\n\t\t"path"\t\t"{win.replace(chr(92), chr(92) * 2)}"\n\t}}\n'
                for i, (win, _) in enumerate(libraries)) + "}\n")
        # Any process of the prefix that crashes leaves its report here, whatever its exit code.
        self.crash_report_path = os.path.join(prefix, "drive_c", "crash-report.txt")
        if os.path.exists(self.crash_report_path):
            os.remove(self.crash_report_path)
        self.app = os.path.join(self.root, "app")
        os.makedirs(self.app)
        shutil.copyfile(installer, os.path.join(self.app, "LumivexPatchInstaller.exe"))
        with open(os.path.join(self.app, "patch.rpa"), "wb") as f:
            f.write(b"RPA-3.0 monkey patch\n")
            f.truncate(self.patch_size)  # sparse: cheap to make and to read
        query = self.wine("reg", "query", STEAM_KEY, "/v", "SteamPath")
        self.old_steam_path = None
        for line in query.stdout.decode(errors="replace").splitlines():
            if "SteamPath" in line and "REG_SZ" in line:
                self.old_steam_path = line.split("REG_SZ", 1)[1].strip()
        self.wine("reg", "add", STEAM_KEY, "/v", "SteamPath", "/t", "REG_SZ", "/d", "c:/lumivex-monkey/lib/steam", "/f")

    def wine(self, *args):
        return subprocess.run(["wine", *args], env=self.env, capture_output=True, timeout=60)

    def launches(self):
        """Starts of the stand-in game since the last look; each must be in the game's folder."""
        count = 0
        for game in self.games:
            record = os.path.join(os.path.dirname(game), "Lumivex.exe.record")
            if os.path.exists(record):
                with open(record, encoding="utf-8", errors="replace") as f:
                    lines = f.read().splitlines()
                os.remove(record)
                if len(lines) < 2 or not lines[1].lower().endswith(GAME_DIR.lower()):
                    fail(f"the game was started in the wrong folder: {lines}")
                count += 1
        return count

    def stamps(self):
        out = []
        for game in self.games:
            try:
                st = os.stat(os.path.join(game, "patch.rpa"))
                out.append((st.st_ctime_ns, st.st_size))  # the copy keeps the patch's write time
            except OSError:
                out.append(None)
        return out

    def check_crashes(self, sent):
        if os.path.exists(self.crash_report_path):
            time.sleep(2)  # the debugger may still be writing
            print(self.crash_report(), flush=True)
            fail(f"a process crashed (found by {sent} events)")

    def check_files(self, copying=False):
        """A running installer may be in the middle of a copy into patch.rpa.partial; once it has
        ended, only the archive and the patch may be in a game folder."""
        with open(os.path.join(self.app, "patch.rpa"), "rb") as f:
            if not f.read(21).startswith(b"RPA-3.0 monkey patch"):
                fail("the patch beside the installer changed")
        if os.path.getsize(os.path.join(self.app, "patch.rpa")) != self.patch_size:
            fail("the patch beside the installer changed size")
        for game in self.games:
            allowed = {"archive.rpa", "patch.rpa"} | ({"patch.rpa.partial"} if copying else set())
            extra = set(os.listdir(game)) - allowed
            if extra:
                fail(f"stray files in {game}: {sorted(extra)}")

    def crash_report(self):
        """Wine's report of the last crash in the prefix (the harness points its debugger there):
        exception, registers, backtrace and modules."""
        try:
            with open(self.crash_report_path, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except OSError:
            return "no crash report in the prefix"
        starts = [i for i, line in enumerate(lines) if line.startswith("Unhandled exception")]
        first = starts[-1] if starts else 0
        last = next((i for i in range(first, len(lines)) if lines[i].startswith("Threads:")), len(lines))
        return "crash report:\n  " + "\n  ".join(lines[first:last])

    def remove(self):
        if self.old_steam_path is None:
            self.wine("reg", "delete", STEAM_KEY, "/v", "SteamPath", "/f")
        else:
            self.wine("reg", "add", STEAM_KEY, "/v", "SteamPath", "/t", "REG_SZ", "/d", self.old_steam_path, "/f")
        if self.mounted:
            subprocess.run(["umount", self.lib], capture_output=True)
        shutil.rmtree(self.root, ignore_errors=True)


class Monkey:
    def __init__(self, rng, world, probe, env):
        self.rng, self.world, self.probe, self.env = rng, world, probe, env
        self.process = None
        self.sent = 0
        self.counts = {}
        self.dialogs = {}
        self.starts = self.launched = self.copies = 0
        self.last_full = {}
        self.exits = []

    def count(self, kind):
        self.counts[kind] = self.counts.get(kind, 0) + 1
        self.sent += 1

    def xdo(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, capture_output=True, timeout=20)

    def start(self):
        args = [] if self.rng.random() < 0.2 else ["--lang", self.rng.choice(["en", "en", "zh-TW", "zh-CN"])]
        self.process = subprocess.Popen(["wine", "LumivexPatchInstaller.exe", *args], cwd=self.world.app, env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.starts += 1
        deadline = time.monotonic() + START_LIMIT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return self.ended()
            if any(w["cls"] in (MAIN, LANGUAGE) for w in self.probe.windows()):
                return
            time.sleep(0.1)
        fail(f"no window {START_LIMIT_S} s after start {args}")

    def ended(self):
        code = self.process.returncode
        self.exits.append(code)
        if code != 0:
            print(self.world.crash_report(), flush=True)
            fail(f"the installer ended with exit code {code} after {self.sent} events")
        self.process = None

    def point_in(self, rect, zone=None):
        x, y, w, h = rect
        if zone is None:
            zone = (0, 0, 1, 1)
        zx, zy, zw, zh = zone
        return (x + int(w * (zx + zw * self.rng.random())), y + int(h * (zy + zh * self.rng.random())))

    def key(self, kind, keys=None):
        if keys:
            name = self.rng.choice(keys)
        else:
            name = self.rng.choices([k for k, _ in KEYS], [w for _, w in KEYS])[0]
        self.xdo("key", name)
        self.count(kind + ":" + name)

    def act_on_dialog(self, dialog, no_click_rects=()):
        text = dialog["text"] or dialog["caption"]
        if text not in self.dialogs:
            print(f"  new dialog after {self.sent} events: {text!r}", flush=True)
        self.dialogs[text] = self.dialogs.get(text, 0) + 1
        x, y = self.point_in(dialog["rect"], FOLDER_DIALOG_CLICK_ZONE if text in FOLDER_DIALOG else None)
        if self.rng.random() < 0.3 and not inside(x, y, no_click_rects):
            self.xdo("mousemove", x, y, "click", 1)
            self.count("dialog-click")
        else:
            self.key("dialog-key", DIALOG_KEYS)

    def act_on_window(self, window, no_click_rects=()):
        r = self.rng.random()
        # Zones in fractions of the client: the card with the installer's buttons, the language
        # pills and mute button, anywhere.
        zone = self.rng.choices([(0.03, 0.25, 0.45, 0.7), (0.75, 0.02, 0.24, 0.1), None], [6, 2, 3])[0]
        x, y = self.point_in(window["rect"], zone)
        if 0.35 <= r < 0.75 and inside(x, y, no_click_rects):
            r = 0.8  # a click there would land in the folder dialog's tree: a key instead
        if r < 0.35:
            self.xdo("mousemove", x, y)
            self.count("move")
        elif r < 0.75:
            self.xdo("mousemove", x, y, "click", 1)
            self.count("click")
        else:
            self.key("key")

    def step(self):
        if self.process is None or self.process.poll() is not None:
            if self.process is not None:
                self.ended()
            self.launched += self.world.launches()
            self.start()
            return
        windows = self.probe.windows()
        dialogs = [w for w in windows if w["cls"] not in (MAIN, LANGUAGE)]
        mains = [w for w in windows if w["cls"] in (MAIN, LANGUAGE)]
        trees = [folder_tree(d["rect"]) for d in dialogs if (d["text"] or d["caption"]) in FOLDER_DIALOG]
        if dialogs and (not mains or self.rng.random() < 0.7):
            self.act_on_dialog(self.rng.choice(dialogs), trees)
        elif mains:
            self.act_on_window(mains[0], trees)
        else:
            # Between windows: closing (waiting for the copy to end) or starting.
            self.wait_for_window_or_exit()
            return
        time.sleep(0.01)
        # A copy counts once its destination has the patch's full size and a new time.
        for index, stamp in enumerate(self.world.stamps()):
            if stamp and stamp[1] == self.world.patch_size and stamp != self.last_full.get(index):
                if index in self.last_full:
                    self.copies += 1
                self.last_full[index] = stamp

    def wait_for_window_or_exit(self):
        deadline = time.monotonic() + NO_WINDOW_LIMIT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None or self.probe.windows():
                return
            time.sleep(0.05)
        fail(f"the installer neither shows a window nor ends ({NO_WINDOW_LIMIT_S} s)")

    def check(self):
        if self.process is not None and self.process.poll() is None:
            answer = self.probe.ask(f"ping {PING_MS}", timeout=PING_MS / 1000 * 4 + 10)
            if answer.startswith("hung"):
                subprocess.run(["import", "-window", "root", os.path.join(self.world.root, "..", "monkey-hang.png")],
                               env=self.env, capture_output=True)
                fail(f"a window did not answer within {PING_MS} ms after {self.sent} events: {answer}")
        self.world.check_crashes(self.sent)
        self.world.check_files(copying=self.process is not None and self.process.poll() is None)

    def close(self):
        """Closes the installer the way a player does and wants exit code 0."""
        if self.process is None or self.process.poll() is not None:
            if self.process is not None:
                self.ended()
            return
        deadline = time.monotonic() + 60
        tries = 0
        while self.process.poll() is None and time.monotonic() < deadline:
            windows = self.probe.windows()
            dialogs = [w for w in windows if w["cls"] not in (MAIN, LANGUAGE)]
            mains = [w for w in windows if w["cls"] in (MAIN, LANGUAGE)]
            if dialogs:
                # The exit question is answered Yes; other boxes and the folder dialog are dismissed.
                d = dialogs[0]
                self.xdo("key", "alt+y" if d["text"] in CONFIRM_EXIT else ("Escape", "Return")[tries % 2])
                tries += 1
            elif mains:
                x, y, w, h = mains[0]["rect"]
                self.xdo("mousemove", x + w - 30, y + h - 30, "click", 1)  # an inert spot outside the card
                # Escape closes (or cancels while installing); then the close command asks, answered Yes.
                self.xdo("key", "Escape" if tries % 2 == 0 else "alt+F4")
                tries += 1
            time.sleep(0.4)
        try:
            self.process.wait(timeout=max(1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            fail("the installer did not close within 60 s at the end")
        self.ended()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    probe_exe, game_exe = sys.argv[1], sys.argv[2]
    events = int(sys.argv[3]) if len(sys.argv) > 3 else int(os.environ.get("LUMIVEX_MONKEY_EVENTS", "2000"))
    build, installer = os.environ["LUMIVEX_BUILD"], os.environ["LUMIVEX_EXE"]
    env = dict(os.environ)
    with open(os.path.join(build, "harness", "env")) as f:
        for line in f:
            if line.startswith("export "):
                key, _, value = line[len("export "):].strip().partition("=")
                env[key] = value
    # A fixed seed in the suite; LUMIVEX_MONKEY_SEED=random draws a new one (printed for replay).
    wanted = os.environ.get("LUMIVEX_MONKEY_SEED", str(DEFAULT_SEED))
    seed = random.SystemRandom().randrange(1, 2**31) if wanted == "random" else int(wanted)
    print(f"seed {seed} (replay: LUMIVEX_MONKEY_SEED={seed}), {events} events", flush=True)
    rng = random.Random(seed)
    started = time.monotonic()
    world = World(env["WINEPREFIX"], installer, game_exe, env)
    probe = Probe(probe_exe, env)
    monkey = Monkey(rng, world, probe, env)
    try:
        if probe.windows():
            fail("the desktop already shows windows; the monkey would click into them")
        print(f"patch {world.patch_size // (1024 * 1024)} MiB, game folders on "
              f"{'tmpfs' if world.mounted else 'disk'}", flush=True)
        next_check = CHECK_EVERY
        while monkey.sent < events:
            monkey.step()
            if monkey.sent >= next_check:
                monkey.check()
                next_check += CHECK_EVERY
        monkey.close()
        monkey.launched += world.launches()
        world.check_crashes(monkey.sent)
        world.check_files()
        # A run that never got a patch copied or the game started has not been through every state.
        if events >= 1000 and (monkey.copies == 0 or monkey.launched == 0):
            fail(f"too little reached: {monkey.copies} copies, {monkey.launched} game launches")
    finally:
        if monkey.process is not None and monkey.process.poll() is None:
            monkey.process.kill()
        probe.close()
        world.remove()
    elapsed = time.monotonic() - started
    print(f"events {monkey.sent}: " + ", ".join(f"{k} {v}" for k, v in sorted(monkey.counts.items())))
    print("dialogs seen: " + ", ".join(f"{t[:40]!r} {n}" for t, n in monkey.dialogs.items()))
    print(f"starts {monkey.starts}, exits {len(monkey.exits)} (all 0), game launches {monkey.launched}, "
          f"copies {monkey.copies}, run time {elapsed:.0f} s (seed {seed})")


if __name__ == "__main__":
    main()
