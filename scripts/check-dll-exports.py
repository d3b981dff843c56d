#!/usr/bin/python3
"""Checks the export table of the Windows DLL against src/exports/osprey32.def.

    /usr/bin/python3 scripts/check-dll-exports.py [DLL] [DEF]
    /usr/bin/python3 scripts/check-dll-exports.py --sources [ROOT]

With --sources it checks the sources instead, without a DLL: every function
include/osprey32.h declares must be defined under src/ and listed in the
.def, and every definition and every listed name must be declared, so that
a declaration without a definition (or the reverse) fails. Names declared
before their definition is written are kept in DECLARED_NOT_YET_BUILT; each
of them must be declared and neither defined nor listed.

The DLL must export exactly the names the .def lists, each under its plain
name (no @N of the standard calling convention, no leading underscore added),
and must import nothing but the system's own DLLs (the C and C++ runtimes
of the compiler are linked in). Reads the table with i686-w64-mingw32-objdump
(OBJDUMP overrides). Exits 0 when everything matches, 1 with the differences
otherwise, 2 when the files cannot be read.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_DLL = os.path.join(ROOT, "build", "windows", "OSPREY32.DLL")
DEFAULT_DEF = os.path.join(ROOT, "src", "exports", "osprey32.def")

# DLLs every Windows system has. Anything else (libgcc_s_*.dll,
# libstdc++-6.dll, libwinpthread-1.dll, ...) would have to be shipped along.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll"}

# Declared in the header, not yet defined: each leaves this list when its
# definition and its line in the .def arrive.
DECLARED_NOT_YET_BUILT = set()

DEF_KEYWORDS = {"LIBRARY", "NAME", "DESCRIPTION", "VERSION", "HEAPSIZE", "STACKSIZE", "SECTIONS"}


def def_names(path):
    """The export names of a module-definition file, in file order."""
    names = []
    in_exports = False
    with open(path, encoding="ascii") as f:
        for raw in f:
            line = raw.split(";", 1)[0].strip()
            if not line:
                continue
            word = line.split()[0]
            if word == "EXPORTS":
                in_exports = True
                rest = line[len("EXPORTS"):].strip()
                if not rest:
                    continue
                line = rest
            elif word in DEF_KEYWORDS:
                in_exports = False
                continue
            if in_exports:
                # name[=internal] [@ordinal] [NONAME] [DATA] [PRIVATE]
                names.append(re.split(r"[\s=]", line, maxsplit=1)[0])
    return names


def header_names(path):
    """The functions the public header declares with OSPEXPORT."""
    with open(path, encoding="ascii") as f:
        text = f.read()
    return re.findall(r"^OSPEXPORT\b[^;(]*?\b(\w+)\s*\(", text, re.MULTILINE)


def defined_names(src_dir):
    """The standard-call functions defined (with a body) in the sources."""
    names = []
    for folder, _, files in os.walk(src_dir):
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            names += re.findall(r"\bOSPAPI\s+(\w+)\s*\([^;{]*\)\s*\{", text)
    return names


def check_sources(root):
    """Problems between the header, the .def and the definitions."""
    declared = header_names(os.path.join(root, "include", "osprey32.h"))
    defined = defined_names(os.path.join(root, "src"))
    listed = def_names(os.path.join(root, "src", "exports", "osprey32.def"))
    problems = []
    for label, names in (("declared", declared), ("defined", defined), ("listed", listed)):
        for name in sorted({n for n in names if names.count(n) > 1}):
            problems.append(f"{name} is {label} twice")
    declared, defined, listed = set(declared), set(defined), set(listed)
    for name in sorted(declared - defined - DECLARED_NOT_YET_BUILT):
        problems.append(f"declared but not defined: {name}")
    for name in sorted(defined - declared):
        problems.append(f"defined but not declared in the header: {name}")
    for name in sorted(defined - listed):
        problems.append(f"defined but not listed in the .def: {name}")
    for name in sorted(listed - defined):
        problems.append(f"listed in the .def but not defined: {name}")
    for name in sorted(DECLARED_NOT_YET_BUILT):
        if name not in declared:
            problems.append(f"{name} is waiting for a definition but is not declared")
        elif name in defined or name in listed:
            problems.append(f"{name} is built now: take it out of DECLARED_NOT_YET_BUILT")
    return problems, len(declared)


def main_sources(argv):
    root = argv[2] if len(argv) > 2 else ROOT
    try:
        problems, count = check_sources(root)
    except OSError as e:
        print(f"cannot read the sources: {e}")
        return 2
    if problems:
        print("the header, the .def and the definitions do not agree:")
        for p in problems:
            print(f"  {p}")
        return 1
    print(f"{count} declared exports: {count - len(DECLARED_NOT_YET_BUILT)} defined and listed, "
          f"{len(DECLARED_NOT_YET_BUILT)} not yet built")
    return 0


def dll_tables(dump):
    """(dll name, export names, imported DLL names) from objdump -p output."""
    dll_name = None
    exports = []
    imports = []
    section = None
    for line in dump.splitlines():
        m = re.match(r"^Name\s+[0-9a-fA-F]+\s+(\S+)\s*$", line)
        if m and dll_name is None:
            dll_name = m.group(1)
            continue
        if re.match(r"^\[Ordinal/Name Pointer\] Table\s*$", line) or re.match(
                r"^\[Name Pointer/Ordinal\] Table\s*$", line):
            section = "names"
            continue
        if section == "names":
            m = re.match(r"^\s+\[\s*\d+\]\s+(?:\+base\[\s*\d+\]\s+[0-9a-fA-F]+\s+)?(\S+)\s*$", line)
            if m:
                exports.append(m.group(1))
                continue
            if line.strip() == "":
                section = None
            continue
        m = re.match(r"^\s*DLL Name:\s*(\S+)\s*$", line)
        if m:
            imports.append(m.group(1))
    return dll_name, exports, imports


def main(argv):
    if len(argv) > 1 and argv[1] == "--sources":
        return main_sources(argv)
    dll = argv[1] if len(argv) > 1 else DEFAULT_DLL
    definition = argv[2] if len(argv) > 2 else DEFAULT_DEF
    objdump = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")
    try:
        listed = def_names(definition)
    except OSError as e:
        print(f"cannot read {definition}: {e}")
        return 2
    if not os.path.isfile(dll):
        print(f"no DLL at {dll}")
        return 2
    try:
        dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                              text=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"{objdump} -p {dll} failed: {e}")
        return 2

    dll_name, exported, imported = dll_tables(dump)
    problems = []
    if dll_name is None or dll_name.upper() != "OSPREY32.DLL":
        problems.append(f"the export table names the DLL {dll_name!r}, not OSPREY32.DLL")
    seen = set()
    for name in listed:
        if name in seen:
            problems.append(f"{name} is listed twice in the .def")
        seen.add(name)
    for name in listed:
        if name not in exported:
            problems.append(f"listed but not exported: {name}")
    for name in exported:
        if "@" in name:
            problems.append(f"exported with a decorated name: {name}")
        elif name not in seen:
            problems.append(f"exported but not listed: {name}")
    if len(exported) != len(set(exported)):
        problems.append("the export table holds a name twice")
    for name in imported:
        if name.lower() not in SYSTEM_DLLS and not name.lower().startswith("api-ms-win-"):
            problems.append(f"imports {name}, which is not a system DLL")

    if problems:
        print(f"{dll}: export table does not match {definition}")
        for p in problems:
            print(f"  {p}")
        return 1
    print(f"{os.path.basename(dll)} exports exactly the {len(listed)} names of "
          f"{os.path.basename(definition)}; imports only {', '.join(sorted(imported))}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
