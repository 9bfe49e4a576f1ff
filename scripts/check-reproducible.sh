#!/usr/bin/env bash
# Builds the committed sources twice, in two clean trees at different paths,
# and compares the results byte for byte: setup.exe, mediatool.exe, the
# sample product's programs, the static libraries, the compiled resources,
# and a medium assembled from the sample (Setup.pkg, Splash.bmp, ...).
# A media preparer can then publish a medium's hashes and anyone can check
# them against a build of the same commit.
#
#   scripts/check-reproducible.sh [COMMIT]      (default HEAD)
#
# Takes a few minutes; not part of ctest.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
commit=${1:-HEAD}
work=$(mktemp -d /tmp/kelvra-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc 2>/dev/null || echo 2)

build() {
  local tree=$1
  mkdir -p "$tree/src"
  git archive "$commit" | tar -x -C "$tree/src"
  cmake -S "$tree/src" -B "$tree/native" -DCMAKE_BUILD_TYPE=Release >"$tree/log" 2>&1
  cmake --build "$tree/native" -j"$jobs" --target mediatool >>"$tree/log" 2>&1
  cmake -S "$tree/src" -B "$tree/win32" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$tree/src/cmake/mingw-i686.cmake" >>"$tree/log" 2>&1
  cmake --build "$tree/win32" -j"$jobs" --target setup mediatool sample_payload >>"$tree/log" 2>&1
  (cd "$tree/src" && "$tree/native/mediatool" assemble --payload "$tree/win32/sample/payload" \
    --setup "$tree/win32/setup.exe" --out "$tree/medium" --ini sample/setup.ini \
    --splash sample/splash.bmp --icon sample/icon.ico --placeholder-runtime) >>"$tree/log" 2>&1
}

echo "== building $(git rev-parse --short "$commit") twice under $work"
# The second tree sits at a longer path, so a path baked into an output shows.
for tree in "$work/a" "$work/second-tree"; do
  build "$tree" || { echo "check-reproducible: the build in $tree failed:" >&2; tail -20 "$tree/log" >&2; exit 1; }
done

compared=0
differ=0
compare() {
  local rel=$1
  local x="$work/a/$rel" y="$work/second-tree/$rel"
  if [ ! -e "$x" ] || [ ! -e "$y" ]; then
    echo "missing: $rel"; differ=$((differ + 1)); return
  fi
  compared=$((compared + 1))
  if cmp -s "$x" "$y"; then
    printf '  same    %s  %s\n' "$(sha256sum "$x" | cut -c1-16)" "$rel"
  else
    printf '  DIFFER  %s\n' "$rel"; differ=$((differ + 1))
  fi
}

for f in win32/setup.exe win32/mediatool.exe win32/sample/bin/Kelvra.exe \
         win32/sample/bin/corvane_driver_setup.exe win32/libkelvra_core.a win32/libkelvra_win.a; do
  compare "$f"
done
# Compiled resources.
(cd "$work/a" && find win32 -name '*.rc.res' -o -name '*.rc.obj' | sort) | while read -r f; do echo "$f"; done >"$work/res.list"
while read -r f; do compare "$f"; done <"$work/res.list"
for f in $(cd "$work/a/medium" && ls | sort); do compare "medium/$f"; done

echo "$compared compared, $differ differ"
[ "$differ" -eq 0 ] || { echo "check-reproducible: the two builds differ" >&2; exit 1; }
echo "check-reproducible: byte-identical"
