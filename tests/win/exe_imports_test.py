#!/usr/bin/env python3
"""Fails when the exe imports an ANSI function of USER32, GDI32, KERNEL32,
SHELL32 or OLE32 that has a wide twin: such a function reads our GBK texts
through the system's ANSI code page, which is 936 only on a Chinese system.
Every text the program hands to Windows goes through runtime/win/wide_text.h
and a wide function instead.

  exe_imports_test.py --objdump OBJDUMP --libs MINGW_LIB_DIR EXE

An import counts as ANSI when its name ends in "A" and the DLL's import
library also exports the same name ending in "W". WinINet is not checked: its
ANSI functions are the documented exception (the request must carry the
address's exact bytes). The few ANSI imports allowed below come with the
reason each carries no text of ours.
"""
import argparse
import os
import re
import subprocess
import sys

CHECKED = ("user32", "gdi32", "kernel32", "shell32", "ole32")
# One function each import library surely names: an unreadable library must
# not make every ANSI import look twinless.
KNOWN = {"user32": "MessageBoxW", "gdi32": "CreateFontIndirectW", "kernel32": "CreateFileW",
         "shell32": "ShellExecuteW", "ole32": "CoCreateInstance"}

# Imported by the MinGW C runtime and its thread library themselves (every
# program built by this toolchain has them, whatever its own code calls):
# their texts are the runtime's own ASCII names and debug strings.
ALLOWED = {
    "CreateEventA": "C runtime / winpthreads: unnamed events, no text",
    "CreateSemaphoreA": "C runtime / winpthreads: unnamed semaphores, no text",
    "OutputDebugStringA": "C runtime: its own diagnostics, never a text of ours",
    "GetStartupInfoA": "C runtime start-up: reads the show-window flags, no text of ours",
}


def run(*cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, errors="replace").stdout


def imports(objdump, exe):
    """{dll (lower case, no .dll): [function names]} from the import table."""
    out, dll = {}, None
    for line in run(objdump, "-p", exe).splitlines():
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1).lower().removesuffix(".dll")
            out.setdefault(dll, [])
            continue
        m = re.match(r"\t[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
        if m and dll:
            out[dll].append(m.group(1))
    return out


def exported(objdump, libdir, dll):
    """Every function the DLL's import library names."""
    text = run(objdump, "-t", os.path.join(libdir, f"lib{dll}.a"))
    return set(re.findall(r"\s__imp_(\w+)$", text, re.M))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--objdump", required=True)
    p.add_argument("--libs", required=True)
    p.add_argument("exe")
    a = p.parse_args()

    table = imports(a.objdump, a.exe)
    # A table that could not be read must not pass as a clean one.
    if not table.get("kernel32") or not table.get("user32"):
        sys.exit(f"could not read the import table of {a.exe}: {sorted(table)}")

    offending, allowed_seen = [], []
    for dll in CHECKED:
        names = table.get(dll, [])
        if not names:
            continue
        twins = exported(a.objdump, a.libs, dll)
        if KNOWN[dll] not in twins:
            sys.exit(f"could not read the exports of lib{dll}.a (no {KNOWN[dll]})")
        for name in names:
            if not (name.endswith("A") and name[:-1] + "W" in twins):
                continue
            if name in ALLOWED:
                allowed_seen.append(f"{dll.upper()}.dll {name}: {ALLOWED[name]}")
            else:
                offending.append(f"{dll.upper()}.dll {name} (use {name[:-1]}W)")

    print(f"{a.exe}: {sum(len(table.get(d, [])) for d in CHECKED)} imports checked from "
          f"{', '.join(d.upper() for d in CHECKED if d in table)}")
    for line in allowed_seen:
        print(f"  allowed  {line}")
    if offending:
        print(f"FAIL: {len(offending)} ANSI import(s) with a wide twin:")
        for line in offending:
            print(f"  {line}")
        return 1
    print("PASS: no ANSI import with a wide twin beyond the allowed ones")
    return 0


if __name__ == "__main__":
    sys.exit(main())
