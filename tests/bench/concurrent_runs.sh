#!/usr/bin/env bash
# Runs each test program twice at once over one shared temporary folder, as
# the suites of two checkouts do: both runs must pass and leave nothing.
#
#   tests/bench/concurrent_runs.sh PROGRAM...
set -u
shared=$(mktemp -d) logs=$(mktemp -d)
trap 'rm -rf "$shared" "$logs"' EXIT
status=0
for program in "$@"; do
    name=${program##*/}
    TMPDIR=$shared "$program" >"$logs/1" 2>&1 & first=$!
    TMPDIR=$shared "$program" >"$logs/2" 2>&1 & second=$!
    wait $first || { echo "$name, first of two at once, failed:"; grep -E 'FAILED|Failure' "$logs/1"; status=1; }
    wait $second || { echo "$name, second of two at once, failed:"; grep -E 'FAILED|Failure' "$logs/2"; status=1; }
    if [ -n "$(ls -A "$shared")" ]; then
        echo "$name left in the temporary folder: $(ls -A "$shared")"; status=1
        rm -rf "${shared:?}"/* "$shared"/.[!.]*
    fi
done
exit $status
