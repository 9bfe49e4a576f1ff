#!/usr/bin/env python3
"""Writes a deterministic benchmark payload: the same tree on every run.

  gen_payload.py mixed|small-files|many-files OUTDIR [--scale F]

mixed:        about 100 MB in about 2,000 files, folders up to 4 levels deep:
              many files of 1-64 KiB, some of 100 KiB-2 MiB, a few of
              10-20 MiB. Half the files are text-like (compressible), half
              random bytes.
small-files:  10,000 files of 0-4 KiB in folders 3 levels deep.
many-files:   100,000 files of 0-1 KiB in 200 folders: the cost per file.

--scale F shrinks the file counts and the largest sizes (quick checks of
the bench itself). OUTDIR must not exist yet. Names are ASCII and short, so
that any install folder of up to 120 characters still leaves room.
"""
import argparse
import math
import os
import random
import sys

SEEDS = {"mixed": 20240611, "small-files": 20240612, "many-files": 20240613}
KIB = 1024
MIB = 1024 * 1024
WORDS = ("engrave laser galvo marking vector raster hatch contour focus power "
         "frequency pulse speed layer object font barcode serial rotary axis "
         "calibration lens field scan delay jump mark wobble fill outline "
         "kelvra device driver config template preview").split()
EXTENSIONS = (".dat", ".bin", ".txt", ".xml", ".dll", ".cfg", ".lng", ".png")


def log_uniform(rng, lo, hi):
    return int(math.exp(rng.uniform(math.log(lo), math.log(hi))))


class Content:
    """Bytes for files: random, or slices of a fixed block of text."""

    def __init__(self, rng):
        self.rng = rng
        words = [rng.choice(WORDS) for _ in range(40000)]
        lines = []
        for i in range(0, len(words), 9):
            lines.append(" ".join(words[i:i + 9]) + " %d\r\n" % rng.randrange(100000))
        self.text = "".join(lines).encode("ascii")

    def make(self, size, textlike):
        if not textlike:
            return self.rng.randbytes(size)
        out = bytearray()
        while len(out) < size:
            start = self.rng.randrange(len(self.text) // 2)
            out += self.text[start:start + min(size - len(out), len(self.text) - start)]
        return bytes(out[:size])


def make_folders(rng, max_depth, branching):
    """Folder paths (lists of names) of a random tree, root excluded."""
    folders = []

    def grow(path, depth):
        if depth == max_depth:
            return
        lo, hi = branching[depth]
        for i in range(rng.randint(lo, hi)):
            child = path + ["d%d%02d" % (depth + 1, i)]
            folders.append(child)
            grow(child, depth + 1)

    grow([], 0)
    return folders


def write(root, parts, data):
    path = os.path.join(root, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def mixed(root, scale):
    rng = random.Random(SEEDS["mixed"])
    content = Content(rng)
    folders = [[]] + make_folders(rng, 4, [(6, 6), (1, 4), (0, 3), (0, 3)])
    total_files = max(20, int(2000 * scale))
    big = 3 if scale >= 1 else 1
    medium = max(2, int(40 * scale))
    sizes = [int(rng.uniform(10 * MIB, 20 * MIB) * min(scale, 1)) for _ in range(big)]
    sizes += [log_uniform(rng, 100 * KIB, 2 * MIB) for _ in range(medium)]
    sizes += [log_uniform(rng, 1 * KIB, 64 * KIB) for _ in range(total_files - len(sizes))]
    rng.shuffle(sizes)
    for n, size in enumerate(sizes):
        folder = rng.choice(folders)
        name = "f%04d%s" % (n, rng.choice(EXTENSIONS))
        write(root, folder + [name], content.make(size, rng.random() < 0.5))
    return len(sizes), sum(sizes)


def small_files(root, scale):
    rng = random.Random(SEEDS["small-files"])
    content = Content(rng)
    leaves = [["s%02d" % a, "t%d" % b, "u%d" % c] for a in range(10) for b in range(5) for c in range(4)]
    total_files = max(20, int(10000 * scale))
    total = 0
    for n in range(total_files):
        size = rng.randint(0, 4 * KIB)
        total += size
        name = "g%05d%s" % (n, rng.choice(EXTENSIONS))
        write(root, leaves[n % len(leaves)] + [name], content.make(size, rng.random() < 0.5))
    return total_files, total


def many_files(root, scale):
    rng = random.Random(SEEDS["many-files"])
    content = Content(rng)
    total_files = max(200, int(100000 * scale))
    total = 0
    for n in range(total_files):
        size = rng.randint(0, KIB)
        total += size
        write(root, ["m%03d" % (n % 200), "f%06d.txt" % n], content.make(size, rng.random() < 0.5))
    return total_files, total


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("kind", choices=sorted(SEEDS))
    ap.add_argument("outdir")
    ap.add_argument("--scale", type=float, default=1.0)
    args = ap.parse_args()
    if not 0 < args.scale <= 1:
        ap.error("--scale takes a number in (0, 1]")
    if os.path.exists(args.outdir):
        ap.error("%s exists already" % args.outdir)
    os.makedirs(args.outdir)
    make = {"mixed": mixed, "small-files": small_files, "many-files": many_files}[args.kind]
    files, size = make(args.outdir, args.scale)
    print("%s: %d files, %d bytes in %s" % (args.kind, files, size, args.outdir))


if __name__ == "__main__":
    sys.exit(main())
