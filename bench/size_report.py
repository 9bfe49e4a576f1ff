#!/usr/bin/env python3
"""What setup.exe is made of, from the linker's map and the file itself.

    bench/size_report.py [BUILD_DIR]      (default build/win32)

Reads BUILD_DIR/setup.map (written by every link of setup.exe) and
BUILD_DIR/setup.exe, and prints a Markdown table: bytes per part of the
program (its own code, the C++ runtime, the threads library, the unwinder,
the C runtime start-up, import tables, resources), the symbol table and
debug sections if any, and what is left (headers, alignment). The resource section is
split by the files that res/setup.rc embeds.
"""

import os
import re
import struct
import sys

# Archive or object name -> part of the program.
PARTS = [
    (r"libkelvra_|setup\.dir|objects\.a|objs\.a", "the program's own code and data"),
    (r"libstdc\+\+|libsupc\+\+", "C++ runtime (libstdc++)"),
    (r"libpthread|libwinpthread", "threads library (winpthreads)"),
    (r"libgcc", "unwinder and compiler helpers (libgcc, libgcc_eh)"),
    (r"libmingw|crt2|crtbegin|crtend|libmoldname|libmsvcrt", "C runtime start-up (MinGW-w64)"),
    (r"lib[a-z0-9]+\.a", "Windows import libraries"),
]

RESOURCES = [("res/art/splash.bmp", "built-in splash picture (600 x 200, 24 bits)"),
             ("res/art/banner.bmp", "banner (443 x 63, 24 bits)"),
             ("res/art/kelvra.ico", "icon (48, 32 and 16 pixels)")]


def part_of(obj):
    for pattern, part in PARTS:
        if re.search(pattern, obj):
            return part
    return "linker-made (import tables, relocations)"


def map_contributions(path):
    """(output section, size, object) for every input section the map lists."""
    out = []
    output = None
    pending = False
    with open(path, errors="replace") as f:
        for line in f:
            m = re.match(r"^(\.\S+)(\s|$)", line)
            if m:
                output = m.group(1)
                continue
            if line.startswith("/DISCARD/") or line.startswith("OUTPUT("):
                output = None
                continue
            m = re.match(r"^ (\.\S+|COMMON)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m:
                if output:
                    out.append((output, int(m.group(3), 16), m.group(4).strip()))
                pending = False
                continue
            if re.match(r"^ (\.\S+|COMMON)\s*$", line):
                pending = True
                continue
            m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m and pending and output:
                out.append((output, int(m.group(2), 16), m.group(3).strip()))
            pending = False
    return out


def file_sections(path):
    """{name (8 bytes at most): raw size in the file}, the bytes of the
    symbol table and debug sections, and the file size."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, = struct.unpack_from("<H", data, pe + 6)
    opt, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + opt
    symbols, nsymbols = struct.unpack_from("<II", data, pe + 12)
    strings = symbols + 18 * nsymbols
    sections, debug, end = {}, 0, 0
    for i in range(count):
        name = data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode()
        if name.startswith("/"):      # a long name, kept in the string table
            at = strings + int(name[1:])
            name = data[at:data.index(b"\0", at)].decode()
        raw, at = struct.unpack_from("<II", data, table + 40 * i + 16)
        end = max(end, at + raw)
        if name.startswith(".debug"):
            debug += raw
        else:
            sections[name[:8]] = raw
    return sections, debug + len(data) - end, len(data)


def main(argv):
    build = argv[1] if len(argv) > 1 else "build/win32"
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    exe, mapfile = os.path.join(build, "setup.exe"), os.path.join(build, "setup.map")
    sections, debug, total = file_sections(exe)

    parts = {}
    for section, size, obj in map_contributions(mapfile):
        top = section
        if size == 0 or top[:8] not in sections or top in (".bss", ".rsrc"):
            continue
        part = part_of(obj)
        parts.setdefault(part, {}).setdefault(top, 0)
        parts[part][top] += size

    print("| part | bytes | of which |")
    print("| --- | ---: | --- |")
    for part, by in sorted(parts.items(), key=lambda kv: -sum(kv[1].values())):
        detail = ", ".join("%s %d" % (s, n) for s, n in sorted(by.items(), key=lambda kv: -kv[1]) if n >= 512)
        print("| %s | %d | %s |" % (part, sum(by.values()), detail))
    rsrc = sections.get(".rsrc", 0)
    art = 0
    for rel, what in RESOURCES:
        size = os.path.getsize(os.path.join(source, rel))
        art += size
        print("| resources: %s | %d | `%s` |" % (what, size, rel))
    print("| resources: dialogs, strings, version, manifest | %d | rest of `.rsrc` |" % (rsrc - art))
    print("| symbol table and debug sections | %d | |" % debug)
    print("| headers, alignment, section padding | %d | |" % (total - sum(
        sum(by.values()) for by in parts.values()) - rsrc - debug))
    print("| **setup.exe** | **%d** | |" % total)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
