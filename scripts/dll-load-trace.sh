#!/usr/bin/env bash
# The DLLs setup.exe loads during the planting test's whole installations
# (splash, folder browser, install, completion dialog, driver button; once
# as Windows 7 and once as Vista), from Wine's load trace. One line per DLL:
# its name, then the folders it came from. The list of DLLs that start-up
# preloads (base/dll_policy.cpp) is checked against it by hand.
#
#   scripts/dll-load-trace.sh [BUILD_DIR]     (default build/win32)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build/win32}" && pwd)
root=${KELVRA_WINE_ROOT:-$build/wine-${LANG%%.*}}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(
    . "$here/wine-env.sh" "$root"
    WINEDEBUG=-all,+loaddll,+pid wine "$build/e2e.exe" --gtest_filter='DllPlanting.AWhole*' >"$log" 2>&1 </dev/null
) || { grep -E 'Failure|FAILED' "$log" >&2; exit 1; }
pids=$(grep -E 'loaddll.*Loaded L".*\\dll-planting\\\\setup\.exe"' "$log" | cut -d: -f1 | sort -u)
# Wine writes the path with doubled backslashes; one line per DLL and folder.
for pid in $pids; do
    grep "^$pid:.*loaddll.*Loaded L\"" "$log" | sed 's/.*Loaded L"//; s/" at .*//; s/\\\\/\\/g' |
        tr 'A-Z' 'a-z' | sed 's/^\(.*\)\\\([^\\]*\)$/\2 \1/'
done | sort -u | awk '{ dirs[$1] = dirs[$1] " " $2 } END { for (n in dirs) print n ":" dirs[n] }' | sort
