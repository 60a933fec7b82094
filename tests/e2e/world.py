"""A believable Steam world inside a Wine prefix, for the demo and the journeys.

Steam sits in a folder that only the registry points to (HKCU\\Software\\Valve\\Steam SteamPath,
lower case with forward slashes, as Steam writes it); its libraryfolders.vdf uses the block format
and lists a second library on drive D: (a dosdevices link to a folder outside the prefix). Each
library holds the game folder with a few .rpa archives, the game's Lumivex.exe (the demo stand-in)
and, when asked, an app manifest of a given age. The installer folder holds the exe and patch.rpa.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

GAME_ID = "2468020"
GAME_DIR = "Lumivex Orrendale"
STEAM_KEY = r"HKCU\Software\Valve\Steam"


def pseudo_random_bytes(size, seed):
    """Deterministic bytes (so two runs pack the same sample patch)."""
    out = bytearray()
    block = hashlib.sha256(seed.encode()).digest()
    while len(out) < size:
        block = hashlib.sha256(block).digest()
        out += block * 64
    return bytes(out[:size])


def write_rpa(path, size, seed):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    header = b"RPA-3.0 0000000000000000 42424242\n"
    with open(path, "wb") as f:
        f.write(header + pseudo_random_bytes(max(0, size - len(header)), seed))


def write_sparse_rpa(path, size, seed):
    """A big patch that costs no disk space: a real header, a random block at every GiB and at
    the end (so a copy that is short, misplaced or stitched together does not compare equal), and
    holes in between. Only a copy of it occupies the full size."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    header = b"RPA-3.0 0000000000000000 42424242\n"
    block = 64 * 1024
    with open(path, "wb") as f:
        f.write(header)
        for offset in list(range(1 << 30, size - block, 1 << 30)) + [size - block]:
            f.seek(offset)
            f.write(pseudo_random_bytes(block, f"{seed}@{offset}"))
        f.truncate(size)


def vdf_path(windows_path):
    # Steam escapes backslashes in its key-value files.
    return windows_path.replace("\\", "\\\\")


def library_folders_vdf(libraries):
    """libraries: list of (windows_path, has_game)."""
    lines = ['"libraryfolders"', "{"]
    for index, (path, has_game) in enumerate(libraries):
        lines += [
            f'\t"{index}"', "\t{",
            f'\t\t"path"\t\t"{vdf_path(path)}"',
            '\t\t"label"\t\t""',
            f'\t\t"contentid"\t\t"{4711230985712 + index}"',
            '\t\t"totalsize"\t\t"0"',
            '\t\t"update_clean_bytes_tally"\t\t"1873265"',
            '\t\t"time_last_update_corruption"\t\t"0"',
            '\t\t"apps"', "\t\t{",
            '\t\t\t"228980"\t\t"448521"',
        ]
        if has_game:
            lines.append(f'\t\t\t"{GAME_ID}"\t\t"1362214912"')
        lines += ["\t\t}", "\t}"]
    lines.append("}")
    return "\n".join(lines) + "\n"


def app_manifest(install_dir, updated):
    return "\n".join([
        '"AppState"', "{",
        f'\t"appid"\t\t"{GAME_ID}"',
        '\t"Universe"\t\t"1"',
        '\t"LauncherPath"\t\t"C:\\\\Program Files (x86)\\\\Steam\\\\steam.exe"',
        '\t"name"\t\t"Lumivex: Orrendale"',
        '\t"StateFlags"\t\t"4"',
        f'\t"installdir"\t\t"{install_dir}"',
        f'\t"LastUpdated"\t\t"{updated}"',
        '\t"SizeOnDisk"\t\t"1362214912"',
        '\t"buildid"\t\t"13907362"',
        '\t"InstalledDepots"', "\t{",
        f'\t\t"{int(GAME_ID) + 1}"', "\t\t{",
        '\t\t\t"manifest"\t\t"4870281369520451735"',
        '\t\t\t"size"\t\t"1362214912"', "\t\t}", "\t}", "}",
    ]) + "\n"


def run_to_files(command, env, timeout):
    """Runs a command with its output in files, not pipes: Wine may start helpers (services,
    the desktop process) that inherit the output handles and outlive the command, and a pipe
    would then never reach its end. Waits for the command itself only."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(command, env=env, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(command, process.returncode, out.read(), err.read())


class Prefix:
    """A Wine prefix and display to run things in (never the user's own ~/.wine)."""

    def __init__(self, prefix, display):
        self.prefix = os.path.abspath(prefix)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=display)

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def wine(self, *args, timeout=180, check=True):
        result = run_to_files(["wine", *args], self.env, timeout)
        if check and result.returncode != 0:
            raise RuntimeError(f"wine {' '.join(args)} failed: {result.stderr.decode(errors='replace')[-400:]}")
        return result

    def reg_set(self, key, name, value):
        self.wine("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f")

    def reg_delete_key(self, key):
        self.wine("reg", "delete", key, "/f", check=False)

    def map_drive(self, letter, unix_folder):
        os.makedirs(unix_folder, exist_ok=True)
        link = os.path.join(self.prefix, "dosdevices", letter.lower() + ":")
        if os.path.islink(link) or os.path.exists(link):
            os.remove(link)
        os.symlink(os.path.abspath(unix_folder), link)


