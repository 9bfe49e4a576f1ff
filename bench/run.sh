#!/usr/bin/env bash
# Benchmarks: setup.exe's extraction and installation and the media tool,
# side by side with NSIS (a widely used installer, under the same Wine
# prefix) and with native cp/tar as the machine's limit. Writes
# BENCHMARKS.md at the top of the repository.
#
#   bench/run.sh [--rounds N] [--quick] [--tools-only] [--output FILE]
#
#   --rounds N   counted rounds after the warm-up round (default 5, at least 1)
#   --tools-only only the media tool's cases (no Windows build, NSIS or Wine):
#                rewrites the report's media tool section and its targets,
#                leaving the rest of it as it was
#   --quick      payloads at 5% of their size, 2 rounds, report to
#                build/bench/BENCHMARKS-quick.md: checks the bench itself
#   --output F   where the report goes
#
# Build trees build/bench-win32 and build/bench-native, work files and the
# Wine root under build/bench (override with BENCH_WIN32_DIR,
# BENCH_NATIVE_DIR, BENCH_WORK). Installs Debian's nsis package with apt-get
# when makensis is missing: only the bench needs it.
#
# Each round runs every case once, in an order rotated from round to round,
# so that no case always follows the same neighbour, each into a fresh
# output folder. The outputs are removed between rounds, outside the timed
# window, and the next round waits until the disk is quiet again: this disk
# is slow for a while after many deletions.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

args_given="$*"
rounds=5
scale=1
output=$top/BENCHMARKS.md
quick=0
tools_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=${2:-}; shift 2 ;;
    --quick) quick=1; scale=0.05; rounds=2; output=$top/build/bench/BENCHMARKS-quick.md; shift ;;
    --tools-only) tools_only=1; shift ;;
    --output) output=${2:-}; shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$rounds" in ''|*[!0-9]*|0) echo "run.sh: --rounds takes a whole number of at least 1" >&2; exit 2 ;; esac

win32=${BENCH_WIN32_DIR:-$top/build/bench-win32}
native=${BENCH_NATIVE_DIR:-$top/build/bench-native}
work=${BENCH_WORK:-$top/build/bench}
mkdir -p "$work"
work=$(cd "$work" && pwd)
log=$work/log
mkdir -p "$log"
started=$EPOCHREALTIME
say() { printf '== %s\n' "$*"; }
fail() { echo "run.sh: $*" >&2; exit 1; }

# --- Tools ---------------------------------------------------------------
nsis_note="makensis was already installed"
if [ "$tools_only" = 0 ] && ! command -v makensis >/dev/null; then
  say "installing nsis (makensis) with apt-get: only the bench needs it"
  { apt-get install -y --no-install-recommends nsis || { apt-get update && apt-get install -y --no-install-recommends nsis; }; } \
    >"$log/apt-nsis.log" 2>&1 || fail "cannot install nsis (see $log/apt-nsis.log)"
  nsis_note="makensis was installed by this run (apt-get install nsis)"
fi
needed="cmake python3 tar md5sum sha256sum"
[ "$tools_only" = 1 ] || needed="$needed wine"
for tool in $needed; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs the project's tools)"
done

# --- Build ---------------------------------------------------------------
say "building (win32: $win32, native: $native)"
t_build=$EPOCHREALTIME
if [ "$tools_only" = 0 ]; then
cmake -S "$top" -B "$win32" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKELVRA_BENCH=ON >"$log/cmake-win32.log" 2>&1 \
  || fail "configuring $win32 failed (see $log/cmake-win32.log)"
cmake --build "$win32" -j"$(nproc)" --target setup extract_bench reference_loop install_bench \
  >"$log/build-win32.log" 2>&1 || fail "building $win32 failed (see $log/build-win32.log)"
fi
cmake -S "$top" -B "$native" -DCMAKE_BUILD_TYPE=Release >"$log/cmake-native.log" 2>&1 \
  || fail "configuring $native failed (see $log/cmake-native.log)"
cmake --build "$native" -j"$(nproc)" --target mediatool >"$log/build-native.log" 2>&1 \
  || fail "building $native failed (see $log/build-native.log)"
mediatool=$native/mediatool
build_seconds=$(python3 -c "print(f'{$EPOCHREALTIME - $t_build:.0f}')")

