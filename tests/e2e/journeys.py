#!/usr/bin/python3
"""End-to-end journeys: the real installer under Wine on the test display, driven only with real
mouse clicks and keys, checked by what a person sees (window titles, message boxes, colours at
layout points) and by what ends up on disk. Usage: journeys.py <journey>... (or "all").
Needs LUMIVEX_BUILD (harness env, tools) and LUMIVEX_EXE (the installer)."""
import contextlib
import os
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from driver import (BOX, IDNO, IDOK, IDYES, LANGUAGE, LANGUAGE_WINDOW_TITLE, MAIN, TEXTS, TITLES,  # noqa: E402
                    GREEN_DOT, INSTALLING_BUTTON, INSTALLING_BUTTON_HOVER, PRIMARY_ENABLED, PRIMARY_HOVER,
                    PROGRESS_FILL, RED_DOT, SELECTED_PILL, SOURCE_AMBER, SOURCE_GREEN, STATUS_AMBER, STATUS_RED, Desktop, Installer, Layout, SlowDisk, near)
from world import Prefix, SteamWorld, STEAM_KEY, write_rpa, write_sparse_rpa  # noqa: E402

BUILD = os.environ["LUMIVEX_BUILD"]
EXE = os.environ["LUMIVEX_EXE"]
EN, TW, CN = 2, 1, 0
SKIPPED = 77   # the exit code tests.cmake tells ctest to report as "skipped"


class Failure(Exception):
    pass


class Skip(Exception):
    """This machine cannot run the journey (said why); ctest reports it as skipped."""


