#!/usr/bin/env python3
"""Turns bench/run.sh's raw timings into BENCHMARKS.md.

  report.py RESULTS.tsv META.env OUTPUT.md

RESULTS.tsv: section, case, round, wall seconds, the program's first output
field, the rest of its first output line. Round 0 is the warm-up and is not
counted. META.env: key=value lines about the machine and the inputs.
"""
import os
import statistics
import sys
from collections import defaultdict

# Fixed by the dialogs, not by the installation's work.
SPLASH_S = 2.0
PAUSES_S = 2 * 0.3
LOAD_BUSY = 0.5   # a 1-minute load above this before the runs means others were running

LABELS = {
    "extract": "setup.exe `ExtractPackage` (bench program)",
    "ref260": "bare loop, 260-byte buffer (the bound)",
    "ref64k": "bare loop, 64 KiB data buffer (context)",
    "nsis-store": "NSIS, compression off (`SetCompress off`), `/S`",
    "nsis-zlib": "NSIS, default compressor (zlib), `/S`",
    "extract-mem": "setup.exe `ExtractPackage`, output on tmpfs",
    "ref260-mem": "bare loop, 260-byte buffer, output on tmpfs",
    "cp": "native `cp -r`",
    "tar-x": "native `tar -x`",
}


def read_meta(path):
    meta = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key:
                meta[key] = value
    return meta


def read_results(path):
    """Counted rounds only; also the per-round figures for paired ratios."""
    wall = defaultdict(list)
    inside = defaultdict(list)
    install = defaultdict(list)
    with open(path, encoding="utf-8") as f:
        for line in f:
            cols = line.rstrip("\n").split("\t")
            section, case, rnd, w = cols[0], cols[1], int(cols[2]), float(cols[3])
            if rnd == 0:
                continue
            first = cols[4] if len(cols) > 4 else ""
            rest = cols[5] if len(cols) > 5 else ""
            wall[section, case].append(w)
            ROUNDS[section, case, "wall"][rnd] = w
            if case.startswith(("extract", "ref")):
                inside[section, case].append(float(first))
                ROUNDS[section, case, "inside"][rnd] = float(first)
            if case == "install":
                for pair in (first + " " + rest).split():
                    k, _, v = pair.partition("=")
                    install[k].append(float(v))
    return wall, inside, install


ROUNDS = defaultdict(dict)


def paired(section, a, b, kind):
    """Median over the rounds of a's time over b's in the same round: the
    disk's state changes from round to round and cancels out of a pair."""
    ra, rb = ROUNDS[section, a, kind], ROUNDS[section, b, kind]
    return statistics.median(ra[r] / rb[r] for r in ra if r in rb)


def med(values):
    return statistics.median(values)


def spread(values):
    return "%.2f-%.2f" % (min(values), max(values))


def mb(n):
    return n / 1e6


def verdict(ok):
    return "met" if ok else "**missed**"


TOOL_HEADING = "## Media tool (native)"