# --- Inputs ----------------------------------------------------------------
# Payloads are made once per generator version and scale and then reused.
say "payloads, packages, peer installers (scale $scale)"
t_prep=$EPOCHREALTIME
gen_sum=$(md5sum "$top/bench/gen_payload.py" | cut -c1-12)
data=$work/data-$scale-$gen_sum
if [ ! -f "$data/.ready" ]; then
  rm -rf "$work"/data-*
  mkdir -p "$data"
  for kind in mixed small-files many-files; do
    python3 "$top/bench/gen_payload.py" "$kind" "$data/$kind" --scale "$scale" >>"$log/payload.log"
  done
  # The check-stamp input: 50 MB of fixed random bytes plus a stamp trailer.
  python3 -c "import random,sys; sys.stdout.buffer.write(random.Random(50).randbytes(int(50*2**20*$scale)))" \
    >"$data/stamped.bin"
  "$mediatool" stamp "$data/stamped.bin" --append >>"$log/payload.log"
  touch "$data/.ready"
fi
kinds="mixed small-files"
for kind in $kinds many-files; do
  [ -f "$data/$kind.pkg" ] || "$mediatool" pack "$data/$kind" -o "$data/$kind.pkg" >>"$log/payload.log"
  [ -f "$data/$kind.tar" ] || tar -cf "$data/$kind.tar" -C "$data/$kind" .
done
# The package as this build packs it, with its manifest, for verify.
"$mediatool" pack "$data/mixed" -o "$work/verify.pkg" --manifest "$work/verify.manifest" >>"$log/payload.log"
cmp -s "$work/verify.pkg" "$data/mixed.pkg" || fail "mediatool pack wrote another package than before"
# A whole medium for verify DIR against sha256sum -c: the mixed package, a
# setup program of a win32 tree, stand-in runtime files, its SHA256SUMS.
setup_exe=${BENCH_SETUP_EXE:-$win32/setup.exe}
[ -f "$setup_exe" ] || setup_exe=$top/build/win32/setup.exe
vmedium=$work/verify-medium
rm -rf "$vmedium"
if [ -f "$setup_exe" ]; then
  mkdir -p "$vmedium"
  cp "$setup_exe" "$vmedium/setup.exe"
  ln "$data/mixed.pkg" "$vmedium/Setup.pkg" 2>/dev/null || cp "$data/mixed.pkg" "$vmedium/Setup.pkg"
  for f in Microsoft.VC80.CRT.manifest msvcp80.dll msvcr80.dll; do printf 'bench stand-in\r\n' >"$vmedium/$f"; done
  (cd "$vmedium" && LC_ALL=C sha256sum -- * >SHA256SUMS)
fi

if [ "$tools_only" = 0 ]; then
# NSIS peers from the same trees: stored (SetCompress off) and with its
# default compressor, both silent; and an installer without files, whose
# size is the stub's.
nsi=$work/peer.nsi
cat >"$nsi" <<'NSI'
Name "Kelvra bench peer"
OutFile "${OUT}"
RequestExecutionLevel user
SilentInstall silent
InstallDir "C:\bench-out\nsis"
!ifdef STORE
SetCompress off
!endif
Section
  SetOutPath "$INSTDIR"
!ifdef SRC
  File /r "${SRC}/*"
!endif
SectionEnd
NSI
for kind in $kinds; do
  [ -f "$data/nsis-store-$kind.exe" ] || makensis -V1 -DOUT="$data/nsis-store-$kind.exe" -DSRC="$data/$kind" -DSTORE "$nsi" >>"$log/makensis.log"
  [ -f "$data/nsis-zlib-$kind.exe" ] || makensis -V1 -DOUT="$data/nsis-zlib-$kind.exe" -DSRC="$data/$kind" "$nsi" >>"$log/makensis.log"
done
[ -f "$data/nsis-empty.exe" ] || makensis -V1 -DOUT="$data/nsis-empty.exe" "$nsi" >>"$log/makensis.log"

# The installation medium: setup.exe, the mixed package and the side files
# the install procedure needs (the runtime files are stand-ins).
medium=$work/medium
rm -rf "$medium"
mkdir -p "$medium"
cp "$win32/setup.exe" "$medium/setup.exe"
ln "$data/mixed.pkg" "$medium/Setup.pkg" 2>/dev/null || cp "$data/mixed.pkg" "$medium/Setup.pkg"
printf '<assembly manifestVersion="1.0"/>\r\n' >"$medium/Microsoft.VC80.CRT.manifest"
printf 'MZ bench stand-in\r\n' >"$medium/msvcp80.dll"
printf 'MZ bench stand-in\r\n' >"$medium/msvcr80.dll"

