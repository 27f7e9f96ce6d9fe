#!/usr/bin/env bash
# Sets up, builds and runs Tavrel Plus Remote: TavrelRemote.exe -show under
# Wine, in a Wine virtual desktop (with a taskbar and the notification area,
# so the tray icon is there), with the magnifier on COM1 (usage() below).
#
# With a display ($DISPLAY) the desktop opens there. Without one, it runs on
# a virtual display of its own and a screenshot of the connected panel is
# saved to build/windows/run/panel.png, and of the panel alone to
# panel-window.png (panel-high-contrast.png with --high-contrast). Wine
# cannot switch Windows' high contrast on: --high-contrast runs in a prefix
# of its own whose colours are those of High Contrast Black, without the
# visual style (as Windows draws in high contrast), and tells the program
# with TAVREL_HIGH_CONTRAST=1. The program runs until you choose
# Exit (panel menu File > Exit, or the tray icon's menu) or press Ctrl+C here.
# What went over the wire (the simulator's log) is printed as it grows,
# without the keep-alive probe the program sends once a second. One run at a
# time uses a prefix: a second one says so and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() {
    cat >&2 <<'USAGE'
usage: scripts/run.sh [--seconds N] [--high-contrast] [DEVICE]
       scripts/run.sh --console [DEVICE]
  (no DEVICE)        the magnifier simulator (tavrel-sim) as COM1
  DEVICE             a real magnifier on that device (e.g. /dev/ttyUSB0) as COM1
  --seconds N        end the program after N seconds
  --high-contrast    the program's high-contrast look, in the colours of High
                     Contrast Black
  --console          only the console remote: tavrelctl probes the magnifier
                     and presses WINDOW
USAGE
    exit 2
}

seconds= device= console=0 contrast=0
while [ $# -gt 0 ]; do
    case $1 in
        --seconds)
            [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || { echo "run: --seconds wants a whole number above 0" >&2; usage; }
            seconds=$2
            shift 2 ;;
        --console) console=1; shift ;;
        --high-contrast) contrast=1; shift ;;
        -h | --help) usage ;;
        -*) echo "run: unknown option '$1'" >&2; usage ;;
        *)
            [ -z "$device" ] || { echo "run: only one device may be named" >&2; usage; }
            device=$1
            shift ;;
    esac
done
if [ -n "$device" ] && [ ! -e "$device" ]; then
    echo "run: $device does not exist (plug the adapter in, or name another device)" >&2
    exit 2
fi

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target tavrel-sim tavrelctl
native_bin=$repo/build/native/bin