class SteamWorld:
    """Builds the files of one world. Windows paths are what the installer sees."""

    def __init__(self, prefix, root_c, d_folder, tools_dir):
        self.prefix = prefix
        self.root_c = root_c            # e.g. "demo" -> C:\demo
        self.d_folder = d_folder        # unix folder that becomes drive D:
        self.tools_dir = tools_dir      # where Lumivex.exe (the stand-in game) was built
        self.steam_win = f"C:\\{root_c}\\Valve\\Steam"
        self.library_d_win = "D:\\SteamLibrary"

    def unix(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[3:].replace("\\", "/")
        if drive == "c":
            return self.prefix.drive_c(rest)
        if drive == "d":
            return os.path.join(self.d_folder, rest)
        raise ValueError(windows_path)

    @staticmethod
    def game_folder(library_win):
        return f"{library_win}\\steamapps\\common\\{GAME_DIR}\\game"

    def add_game(self, library_win, manifest_age_days=None, with_exe=True, archives=3):
        game = self.game_folder(library_win)
        names = ["archive.rpa", "scripts.rpa", "images.rpa", "audio.rpa"][:archives]
        for name in names:
            write_rpa(os.path.join(self.unix(game), name), 64 * 1024, library_win + name)
        if with_exe:
            exe = os.path.join(self.unix(game), "..", "Lumivex.exe")
            shutil.copyfile(os.path.join(self.tools_dir, "Lumivex.exe"), exe)
        if manifest_age_days is not None:
            manifest = os.path.join(self.unix(library_win), "steamapps", f"appmanifest_{GAME_ID}.acf")
            updated = int(time.time() - manifest_age_days * 86400)
            with open(manifest, "w", newline="\r\n") as f:
                f.write(app_manifest(GAME_DIR, updated))
            os.utime(manifest, (updated, updated))
        return game

    def make_steam(self, libraries, register=True):
        """libraries: list of (windows_path, has_game); the first is the Steam folder itself."""
        steamapps = os.path.join(self.unix(self.steam_win), "steamapps")
        os.makedirs(os.path.join(steamapps, "common"), exist_ok=True)
        open(os.path.join(self.unix(self.steam_win), "steam.exe"), "wb").close()
        for path, _ in libraries:
            os.makedirs(os.path.join(self.unix(path), "steamapps", "common"), exist_ok=True)
        with open(os.path.join(steamapps, "libraryfolders.vdf"), "w", newline="\n") as f:
            f.write(library_folders_vdf(libraries))
        if register:
            self.prefix.reg_set(STEAM_KEY, "SteamPath", self.steam_win.lower().replace("\\", "/"))

    def make_installer_folder(self, folder_win, installer_exe, patch_size=3 * 1024 * 1024, patch=True):
        folder = self.unix(folder_win)
        os.makedirs(folder, exist_ok=True)
        shutil.copyfile(installer_exe, os.path.join(folder, "LumivexPatchInstaller.exe"))
        if patch:
            write_rpa(os.path.join(folder, "patch.rpa"), patch_size, "patch")
        return f"{folder_win}\\LumivexPatchInstaller.exe"


def build_demo(prefix_dir, display, d_folder, tools_dir, installer_exe):
    """The world scripts/run.sh shows to a newcomer. Prints the installer's Windows path."""
    prefix = Prefix(prefix_dir, display)
    prefix.map_drive("d", d_folder)
    world = SteamWorld(prefix, "demo", d_folder, tools_dir)
    for stale in (world.unix(f"C:\\demo"), os.path.join(d_folder, "SteamLibrary")):
        shutil.rmtree(stale, ignore_errors=True)
    world.make_steam([(world.steam_win, True), (world.library_d_win, True)])
    world.add_game(world.steam_win, manifest_age_days=40)
    world.add_game(world.library_d_win, manifest_age_days=2)
    exe = world.make_installer_folder("C:\\demo\\Downloads\\Lumivex Patch 1.0.0", installer_exe,
                                      patch_size=4 * 1024 * 1024)
    print(exe)


if __name__ == "__main__":
    if len(sys.argv) != 7 or sys.argv[1] != "demo":
        sys.exit("usage: world.py demo <prefix> <display> <d-folder> <tools-dir> <installer-exe>")
    build_demo(*sys.argv[2:])