# --- Wine --------------------------------------------------------------------
say "Wine prefix under $work/wine"
export LANG=en_US.UTF-8
had_display=${DISPLAY:-}
# wine-env.sh is written for scripts without -e (starting a server that
# already runs answers non-zero).
set +e
# shellcheck source=../scripts/wine-env.sh
. "$top/scripts/wine-env.sh" "$work/wine"
# A server that stays up for the whole run: every start costs the same.
wineserver -p >/dev/null 2>&1 </dev/null
set -e
[ -d "$WINEPREFIX/drive_c" ] || fail "no Wine prefix in $WINEPREFIX (see $work/wine/wineboot.log)"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf /dev/shm/kelvra-bench-out
  if [ -z "$had_display" ] && [ -f "$work/wine/xvfb.display" ]; then
    read -r _ xpid <"$work/wine/xvfb.display" && kill "$xpid" 2>/dev/null || true
    rm -f "$work/wine/xvfb.display"
  fi
}
trap cleanup EXIT
drive_c=$WINEPREFIX/drive_c
outroot=$drive_c/bench-out
rm -rf "$outroot"
mkdir -p "$outroot"
winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }'; }

else
  drive_c=$work
  outroot=$work/tools-out
  rm -rf "$outroot"
  mkdir -p "$outroot"
  seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }'; }
  cleanup() { rm -rf "$outroot" /dev/shm/kelvra-bench-out; }
  trap cleanup EXIT
fi
prep_seconds=$(python3 -c "print(f'{$EPOCHREALTIME - $t_prep:.0f}')")

# --- Cases -----------------------------------------------------------------
# case_NAME KIND DEST: one run on payload KIND into the fresh folder DEST
# below C:\bench-out (Linux: $outroot/DEST).
# The -mem variants write to tmpfs (/dev/shm): the same work without the
# disk, so that the extraction's own costs show through the disk's noise.
memroot=/dev/shm/kelvra-bench-out
rm -rf "$memroot"
mkdir -p "$memroot"
case_extract-mem() { wine "$win32/extract_bench.exe" "$(winpath "$data/$1.pkg")" "$(winpath "$memroot")\\$2"; }
case_ref260-mem() { wine "$win32/reference_loop.exe" "$(winpath "$data/$1.pkg")" "$(winpath "$memroot")\\$2"; }
case_extract() { wine "$win32/extract_bench.exe" "$(winpath "$data/$1.pkg")" "C:\\bench-out\\$2"; }
case_ref260() { wine "$win32/reference_loop.exe" "$(winpath "$data/$1.pkg")" "C:\\bench-out\\$2"; }
case_ref64k() { wine "$win32/reference_loop.exe" "$(winpath "$data/$1.pkg")" "C:\\bench-out\\$2" 65536; }
case_nsis-store() { wine "$data/nsis-store-$1.exe" /S "/D=C:\\bench-out\\$2"; }
case_nsis-zlib() { wine "$data/nsis-zlib-$1.exe" /S "/D=C:\\bench-out\\$2"; }
case_cp() { cp -r "$data/$1" "$outroot/$2"; }
case_tar-x() { mkdir "$outroot/$2" && tar -xf "$data/$1.tar" -C "$outroot/$2"; }
case_install() { wine "$win32/install_bench.exe" "$(winpath "$medium/setup.exe")" "C:\\bench-out\\$2"; }
case_pack() { "$mediatool" pack "$data/$1" -o "$outroot/$2.pkg"; }
case_tar-c() { tar -cf "$outroot/$2.tar" -C "$data/$1" .; }
case_check-stamp() { "$mediatool" check-stamp "$data/stamped.bin"; }
case_md5sum() { md5sum "$data/stamped.bin"; }
case_verify() { "$mediatool" verify "$work/verify.pkg"; }
case_verify-manifest() { "$mediatool" verify "$work/verify.pkg" --manifest "$work/verify.manifest"; }
case_sha256sum() { sha256sum "$work/verify.pkg"; }
# verify DIR reports the stand-ins as problems (status 1) after checking all.
case_verify-medium() { "$mediatool" verify "$vmedium" || [ $? = 1 ]; }
case_sha256sum-c() { (cd "$vmedium" && sha256sum -c --quiet SHA256SUMS); }

