#!/usr/bin/env python3
"""Checks the calling conventions of the stub's objects. The stub passes its
own functions' arguments in registers; the system's functions take them on
the stack and are declared __stdcall, which the build gives regparm(0). A
function imported under any other convention (cdecl, decorated without @N)
would be called with its arguments in registers: none may be.

    check_conventions.py NM OBJECT..."""
import re
import subprocess
import sys


def main():
    nm = sys.argv[1]
    objects = [o for arg in sys.argv[2:] for o in arg.split(";") if o]  # CTest hands a list as one
    problems, imports = [], set()
    for obj in objects:
        out = subprocess.run([nm, "-u", obj], capture_output=True, text=True, check=True).stdout
        for line in out.split():
            if line.startswith("__imp__"):
                imports.add(line[len("__imp__"):])
    if len(imports) < 20:
        problems.append(f"only {len(imports)} imported functions found: not the stub's objects?")
    for name in sorted(imports):
        if not re.search(r"@\d+$", name):
            problems.append(f"{name} is imported without __stdcall")
    print(f"{len(imports)} imported functions, all __stdcall" if not problems else "")
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
