#!/usr/bin/env bash
# Saves a picture of setup.exe's splash window as the virtual display shows it.
#
#   scripts/capture-splash.sh BUILD_DIR LANG OUT.png [SPLASH.bmp]
#
# BUILD_DIR is a win32 build tree (setup.exe in it), LANG zh_CN or en_US.
# setup.exe runs from a fresh medium folder in that tree's Wine prefix for
# LANG (BUILD_DIR/wine-LANG, as the tests use), with SPLASH.bmp beside it as
# Splash.bmp when given. The splash window is found among the X windows and
# grabbed with ImageMagick's import; setup.exe is then ended.
#
#   scripts/capture-splash.sh build/win32 zh_CN docs/images/splash-zh.png
#   scripts/capture-splash.sh build/win32 en_US docs/images/splash-en.png
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -ge 3 ] || { echo "usage: capture-splash.sh BUILD_DIR LANG OUT.png [SPLASH.bmp]" >&2; exit 2; }
build=$(cd "$1" && pwd)
lang=$2
out=$(realpath -m "$3")
picture=${4:-}
[ -f "$build/setup.exe" ] || { echo "capture-splash: no setup.exe in $build" >&2; exit 1; }

export LANG="$lang.UTF-8"
root="$build/wine-$lang"
mkdir -p "$root"
# Servers this run starts end with it; those of a test run before are left.
started=0
[ -z "${DISPLAY:-}" ] && [ ! -f "$root/xvfb.display" ] && started=1
# wine-env.sh is not written for errexit (wineserver -p answers 1 when one runs).
set +e
# shellcheck source=wine-env.sh
. "$here/wine-env.sh" "$root"
set -e

medium="$WINEPREFIX/drive_c/kelvra-capture-$$"
mkdir -p "$medium"
cp "$build/setup.exe" "$medium/setup.exe"
[ -n "$picture" ] && cp "$picture" "$medium/Splash.bmp"

wine "C:\\kelvra-capture-$$\\setup.exe" >"$root/capture.log" 2>&1 </dev/null &
pid=$!
cleanup() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -rf "$medium"
    if [ $started -eq 1 ]; then "$here/wine-stop" "$root"; fi
}
trap cleanup EXIT

# The splash is the program's untitled top-level X window larger than 1x1;
# it stays for two seconds.
id=""
for _ in $(seq 1 100); do
    id=$(xwininfo -root -tree 2>/dev/null |
         awk '/\("setup.exe" "setup.exe"\)/ && /\(has no name\)/ && $0 !~ / 1x1\+/ { print $1; exit }')
    [ -n "$id" ] && break
    sleep 0.1
done
[ -n "$id" ] || { echo "capture-splash: no splash window appeared" >&2; exit 1; }
# Let the first paint and the cleared status line reach the screen.
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window "$id" -strip "$out"
echo "capture-splash: $(xwininfo -id "$id" | awk '/geometry/ { print $2 }') -> $out"
