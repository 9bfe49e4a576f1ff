#!/usr/bin/env bash
# Builds both trees and runs every test: natively, and under Wine in a
# private prefix on a virtual display. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

./scripts/install-deps.sh || { echo "test.sh: installing dependencies failed" >&2; exit 1; }

# The Wine tests' wineservers and virtual displays end with the run, however
# it ends (ctest ends them too, after the last Wine test).
stop_wine() { scripts/wine-stop build/win32/wine-*; }
trap stop_wine EXIT
trap 'exit 130' INT TERM

jobs=$(nproc 2>/dev/null || echo 2)
status=0
step() { echo "== $*"; "$@" || { echo "test.sh: failed: $*" >&2; status=1; }; }

# Includes point down the layers only.
step scripts/check-layers.sh

step cmake --preset native >/dev/null
step cmake --build --preset native -j"$jobs"
step cmake --preset win32 >/dev/null
step cmake --build --preset win32 -j"$jobs"
[ $status -eq 0 ] || exit $status
# Both programs must start on Windows XP SP3.
step scripts/check-xp-imports.py build/win32/setup.exe build/win32/mediatool.exe
[ $status -eq 0 ] || exit $status

# A short fuzzing run of every target: any finding fails.
if [ -x scripts/fuzz.sh ]; then
  for target in $(scripts/fuzz.sh --list 2>/dev/null); do
    step scripts/fuzz.sh "$target" "${KELVRA_FUZZ_SECONDS:-20}"
  done
fi

# Two clean builds of this commit must give byte-identical programs and media.
if [ -z "${KELVRA_SKIP_REPRO:-}" ]; then
  step scripts/check-reproducible.sh
fi

step ctest --preset native -j"$jobs"
# Last: its summary closes the output.
step ctest --preset win32 -j"$jobs"
exit $status