class Journey:
    def __init__(self, name):
        self.name = name
        self.failures = []
        self.desktop = Desktop(BUILD)
        self.prefix = Prefix(self.desktop.env["WINEPREFIX"], self.desktop.env["DISPLAY"])
        self.d_folder = os.path.join(BUILD, "e2e-d", name)
        shutil.rmtree(self.prefix.drive_c("e2e", name), ignore_errors=True)
        shutil.rmtree(self.d_folder, ignore_errors=True)
        self.prefix.map_drive("d", self.d_folder)
        self.prefix.reg_delete_key(STEAM_KEY)
        self.world = SteamWorld(self.prefix, f"e2e\\{name}", self.d_folder, os.path.join(BUILD, "tests"))
        self.installers = []

    # -- checks: a failed check is recorded and the journey goes on; require() stops it.
    def check(self, ok, what):
        print(("  ok    " if ok else "  FAIL  ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def require(self, ok, what):
        if not self.check(ok, what):
            raise Failure(what)

    # -- world helpers
    def standard_world(self, second_library=False, exe_in_c=True):
        w = self.world
        libs = [(w.steam_win, True)] + ([(w.library_d_win, True)] if second_library else [])
        w.make_steam(libs)
        c_game = w.add_game(w.steam_win, manifest_age_days=40, with_exe=exe_in_c)
        d_game = w.add_game(w.library_d_win, manifest_age_days=2) if second_library else None
        return c_game, d_game

    def installer_folder(self, patch=True, patch_size=3 * 1024 * 1024, folder=None):
        folder = folder or f"C:\\e2e\\{self.name}\\Downloads\\Lumivex Patch 1.0.0"
        exe = self.world.make_installer_folder(folder, EXE, patch_size=patch_size, patch=patch)
        return exe, folder

    def start(self, exe_win, *args):
        inst = Installer(self.desktop, exe_win, args, cwd=self.world.unix(exe_win.rsplit("\\", 1)[0]))
        self.installers.append(inst)
        return inst

    def main_window(self, inst, title=None):
        win = inst.wait_main(20000)
        self.require(win is not None, "the installer window appears")
        if title is not None:
            self.check(win.title == title, f"window title is {title!r} (got {win.title!r})")
        time.sleep(0.5)   # first paint
        return win

    def read_file(self, windows_path):
        with open(self.world.unix(windows_path), "rb") as f:
            return f.read()

    def exists(self, windows_path):
        return os.path.isfile(self.world.unix(windows_path))

    # -- what the screen shows
    def shot(self, inst, label):
        inst.refresh()
        return self.desktop.screenshot(f"{self.name}-{label}")

    def dot(self, inst, shot):
        layout = inst.layout()
        return inst.pixel(shot, layout.centre(layout.dot))

    def primary_colour(self, inst, shot, complete=False):
        layout = inst.layout(complete)
        x, y, w, h = layout.primary
        return inst.pixel(shot, layout.point(x + 8, y + h / 2))

    def progress_full(self, inst, shot):
        layout = inst.layout()
        x, y, w, h = layout.progress
        return near(inst.pixel(shot, layout.point(x + w - 6, y + 4)), PROGRESS_FILL, 30)

    def shows_complete(self, inst, shot):
        # The close button only exists in Complete, and the bar is full.
        return self.progress_full(inst, shot) and near(self.primary_colour(inst, shot, True), PRIMARY_ENABLED, 30)

    def colour_count(self, inst, shot, rect, colour):
        return shot.count_near(inst.screen_rect(rect), colour, 40)

    def wait_for_screen(self, inst, predicate, timeout=30, label="wait"):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if inst.refresh() is None:
                # Gone for good only once the process has ended: a window missing from one listing
                # of a busy desktop is looked for again.
                if inst.process.poll() is not None:
                    return None
                time.sleep(0.3)
                continue
            shot = self.desktop.screenshot(f"{self.name}-{label}")  # not shot(): one more listing could miss it
            if predicate(shot):
                return shot
            time.sleep(0.3)
        return None

    def wait_complete(self, inst, timeout=60):
        return self.wait_for_screen(inst, lambda s: self.shows_complete(inst, s), timeout, "complete")

    def pick_language_by_click(self, index):
        lw = self.desktop.wait_window(LANGUAGE, 20000)
        self.require(lw is not None, "the language window appears first")
        self.check(lw.title == LANGUAGE_WINDOW_TITLE, f"language window title {lw.title!r}")
        self.check(lw.client[2:] == (650, 280), f"language window client 650x280 (got {lw.client[2:]})")
        self.check(not self.desktop.windows(MAIN), "no installer window before a language is chosen")
        x = lw.client[0] + 42 + 196 * index + 87
        y = lw.client[1] + 118 + 48
        self.desktop.click_screen(x, y)
        self.check(self.desktop.wait_gone(LANGUAGE, 10000), "the language window closes after the click")

    def close_game_windows(self):
        self.desktop.wintool("close", "LumivexDemoGame")
        self.desktop.wait_gone("LumivexDemoGame", 5000)

    def finish(self):
        self.close_game_windows()
        for inst in self.installers:
            if inst.process.poll() is None:
                self.desktop.wintool("close", MAIN)
                if inst.wait_exit(5) is None:
                    inst.kill()
        # Boxes or dialogs left over by a failed step.
        for cls in (BOX, MAIN):
            for _ in range(3):
                if not self.desktop.windows(cls):
                    break
                self.desktop.wintool("close", cls)
                time.sleep(0.5)


# ---------------------------------------------------------------------------------------------
def first_start(j):
    c_game, _ = j.standard_world()
    exe, folder = j.installer_folder()
    inst = j.start(exe)
    j.pick_language_by_click(EN)
    j.main_window(inst, TITLES[EN])
    shot = j.shot(inst, "ready")
    layout = inst.layout()
    j.check(j.colour_count(inst, shot, layout.source_line, SOURCE_GREEN) > 15,
            "location line says a game was detected (green text)")
    j.check(near(inst.pixel(shot, layout.point(layout.pills[2][0] + 5, 44)), SELECTED_PILL),
            "the EN pill is the selected one")
    inst.click_layout("primary")
    shot = j.wait_complete(inst)
    j.require(shot is not None, "the bar runs to the end and the screen shows 'Installation complete'")
    patch = j.read_file(folder + "\\patch.rpa")
    j.check(j.exists(c_game + "\\patch.rpa") and j.read_file(c_game + "\\patch.rpa") == patch,
            "patch.rpa is in the game folder, byte for byte")
    inst.click_layout("primary", complete=True)
    game = j.desktop.wait_window("LumivexDemoGame", 15000)
    j.check(game is not None and game.title == "Lumivex: Orrendale (demo)", "'Launch game' starts Lumivex.exe")
    code = inst.wait_exit(20)
    j.check(code == 0, f"the installer closes with exit code 0 (got {code})")
    record = c_game.rsplit("\\", 1)[0] + "\\lumivex-launch.txt"
    if j.check(j.exists(record), "the game recorded its start"):
        cwd = j.read_file(record).decode("utf-8").splitlines()[0]
        j.check(cwd.lower().rstrip("\\") == c_game.rsplit("\\", 1)[0].lower(),
                f"the game's working folder is the game root (got {cwd!r})")


def two_libraries(j):
    c_game, d_game = j.standard_world(second_library=True)
    exe, folder = j.installer_folder()
    # Run 1: no arrow: the newer manifest (D:) is the one chosen first.
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst, TITLES[EN])
    j.check(not j.desktop.windows(LANGUAGE), "--lang en: no language window")
    shot = j.shot(inst, "two")
    layout = inst.layout()
    j.check(j.colour_count(inst, shot, layout.next, (0x5C, 0x46, 0x5F)) > 5, "arrows shown for two locations")
    inst.click_layout("primary")
    j.require(j.wait_complete(inst) is not None, "install completes")
    j.check(j.exists(d_game + "\\patch.rpa"), "without stepping, the patch goes to D: (newer manifest)")
    j.check(not j.exists(c_game + "\\patch.rpa"), "... and not to the older library")
    inst.click_layout("close", complete=True)
    j.check(inst.wait_exit(15) == 0, "'Close installer' ends with exit code 0")
    os.remove(j.world.unix(d_game + "\\patch.rpa"))
    # Run 2: right arrow selects the other library; the patch goes there only.
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    inst.click_layout("next")
    time.sleep(0.3)
    inst.click_layout("primary")
    j.require(j.wait_complete(inst) is not None, "install completes after stepping")
    j.check(j.exists(c_game + "\\patch.rpa"), "after the right arrow the patch goes to the other library")
    j.check(not j.exists(d_game + "\\patch.rpa"), "... and only there")
    inst.key("Escape")
    j.check(inst.wait_exit(15) == 0, "Escape closes with exit code 0")


def choose_in_dialog(j, inst, windows_folder, expect_title="Select the Lumivex: Orrendale game folder"):
    dialog = j.desktop.wait_window(BOX, 10000)
    if not j.check(dialog is not None, "the folder dialog opens"):
        return False
    j.check(dialog.title == expect_title, f"folder dialog title {dialog.title!r}")
    time.sleep(0.5)
    j.desktop.xdo("type", "--delay", "20", windows_folder)
    j.desktop.key("Return")
    time.sleep(1.0)
    box = j.desktop.box(3000)
    if box is not None and box.button(IDOK) and box.caption == dialog.title:
        j.desktop.press_box_button(box, IDOK)   # "Select Folder"
    closed = j.check(j.desktop.wait_gone(BOX, 10000, expect_title), "the folder dialog closes")
    # What comes next (a message, a click on the window) must not land on the dialog's stale picture.
    j.check(j.desktop.wait_off_screen(expect_title, 10), "the folder dialog is gone from the screen")
    return closed


def no_game(j):
    # A library nobody registered: not in the registry, not at a place the drive scan looks.
    lib = f"C:\\e2e\\{j.name}\\Games\\MyLibrary"
    game = j.world.add_game(lib, manifest_age_days=5)
    os.makedirs(j.world.unix(f"C:\\e2e\\{j.name}\\Empty"), exist_ok=True)
    exe, folder = j.installer_folder()
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst, TITLES[EN])
    shot = j.shot(inst, "nogame")
    layout = inst.layout()
    j.check(near(j.dot(inst, shot), GREEN_DOT), "patch found (green dot)")
    j.check(j.colour_count(inst, shot, layout.source_line, SOURCE_AMBER) > 15, "amber 'No game folder' line")
    j.check(not near(j.primary_colour(inst, shot), PRIMARY_ENABLED, 30), "'Install patch' is disabled")
    # Ctrl+B opens the dialog too; cancelling changes nothing.
    inst.key("ctrl+b")
    dialog = j.desktop.wait_window(BOX, 10000)
    if j.check(dialog is not None, "Ctrl+B opens the folder dialog"):
        j.desktop.key("Escape")
        j.check(j.desktop.wait_gone(BOX, 10000), "Escape cancels the dialog")
        # On this desktop (Wine, no window manager) the cancelled dialog's picture can stay on the
        # screen for a second or two after the dialog itself is gone, and it lies over 'Choose
        # folder': a click there only makes the picture go away (seen with WINEDEBUG=+event: the
        # press goes to the dialog's X window, which no Windows window owns any more). A person
        # waits until the dialog has visibly vanished before clicking, and so does this journey.
        j.check(j.desktop.wait_off_screen(dialog.title, 10), "the cancelled dialog is gone from the screen")
    # A folder without the game: the hint.
    inst.click_layout("choose")
    if choose_in_dialog(j, inst, f"C:\\e2e\\{j.name}\\Empty"):
        box = j.desktop.box(10000)
        if j.check(box is not None, "a folder without the game gives a message"):
            j.check(box.text == TEXTS["selectFolderHint"][EN], f"hint text (got {box.text!r})")
            j.check(box.icon == "warning" and box.caption == TITLES[EN], f"warning icon, title caption {box}")
            j.desktop.press_box_button(box, IDOK)
            # The message is captioned like the window: wait until only the window carries the title.
            j.check(j.desktop.wait_off_screen(TITLES[EN], 10, keep=1), "the hint is gone from the screen")
    # The library root: resolves to its game folder.
    inst.click_layout("choose")
    if choose_in_dialog(j, inst, lib):
        time.sleep(0.5)
        shot = j.shot(inst, "chosen")
        j.check(j.colour_count(inst, shot, layout.source_line, SOURCE_GREEN) > 15,
                "'Manually selected game folder' (green line)")
        inst.click_layout("primary")
        j.check(j.wait_complete(inst) is not None, "install completes")
        j.check(j.exists(game + "\\patch.rpa") and
                j.read_file(game + "\\patch.rpa") == j.read_file(folder + "\\patch.rpa"),
                "patch.rpa copied into the chosen library's game folder")
    inst.key("Escape")
    j.check(inst.wait_exit(15) == 0, "exit code 0")