def tool_section(meta, wall, targets):
    """The media tool's figures and ratios, each against the standard tool
    that does the same work on the same input, in the same rounds."""
    lines = []
    w = lines.append
    w(TOOL_HEADING)
    w("")
    if meta.get("tools_only") == "1":
        busy = float(meta["load_before"].split()[0]) > LOAD_BUSY
        w("Refreshed alone by `%s` at commit %s, %s: %s counted rounds after a warm-up, cases in an order "
          "rotated from round to round. Load average (1, 5, 15 min) before: %s; after: %s.%s" % (
              meta["command"], meta["commit"], meta["date"], meta["rounds"], meta["load_before"],
              meta["load_after"],
              " **The machine was busy** (other builds and tests ran at the same time): absolute times "
              "are inflated; the ratios pair cases of the same round." if busy else " The machine was quiet."))
        w("")
    w("The CPU %s the SHA extensions (`sha_ni`)%s. Ratios are medians of the per-round ratios of wall "
      "times: the machine's state changes from round to round and cancels out of a pair." % (
          "has" if meta.get("cpu_sha") == "1" else "lacks",
          ", which mediatool's SHA-256 uses" if meta.get("cpu_sha") == "1" else
          "; mediatool's SHA-256 runs its portable code"))
    w("")
    w("| case | median (s) | range | throughput |")
    w("|---|---:|---:|---:|")
    data = int(meta["bytes_mixed"])
    pkg = int(meta["pkg_size_mixed"])
    stamped = int(meta["stamped_size"])
    for case, size, what in (("pack", data, "`mediatool pack` of the mixed payload"),
                             ("tar-c", data, "`tar -c` of the mixed payload"),
                             ("verify", pkg, "`mediatool verify` of its %.0f MB package" % mb(pkg)),
                             ("verify-manifest", pkg, "`mediatool verify --manifest` (record and package digests)"),
                             ("sha256sum", pkg, "`sha256sum` of the same package"),
                             ("check-stamp", stamped, "`mediatool check-stamp` of %.0f MB" % mb(stamped)),
                             ("md5sum", stamped, "`md5sum` of the same file")):
        if ("tool", case) not in wall:
            continue
        v = wall["tool", case]
        w("| %s | %.3f | %s | %.0f MB/s |" % (what, med(v), spread(v), mb(size) / med(v)))
    many = int(meta.get("files_many-files", 0))
    for section, case, size, what in (
            ("many-files", "pack", meta.get("bytes_many-files"), "`mediatool pack` of %d small files" % many),
            ("many-files", "tar-c", meta.get("bytes_many-files"), "`tar -c` of the same files"),
            ("tool", "verify-medium", meta.get("medium_bytes"), "`mediatool verify DIR` of a whole medium"),
            ("tool", "sha256sum-c", meta.get("medium_bytes"), "`sha256sum -c SHA256SUMS` of the same medium")):
        if (section, case) in wall:
            v = wall[section, case]
            w("| %s | %.3f | %s | %.0f MB/s |" % (what, med(v), spread(v), mb(int(size)) / med(v)))
    pack_share = 1 / paired("tool", "pack", "tar-c", "wall")
    verify_ratio = paired("tool", "verify", "sha256sum", "wall")
    manifest_ratio = paired("tool", "verify-manifest", "sha256sum", "wall")
    stamp_ratio = paired("tool", "check-stamp", "md5sum", "wall")
    w("")
    w("Plain verify walks every record to the end of the package and checks every name; it computes no "
      "digest, having none to compare one with. With --manifest it computes two over the same bytes, which "
      "is the case to set against sha256sum's one.")
    w("")
    w("pack reaches %.2f of tar -c's throughput; verify takes %.2fx sha256sum's time on the same package, "
      "%.2fx with --manifest (two digests: every record's and the whole package's); check-stamp takes "
      "%.2fx md5sum's time." % (pack_share, verify_ratio, manifest_ratio, stamp_ratio))
    targets.append(("mediatool pack at least tar -c's throughput (per-round ratios)", "%.2f" % pack_share,
                    pack_share >= 1.0))
    targets.append(("mediatool verify at least as fast as sha256sum (per-round ratios)", "%.2fx" % verify_ratio,
                    verify_ratio <= 1.0))
    targets.append(("mediatool verify --manifest at least as fast as sha256sum (per-round ratios)",
                    "%.2fx" % manifest_ratio, manifest_ratio <= 1.0))
    targets.append(("check-stamp within 1.5x of md5sum (per-round ratios)", "%.2fx" % stamp_ratio,
                    stamp_ratio <= 1.5))
    if ("many-files", "pack") in wall:
        many_ratio = paired("many-files", "pack", "tar-c", "wall")
        w("")
        w("pack of %d small files takes %.2fx tar -c's time. Per file pack makes no more calls than tar (one "
          "look at the entry, open, read, one look at the open file, close); what is left is its own work "
          "(names converted and checked, sorted, case twins sought)." % (many, many_ratio))
        targets.append(("mediatool pack of %d small files within 1.2x of tar -c's time (per-round ratios)" % many,
                        "%.2fx" % many_ratio, many_ratio <= 1.2))
    if ("tool", "verify-medium") in wall:
        medium_ratio = paired("tool", "verify-medium", "sha256sum-c", "wall")
        w("")
        w("verify DIR takes %.2fx the time of sha256sum -c on the same medium." % medium_ratio)
        targets.append(("mediatool verify DIR faster than sha256sum -c SHA256SUMS (per-round ratios)",
                        "%.2fx" % medium_ratio, medium_ratio < 1.0))
    return lines


TOOL_TARGETS = ("| mediatool ", "| check-stamp ")


