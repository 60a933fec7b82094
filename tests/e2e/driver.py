"""Drives the real installer under Wine on an X display the way a person does: real mouse clicks
and keys through xdotool, eyes through wintool.exe (windows, titles, message boxes) and
screenshots (pixel colours at layout points)."""
import os
import re
import subprocess
import time

from world import run_to_files

MAIN = "LumivexPatchInstallerMain"
LANGUAGE = "LumivexPatchInstallerLanguage"
BOX = "#32770"

TITLES = {
    0: "【索凡尼游戏】《露米维》 Steam 补丁 - Ver1.0.0 安装程序（简体中文）",
    1: "【索凡尼遊戲】『露米維』Steam 修補檔 - Ver1.0.0 安裝程式（繁體中文）",
    2: "[Sorvane Games] Lumivex: Orrendale Steam Patch - Ver1.0.0 Installer (English)",
}
LANGUAGE_WINDOW_TITLE = "Lumivex: Orrendale · Patch Installer"

# Texts a journey reads back from message boxes, per language.
TEXTS = {
    "patchInUse": {
        0: "补丁正在被游戏或其他程序使用，请关闭游戏后重试。",
        1: "修補檔正由遊戲或其他程式使用，請關閉遊戲後再試一次。",
        2: "The patch is in use. Close the game and any program using it, then try again.",
    },
    "notWritableRestartAdmin": {
        0: "无法写入游戏目录。是否以管理员身份重新启动并重试？",
        1: "無法寫入遊戲資料夾。要以系統管理員身分重新啟動並重試嗎？",
        2: "The game folder is not writable. Restart as administrator and try again?",
    },
    "confirmCancelExit": {
        0: "安装尚未完成。确定要取消并退出吗？",
        1: "安裝尚未完成。確定要取消並結束嗎？",
        2: "Installation is still running. Cancel it and exit?",
    },
    "gameExeNotFound": {
        0: "未找到 Lumivex.exe，无法启动游戏。",
        1: "找不到 Lumivex.exe，無法啟動遊戲。",
        2: "Lumivex.exe was not found, so the game cannot be launched.",
    },
    "selectFolderHint": {
        2: "Select the Lumivex Orrendale\\game folder, or its parent game folder. "
           "A valid folder must contain an original game .rpa archive.",
    },
    "extractZipFirst": {0: "请先完整解压压缩包", 1: "請先完整解壓縮", 2: "Extract the ZIP first"},
    "runningFromTemp": {
        2: "The installer is running from the system temporary folder. This usually means the EXE was "
           "opened directly inside the ZIP archive.\n\nReturn to the ZIP and choose Extract All. Make sure "
           "the installer and patch.rpa are fully extracted into the same regular folder, then run the "
           "installer again.\n\nDo not launch it from the archive window; the installer cannot reliably "
           "access the patch.rpa there.",
    },
}

# Colours of the screen (RGB of the ARGB values the painter uses).
GREEN_DOT = (0x3D, 0xB7, 0x84)
RED_DOT = (0xE8, 0x5B, 0x76)
PRIMARY_ENABLED = (0xEC, 0x69, 0x9A)
PROGRESS_FILL = (0xF1, 0x71, 0x9E)
SELECTED_PILL = (0xEB, 0x63, 0x97)
SOURCE_GREEN = (0x2B, 0x8B, 0x69)
SOURCE_AMBER = (0xB5, 0x69, 0x1F)
STATUS_RED = (0xC3, 0x3B, 0x53)
STATUS_AMBER = (0xB1, 0x67, 0x19)
STATUS_GREEN = (0x26, 0x8E, 0x67)
PRIMARY_HOVER = (0xF9, 0x7E, 0xA9)
# The main button while a copy runs: 0xE6C64865 (0xF5E05972 under the pointer) over the card and
# the button's own shadow, as measured on screen.
INSTALLING_BUTTON = (0xC9, 0x57, 0x71)
INSTALLING_BUTTON_HOVER = (0xE0, 0x5E, 0x76)