def patch_missing(j):
    j.standard_world()
    exe, folder = j.installer_folder(patch=False)
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    # (What this screen says, and "Detect again" finding a late patch, are read through the
    # installer's accessible object by tests/ui/accessible_test.cpp.)
    before = {w.hwnd for w in j.desktop.windows()}
    inst.click_layout("open_app_folder")
    opened = None
    for _ in range(30):
        opened = [w for w in j.desktop.windows() if w.hwnd not in before and w.cls not in (MAIN, BOX)]
        if opened:
            break
        time.sleep(0.3)
    j.check(bool(opened), f"'Open app folder' opens a folder window ({opened})")
    for w in opened or []:
        j.desktop.wintool("close", w.cls)
    write_rpa(j.world.unix(folder + "\\patch.rpa"), 2 * 1024 * 1024, "late patch")
    inst.key("F5")
    j.check(j.wait_for_screen(inst, lambda s: near(j.dot(inst, s), GREEN_DOT), 10, "f5green") is not None,
            "F5 after placing the patch: green")
    os.remove(j.world.unix(folder + "\\patch.rpa"))
    inst.key("F5")
    j.check(j.wait_for_screen(inst, lambda s: near(j.dot(inst, s), RED_DOT), 10, "f5red") is not None,
            "F5 after removing it: red")
    inst.key("Escape")
    j.check(inst.wait_exit(15) == 0, "exit code 0")


