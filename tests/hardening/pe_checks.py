#!/usr/bin/python3
"""Hardening of both builds: the x86_64 test build (LUMIVEX_EXE) and the shipped 32-bit one (the
argument). Prints each check; exits 1 when one fails."""
import os
import re
import sys

import pefile

source = os.environ["LUMIVEX_SOURCE"]
cmake = open(f"{source}/CMakeLists.txt").read()
delay_loaded = re.search(r"lumivex_delay_load\(LumivexPatchInstaller ([^)]*)\)", cmake).group(1).split()
checks = []  # (build, passed, what)

for exe, pe32 in ((os.environ["LUMIVEX_EXE"], False), (sys.argv[1], True)):
    build = os.path.basename(os.path.dirname(exe))
    data = open(exe, "rb").read()
    pe = pefile.PE(data=data)
    header = pe.OPTIONAL_HEADER
    imports = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    flags = header.DllCharacteristics
    level = re.search(rb'requestedExecutionLevel level="(\w+)" uiAccess="(\w+)"', data)
    debug = any(section.Name.startswith(b".debug") for section in pe.sections)
    checks += [
        (build, header.Magic == (0x10B if pe32 else 0x20B), "PE32" if pe32 else "PE32+"),
        (build, header.Subsystem == 2, "GUI subsystem"),
        (build, flags & 0x40 and header.DATA_DIRECTORY[5].Size, "ASLR: DYNAMIC_BASE with relocations"),
        (build, flags & 0x100, "DEP: NX_COMPAT"),
        (build, pe32 or flags & 0x20, "HIGH_ENTROPY_VA (x86_64)"),
        (build, level and level.groups() == (b"asInvoker", b"false"), "manifest: asInvoker, no uiAccess"),
        (build, imports <= {"kernel32.dll", "msvcrt.dll"}, f"imports only KnownDLLs: {sorted(imports)}"),
        (build, not pe32 or not debug, "no debug sections (release)"),
        (build, source.encode() not in data and source.encode("utf-16-le") not in data, "no source path"),
    ]
    for dll in delay_loaded:
        delayed = f"{dll}.dll\0".encode() in data and f"{dll}.dll" not in imports
        checks.append((build, delayed, f"{dll}.dll delay-loaded"))

for build, passed, what in checks:
    print(("ok    " if passed else "FAIL  ") + f"{build}: {what}")
sys.exit(0 if all(passed for _, passed, _ in checks) else 1)
