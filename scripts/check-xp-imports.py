#!/usr/bin/env python3
"""Fails when a Windows program imports a function that Windows XP SP3 lacks.

    scripts/check-xp-imports.py PROGRAM.exe [PROGRAM.exe ...]

Windows refuses to start a program with an import it cannot resolve, so one
such import is enough to lose XP. The functions newer than XP are taken from
the MinGW-w64 headers themselves: every function they declare for Windows 10
(_WIN32_WINNT 0x0A00) but not for XP SP3 (0x0501). The imports are read with
the cross binutils' objdump. Neither list comes from this project's code.

The headers guard only the Windows API; the C runtime's own functions
(msvcrt.dll) carry no version and are not covered.

Exit codes: 0 every import is there on XP, 1 an import is missing on XP,
2 the check itself could not run (no compiler, no objdump, unreadable file).
"""

import os
import re
import subprocess
import sys
import tempfile

CC = os.environ.get("KELVRA_MINGW_CC", "i686-w64-mingw32-gcc-posix")
OBJDUMP = os.environ.get("KELVRA_MINGW_OBJDUMP", "i686-w64-mingw32-objdump")

# Every header that declares a function of the DLLs our programs import.
HEADERS = """
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <winternl.h>
"""

# (_WIN32_WINNT, NTDDI_VERSION, _WIN32_IE): XP SP3 with its Internet
# Explorer 6, and Windows 10.
XP = ("0x0501", "0x05010300", "0x0603")
WIN10 = ("0x0A00", "0x0A000000", "0x0A00")

DECLARED = re.compile(r"(\w+) \((?!\*)")


def fail(message):
    print("check-xp-imports: " + message, file=sys.stderr)
    sys.exit(2)


def declared_functions(version, work):
    """Names of the functions the headers declare for one Windows version."""
    winnt, ntddi, ie = version
    source = os.path.join(work, "headers.c")
    with open(source, "w") as f:
        f.write(HEADERS)
    aux = os.path.join(work, "aux-%s.txt" % winnt)
    cmd = [CC, "-fsyntax-only", "-D_WIN32_WINNT=" + winnt, "-DWINVER=" + winnt,
           "-DNTDDI_VERSION=" + ntddi, "-D_WIN32_IE=" + ie, "-aux-info", aux, source]
    try:
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    except (OSError, subprocess.CalledProcessError) as e:
        fail("cannot run %s: %s" % (CC, e))
    names = set()
    with open(aux, encoding="latin-1") as f:
        for line in f:
            decl = line.split("*/", 1)[-1]
            m = DECLARED.search(decl)
            if m:
                names.add(m.group(1))
    return names


def imports(program):
    """(dll, function) pairs of a program's import table."""
    try:
        out = subprocess.run([OBJDUMP, "-p", program], check=True, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, errors="replace").stdout
    except (OSError, subprocess.CalledProcessError) as e:
        fail("cannot read the imports of %s: %s" % (program, e))
    pairs = []
    dll = None
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\w+)\s*$", line)
        if dll and m:
            pairs.append((dll, m.group(1)))
        elif not line.strip():
            dll = None
    return pairs


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory() as work:
        newer = declared_functions(WIN10, work) - declared_functions(XP, work)
    # A header set that yields next to nothing means the compiler misread it.
    if "GetTickCount64" not in newer or len(newer) < 500:
        fail("the headers gave %d functions newer than XP; expected far more" % len(newer))

    missing = 0
    for program in argv[1:]:
        pairs = imports(program)
        if not any(dll == "kernel32.dll" for dll, _ in pairs):
            fail("%s: no kernel32.dll imports found; not a program this check can read" % program)
        bad = sorted({"%s!%s" % p for p in pairs if p[1] in newer})
        for name in bad:
            print("%s: imports %s, which Windows XP SP3 lacks" % (program, name))
        missing += len(bad)
        print("%s: %d imports checked, %d missing on XP" % (program, len(pairs), len(bad)))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