def refresh_tools(meta, wall, out_path):
    """Puts a new media tool section and its target rows into an existing
    report, leaving everything else as it was."""
    targets = []
    section = tool_section(meta, wall, targets)
    rows = ["| %s | %s | %s |" % (what, figure, verdict(ok)) for what, figure, ok in targets]
    old = []
    if os.path.exists(out_path):
        with open(out_path, encoding="utf-8") as f:
            old = f.read().split("\n")
    if TOOL_HEADING not in old:
        old = ["# Benchmarks", ""] + section + ["", "## Targets", "", "| target | measured | |",
                                               "|---|---:|---|"] + rows + [""]
        lines = old
    else:
        start = old.index(TOOL_HEADING)
        end = next((i for i in range(start + 1, len(old)) if old[i].startswith("## ")), len(old))
        lines = old[:start] + section + [""] + old[end:]
        kept = [l for l in lines if not l.startswith(TOOL_TARGETS)]
        # New rows where the old ones were, or at the end of the targets table.
        first = next((i for i, l in enumerate(lines) if l.startswith(TOOL_TARGETS)), None)
        if first is None:
            heading = kept.index("## Targets") if "## Targets" in kept else len(kept)
            first = next((i for i in range(heading, len(kept)) if kept[i] == ""), len(kept))
            first = next((i for i in range(first + 1, len(kept)) if kept[i] == ""), len(kept))
            lines = kept[:first] + rows + kept[first:]
        else:
            lines = kept[:first] + rows + kept[first:]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def main():
    results, meta_path, out_path = sys.argv[1:4]
    meta = read_meta(meta_path)
    wall, inside, install = read_results(results)
    if meta.get("tools_only") == "1":
        refresh_tools(meta, wall, out_path)
        return
    rounds = meta["rounds"]
    lines = []
    w = lines.append

    # The bench itself raises the load, so only the load before it counts.
    busy = float(meta["load_before"].split()[0]) > LOAD_BUSY
    w("# Benchmarks")
    w("")
    w("How fast setup.exe unpacks and installs, and how fast the media tool packs and checks, "
      "measured side by side in one run with NSIS (under the same Wine prefix) and with native "
      "`cp`/`tar` as the machine's limit. Reproduce with:")
    w("")
    w("    %s" % meta["command"])
    w("")
    w("(`bench/run.sh --help` for the options; it installs Debian's `nsis` when `makensis` is missing.)")
    w("")
    w("## Conditions")
    w("")
    w("- Machine: %s cores, %s, %s RAM, kernel %s, output on %s." %
      (meta["cores"], meta["cpu"], meta["memory"], meta["kernel"], meta["filesystem"]))
    w("- Wine: %s, 32-bit prefix, `WINEDEBUG=-all`, persistent wineserver, LANG=en_US.UTF-8 (code page 1252)." % meta["wine"])
    w("- NSIS: makensis %s." % meta["nsis"])
    w("- Product: commit %s; taken %s." % (meta["commit"], meta["date"]))
    w("- Method: one warm-up round, then %s counted rounds; every round runs every case once, in an "
      "order rotated from round to round, each into a fresh output folder on the same disk as the Wine "
      "prefix. Figures are medians; ranges are min-max of the counted rounds." % rounds)
    w("- Deletions: this disk (ext4 mounted with `discard`) stays slow for tens of seconds after many "
      "files are deleted (creating files then takes up to ten times as long), so outputs are removed "
      "only between rounds, outside the timed window, and each round starts once a small probe "
      "(copying and removing a folder of small files) runs at its quiet speed (%.3f s) three times in "
      "a row. Waits between rounds: %s s." % (float(meta["probe_base"]), meta["settle_waits"] or "none"))
    w("- Load average (1, 5, 15 min) before the runs: %s; after: %s.%s" %
      (meta["load_before"], meta["load_after"],
       " **The machine was busy** (other builds and tests ran at the same time): absolute times are "
       "inflated and noisier than on a quiet machine; ratios of cases run side by side hold better."
       if busy else " The machine was quiet."))
    if meta["scale"] != "1":
        w("- **Quick check at scale %s: payloads are a fraction of their real size; these are not the "
          "benchmark's figures.**" % meta["scale"])
    w("- Time: build %s s, inputs %s s, timed rounds %s s, whole run %s s." %
      (meta["build_seconds"], meta["prep_seconds"], meta["runs_seconds"], meta["total_seconds"]))
    w("")
    w("Payloads (bench/gen_payload.py, fixed seeds):")
    w("")
    w("| payload | files | data | Setup.pkg | NSIS stored | NSIS zlib |")
    w("|---|---:|---:|---:|---:|---:|")
    for kind in ("mixed", "small-files"):
        w("| %s | %s | %.1f MB | %.1f MB | %.1f MB | %.1f MB |" % (
            kind, meta["files_" + kind], mb(int(meta["bytes_" + kind])), mb(int(meta["pkg_size_" + kind])),
            mb(int(meta["nsis_store_size_" + kind])), mb(int(meta["nsis_zlib_size_" + kind]))))
    w("")

    targets = []
    w("## Extraction")
    w("")
    w("Wall: the whole program from the shell (Wine start included for the Windows programs). "
      "Inside: the extraction alone, timed by the program with QueryPerformanceCounter, a real "
      "(hidden) progress bar receiving one PBM_SETPOS per record. Ratios are of wall times.")
    for kind in ("mixed", "small-files"):
        w("")
        w("### %s (%s files, %.1f MB)" % (kind, meta["files_" + kind], mb(int(meta["bytes_" + kind]))))
        w("")
        w("| case | wall (s) | range | inside (s) | to NSIS stored | to cp |")
        w("|---|---:|---:|---:|---:|---:|")
        nsis = med(wall[kind, "nsis-store"])
        cp = med(wall[kind, "cp"])
        for case in ("extract", "ref260", "ref64k", "extract-mem", "ref260-mem", "nsis-store", "nsis-zlib",
                     "cp", "tar-x"):
            if (kind, case) not in wall:
                continue
            v = wall[kind, case]
            ins = "%.3f" % med(inside[kind, case]) if inside.get((kind, case)) else ""
            w("| %s | %.3f | %s | %s | %.2fx | %.1fx |" % (LABELS[case], med(v), spread(v), ins, med(v) / nsis, med(v) / cp))
        ratio = med(inside[kind, "extract"]) / med(inside[kind, "ref260"])
        pair = paired(kind, "extract", "ref260", "inside")
        mem = paired(kind, "extract-mem", "ref260-mem", "inside")
        w("")
        w("`ExtractPackage` against the bare loop (inside): %.3fx as a ratio of medians; %.3fx as the median "
          "of the per-round ratios; %.3fx with the output on tmpfs (median of per-round ratios), where the "
          "disk's noise is gone and only the programs' own costs differ." % (ratio, pair, mem))
        targets.append(("Extraction within 1.1x of the bare loop, %s, on disk (per-round ratios)" % kind,
                        "%.3fx" % pair, pair <= 1.1))
        targets.append(("Extraction within 1.1x of the bare loop, %s, on tmpfs (per-round ratios)" % kind,
                        "%.3fx" % mem, mem <= 1.1))
        if kind == "small-files":
            r = med(wall[kind, "extract"]) / nsis
            rp = paired(kind, "extract", "nsis-store", "wall")
            w("")
            w("`ExtractPackage` against NSIS stored (wall): %.2fx as a ratio of medians, %.2fx as the median of "
              "the per-round ratios." % (r, rp))
            targets.append(("Extraction at or below NSIS stored, small-files (wall, per-round ratios)",
                            "%.2fx" % rp, rp <= 1.0))
    w("")

    w("## Full installation (mixed payload)")
    w("")
    w("setup.exe started from a medium folder (setup.exe, Setup.pkg, the side files) and driven from "
      "outside with the end-to-end driver: Install pressed, then the completion dialog awaited, polled "
      "every 5 ms. The dialogs fix a 2000 ms splash and two 300 ms pauses; the figures without them "
      "subtract those waits.")
    w("")
    w("| span | median (s) | range | without the fixed waits (s) | to NSIS stored | to cp |")
    w("|---|---:|---:|---:|---:|---:|")
    nsis = med(wall["mixed", "nsis-store"])
    cp = med(wall["mixed", "cp"])
    rows = (("Install pressed to completion dialog", install["install"], PAUSES_S),
            ("start to main dialog", install["main"], SPLASH_S),
            ("start to exit (whole run)", install["total"], SPLASH_S + PAUSES_S))
    for label, v, waits in rows:
        net = med(v) - waits
        ratios = ("%.2fx | %.1fx" % (net / nsis, net / cp)) if label != "start to main dialog" else " | "
        w("| %s | %.3f | %s | %.3f | %s |" % (label, med(v), spread(v), net, ratios))
    w("")

    lines += tool_section(meta, wall, targets)

    w("## Size and memory")
    w("")
    w("| what | figure |")
    w("|---|---:|")
    w("| setup.exe (static, no DLL beyond Windows') | %d bytes (%.0f KiB) |" % (int(meta["setup_size"]), int(meta["setup_size"]) / 1024))
    w("| NSIS stub: an installer holding no file | %d bytes (%.0f KiB) |" % (int(meta["nsis_empty_size"]), int(meta["nsis_empty_size"]) / 1024))
    w("| setup.exe peak memory installing the mixed payload (VmHWM from /proc) | %.1f MiB |" % (int(meta["vmhwm_kb"]) / 1024))
    if install.get("peak"):
        w("| the same as Wine reports it (PeakWorkingSetSize at the completion dialog, median) | %.1f MiB |" % (med(install["peak"]) / 2**20))
    w("")
    size_table = meta.get("size_table", "")
    if size_table and os.path.getsize(size_table) > 0:
        w("What setup.exe is made of (`bench/size_report.py`, from the linker's map):")
        w("")
        with open(size_table) as f:
            for line in f.read().splitlines():
                w(line)
        w("")

    w("## Targets")
    w("")
    w("| target | measured | |")
    w("|---|---:|---|")
    for what, figure, ok in targets:
        w("| %s | %s | %s |" % (what, figure, verdict(ok)))
    w("")

    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