# Deleting many files leaves this disk (ext4 mounted with discard) slow for
# tens of seconds: creating files then takes up to ten times as long. So
# outputs stay until the end of a round, and the next round waits until a
# small probe (copying and removing a folder of small files) runs at its
# quiet speed again, three times in a row.
probe_src=$data/small-files/s00/t0
probe_disk() {
  local t0=$EPOCHREALTIME
  cp -r "$probe_src" "$work/probe" && rm -rf "$work/probe"
  seconds_since "$t0"
}
probe_base=$(for _ in 1 2 3; do probe_disk; echo; done | sort -n | sed -n 1p)
settle_waits=""
settle_disk() {
  local t0=$EPOCHREALTIME good=0 p
  sync
  while [ "$good" -lt 3 ]; do
    sleep 1
    p=$(probe_disk)
    # The quiet speed is the best one seen so far in this run.
    probe_base=$(awk -v p="$p" -v b="$probe_base" 'BEGIN { print (p < b ? p : b) }')
    if awk -v p="$p" -v b="$probe_base" 'BEGIN { exit !(p <= 1.5 * b || p <= b + 0.02) }'; then
      good=$((good + 1))
    else
      good=0
    fi
    # Bounded, so that the whole run stays within ten minutes.
    awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { exit !(b - a > 10) }' && break
  done
  settle_waits="$settle_waits $(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }')"
}
clear_outputs() {
  rm -rf "$outroot" "$memroot"
  mkdir -p "$outroot" "$memroot"
}

results=$work/results.tsv
: >"$results"
# run_case SECTION CASE ROUND KIND: times one run, records wall seconds and
# the program's first output line (its first field: seconds measured inside).
run_case() {
  local section=$1 name=$2 round=$3 kind=$4 out=$log/last.out dest="r$3-$1-$2" t0 wall first rest
  t0=$EPOCHREALTIME
  if ! "case_$name" "$kind" "$dest" >"$out" 2>&1 </dev/null; then
    cat "$out" >&2
    fail "$section/$name failed in round $round"
  fi
  wall=$(seconds_since "$t0")
  read -r first rest <"$out" || true
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$section" "$name" "$round" "$wall" "${first:-}" "${rest:-}" >>"$results"
  case "$name" in
    *-mem)
      if [ "$round" = 1 ]; then verify_output "$section" "$name" "$kind" "$memroot/$dest"; fi
      rm -rf "${memroot:?}/$dest" ;;
    *) if [ "$round" = 1 ]; then verify_output "$section" "$name" "$kind" "$outroot/$dest"; fi ;;
  esac
}
# Once per case: the tree it wrote is the payload, byte for byte.
verify_output() {
  local section=$1 name=$2 kind=$3 dir=$4
  case "$name" in
    check-stamp|md5sum|tar-c|verify|verify-manifest|sha256sum|verify-medium|sha256sum-c) return 0 ;;
    pack) cmp -s "$dir.pkg" "$data/$kind.pkg" || fail "mediatool pack wrote another package"; return 0 ;;
  esac
  diff -rq -x Microsoft.VC80.CRT.manifest -x msvcp80.dll -x msvcr80.dll "$dir" "$data/$kind" >"$log/verify.out" 2>&1 \
    || { cat "$log/verify.out" >&2; fail "$section/$name wrote another tree than the payload"; }
  if [ "$name" != install ]; then
    [ ! -e "$dir/msvcr80.dll" ] || fail "$section/$name: unexpected side file"
  fi
}
# rotate R WORD...: the words starting at position R modulo their count.
rotate() {
  local r=$1; shift
  local n=$# i
  for ((i = 0; i < n; i++)); do
    local k=$(((r + i) % n + 1))
    printf '%s ' "${!k}"
  done
}

mixed_cases="extract ref260 ref64k nsis-store nsis-zlib cp tar-x install extract-mem ref260-mem"
small_cases="extract ref260 nsis-store nsis-zlib cp tar-x extract-mem ref260-mem"
tool_cases="pack tar-c verify verify-manifest sha256sum check-stamp md5sum"
[ -d "$vmedium" ] && tool_cases="$tool_cases verify-medium sha256sum-c"
many_cases="pack tar-c"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
t_runs=$EPOCHREALTIME
for round in $(seq 0 "$rounds"); do
  [ "$round" = 0 ] && say "warm-up round" || say "round $round of $rounds"
  if [ "$tools_only" = 0 ]; then
    for name in $(rotate "$round" $mixed_cases); do run_case mixed "$name" "$round" mixed; done
    for name in $(rotate "$round" $small_cases); do run_case small-files "$name" "$round" small-files; done
  fi
  for name in $(rotate "$round" $tool_cases); do run_case tool "$name" "$round" mixed; done
  for name in $(rotate "$round" $many_cases); do run_case many-files "$name" "$round" many-files; done
  clear_outputs
  # Nothing timed follows the last round.
  [ "$round" = "$rounds" ] || settle_disk