pids=()
work=$(mktemp -d /tmp/tavrel-run.XXXXXX)
stop_all() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
cleanup() {
    stop_all
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_sim() {
    "$native_bin/tavrel-sim" --link "$work/magnifier" --log "$work/sim.log" &
    pids+=($!)
    local i
    for ((i = 0; i < 100; i++)); do
        [ -e "$work/magnifier" ] && return 0
        sleep 0.1
    done
    echo "run: the simulator did not start" >&2
    exit 1
}

if [ "$console" -eq 1 ]; then
    if [ -n "$device" ]; then
        "$native_bin/tavrelctl" --com "1=$device" probe
        "$native_bin/tavrelctl" --com "1=$device" window
        exit 0
    fi
    start_sim
    ports=(--com "1=$work/none1" --com "2=$work/none2" --com "3=$work/magnifier")
    echo "--- tavrelctl probe (the magnifier on COM3, COM1 and COM2 missing)"
    "$native_bin/tavrelctl" "${ports[@]}" probe
    echo "--- tavrelctl window"
    "$native_bin/tavrelctl" "${ports[@]}" window
    echo "--- what the magnifier received (milliseconds since it started, command)"
    cat "$work/sim.log"
    echo
    exit 0
fi

cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target TavrelRemote
exe=$repo/build/windows/bin/TavrelRemote.exe

# The program's own Wine prefix, apart from the tests' one, kept between runs
# (so its settings and the panel's place are remembered).
run_dir=$repo/build/windows/run
mkdir -p "$run_dir"
prefix=$run_dir/wineprefix window_shot=$run_dir/panel-window.png
if [ "$contrast" -eq 1 ]; then
    prefix=$run_dir/wineprefix-high-contrast window_shot=$run_dir/panel-high-contrast.png
    export TAVREL_HIGH_CONTRAST=1
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    # Only clients with the run's cookie may use the virtual display, and only
    # through its local socket. The server takes the cookie from the file
    # whatever display number it picks; clients find it under that number.
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    export XAUTHORITY=$work/xauthority
    : >"$XAUTHORITY"
    xauth -q -f "$XAUTHORITY" add :0 MIT-MAGIC-COOKIE-1 "$cookie"
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -auth "$XAUTHORITY" 3>"$work/display" \
        </dev/null >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    n=
    for ((i = 0; i < 200; i++)); do
        n=$(tr -dc 0-9 <"$work/display")
        [ -n "$n" ] && break
        sleep 0.1
    done
    [ -n "$n" ] || { echo "run: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
    export DISPLAY=:$n
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie"
    headless=1
    echo "run: no display here; running on the virtual display $DISPLAY"
else
    headless=0
fi

# The prefix's own wineserver, stopped at the end with the prefix's programs
# (wineserver -k acts on this WINEPREFIX only).
stop_wine() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}
cleanup() {
    stop_wine
    stop_all
    rm -rf "$work"
}

. scripts/wine-prefix.sh
tavrel_lock_prefix run "scripts/run.sh"
if [ ! -f "$WINEPREFIX/.tavrel-ready" ]; then
    echo "run: making the Wine prefix $WINEPREFIX (once, about 20 s)"
    rm -rf "$WINEPREFIX"
    tavrel_prepare_prefix "$run_dir"
    touch "$WINEPREFIX/.tavrel-ready"
fi
tavrel_prefix_marlett

# One wineserver for the whole run, its system processes up before the
# ports are mapped (they set the prefix's devices up as they start).
wineserver -f -p </dev/null >"$work/wineserver.log" 2>&1 &
pids+=($!)
if [ "$contrast" -eq 1 ]; then
    # Every process of the prefix reads the colours when it starts.
    cat >"$work/contrast.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager]
"ThemeActive"="0"

[HKEY_CURRENT_USER\Control Panel\Colors]
"ActiveBorder"="255 255 0"
"ActiveTitle"="128 0 128"
"AppWorkSpace"="0 0 0"
"Background"="0 0 0"
"ButtonAlternateFace"="0 0 0"
"ButtonDkShadow"="255 255 255"
"ButtonFace"="0 0 0"
"ButtonHilight"="255 255 255"
"ButtonLight"="192 192 192"
"ButtonShadow"="128 128 128"
"ButtonText"="255 255 255"
"GradientActiveTitle"="128 0 128"
"GradientInactiveTitle"="0 128 0"
"GrayText"="63 242 63"
"Hilight"="26 235 255"
"HilightText"="0 0 0"
"HotTrackingColor"="255 255 0"
"InactiveBorder"="0 255 0"
"InactiveTitle"="0 128 0"
"InactiveTitleText"="255 255 255"
"InfoText"="255 255 255"
"InfoWindow"="0 0 0"
"Menu"="0 0 0"
"MenuBar"="0 0 0"
"MenuHilight"="128 0 128"
"MenuText"="255 255 255"
"Scrollbar"="0 0 0"
"TitleText"="255 255 255"
"Window"="0 0 0"
"WindowFrame"="255 255 255"
"WindowText"="255 255 255"
REG
    timeout 60 wine regedit /S "Z:${work//\//\\}\\contrast.reg" </dev/null >>"$work/wineserver.log" 2>&1
fi
timeout 60 wine cmd /c exit </dev/null >>"$work/wineserver.log" 2>&1

if [ -n "$device" ]; then
    target=$(readlink -f "$device")
    echo "run: $device is COM1"
else
    start_sim
    target=$work/magnifier
    echo "run: the magnifier simulator is COM1"
fi
for i in 1 2 3 4; do
    rm -f "$WINEPREFIX/dosdevices/com$i"
done
ln -s "$target" "$WINEPREFIX/dosdevices/com1"

echo "run: starting TavrelRemote.exe -show (end it with File > Exit, or Ctrl+C here)"
wine "$exe" -show </dev/null >"$work/program.log" 2>&1 &
program=$!
pids=("$program" "${pids[@]}")

shot_taken=0
shown=0
probe_seen=0
start=$SECONDS
while kill -0 "$program" 2>/dev/null; do
    if [ -f "$work/sim.log" ]; then
        lines=$(wc -l <"$work/sim.log")
        if [ "$lines" -gt "$shown" ]; then
            # The keep-alive probe once a second is left out after the first.
            tail -n +"$((shown + 1))" "$work/sim.log" | head -n "$((lines - shown))" |
                awk -v seen="$probe_seen" '/^[0-9]+ [?]$/ { if (seen) next; seen = 1 } { print "magnifier: " $0; fflush() }'
            grep -q '^[0-9]* [?]$' "$work/sim.log" && probe_seen=1
            shown=$lines
        fi
        # Connected once both levels were sent after the probe: the panel is
        # green then (give its 50 ms refresh a moment to paint).
        if [ "$headless" -eq 1 ] && [ "$shot_taken" -eq 0 ] && grep -q ' w[0-9a-f][0-9a-f]$' "$work/sim.log"; then
            sleep 1
            import -window root "$run_dir/panel.png" 2>/dev/null &&
                echo "run: screenshot of the desktop saved to $run_dir/panel.png"
            # The panel's window is an X window of its own in the desktop.
            panel_window=$(xdotool search --name '^Quorvane - Tavrel Plus Remote$' 2>/dev/null |
                head -n 1) || true
            if [ -n "$panel_window" ] && import -window "$panel_window" "$window_shot" 2>/dev/null; then
                echo "run: screenshot of the panel saved to $window_shot"
            fi
            shot_taken=1
        fi
    fi
    if [ -n "$seconds" ] && [ $((SECONDS - start)) -ge "$seconds" ]; then
        echo "run: $seconds s are up, ending the program"
        kill "$program" 2>/dev/null || true
        break
    fi
    sleep 0.2
done
wait "$program" 2>/dev/null || true
echo "run: the program has ended"
