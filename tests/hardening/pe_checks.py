#!/usr/bin/python3
"""What makes both builds harder to attack: the x86_64 test build (LUMIVEX_EXE), the shipped 32-bit one (argument)."""
import glob, os, re, sys
import pefile

src = os.environ["LUMIVEX_SOURCE"]
delay = re.search(r"lumivex_delay_load\(LumivexPatchInstaller ([^)]*)\)", open(f"{src}/CMakeLists.txt").read()).group(1).split()
named = {m.lower() for f in glob.glob(f"{src}/src/*/*.cpp") for m in re.findall(r'L"(\w+)\.dll"', open(f).read())}
failed = 0  # a check that fails
for exe, pe32 in ((os.environ["LUMIVEX_EXE"], False), (sys.argv[1], True)):
    data = open(exe, "rb").read()
    pe = pefile.PE(data=data)
    opt, imports = pe.OPTIONAL_HEADER, {i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT}
    level = re.search(rb'requestedExecutionLevel level="(\w+)" uiAccess="(\w+)"', data)
    checks = [(opt.Magic == (0x10B if pe32 else 0x20B), "PE32" if pe32 else "PE32+"), (opt.Subsystem == 2, "GUI subsystem"),
              (opt.DllCharacteristics & 0x40 and opt.DATA_DIRECTORY[5].Size, "ASLR: DYNAMIC_BASE with relocations"),
              (opt.DllCharacteristics & 0x100, "DEP: NX_COMPAT"), (pe32 or opt.DllCharacteristics & 0x20, "HIGH_ENTROPY_VA (x86_64)"),
              (level and level.groups() == (b"asInvoker", b"false"), "manifest: asInvoker, no uiAccess"),
              (imports <= {"kernel32.dll", "msvcrt.dll"}, f"imports only KnownDLLs, no runtime DLLs: {sorted(imports)}"),
              (not pe32 or not any(s.Name.startswith(b".debug") for s in pe.sections), "no debug sections (release)"),
              (not any(p.encode(e) in data for p in {src, os.path.realpath(src)} for e in ("utf-8", "utf-16-le")),
               "no trace of this machine's source folder")]
    checks += [(f"{dll}.dll\0".encode() in data and f"{dll}.dll" not in imports, f"{dll}.dll delay-loaded") for dll in delay]
    checks += [(f"{dll}.dll\0".encode() not in data, f"{dll}.dll only looked up at run time") for dll in named - set(delay)]
    for ok, what in checks:
        print(("ok    " if ok else "FAIL  ") + f"{os.path.basename(os.path.dirname(exe))}: {what}")
        failed += not ok
sys.exit(1 if failed else 0)
