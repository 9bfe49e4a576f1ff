#!/usr/bin/env bash
# Runs each test program twice at once over one shared temporary folder, as
# the suites of two checkouts do. Both runs must pass and leave the folder
# as they found it: every test works in a folder of its own.
#
#   tests/bench/concurrent_runs.sh PROGRAM...
set -u
shared=$(mktemp -d)
logs=$(mktemp -d)
trap 'rm -rf "$shared" "$logs"' EXIT
status=0
for program in "$@"; do
    name=$(basename "$program")
    TMPDIR=$shared "$program" >"$logs/$name.1" 2>&1 &
    first=$!
    TMPDIR=$shared "$program" >"$logs/$name.2" 2>&1 &
    second=$!
    for run in 1 2; do
        pid=$first; [ $run = 2 ] && pid=$second
        if ! wait "$pid"; then
            echo "concurrent_runs: $name, run $run of two at once, failed:" >&2
            grep -E '^\[  FAILED  \]|Failure|error' "$logs/$name.$run" | head -20 >&2
            status=1
        fi
    done
    left=$(ls -A "$shared")
    if [ -n "$left" ]; then
        echo "concurrent_runs: $name left in the temporary folder: $left" >&2
        status=1
        rm -rf "${shared:?}"/* "$shared"/.[!.]* 2>/dev/null
    fi
done
[ $status -eq 0 ] && echo "concurrent_runs: $# program(s) passed twice at once, nothing left behind"
exit $status
