# Sourced by demo.sh for --medium: shows any medium's setup program on a
# private virtual display, screen by screen, and writes a one-page sheet.

# The installer of a medium: the program its checksum file lists, else
# setup.exe, else its only program.
medium_installer() {
  local dir=$1 listed
  if [ -f "$dir/SHA256SUMS" ]; then
    listed=$(tr -d '\r' <"$dir/SHA256SUMS" | sed -E 's/^[0-9A-Fa-f]{64} [ *](\.\/)?//' | grep -i '\.exe$' || true)
    if [ "$(printf '%s\n' "$listed" | grep -c .)" -eq 1 ]; then echo "$listed"; return 0; fi
  fi
  [ -f "$dir/setup.exe" ] && { echo setup.exe; return 0; }
  listed=$(cd "$dir" && ls -- *.exe *.EXE 2>/dev/null || true)
  [ "$(printf '%s\n' "$listed" | grep -c .)" -eq 1 ] && { echo "$listed"; return 0; }
  return 1
}

html_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }

# One language: a fresh prefix under OUT, the medium linked into it as
# C:\kelvra-medium (read in place, never copied or written), the driver's
# screens converted to PNG. The prefix's servers end with the run.
medium_run() {
  local medium=$1 setup=$2 out=$3 l=$4 keep=$5 root status=0
  root=$out/wine-$l
  set_lang "$l"
  rm -rf "$root"
  mkdir -p "$root"
  export KELVRA_WINE_ROOT=$root
  echo "== $l: preparing a private Wine prefix in $root"
  scripts/wine-run build/win32/demo_driver.exe --reset >/dev/null || { echo "demo.sh: the Wine prefix cannot be made" >&2; return 1; }
  ln -s "$medium" "$root/prefix/drive_c/kelvra-medium"
  rm -f "$out"/{splash,main,done,error}.bmp
  echo "== $l: running $setup of $medium on a virtual display"
  scripts/wine-run build/win32/demo_driver.exe --screens "C:\\kelvra-medium\\$setup" "$(winpath "$out")" \
    >"$out/run-$l.txt" 2>&1 || status=1
  sed 's/^/   /' "$out/run-$l.txt"
  scripts/wine-stop "$root"
  rm -f "$root/prefix/drive_c/kelvra-medium"
  if [ "$keep" -eq 1 ]; then echo "== $l: the prefix is kept in $root"; else rm -rf "$root"; fi
  local screen
  for screen in splash main done error; do
    [ -e "$out/$screen.bmp" ] || continue
    convert "$out/$screen.bmp" -strip -define png:exclude-chunks=date,time "$out/$screen-$l.png" &&
      rm -f "$out/$screen.bmp" || status=1
  done
  return $status
}

medium_sheet() {
  local medium=$1 setup=$2 out=$3 langs=$4 l screen
  {
    printf '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
    printf '<title>%s</title>\n' "$(basename "$medium" | html_escape)"
    printf '<style>body{font-family:sans-serif;margin:1.5em}table{border-collapse:collapse}'
    printf 'th,td{border:1px solid #bbb;padding:.4em;vertical-align:top}th{text-align:left}'
    printf 'pre{font-size:80%%;white-space:pre-wrap}</style>\n</head>\n<body>\n'
    printf '<h1>%s</h1>\n' "$(basename "$medium" | html_escape)"
    printf '<p>%s, shown by its installer %s as users see it.</p>\n' \
      "$(printf '%s' "$medium" | html_escape)" "$(printf '%s' "$setup" | html_escape)"
    printf '<table>\n<tr><th></th>'
    for l in $langs; do
      case $l in zh) printf '<th>简体中文</th>' ;; en) printf '<th>English</th>' ;; esac
    done
    printf '</tr>\n'
    for screen in splash main done error; do
      [ "$screen" = error ] && ! ls "$out"/error-*.png >/dev/null 2>&1 && continue
      printf '<tr><th>%s</th>' "$screen"
      for l in $langs; do
        if [ -f "$out/$screen-$l.png" ]; then
          printf '<td><img src="%s-%s.png" alt="%s, %s"></td>' "$screen" "$l" "$screen" "$l"
        else
          printf '<td>(not shown)</td>'
        fi
      done
      printf '</tr>\n'
    done
    printf '<tr><th>run</th>'
    for l in $langs; do printf '<td><pre>%s</pre></td>' "$(html_escape <"$out/run-$l.txt")"; done
    printf '</tr>\n</table>\n</body>\n</html>\n'
  } >"$out/index.html"
}

demo_medium() {
  local medium out=$2 langs=$3 keep=$4 setup l status=0
  medium=$(realpath "$1")
  setup=$(medium_installer "$medium") ||
    fail "cannot tell the installer of $medium: no single program listed in SHA256SUMS, no setup.exe, not one .exe"
  case "$(realpath -m "$out")/" in
    "$medium"/*) fail "the output folder $out lies inside the medium, which is never written to" ;;
  esac
  # Only what an earlier sheet wrote is replaced.
  if [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ ! -f "$out/index.html" ]; then
    fail "$out holds other files; name a new or empty folder with --out"
  fi
  echo "== installing what is missing"
  ./scripts/install-deps.sh || fail "installing the dependencies failed (scripts/install-deps.sh)"
  mkdir -p "$out"
  out=$(realpath "$out")
  local log=$out/build.log
  echo "== building the demo driver (log: $log)"
  { cmake --preset win32 && cmake --build --preset win32 --target demo_driver; } >"$log" 2>&1 \
    || fail "building the demo driver failed; see the end of $log"
  rm -f "$out"/{splash,main,done,error}-{zh,en}.png "$out"/run-{zh,en}.txt "$out/index.html"
  # Always the private display: nothing appears on the user's own.
  unset DISPLAY
  for l in $langs; do medium_run "$medium" "$setup" "$out" "$l" "$keep" || status=1; done
  medium_sheet "$medium" "$setup" "$out" "$langs"
  echo "== the sheet: $out/index.html"
  [ $status -eq 0 ] || fail "the medium did not go through every screen (see above)"
}