def already_in_place(j):
    c_game, _ = j.standard_world()
    exe, folder = j.installer_folder(folder=c_game)
    patch_unix = j.world.unix(c_game + "\\patch.rpa")
    before = os.stat(patch_unix)
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    shot = j.shot(inst, "inplace")
    layout = inst.layout()
    j.check(j.colour_count(inst, shot, layout.status_line, (0x26, 0x8E, 0x67)) > 15,
            "green status line ('The patch is already in the correct folder')")
    inst.click_layout("primary")
    shot = j.wait_complete(inst, 10)
    j.check(shot is not None, "install goes straight to 'Installation complete'")
    after = os.stat(patch_unix)
    j.check(after.st_ino == before.st_ino and after.st_mtime_ns == before.st_mtime_ns,
            "the patch file was not rewritten")
    inst.click_layout("close", complete=True)
    j.check(inst.wait_exit(15) == 0, "exit code 0")


def shows_installing(j, inst, shot):
    colour = j.primary_colour(inst, shot)
    return near(colour, INSTALLING_BUTTON, 14) or near(colour, INSTALLING_BUTTON_HOVER, 14)


def shows_cancelled(j, inst, shot):
    # 'Installation cancelled' in amber under an enabled 'Install patch' (the copy in this journey
    # always goes to a folder without a patch, so Ready says 'Ready to install' in green instead).
    layout = inst.layout()
    return (j.colour_count(inst, shot, layout.status_line, STATUS_AMBER) > 15 and
            not shows_installing(j, inst, shot) and not j.progress_full(inst, shot))


