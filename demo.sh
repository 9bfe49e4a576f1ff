#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, and starts setup.exe
# under Wine in a private prefix.
#
#   ./demo.sh [--lang zh|en]
#
# With DISPLAY set, the wizard opens on your display for you to click
# through. Without one, it runs on a virtual display, is driven from
# outside, and screenshots land in build/demo/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

lang=zh
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang=${2:-}; shift 2 ;;
    --lang=*) lang=${1#--lang=}; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "demo.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$lang" in
  zh) export LANG=zh_CN.UTF-8 ;;
  en) export LANG=en_US.UTF-8 ;;
  *) echo "demo.sh: --lang takes zh or en" >&2; exit 2 ;;
esac

fail() { echo "demo.sh: $*" >&2; exit 1; }

echo "== installing what is missing"
./scripts/install-deps.sh || fail "installing the dependencies failed"
echo "== building"
cmake --preset win32 >/dev/null || fail "configuring the win32 build failed"
cmake --build --preset win32 -j"$(nproc)" --target setup demo_driver >/dev/null || fail "the build failed"

out=build/demo
mkdir -p "$out"
export KELVRA_WINE_ROOT=$PWD/build/demo/wine-$lang
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }

if [ -n "${DISPLAY:-}" ]; then
  echo "== starting setup.exe on $DISPLAY (close the wizard to end)"
  set +e
  scripts/wine-run build/win32/setup.exe
  echo "setup.exe exit code: $?"
  exit 0
fi

echo "== running setup.exe on a virtual display ($lang)"
scripts/wine-run build/win32/demo_driver.exe "$(winpath build/win32/setup.exe)" "$(winpath "$out")" \
  || fail "the wizard did not behave (see above)"
convert "$out/main.bmp" "$out/main-$lang.png" && rm -f "$out/main.bmp"
echo "== screenshot: $out/main-$lang.png"
