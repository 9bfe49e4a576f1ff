#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, assembles an
# installation medium from the sample product (build/medium) and runs a whole
# installation of it under Wine in a private prefix.
#
#   ./demo.sh [--lang zh|en] [--update-docs]
#   ./demo.sh --medium DIR [--lang zh|en] [--out OUTDIR] [--keep-prefix]
#
# With DISPLAY set, the wizard opens on your display for you to click
# through; afterwards the script reports what was installed. Without one, it
# runs on a virtual display and is driven from outside through the splash,
# the main dialog, the installation, the completion dialog, the driver
# installer and exit; screenshots land in build/demo/<screen>-<lang>.png.
#
# --lang en shows the English interface on a system whose code page for
# non-Unicode programs is Chinese (936), as the medium's file names need.
# --update-docs copies the splash, main and completion screenshots to
# docs/images/ for the README.
#
# --medium shows any medium as its users will see it: its setup program runs
# on a private virtual display in a fresh Wine prefix under OUTDIR (default
# build/demo/medium), in both languages unless --lang picks one, and goes
# through the splash, the main dialog, Install and the completion dialog.
# The screens land in OUTDIR as <screen>-<lang>.png beside index.html, a
# one-page sheet of them. Nothing else on the medium is started, the medium
# is not written to, and the prefix is removed afterwards (kept under OUTDIR
# with --keep-prefix).
set -euo pipefail
# Folders named on the command line are taken from where it was given.
start=$PWD
cd "$(dirname "${BASH_SOURCE[0]}")"
from_start() { case "$1" in /*) echo "$1" ;; *) echo "$start/$1" ;; esac; }

lang=""
update_docs=0
medium=""
medium_out=$PWD/build/demo/medium
keep_prefix=0
while [ $# -gt 0 ]; do
  case "$1" in
    --lang) lang=${2:-}; shift 2 || { echo "demo.sh: --lang takes zh or en" >&2; exit 2; } ;;
    --lang=*) lang=${1#--lang=}; shift ;;
    --update-docs) update_docs=1; shift ;;
    --medium) [ -n "${2:-}" ] || { echo "demo.sh: --medium takes a folder" >&2; exit 2; }
              medium=$(from_start "$2"); shift 2 ;;
    --out) [ -n "${2:-}" ] || { echo "demo.sh: --out takes a folder" >&2; exit 2; }
           medium_out=$(from_start "$2"); shift 2 ;;
    --keep-prefix) keep_prefix=1; shift ;;
    -h|--help) sed -n '2,27p' "$0"; exit 0 ;;
    *) echo "demo.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$lang" in
  zh|en|"") ;;
  *) echo "demo.sh: --lang takes zh or en" >&2; exit 2 ;;
esac
# The medium is made for code page 936; the language only picks the texts.
unset LC_ALL LC_MESSAGES LANGUAGE
export LC_CTYPE=zh_CN.UTF-8
set_lang() {
  case "$1" in
    zh) export LANG=zh_CN.UTF-8 ;;
    en) export LANG=en_US.UTF-8 ;;
  esac
}

fail() { echo "demo.sh: $*" >&2; exit 1; }
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }

if [ -n "$medium" ]; then
  [ -d "$medium" ] || fail "no medium folder $medium"
  [ $update_docs -eq 0 ] || fail "--update-docs is for the sample medium, not with --medium"
  # shellcheck source=scripts/demo-medium.sh
  . scripts/demo-medium.sh
  demo_medium "$medium" "$medium_out" "${lang:-zh en}" "$keep_prefix"
  exit $?
fi
lang=${lang:-zh}
set_lang "$lang"
out=build/demo
mkdir -p "$out"
log=$out/build.log
: >"$log"

echo "== installing what is missing"
./scripts/install-deps.sh || fail "installing the dependencies failed (scripts/install-deps.sh)"

echo "== building (log: $log)"
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset native >>"$log" 2>&1 || fail "configuring the native build failed; see $log"
cmake --build --preset native -j"$jobs" --target mediatool >>"$log" 2>&1 \
  || fail "building mediatool failed; see the end of $log"
cmake --preset win32 >>"$log" 2>&1 || fail "configuring the win32 build failed; see $log"
cmake --build --preset win32 -j"$jobs" --target setup demo_driver sample_payload >>"$log" 2>&1 \
  || fail "building setup.exe, the sample product or the demo driver failed; see the end of $log"

echo "== assembling build/medium from sample/"
build/native/mediatool assemble --payload build/win32/sample/payload --setup build/win32/setup.exe \
  --out build/medium --ini sample/setup.ini --splash sample/splash.bmp --icon sample/icon.ico \
  --placeholder-runtime --replace || fail "mediatool assemble refused the sample medium (see above)"

export KELVRA_WINE_ROOT=$PWD/build/demo/wine-$lang
# The installation stays in the prefix; its servers end with the demo.
trap 'scripts/wine-stop "$KELVRA_WINE_ROOT"' EXIT

if [ -n "${DISPLAY:-}" ]; then
  echo "== starting build/medium/setup.exe on $DISPLAY ($lang); click through the wizard"
  # The report below is then about this run only.
  scripts/wine-run build/win32/demo_driver.exe --reset || fail "cannot clear the previous demo installation"
  set +e
  scripts/wine-run build/medium/setup.exe
  code=$?
  set -e
  echo "setup.exe exit code: $code"
  scripts/wine-run build/win32/demo_driver.exe --report || true
  exit 0
fi

echo "== installing on a virtual display ($lang)"
rm -f "$out"/*.bmp
if ! scripts/wine-run build/win32/demo_driver.exe "$(winpath build/medium/setup.exe)" "$(winpath "$out")"; then
  status=1
else
  status=0
fi
shots=()
for bmp in "$out"/*.bmp; do
  [ -e "$bmp" ] || continue
  screen=$(basename "$bmp" .bmp)
  png=$out/$screen-$lang.png
  # No dates in the PNG: the same screen gives the same file.
  convert "$bmp" -strip -define png:exclude-chunks=date,time "$png" && rm -f "$bmp" \
    || fail "converting $bmp to PNG failed"
  shots+=("$png")
done
echo "== screenshots: ${shots[*]:-none}"
if [ $update_docs -eq 1 ]; then
  for screen in splash main done; do
    [ -e "$out/$screen-$lang.png" ] && cp "$out/$screen-$lang.png" docs/images/
  done
  echo "== copied to docs/images/"
fi
[ $status -eq 0 ] || fail "the installation did not go through as it should (see above)"
echo "== done: the sample product is installed in the prefix $KELVRA_WINE_ROOT/prefix"
