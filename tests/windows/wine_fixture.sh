#!/usr/bin/env bash
# The Wine environment of one Windows test run, as a ctest fixture:
#
#   wine_fixture.sh start BUILD_DIR   fresh prefix, Xvfb display, persistent wineserver
#   wine_fixture.sh stop BUILD_DIR    stops what start started, by process id
#
# start boots a new prefix in BUILD_DIR/wineprefix with no serial devices on
# COM1 to COM4 and COM7 (the tests map those ports themselves; Wine lists COM7
# among the present ports, as Windows lists a USB adapter's), none of the
# machine's above them either, and keeps one wineserver running for the whole
# run (each test pays only a warm Wine start) and the prefix's lock. The
# process ids and the display go to BUILD_DIR/wine-run/state. Waits are bounded.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2; }
action=$1
. "$repo/scripts/wine-env.sh" "$2"
. "$repo/scripts/wine-prefix.sh"
run=$TAVREL_WINE_RUN
state=$run/state
log() { echo "wine-fixture: $*"; }
value() { sed -n "s/^$1=//p" "$state" 2>/dev/null || true; }

# True while PID runs (not a zombie) with WORD in its command line, so that a
# recycled id is never taken for one of ours.
ours() {
    [ -n "$1" ] && [ -r "/proc/$1/stat" ] || return 1
    [ "$(sed 's/^.*) //' "/proc/$1/stat" | cut -d' ' -f1)" != Z ] || return 1
    tr '\0' ' ' <"/proc/$1/cmdline" | grep -q -- "$2"
}
# Waits up to SECONDS for PID to end; true when it did.
gone() {
    local i
    for ((i = 0; i < $3 * 10; i++)); do
        ours "$1" "$2" || return 0
        sleep 0.1
    done
    return 1
}
stop_pid() {
    ours "$1" "$2" || return 0
    kill -TERM "$1" 2>/dev/null || true
    gone "$1" "$2" 10 || { log "$2 ($1) did not stop on TERM"; kill -KILL "$1" 2>/dev/null || true; }
}

stop_all() {
    local ws
    ws=$(value wineserver_pid)
    if ours "$ws" wineserver; then
        # Ends every Wine process of this prefix, and only of this one.
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        gone "$ws" wineserver 20 || stop_pid "$ws" wineserver
    fi
    stop_pid "$(value xvfb_pid)" Xvfb
    rm -f "$state"
}

# Stops the run's processes; those of another run that still goes on stay.
do_stop() {
    if [ "$(value owner)" != "$PPID" ] && ours "$(value owner)" ""; then
        log "another run holds $WINEPREFIX: its processes are left running"
        return 0
    fi
    stop_all
}

do_start() {
    ours "$(value owner)" "" || [ ! -f "$state" ] || { log "stopping what an earlier run left"; stop_all; }
    tavrel_lock_prefix wine-fixture "a test run (ctest process $PPID)"
    local tool n i
    for tool in wine wineboot wineserver Xvfb timeout; do
        command -v "$tool" >/dev/null || { log "$tool is missing (run scripts/setup.sh)"; exit 1; }
    done
    rm -rf "$WINEPREFIX" "$run"
    mkdir -p "$run"
    trap 'if [ $? -ne 0 ]; then log "start failed, cleaning up"; stop_all; fi' EXIT
    # Xvfb picks a free display and tells its number on fd 3.
    : >"$run/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" \
        </dev/null >"$run/xvfb.log" 2>&1 &
    printf 'owner=%s\nxvfb_pid=%s\n' "$PPID" "$!" >"$state"
    for ((i = 0; i < 200; i++)); do
        n=$(tr -dc 0-9 <"$run/display")
        [ -z "$n" ] && ours "$(value xvfb_pid)" Xvfb || break
        sleep 0.1
    done
    [ -n "$n" ] || { log "Xvfb did not start:"; cat "$run/xvfb.log"; false; }
    export DISPLAY=:$n
    echo "display=$DISPLAY" >>"$state"
    log "booting $WINEPREFIX on $DISPLAY"
    tavrel_prepare_prefix "$run" 7
    # The run's wineserver, in the foreground of a process of its own so that
    # its id is known; its system processes start here, their output in its log.
    wineserver -f -p </dev/null >"$run/wineserver.log" 2>&1 &
    echo "wineserver_pid=$!" >>"$state"
    timeout 60 wine cmd /c exit </dev/null >>"$run/boot.log" 2>&1
    # Wine has given the machine's own serial devices the next free numbers
    # (it does so as its server starts): the program tries those ports too,
    # and a test talks to simulators only.
    for i in "$WINEPREFIX"/dosdevices/com*; do
        case ${i##*/com} in 1 | 2 | 3 | 4 | 7) ;; *) rm -f "$i" ;; esac
    done
    for i in 1 2 3 4 7; do
        [ ! -e "$WINEPREFIX/dosdevices/com$i" ] || { log "COM$i is still mapped"; false; }
    done
    trap - EXIT
    log "wineserver $(value wineserver_pid), Xvfb $(value xvfb_pid) on $DISPLAY"
}

case $action in
    start) do_start ;;
    stop) do_stop ;;
    *) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