def same_bytes(a, b):
    if not (os.path.isfile(a) and os.path.isfile(b)) or os.path.getsize(a) != os.path.getsize(b):
        return False
    return subprocess.run(["cmp", "-s", a, b], timeout=120).returncode == 0


def start_copy(j, inst, dest, label):
    """From any state but Installing: back to Ready with no patch in the game folder, then 'Install
    patch' the way a person presses it (pointer on the button, it lights up, click). Returns once
    the screen shows the copy running; stops the journey when it never does."""
    if os.path.exists(dest):
        os.remove(dest)
    inst.key("F5")
    layout = inst.layout()
    inst.desktop.move_screen(*inst.to_screen(layout.centre(layout.primary)))
    lit = j.wait_for_screen(inst, lambda s: near(j.primary_colour(inst, s), PRIMARY_HOVER, 16) and
                            not j.progress_full(inst, s), 10, label + "-ready")
    j.require(lit is not None, f"{label}: 'Install patch' is enabled and lights up under the pointer")
    inst.click_layout("primary")
    shot = j.wait_for_screen(inst, lambda s: shows_installing(j, inst, s) or j.shows_complete(inst, s), 10, label)
    running = shot is not None and shows_installing(j, inst, shot)
    if not running:
        print(f"  note  {label}: {os.path.getsize(dest) if os.path.exists(dest) else 'no'} bytes copied", flush=True)
    j.require(running, f"{label}: the screen shows the copy running (dark 'Cancel installation')")


def ask_to_close(j, inst):
    """Asks the window to close, as a person does on this desktop. Without a window manager the
    window has no frame at all (X draws none, and Wine leaves the frame to the window manager), so
    there is no close box to click; Alt+F4 makes the same request (SC_CLOSE, then WM_CLOSE)."""
    inst.key("alt+F4")
    return j.desktop.painted_box(10000)


