#!/usr/bin/env bash
# Makes the release packages of a build tree with CPack and checks what they
# hold, their SHA256SUMS, and that every version a user can read says the
# project's version.
#
#   tests/bench/release_test.sh native|win32 BUILD_DIR SOURCE_DIR VERSION
set -u
kind=$1 build=$2 source=$3 version=$4
release=$build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
problems=0
problem() { echo "release_test: $*" >&2; problems=$((problems + 1)); }
same() { [ "$2" = "$3" ] || problem "$1: \"$2\", expected \"$3\""; }

rm -rf "$release"
(cd "$build" && cpack >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || problem "SHA256SUMS does not match the packages"
same "packages listed in SHA256SUMS" "$(cut -c67- "$release/SHA256SUMS" | sort | tr '\n' ' ')" \
     "$(cd "$release" && ls | grep -vx SHA256SUMS | sort | tr '\n' ' ')"

if [ "$kind" = native ]; then
    deb=$release/mediatool_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || { problem "no $deb"; exit 1; }
    same "files in the .deb" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')" \
         "./usr/bin/mediatool ./usr/share/bash-completion/completions/mediatool ./usr/share/man/man1/mediatool.1.gz "
    same "package name" "$(dpkg-deb -f "$deb" Package)" mediatool
    same "package version" "$(dpkg-deb -f "$deb" Version)" "$version"
    dpkg-deb -x "$deb" "$work/root"
    same "mediatool -V of the packaged program" "$("$work/root/usr/bin/mediatool" -V)" "mediatool $version"
    zcat "$work/root/usr/share/man/man1/mediatool.1.gz" | cmp -s - "$source/docs/mediatool.1" ||
        problem "the packaged man page is not docs/mediatool.1"
    cmp -s "$work/root/usr/share/bash-completion/completions/mediatool" "$source/scripts/mediatool-completion.bash" ||
        problem "the packaged completion is not scripts/mediatool-completion.bash"
else
    top=kelvra-setup-$version-win32
    zip=$release/$top.zip
    [ -f "$zip" ] || { problem "no $zip"; exit 1; }
    same "files in the zip" "$(unzip -Z1 "$zip" | grep -v '/$' | grep -v '/docs/images/' | sort | tr '\n' ' ')" \
         "$top/README.md $top/docs/RELIABILITY.md $top/docs/mediatool-json.md $top/docs/mediatool.1 $top/mediatool.exe $top/setup.exe "
    unzip -q "$zip" -d "$work"
    for exe in setup.exe mediatool.exe; do
        cmp -s "$work/$top/$exe" "$build/$exe" || problem "$exe in the zip is not the built one"
        # The version resource's strings (UTF-16) and its fixed part (after
        # the signature 0xFEEF04BD: struct version, then the file version's
        # high and low words as major.minor and patch.0).
        strings -el "$work/$top/$exe" >"$work/strings"
        for key in FileVersion ProductVersion; do
            same "$exe $key" "$(grep -A1 -x "$key" "$work/strings" | sed -n 2p)" "$version"
        done
        # The signature is looked for after the resource's key: the program's
        # own code may hold the constant too.
        same "$exe fixed file version" "$(python3 - "$work/$top/$exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
key = data.find("VS_VERSION_INFO\0".encode("utf-16-le"))
at = data.find(struct.pack("<I", 0xFEEF04BD), key) if key >= 0 else -1
if at < 0: sys.exit("no version resource")
ms, ls = struct.unpack_from("<II", data, at + 8)
print("%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF))
PY
)" "$version.0"
        grep -aq "name=\"Kelvra\.[A-Za-z]*\" version=\"$version\.0\"" "$work/$top/$exe" ||
            problem "$exe: its manifest's assemblyIdentity does not carry version $version.0"
    done
fi
[ $problems -eq 0 ] && echo "release_test: $kind packages hold what they should, all at version $version"
[ $problems -eq 0 ]
