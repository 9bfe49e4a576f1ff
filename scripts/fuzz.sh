#!/usr/bin/env bash
# Builds one libFuzzer target and runs it for a while; fails on any finding.
#
#   scripts/fuzz.sh TARGET SECONDS      e.g. scripts/fuzz.sh package_fuzz 30
#
# Configures its own tree build/fuzz (clang, -DKELVRA_FUZZ=ON, address and
# undefined-behaviour sanitizers). New inputs go to build/fuzz/corpus/TARGET,
# seeded from tests/fuzz/corpus/TARGET, so the checked-in seeds stay small;
# a crashing input is kept as build/fuzz/findings/TARGET-crash-*.
#   scripts/fuzz.sh --list              the targets, one a line
set -euo pipefail
if [ "${1:-}" = "--list" ]; then
  for f in "$(dirname "${BASH_SOURCE[0]}")"/../tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done
  exit 0
fi
if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$src/build/fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVRA_FUZZ=ON > "$build.configure.log" 2>&1 \
    || { cat "$build.configure.log" >&2; exit 1; }
fi
cmake --build "$build" --target "$target" > "$build/build-$target.log" 2>&1 \
  || { tail -40 "$build/build-$target.log" >&2; exit 1; }

work=$build/corpus/$target
findings=$build/findings
mkdir -p "$work" "$findings"
seeds=$src/tests/fuzz/corpus/$target
[ -d "$seeds" ] || seeds=

echo "fuzzing $target for $seconds s"
# libFuzzer exits non-zero on a crash, a sanitizer report, a leak or a
# timeout; set -e turns that into this script's failure.
"$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/$target-" "$work" $seeds
echo "$target: no finding in $seconds s"
