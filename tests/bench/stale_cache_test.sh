#!/usr/bin/env bash
# A win32 tree configured once before the MinGW-w64 toolchain was installed
# must be configured afresh once it is: the cross ar and the release flags,
# not what the failed run cached.
#
#   tests/bench/stale_cache_test.sh SOURCE_DIR
set -u
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The machine before scripts/install-deps.sh: the same programs but the cross ones.
mkdir "$work/bin"
for f in /usr/bin/* /bin/*; do
    case ${f##*/} in i686-w64-mingw32-*) ;; *) ln -sf "$f" "$work/bin/${f##*/}" ;; esac
done
configure() {
    cmake -S "$source" -B "$work/tree" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" >>"$work/log" 2>&1
}
PATH=$work/bin configure && { echo "stale_cache_test: configured without the toolchain" >&2; exit 1; }
configure || { tail -20 "$work/log" >&2; exit 1; }
status=0
for entry in CMAKE_AR:FILEPATH=/usr/bin/i686-w64-mingw32-ar CMAKE_RANLIB:FILEPATH=/usr/bin/i686-w64-mingw32-ranlib \
             "CMAKE_CXX_FLAGS_RELEASE:STRING=-O3 -DNDEBUG" "CMAKE_C_FLAGS_RELEASE:STRING=-O3 -DNDEBUG"; do
    grep -qxF "$entry" "$work/tree/CMakeCache.txt" ||
        { echo "stale_cache_test: the cache says $(grep "^${entry%%:*}:" "$work/tree/CMakeCache.txt"), not $entry" >&2; status=1; }
done
[ $status -eq 0 ] && echo "stale_cache_test: the cache of the toolchain-less run was configured afresh"
exit $status