def interrupted(j):
    c_game, _ = j.standard_world()
    exe, folder = j.installer_folder(patch=False)
    source = j.world.unix(folder + "\\patch.rpa")
    write_sparse_rpa(source, 512 << 20, "patch")
    dest = j.world.unix(c_game + "\\patch.rpa")
    game_files = sorted(os.listdir(j.world.unix(c_game)))
    installer_files = sorted(os.listdir(j.world.unix(folder)))

    def no_stray_files(what, patch_expected):
        got = sorted(os.listdir(j.world.unix(c_game)))
        want = sorted(game_files + (["patch.rpa"] if patch_expected else []))
        j.check(got == want, f"{what}: nothing else left in the game folder ({got})")
        got = sorted(os.listdir(j.world.unix(folder)))
        j.check(got == installer_files, f"{what}: the installer folder is as it was ({got})")

    @contextlib.contextmanager
    def slow_disk():
        # Wine copies at page-cache speed and never reports progress, so without a slow disk the
        # copy is over before a person (or this journey, which first makes sure the screen shows
        # the copy running) can act. A bigger patch is no way out: below the kernel's dirty-page
        # limit (about 3 GiB here) a copy still ends before a click lands, and above it every
        # writer on the machine crawls at disk speed (seen: 17 s until the screen showed the copy
        # running, 35-50 s per 6 GiB copy). The slow disk lasts while the person acts; then the
        # copy finishes at full speed.
        with SlowDisk(inst.unix_pid()) as slow:
            if slow.failure:
                raise Skip(slow.failure)
            yield slow

    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    try:
        # Cancel with the main button and with Escape. On Windows the copy stops and the screen says
        # 'Installation cancelled' (tests/install proves that with a stand-in copy that honours
        # cancellation the way Windows does); Wine ignores the request and the copy runs to its
        # end. Either way the window must stay alive and answer, end in one of those two states,
        # and leave either the whole patch or none of it - and a late cancel must never turn into
        # 'Launch game'.
        for how in ("button", "escape"):
            with slow_disk():
                start_copy(j, inst, dest, f"cancel-{how}")
                if how == "button":
                    inst.click_layout("primary")
                else:
                    inst.key("Escape")
                time.sleep(0.5)
                j.check(inst.process.poll() is None, f"cancel by {how}: the installer is still running")
            end = j.wait_for_screen(inst, lambda s: j.shows_complete(inst, s) or shows_cancelled(j, inst, s),
                                    60, f"cancel-{how}-end")
            j.check(not j.desktop.windows("LumivexDemoGame"), f"cancel by {how}: no game was started")
            if end is None:
                time.sleep(3)  # time for a game that a late click started to show up
                print(f"  note  cancel by {how}: no end screen; exit code {inst.process.poll()}, window listed "
                      f"{inst.refresh() is not None}, game window {bool(j.desktop.windows('LumivexDemoGame'))}",
                      flush=True)
            j.require(end is not None and inst.process.poll() is None,
                      f"cancel by {how}: the window stays and shows how the copy ended")
            if j.shows_complete(inst, end):
                print(f"  note  cancel by {how}: the copy ran to its end (Wine ignores cancellation)", flush=True)
                j.check(same_bytes(source, dest), f"cancel by {how}, Complete: the patch is whole, byte for byte")
                no_stray_files(f"cancel by {how}", True)
            else:
                print(f"  note  cancel by {how}: Installation cancelled", flush=True)
                j.check(not os.path.exists(dest), f"cancel by {how}, Cancelled: no partial patch left")
                no_stray_files(f"cancel by {how}", False)

        # Closing while copying: the question; No keeps the window and the copy going; asked
        # again, Yes closes the window at once and the process ends once the worker has.
        with slow_disk():
            start_copy(j, inst, dest, "close")
            box = ask_to_close(j, inst)
            j.desktop.screenshot(f"{j.name}-question")
            j.require(box is not None, "closing during the copy asks first")
            j.check(box.text == TEXTS["confirmCancelExit"][EN], f"question text {box.text!r}")
            j.check(box.caption == TITLES[EN], f"question caption is the window title {box.caption!r}")
            j.check(box.icon == "warning" and box.button(IDYES) is not None and box.button(IDNO) is not None,
                    f"warning icon, Yes and No ({box})")
            # Enter answers with the default button, which must be No: the answer that keeps the
            # copy going. (Asked with DM_GETDEFID, Wine's box says IDOK while it shows No as its
            # default, so the box is asked the way a person would ask it.)
            x, y, w, h = box.button(IDNO)[1]
            j.desktop.move_screen(x + w / 2, y - 20)
            j.desktop.key("Return")
            j.check(j.desktop.wait_gone(BOX, 5000), "No (Enter, the default): the question closes")
            j.check(j.desktop.wait_off_screen(TITLES[EN], 10, keep=1), "No: the question is gone from the screen")
            shot = j.shot(inst, "close-no")
            j.require(inst.process.poll() is None and inst.window is not None, "No: the window stays")
            j.require(shows_installing(j, inst, shot), "No: the copy goes on (dark 'Cancel installation')")
            box = ask_to_close(j, inst)
            j.require(box is not None, "closing again asks again")
            j.check(box.text == TEXTS["confirmCancelExit"][EN], f"question text again {box.text!r}")
            j.desktop.press_box_button(box, IDYES)
            j.check(j.desktop.wait_gone(MAIN, 5000), "Yes: the window goes away at once")
            partial = os.path.getsize(dest) if os.path.exists(dest) else 0
            print(f"  note  window gone with {partial >> 20} of {os.path.getsize(source) >> 20} MiB copied",
                  flush=True)
            # The process must not end while the worker may still write: alive until the copy is
            # over (Wine), or gone with no partial file left behind (Windows removes it).
            half = os.path.exists(dest) and os.path.getsize(dest) < os.path.getsize(source)
            j.check(inst.process.poll() is None or not half,
                    "Yes: the process waits for the copy instead of leaving a half-written patch")
        code = inst.wait_exit(60)
        j.check(code == 0, f"Yes: exit code 0 once the worker has ended (got {code})")
        # Wine finishes the copy before the worker ends; Windows stops it and removes the partial file.
        whole = same_bytes(source, dest)
        j.check(whole or not os.path.exists(dest),
                "after the exit the patch in the game folder is either whole or not there at all")
        no_stray_files("after the exit", whole)
    finally:
        for path in (dest, source):
            if os.path.exists(path):
                os.remove(path)


