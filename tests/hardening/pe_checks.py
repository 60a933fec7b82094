#!/usr/bin/python3
"""Checks the properties of a built installer executable that make it harder to attack:
ASLR with relocations, DEP, high-entropy ASLR on x86_64, terminal-server awareness, no section
both writable and executable, the manifest asks for asInvoker, only KnownDLLs in the import table
(gdiplus.dll and user32.dll delay-loaded; dwmapi, winmm and oleacc, looked up at run time, in
neither table), and no path of this machine's source or build folder inside the file. A Release
build must also carry no symbols and no debug sections.

Usage: pe_checks.py <exe> <machine: i686|x86_64> <Release|other> <forbidden path>...
Prints one line per check; exit code 1 when any check fails."""
import re
import sys

import pefile

DYNAMIC_BASE = 0x0040
HIGH_ENTROPY_VA = 0x0020
NX_COMPAT = 0x0100
TERMINAL_SERVER_AWARE = 0x8000
RELOCS_STRIPPED = 0x0001
SCN_EXECUTE = 0x20000000
SCN_WRITE = 0x80000000
# Always mapped from the system folder whatever the search order (HKLM\SYSTEM\CurrentControlSet\
# Control\Session Manager\KnownDLLs on Windows 10 and 11).
KNOWN_DLLS = {"kernel32.dll", "msvcrt.dll"}
DELAY_LOADED = ["gdiplus.dll", "user32.dll"]
LOOKED_UP = ["dwmapi.dll", "winmm.dll", "oleacc.dll"]  # neither table may name them (in ASCII)


def check(exe, machine, config, forbidden):
    failures = []

    def expect(ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            failures.append(what)

    data = open(exe, "rb").read()
    pe = pefile.PE(data=data)
    want_machine = 0x14C if machine == "i686" else 0x8664
    expect(pe.FILE_HEADER.Machine == want_machine, f"machine 0x{pe.FILE_HEADER.Machine:X} is {machine}")

    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    expect(flags & DYNAMIC_BASE, "ASLR: DYNAMIC_BASE set")
    relocs = pe.OPTIONAL_HEADER.DATA_DIRECTORY[5]
    expect(not (pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED) and relocs.Size > 0,
           "ASLR: base relocations present (an image without them cannot move)")
    expect(flags & NX_COMPAT, "DEP: NX_COMPAT set")
    if machine == "x86_64":
        expect(flags & HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA set")
    expect(flags & TERMINAL_SERVER_AWARE, "TERMINAL_SERVER_AWARE set")

    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode("ascii", "replace")
        wx = (section.Characteristics & SCN_WRITE) and (section.Characteristics & SCN_EXECUTE)
        expect(not wx, f"section {name} is not both writable and executable")

    manifest = None
    resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for entry in resources:
        if entry.id == 24:  # RT_MANIFEST
            leaf = entry.directory.entries[0].directory.entries[0].data.struct
            manifest = pe.get_data(leaf.OffsetToData, leaf.Size).decode("utf-8", "replace")
    expect(manifest is not None, "RT_MANIFEST resource present")
    level = re.search(r'requestedExecutionLevel[^>]*level="([^"]+)"', manifest or "")
    expect(level is not None and level.group(1) == "asInvoker",
           f"manifest execution level asInvoker (found {level.group(1) if level else 'none'})")
    ui_access = re.search(r'uiAccess="([^"]+)"', manifest or "")
    expect(ui_access is None or ui_access.group(1) == "false", "manifest uiAccess is not true")

    imported = sorted(i.dll.decode().lower() for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    expect(set(imported) <= KNOWN_DLLS,
           f"import table holds KnownDLLs only: {', '.join(imported)}")
    for dll in DELAY_LOADED:
        expect(dll.encode() + b"\0" in data and dll not in imported, f"{dll} delay-loaded, not imported")
    for dll in LOOKED_UP:
        expect(dll.encode() + b"\0" not in data, f"{dll} neither imported nor delay-loaded")

    for path in forbidden:
        path = path.rstrip("/")
        hits = [form for form in (path.encode(), path.encode("utf-16-le"),
                                  path.replace("/", "\\").encode(), path.replace("/", "\\").encode("utf-16-le"))
                if form in data]
        expect(not hits, f"no trace of this machine's folder {path}")

    if config == "Release":
        expect(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
               "release: symbol table stripped")
        debug = [s.Name.rstrip(b"\0").decode() for s in pe.sections if s.Name.startswith(b".debug")]
        expect(not debug, f"release: no debug sections ({', '.join(debug) or 'none'})")
    return failures


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    failures = check(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
    print(f"{len(failures)} failed check(s) in {sys.argv[1]}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
