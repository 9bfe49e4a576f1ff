# Sourced with the root folder as argument: sets up the environment of the
# private Wine prefix under it (creating the prefix and a virtual display
# when needed) and starts a persistent wineserver. scripts/wine-stop ends
# both.
kelvra_root=$1
export WINEPREFIX="$kelvra_root/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${KELVRA_EXTRA_DLLOVERRIDES:+;$KELVRA_EXTRA_DLLOVERRIDES}"
# Nothing may land in the real user's home, desktop or menus.
export HOME="$kelvra_root/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export LANG="${LANG:-en_US.UTF-8}"
unset LC_ALL LANGUAGE
mkdir -p "$HOME"

kelvra_lock() { exec 9>"$kelvra_root/.lock"; flock 9; }
kelvra_unlock() { flock -u 9; exec 9>&-; }

kelvra_make_prefix() {
    [ -f "$WINEPREFIX/.kelvra-ready" ] && return 0
    echo "wine-run: creating the Wine prefix in $WINEPREFIX (once)" >&2
    rm -rf "$WINEPREFIX"
    wineboot -i >"$kelvra_root/wineboot.log" 2>&1 </dev/null
    wineserver -w
    cat >"$kelvra_root/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
    wine regedit /S "$kelvra_root/settings.reg" >>"$kelvra_root/wineboot.log" 2>&1 </dev/null
    wineserver -w
    # The profile folders link into $HOME; make them real folders of the prefix.
    local d
    for d in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$d" ]; then rm -f "$d"; mkdir -p "$d"; fi
    done
    touch "$WINEPREFIX/.kelvra-ready"
}

# Wine draws the caption buttons with the Marlett font; it ships one
# (fonts-wine) but finds fonts only in the prefix's Fonts folder and through
# fontconfig, so without this copy the buttons read "0 1 r".
kelvra_add_fonts() {
    local font=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] && return 0
    if [ ! -f "$font" ]; then
        echo "wine-run: $font is missing (fonts-wine); caption buttons will show letters" >&2
        return 0
    fi
    mkdir -p "$fonts" && cp "$font" "$fonts/"
}

# One Xvfb per root, reused by later runs until scripts/wine-stop ends it.
# Xvfb picks a free display number itself (-displayfd) and claims it with its
# lock file, so that two checkouts testing at once never share a display.
kelvra_start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local f="$kelvra_root/xvfb.display" number="$kelvra_root/xvfb.number" n pid
    if [ -f "$f" ]; then
        read -r n pid <"$f"
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"; return 0
        fi
    fi
    : >"$number"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >"$kelvra_root/xvfb.log" 2>&1 </dev/null &
    pid=$!
    n=""
    for _ in $(seq 1 200); do
        read -r n <"$number" 2>/dev/null
        [ -n "$n" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$number"
    if [ -n "$n" ] && kill -0 "$pid" 2>/dev/null; then
        echo "$n $pid" >"$f"
        export DISPLAY=":$n"; return 0
    fi
    kill "$pid" 2>/dev/null
    echo "wine-run: could not start Xvfb (see $kelvra_root/xvfb.log)" >&2
    return 1
}

kelvra_lock
kelvra_start_display
kelvra_make_prefix
kelvra_add_fonts
wineserver -p60 >/dev/null 2>&1 </dev/null
kelvra_unlock