def failures(j):
    c_game, d_game = j.standard_world(second_library=True, exe_in_c=False)
    exe, folder = j.installer_folder()
    # (a) destination held open: the in-use warning.
    holder = subprocess.Popen(["wine", j.desktop.wintool_exe, "hold", d_game + "\\patch.rpa", "60000"],
                              env=j.desktop.env, stdout=subprocess.PIPE)
    holder.stdout.readline()
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    inst.click_layout("primary")
    box = j.desktop.box(15000)
    if j.check(box is not None, "held destination: a message"):
        j.check(box.text.startswith(TEXTS["patchInUse"][EN]), f"in-use text {box.text!r}")
        j.check(box.icon == "warning" and box.caption == TITLES[EN], f"warning, caption ({box})")
        j.desktop.press_box_button(box, IDOK)
        j.check(j.desktop.wait_gone(BOX, 5000), "the warning closes")
        shot = j.wait_for_screen(inst, lambda s: j.colour_count(inst, s, inst.layout().status_line, STATUS_RED) > 15,
                                 10, "inuse")
        j.check(shot is not None, "red status line (Failed)")
    holder.kill()
    holder.wait()
    inst.key("Escape")
    j.check(inst.wait_exit(15) == 0, "exit code 0")
    # (b) read-only destination (immutable folder): the administrator question; Yes restarts.
    gdir = j.world.unix(c_game)
    locked = subprocess.run(["chattr", "+i", gdir]).returncode == 0
    if j.check(locked, "game folder made unwritable (chattr +i)"):
        try:
            inst = j.start(exe, "--lang", "zh-TW")
            j.main_window(inst, TITLES[TW])
            inst.click_layout("next")          # the older library in C:, the locked one
            time.sleep(0.3)
            inst.click_layout("primary")
            box = j.desktop.box(15000)
            if j.check(box is not None, "unwritable folder: a question"):
                j.check(box.text == TEXTS["notWritableRestartAdmin"][TW], f"question text {box.text!r}")
                j.check(box.icon == "warning" and box.button(IDYES) and box.button(IDNO), f"Yes/No warning {box}")
                old_pid = inst.window.pid
                j.desktop.press_box_button(box, IDYES)
                code = inst.wait_exit(20)
                j.check(code == 0, f"the first instance ends with 0 (got {code})")
                new = j.desktop.wait_window(MAIN, 20000)
                j.check(new is not None and new.pid != old_pid, "a new instance opens")
                j.check(not j.desktop.windows(LANGUAGE), "... without asking for the language")
                if new is not None:
                    j.check(new.title == TITLES[TW], f"... in the same language ({new.title!r})")
                    subprocess.run(["chattr", "-i", gdir])
                    again = Installer.__new__(Installer)
                    again.desktop, again.window, again.process = j.desktop, new, None
                    time.sleep(0.5)
                    again.click_layout("primary")     # no stepping: --dest is selected
                    j.check(j.wait_complete(again, 30) is not None, "the new instance installs")
                    j.check(j.exists(c_game + "\\patch.rpa"), "... into the --dest folder")
                    again.key("Escape")
                    j.check(j.desktop.wait_gone(MAIN, 10000), "new instance closes")
        finally:
            subprocess.run(["chattr", "-i", gdir])
    # (c) game executable missing.
    for path in (c_game + "\\patch.rpa",):
        if j.exists(path):
            os.remove(j.world.unix(path))
    inst = j.start(exe, "--lang", "en")
    j.main_window(inst)
    inst.click_layout("next")
    time.sleep(0.3)
    inst.click_layout("primary")
    if j.check(j.wait_complete(inst) is not None, "install completes"):
        inst.click_layout("primary", complete=True)
        box = j.desktop.box(10000)
        game_exe = c_game.rsplit("\\", 1)[0] + "\\Lumivex.exe"
        if j.check(box is not None, "missing Lumivex.exe: a message"):
            j.check(box.text.lower() == (TEXTS["gameExeNotFound"][EN] + "\n\n" + game_exe).lower(),
                    f"text names the missing exe {box.text!r}")
            j.check(box.icon == "warning", f"warning icon {box.icon}")
            j.desktop.press_box_button(box, IDOK)
            j.check(inst.process.poll() is None, "the installer stays open")
    inst.click_layout("close", complete=True)
    j.check(inst.wait_exit(15) == 0, "exit code 0")