done
runs_seconds=$(python3 -c "print(f'{$EPOCHREALTIME - $t_runs:.0f}')")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

vmhwm_kb=0
if [ "$tools_only" = 0 ]; then
# Peak memory of setup.exe during one more (untimed) installation of the
# mixed payload, from the kernel's VmHWM of its process.
say "peak memory of setup.exe"
hwm_file=$log/vmhwm
: >"$hwm_file"
(
  while :; do
    for pid in $(pgrep -f '^[A-Za-z]:[^ ]*medium.setup\.exe' || true); do
      grep -s '^VmHWM' "/proc/$pid/status" >>"$hwm_file" || true
    done
    sleep 0.02
  done
) &
poller=$!
case_install mixed peak-install >"$log/install-peak.out" 2>&1 </dev/null || { kill "$poller"; fail "the peak-memory installation failed"; }
kill "$poller" 2>/dev/null || true
wait "$poller" 2>/dev/null || true
vmhwm_kb=$(awk '{ if ($2 > m) m = $2 } END { print m + 0 }' "$hwm_file")
clear_outputs
fi

# --- Report ----------------------------------------------------------------
{
  echo "command=bench/run.sh${args_given:+ $args_given}"
  echo "rounds=$rounds"
  echo "tools_only=$tools_only"
  echo "scale=$scale"
  echo "cores=$(nproc)"
  echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
  echo "cpu_sha=$(grep -qw sha_ni /proc/cpuinfo && echo 1 || echo 0)"
  echo "memory=$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
  if [ "$tools_only" = 0 ]; then
    echo "wine=$(wine --version)"
    echo "nsis=$(makensis -VERSION) ($nsis_note)"
  fi
  echo "kernel=$(uname -r)"
  echo "filesystem=$(df -T "$drive_c" | awk 'NR == 2 { print $2 }')"
  echo "commit=$(git -C "$top" rev-parse --short HEAD)$(git -C "$top" diff --quiet HEAD -- media install ui app res tools 2>/dev/null || echo ' (with uncommitted changes in the product)')"
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "load_before=$load_before"
  echo "load_after=$load_after"
  echo "build_seconds=$build_seconds"
  echo "prep_seconds=$prep_seconds"
  echo "runs_seconds=$runs_seconds"
  if [ "$tools_only" = 0 ]; then
    echo "setup_size=$(stat -c %s "$win32/setup.exe")"
    echo "nsis_empty_size=$(stat -c %s "$data/nsis-empty.exe")"
  fi
  for kind in $kinds; do
    echo "files_$kind=$(find "$data/$kind" -type f | wc -l)"
    echo "bytes_$kind=$(find "$data/$kind" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
    echo "pkg_size_$kind=$(stat -c %s "$data/$kind.pkg")"
    if [ "$tools_only" = 0 ]; then
      echo "nsis_store_size_$kind=$(stat -c %s "$data/nsis-store-$kind.exe")"
      echo "nsis_zlib_size_$kind=$(stat -c %s "$data/nsis-zlib-$kind.exe")"
    fi
  done
  echo "files_many-files=$(find "$data/many-files" -type f | wc -l)"
  echo "bytes_many-files=$(find "$data/many-files" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
  [ -d "$vmedium" ] && echo "medium_bytes=$(du -sb --apparent-size "$vmedium" | cut -f1)"
  echo "stamped_size=$(stat -c %s "$data/stamped.bin")"
  echo "vmhwm_kb=$vmhwm_kb"
  echo "probe_base=$probe_base"
  echo "settle_waits=${settle_waits# }"
  echo "total_seconds=$(python3 -c "print(f'{$EPOCHREALTIME - $started:.0f}')")"
  echo "size_table=$work/size.md"
} >"$work/meta.env"
if [ "$tools_only" = 0 ]; then
  python3 "$top/bench/size_report.py" "$win32" >"$work/size.md" || : >"$work/size.md"
fi
python3 "$top/bench/report.py" "$results" "$work/meta.env" "$output"
say "report written to $output"
