#!/usr/bin/env bash
# How many hand-made faults the native suite catches.
#
#   scripts/seeded-faults.sh [WORD...]
#
# Copies the tree as it stands (uncommitted changes included) to a scratch
# folder, builds the native tree there, and then, one fault of
# tests/faults/faults.txt at a time: applies it, builds, runs tools_tests
# and unit_portable, and puts the line back. A fault is caught when the
# suite fails, survives when it passes, and is stale when its line no longer
# exists (or exists twice). WORDs pick the faults whose title or file holds
# one of them. The working tree is never touched. Exit status 0 when nine in
# ten of the applied faults are caught.
#
# Slow (a build and a suite run per fault); not part of ./test.sh. With
# KELVRA_FAULTS_DIR set, the scratch folder is that one and is kept, so that
# a second run (say, for the survivors) builds only what changed.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
list="$repo/tests/faults/faults.txt"
jobs=${JOBS:-2}

if [ -n "${KELVRA_FAULTS_DIR:-}" ]; then
    scratch=$KELVRA_FAULTS_DIR
    mkdir -p "$scratch"
else
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-faults.XXXXXX")
    trap 'rm -rf "$scratch"' EXIT
fi
src="$scratch/src"
mkdir -p "$src"
# Only files whose bytes differ are written, so that a kept copy rebuilds
# only what changed; files the tree no longer has go.
(cd "$repo" && git ls-files -z --cached --others --exclude-standard) | python3 -c '
import os, shutil, sys
repo, src = sys.argv[1:]
names = {n for n in sys.stdin.buffer.read().decode().split("\0") if n and os.path.isfile(os.path.join(repo, n))}
for name in names:
    a, b = os.path.join(repo, name), os.path.join(src, name)
    if os.path.isfile(b) and open(a, "rb").read() == open(b, "rb").read(): continue
    os.makedirs(os.path.dirname(b), exist_ok=True)
    shutil.copy(a, b)
for top, dirs, files in os.walk(src):
    if top == src: dirs[:] = [d for d in dirs if d != "build"]
    for f in files:
        if os.path.relpath(os.path.join(top, f), src) not in names: os.remove(os.path.join(top, f))
' "$repo" "$src"

# A run stopped halfway left a fault's file older than its build.
if [ -f "$scratch/applied" ]; then
    touch "$src/$(cat "$scratch/applied")"
    rm "$scratch/applied"
fi

if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
fi

log="$scratch/log"
build() { cmake --build "$src/build/native" -j"$jobs" --target unit_portable tools_tests mediatool >"$log" 2>&1; }
suite() {
    # The test binaries write their folders below TMPDIR; the faults may
    # leave things behind there.
    local tmp="$scratch/tmp"
    rm -rf "$tmp" && mkdir "$tmp"
    (cd "$src/build/native" &&
        TMPDIR="$tmp" timeout 900 ./tools_tests --gtest_fail_fast --gtest_brief=1 &&
        TMPDIR="$tmp" timeout 900 ./unit_portable --gtest_fail_fast --gtest_brief=1) >"$log" 2>&1
}

echo "seeded faults: building the native tree in $src"
(cd "$src" && cmake --preset native >"$log" 2>&1) || { cat "$log"; exit 2; }
build || { cat "$log"; exit 2; }
suite || { echo "the suite fails without any fault:"; tail -30 "$log"; exit 2; }

# The faults, one record a line: title, file, old line, new line.
records=$(python3 - "$list" "$@" <<'EOF'
import sys
path, words = sys.argv[1], sys.argv[2:]
faults, cur = [], None
for line in open(path, encoding="utf-8").read().split("\n"):
    if line.startswith("## "):
        cur = [line[3:].strip()]
        faults.append(cur)
    elif cur is not None and line.strip() and not line.startswith("#"):
        cur.append(line[2:] if line[:2] in ("- ", "+ ") else line.strip())
    elif cur is not None and line in ("+", "+ "):
        cur.append("")
for f in faults:
    if len(f) == 3: f.append("")
    if len(f) != 4: sys.exit("malformed fault: %r" % f)
    if words and not any(w in f[0] or w in f[1] for w in words): continue
    print("\x1f".join(f))
EOF
)

apply() {   # file old new: replaces the one line that reads `old`
    python3 - "$@" <<'EOF'
import sys
path, old, new = sys.argv[1:]
lines = open(path, encoding="utf-8").read().split("\n")
hits = [i for i, l in enumerate(lines) if l.strip() == old.strip()]
if len(hits) != 1: sys.exit(3)
i = hits[0]
indent = lines[i][:len(lines[i]) - len(lines[i].lstrip())]
lines[i] = indent + new.strip() if new.strip() else ""
open(path, "w", encoding="utf-8").write("\n".join(lines))
EOF
}

caught=0 survived=0 stale=0 broken=0
survivors=()
# The records come on descriptor 3: a build or a test that reads standard
# input would otherwise eat the faults still to come.
while IFS=$'\x1f' read -r -u 3 title file old new; do
    [ -n "$title" ] || continue
    target="$src/$file"
    if [ ! -f "$target" ]; then
        echo "stale     $title ($file is gone)"; stale=$((stale + 1)); continue
    fi
    cp -p "$target" "$scratch/original"
    if ! apply "$target" "$old" "$new"; then
        echo "stale     $title ($file)"; stale=$((stale + 1)); continue
    fi
    echo "$file" >"$scratch/applied"
    if ! build; then
        echo "no build  $title ($file)"; broken=$((broken + 1))
    elif suite; then
        echo "SURVIVED  $title ($file)"; survived=$((survived + 1)); survivors+=("$title")
    else
        echo "caught    $title ($file)"; caught=$((caught + 1))
    fi
    cp "$scratch/original" "$target"
    touch "$target"
    rm "$scratch/applied"
done 3<<<"$records"

applied=$((caught + survived))
echo
echo "caught $caught of $applied applied faults; $survived survived, $stale stale, $broken did not build"
for s in "${survivors[@]+"${survivors[@]}"}"; do echo "  survived: $s"; done
[ "$applied" -gt 0 ] && [ $((caught * 10)) -ge $((applied * 9)) ]