def from_temp(j):
    temp = j.desktop.run_wine("cmd", "/c", "echo %TEMP%").stdout.decode().strip()
    j.require(temp.endswith("Temp"), f"temp folder {temp!r}")
    unix_temp = j.desktop.run_wine("winepath", "-u", temp).stdout.decode().strip()
    for lang, args in ((EN, ()), (CN, ("--lang", "zh-CN"))):
        sub = f"Rar$EXa{lang}.{j.name}"
        shutil.rmtree(os.path.join(unix_temp, sub), ignore_errors=True)
        os.makedirs(os.path.join(unix_temp, sub))
        shutil.copyfile(EXE, os.path.join(unix_temp, sub, "LumivexPatchInstaller.exe"))
        inst = Installer(j.desktop, f"{temp}\\{sub}\\LumivexPatchInstaller.exe", args,
                         cwd=os.path.join(unix_temp, sub))
        j.installers.append(inst)
        if not args:
            lw = j.desktop.wait_window(LANGUAGE, 20000)
            j.require(lw is not None, "language window first")
            j.desktop.click_screen(lw.client[0] + 300, lw.client[1] + 60)   # focus, off the buttons
            j.desktop.key("e")
        box = j.desktop.box(20000)
        if j.check(box is not None, f"running from temp ({lang}): a message"):
            j.check(box.caption == TEXTS["extractZipFirst"][lang], f"caption {box.caption!r}")
            if lang == EN:
                j.check(box.text == TEXTS["runningFromTemp"][EN], f"text {box.text!r}")
            j.check(box.icon == "error", f"error icon {box.icon}")
            j.check(not j.desktop.windows(MAIN), "no installer window")
            j.desktop.press_box_button(box, IDOK)
        j.check(inst.wait_exit(15) == 0, "exit code 0")
        shutil.rmtree(os.path.join(unix_temp, sub), ignore_errors=True)


JOURNEYS = {f.__name__: f for f in (first_start, two_libraries, no_game, patch_missing, already_in_place,
                                     interrupted, failures, from_temp)}


def main(names):
    if names == ["all"]:
        names = list(JOURNEYS)
    failed, skipped = [], []
    for name in names:
        print(f"== {name}", flush=True)
        j = Journey(name)
        start = time.monotonic()
        try:
            JOURNEYS[name](j)
        except Failure:
            pass
        except Skip as reason:
            print(f"  SKIP  {reason}", flush=True)
            skipped.append(name)
        except Exception:
            traceback.print_exc()
            j.failures.append("exception")
        finally:
            j.finish()
        print(f"== {name}: {'PASS' if not j.failures else 'FAIL'} ({time.monotonic() - start:.1f} s)", flush=True)
        if j.failures:
            failed.append(name)
    if failed:
        print("failed journeys:", " ".join(failed))
    if skipped:
        print("skipped journeys:", " ".join(skipped))
    return 1 if failed else SKIPPED if skipped else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["all"]))
