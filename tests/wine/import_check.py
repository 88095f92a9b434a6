#!/usr/bin/env python3
"""Checks that LMVXSVGL.SCR loads on Windows 98 as it does on the NT family.

Usage: import_check.py OBJDUMP PROGRAM EXPORTS

Reads the program's PE header and import table (OBJDUMP -p) and fails on: a DLL other than the
system's own KERNEL32, USER32, GDI32, ADVAPI32 and msvcrt (OpenGL32 and GLU32 in particular are
loaded by name at run time, never imported); a function missing from the EXPORTS list of what
those DLLs export on Windows 98; an import by ordinal (ordinals differ between Windows versions);
delay-loaded imports; and a header the 95/98/ME loader refuses (not a 32-bit GUI program, or a
subsystem or OS version other than 4.0).
"""

import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
LOADED_BY_NAME = {"opengl32.dll", "glu32.dll"}
HEADER = {
    "Magic": "010b",
    "MajorSubsystemVersion": "4",
    "MinorSubsystemVersion": "0",
    "MajorOSystemVersion": "4",
    "MinorOSystemVersion": "0",
    "Subsystem": "00000002",
}


def read_exports(path):
    exports = {}
    with open(path, encoding="ascii") as stream:
        for number, line in enumerate(stream, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) != 2:
                raise SystemExit(f"{path}:{number}: expected 'DLL Function', got {line!r}")
            exports.setdefault(parts[0].lower(), set()).add(parts[1])
    return exports


def parse(dump):
    """Header fields, {dll: [function or '#ordinal']} and whether delay imports exist."""
    header = {}
    imports = {}
    current = None
    delayed = False
    for line in dump.splitlines():
        field = re.match(r"^(\w+)\s+(\S+)", line)
        if field and field.group(1) in HEADER and field.group(1) not in header:
            header[field.group(1)] = field.group(2)
        if re.search(r"Delay Import", line, re.IGNORECASE) and "Directory" not in line:
            delayed = True
        dll = re.match(r"^\s*DLL Name: (\S+)", line)
        if dll:
            current = dll.group(1).lower()
            imports.setdefault(current, [])
            continue
        if current is None:
            continue
        by_name = re.match(r"^\s+[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
        by_ordinal = re.match(r"^\s+[0-9a-fA-F]+\s+<none>\s+([0-9a-fA-F]+)\s*$", line)
        if by_name:
            imports[current].append(by_name.group(1))
        elif by_ordinal:
            imports[current].append("#" + by_ordinal.group(1))
        elif line.strip() == "" and imports[current]:
            current = None
    return header, imports, delayed


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    objdump, program, exports_path = sys.argv[1:]
    exports = read_exports(exports_path)
    dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                          text=True).stdout
    header, imports, delayed = parse(dump)
    problems = []
    for name, wanted in HEADER.items():
        if header.get(name) != wanted:
            problems.append(f"header {name} is {header.get(name)}, expected {wanted}")
    if delayed:
        problems.append("the program has delay-loaded imports")
    if not imports:
        problems.append("no import table found")
    for dll, functions in sorted(imports.items()):
        if dll in LOADED_BY_NAME:
            problems.append(f"{dll} is imported; it must be loaded by name at run time")
            continue
        if dll not in SYSTEM_DLLS:
            problems.append(f"{dll} is not one of the system's own DLLs")
            continue
        for function in functions:
            if function.startswith("#"):
                problems.append(f"{dll} ordinal {function[1:]} is imported by number")
            elif function not in exports.get(dll, set()):
                problems.append(f"{dll} {function} is not exported by Windows 98")
    count = sum(len(functions) for functions in imports.values())
    print(f"{program}: {count} functions from {len(imports)} DLLs: "
          + ", ".join(sorted(imports)))
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