class Layout:
    """Layout units of the main screen for a client of w x h pixels at 96 DPI (scale 1)."""

    def __init__(self, w=1160, h=700, complete=False):
        scale = max(0.65, min(w / 920, h / 620, 1.0))
        W, H = w / scale, h / scale
        self.scale = scale
        CH = min(590, H - 56)
        TOP = max((H - CH) / 2, 0)
        PW = min(W * 0.56, 540)
        E = max(CH - 564, 0)
        self.W, self.TOP, self.CH, self.PW, self.E = W, TOP, CH, PW, E
        BW = (PW - 54) * 0.6
        self.primary = (50, TOP + CH - 117, BW if complete else PW - 44, 52)
        self.close = (60 + BW, TOP + CH - 117, PW - 54 - BW, 52) if complete else (0, 0, 0, 0)
        self.choose = (50, TOP + 333 + 0.35 * E, 154, 40)
        self.detect = (214, TOP + 333 + 0.35 * E, 142, 40)
        self.prev = (PW - 74, TOP + 242 + 0.15 * E, 30, 30)
        self.next = (PW - 36, TOP + 242 + 0.15 * E, 30, 30)
        self.pills = [(W - 254, 26, 58, 36), (W - 194, 26, 58, 36), (W - 134, 26, 54, 36)]
        self.mute = (W - 68, 24, 42, 40)
        self.open_app_folder = (PW - 156, TOP + 138, 145, 34)
        self.dot = (50 + 16, TOP + 119 + 19, 10, 10)
        self.source_line = (66, TOP + 229 + 0.15 * E + 8, PW - 44 - 116, 26)
        y4 = TOP + 382 + 0.6 * E
        self.status_line = (50, y4, PW - 44, min(max(TOP + CH - 133 - y4 - 8, 20), 32))
        self.progress = (50, TOP + CH - 133, PW - 44, 8)
        self.background = (W - 40, H - 40, 10, 10)   # outside the card: a neutral spot to click

    def centre(self, rect):
        x, y, w, h = rect
        return ((x + w / 2) * self.scale, (y + h / 2) * self.scale)

    def point(self, x, y):
        return (x * self.scale, y * self.scale)


class Window:
    def __init__(self, line):
        parts = line.split("\t")
        self.hwnd, self.pid, self.cls = parts[0], int(parts[1]), parts[2]
        self.outer = tuple(int(v) for v in parts[3].split(","))
        self.client = tuple(int(v) for v in parts[4].split(","))
        self.title = unescape(parts[5]) if len(parts) > 5 else ""

    def __repr__(self):
        return f"<{self.cls} {self.title!r} client={self.client}>"


class Box:
    def __init__(self, lines):
        self.caption = self.text = self.icon = ""
        self.default = 0
        self.buttons = []   # (id, (x, y, w, h) on screen, label)
        for line in lines:
            key, _, value = line.partition("=")
            if key == "caption":
                self.caption = unescape(value)
            elif key == "text":
                self.text = unescape(value)
            elif key == "icon":
                self.icon = value
            elif key == "default":
                self.default = int(value)
            elif key == "button":
                bid, rect, label = value.split("\t", 2)
                self.buttons.append((int(bid), tuple(int(v) for v in rect.split(",")), unescape(label)))

    def button(self, bid):
        for b in self.buttons:
            if b[0] == bid:
                return b
        return None

    def __repr__(self):
        return f"<box {self.caption!r} {self.text!r} icon={self.icon} buttons={[b[0] for b in self.buttons]}>"


IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(n, "\\" + n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Desktop:
    def __init__(self, build):
        self.build = build
        env = dict(os.environ)
        with open(os.path.join(build, "harness", "env")) as f:
            for line in f:
                line = line.strip()
                if line.startswith("export "):
                    key, _, value = line[len("export "):].partition("=")
                    env[key] = value
        self.env = env
        self.wintool_exe = os.path.join(build, "tests", "wintool.exe")
        self.shots = os.path.join(build, "e2e-shots")
        os.makedirs(self.shots, exist_ok=True)

    def wintool(self, *args, timeout=60):
        # Bounded; one retry when a call does not come back in time.
        for attempt in (1, 2):
            try:
                r = run_to_files(["wine", self.wintool_exe, *[str(a) for a in args]], self.env, timeout)
                return r.returncode, r.stdout.decode("utf-8", errors="replace").splitlines()
            except subprocess.TimeoutExpired:
                print(f"  note  wintool {args[0]} stalled (attempt {attempt})", flush=True)
        return 1, []

    def windows(self, cls="", title=""):
        _, lines = self.wintool("list", cls, title)
        return [Window(l) for l in lines if l.count("\t") >= 4]

    def wait_window(self, cls, timeout_ms=15000, title=""):
        rc, lines = self.wintool("wait", cls, timeout_ms, title, timeout=timeout_ms / 1000 + 15)
        return Window(lines[0]) if rc == 0 and lines else None

    def wait_gone(self, cls, timeout_ms=10000, title=""):
        rc, _ = self.wintool("gone", cls, timeout_ms, title, timeout=timeout_ms / 1000 + 15)
        return rc == 0

    def x_windows_on_screen(self, title):
        """Viewable X windows carrying exactly this title (what is really on the screen, which can
        lag behind what Wine's window list says)."""
        pattern = "^" + re.sub(r"([][.()*+?{}|^$\\])", r"\\\1", title) + "$"   # POSIX extended regex
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                           env=self.env, capture_output=True, text=True, timeout=30)
        return r.stdout.split()

    def wait_off_screen(self, title, timeout=10, keep=0):
        """Waits until at most `keep` viewable X windows carry the title. Without a window manager,
        Wine may leave the X window of a just-destroyed dialog mapped for a second or two (seen: it
        went when the next X event reached the program); until then that stale picture covers
        whatever lies under it and swallows a click, exactly like a real window."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if len(self.x_windows_on_screen(title)) <= keep:
                return True
            time.sleep(0.1)
        return False

    def box(self, timeout_ms=10000):
        rc, lines = self.wintool("box", timeout_ms, timeout=timeout_ms / 1000 + 15)
        return Box(lines) if rc == 0 else None

    def painted_box(self, timeout_ms=10000, settle=3):
        """Like box(), but reads it again (for up to `settle` seconds) while its icon cannot be
        told yet: wintool tells stock icons by their colours on the screen, and a box of a slow
        or busy program may not have painted its icon when it is first seen."""
        box = self.box(timeout_ms)
        end = time.monotonic() + settle
        while box is not None and box.icon == "other" and time.monotonic() < end:
            time.sleep(0.3)
            box = self.box(1000) or box
        return box

    def xdo(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, check=True, timeout=30)

    def pointer(self):
        out = subprocess.run(["xdotool", "getmouselocation"], env=self.env, capture_output=True, text=True,
                             timeout=30).stdout
        fields = dict(part.split(":", 1) for part in out.split() if ":" in part)
        return int(fields.get("x", -1)), int(fields.get("y", -1))

    def click_screen(self, x, y):
        self.move_screen(x, y)
        time.sleep(0.05)
        self.xdo("click", 1)

    def move_screen(self, x, y):
        # "mousemove --sync" waits for the pointer to move, which takes xdotool's whole timeout
        # (about 15 s) when it is already there.
        x, y = int(round(x)), int(round(y))
        if self.pointer() != (x, y):
            self.xdo("mousemove", "--sync", x, y)

    def key(self, name):
        self.xdo("key", name)

    def press_box_button(self, box, bid):
        """Clicks a message box button with the mouse, as a person would."""
        b = box.button(bid)
        if b is None:
            raise AssertionError(f"box has no button {bid}: {box}")
        x, y, w, h = b[1]
        self.click_screen(x + w / 2, y + h / 2)

    def screenshot(self, name=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env, capture_output=True,
                              check=True, timeout=30).stdout
        shot = Shot(data)
        if name:
            subprocess.run(["convert", "ppm:-", os.path.join(self.shots, name + ".png")], input=data,
                           timeout=30)
        return shot

    def run_wine(self, *args, timeout=60):
        return run_to_files(["wine", *args], self.env, timeout)


class Shot:
    """A P6 screenshot of the whole screen."""

    def __init__(self, data):
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        x, y = int(round(x)), int(round(y))
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def count_near(self, rect, colour, tolerance=40):
        """Pixels in a screen rectangle within a colour distance (anti-aliased text keeps some)."""
        x0, y0, w, h = (int(round(v)) for v in rect)
        n = 0
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                p = self.pixel(x, y)
                if sum(abs(p[k] - colour[k]) for k in range(3)) <= tolerance:
                    n += 1
        return n


def near(colour, expected, tolerance=24):
    return all(abs(colour[k] - expected[k]) <= tolerance for k in range(3))


class SlowDisk:
    """Makes one running process's file writes slow, as if its target were a slow disk: strace
    holds every write() of every thread for `delay` before it runs. Wine copies a patch with
    64 KiB writes at page-cache speed (1 GiB/s and more) and never reports progress, so without
    this a copy is over before a person could react to it; with 3 ms per write it runs at about
    15 MB/s for as long as the journey needs, and at full speed again once stopped. The other
    writes the process makes (a few requests to the Wine server) are slowed too, which only makes
    the window a little less brisk. Use as a context manager; `failure` says why it could not start."""

    def __init__(self, pid, delay="3ms"):
        self.pid, self.delay, self.tracer, self.failure = pid, delay, None, None

    def _traced(self):
        try:
            tasks = os.listdir(f"/proc/{self.pid}/task")
            for task in tasks:
                with open(f"/proc/{self.pid}/task/{task}/status") as f:
                    if any(line.startswith("TracerPid:") and line.split()[1] == "0" for line in f):
                        return False
            return bool(tasks)
        except OSError:
            return False

    def __enter__(self):
        try:
            self.tracer = subprocess.Popen(["strace", "-f", "-qq", "-p", str(self.pid), "-e", "trace=write",
                                            "-e", f"inject=write:delay_enter={self.delay}", "-o", "/dev/null"],
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except OSError as error:
            self.failure = f"strace cannot run ({error})"
            return self
        end = time.monotonic() + 5
        while not self._traced() and time.monotonic() < end and self.tracer.poll() is None:
            time.sleep(0.05)
        if not self._traced():
            self.stop()
            self.failure = "strace could not attach to the installer (ptrace not permitted?)"
        return self

    def stop(self):
        if self.tracer and self.tracer.poll() is None:
            self.tracer.terminate()   # detaches; the process runs on untouched
            try:
                self.tracer.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.tracer.kill()
                self.tracer.wait(timeout=10)
        self.tracer = None

    def __exit__(self, *exc):
        self.stop()
        return False


class Installer:
    """One running installer process started the way a player starts it (from its folder)."""

    def __init__(self, desktop, exe_win, args=(), cwd=None):
        self.desktop = desktop
        self.started = time.monotonic()
        self.exe_win = exe_win
        self.process = subprocess.Popen(["wine", exe_win, *args], env=desktop.env, cwd=cwd,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = None

    def unix_pid(self):
        """The Unix process that runs the installer's code. Where Wine can run 32-bit code too, `wine`
        hands a 64-bit program to start.exe, which runs it as a process of its own (named by its
        Windows path); elsewhere it is the process started here."""
        for entry in os.listdir("/proc"):
            try:
                argv0 = open(f"/proc/{entry}/cmdline", "rb").read().split(b"\0")[0]
            except OSError:
                continue
            if entry.isdigit() and argv0.decode(errors="replace").lower() == self.exe_win.lower():
                return int(entry)
        return self.process.pid

    def wait_main(self, timeout_ms=20000):
        self.window = self.desktop.wait_window(MAIN, timeout_ms)
        return self.window

    def refresh(self):
        wins = [w for w in self.desktop.windows(MAIN)]
        self.window = wins[0] if wins else None
        return self.window

    def layout(self, complete=False):
        _, _, w, h = self.window.client
        return Layout(w, h, complete)

    def to_screen(self, point):
        cx, cy, _, _ = self.window.client
        return (cx + point[0], cy + point[1])

    def click(self, rect, complete=False):
        layout = self.layout(complete)
        self.desktop.click_screen(*self.to_screen(layout.centre(rect)))

    def click_layout(self, name, complete=False):
        layout = self.layout(complete)
        rect = getattr(layout, name)
        self.desktop.click_screen(*self.to_screen(layout.centre(rect)))

    def focus(self):
        """Clicks an inert spot of the window so its keys go to it."""
        layout = self.layout()
        self.desktop.click_screen(*self.to_screen(layout.centre(layout.background)))

    def key(self, name):
        self.focus()
        self.desktop.key(name)

    def pixel(self, shot, point):
        return shot.pixel(*self.to_screen(point))

    def screen_rect(self, rect):
        layout = self.layout()
        x, y = self.to_screen(layout.point(rect[0], rect[1]))
        return (x, y, rect[2] * layout.scale, rect[3] * layout.scale)

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)
