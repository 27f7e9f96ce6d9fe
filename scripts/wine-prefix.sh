# Makes a Wine prefix ready for Tavrel Plus Remote, and keeps one run to a
# prefix; sourced by the test fixture and by scripts/run.sh:
#
#   tavrel_prepare_prefix WORK_DIR [PORT]...
#
# boots $WINEPREFIX (which the caller set, with DISPLAY) and gives it
#   - no serial devices of the machine on COM1 to COM4, nor on the PORTs
#     named, which Wine lists as present all the same (the caller maps the
#     ports it wants: a simulator, or the user's adapter);
#   - the font faces the program names, as the metric-compatible Liberation
#     fonts (Wine has none of them and would draw every one, Courier too, in
#     its default sans face); "MS Shell Dlg" maps to "Microsoft Sans Serif"
#     as on Windows;
#   - one virtual desktop of 1024x768 for every program, with a taskbar and
#     a notification area as on Windows: windows get frames and focus without
#     an X window manager, and their screen coordinates are the display's
#     (the desktop sits at +0+0);
#   - Wine's own Marlett, which draws the caption buttons' glyphs: Debian's
#     Wine keeps its fonts where this Wine does not look for them, and the
#     buttons would show letters instead.
# The registry files and the boot log go to WORK_DIR. Every wait is bounded.

# Takes the lock of $WINEPREFIX for this run (WHO: the run, for a second one
# to read): on descriptor 9, which every process the run starts inherits, so
# it is held while any of them lives. A second run would end the first one's
# programs and server: it says that another run holds the prefix and ends.
tavrel_lock_prefix() {
    exec 9>>"$WINEPREFIX.lock"
    if ! flock -n 9; then
        echo "$1: another run holds the Wine prefix $WINEPREFIX" \
            "($(cat "$WINEPREFIX.lock.who" 2>/dev/null || echo "unknown")); end it first" >&2
        exit 1
    fi
    echo "$2, process $$, since $(date '+%Y-%m-%d %H:%M:%S')" >"$WINEPREFIX.lock.who"
}

# Copies Wine's Marlett (package fonts-wine) into the prefix if it is not
# there yet; also for a prefix made before the package was installed.
tavrel_prefix_marlett() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

tavrel_prepare_prefix() {
    local work=$1 i
    shift
    mkdir -p "$work"
    timeout 180 wineboot -i </dev/null >"$work/boot.log" 2>&1
    tavrel_prefix_marlett
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >"$work/ports.reg"
    for i in 1 2 3 4 "$@"; do
        printf '"COM%d"=""\n' "$i" >>"$work/ports.reg"
    done
    cat >"$work/fonts.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Microsoft Sans Serif"="Liberation Sans"
"Courier"="Liberation Mono"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="Microsoft Sans Serif"
REG
    cat >"$work/desktop.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
    local w="Z:${work//\//\\}"
    timeout 60 wine regedit /S "$w\\ports.reg" "$w\\fonts.reg" "$w\\desktop.reg" \
        </dev/null >>"$work/boot.log" 2>&1
    timeout 60 wineserver -w
}
