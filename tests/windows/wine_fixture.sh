#!/usr/bin/env bash
# The Wine environment of one Windows test run, as a ctest fixture.
#
#   wine_fixture.sh start BUILD_DIR   fresh prefix, Xvfb display, persistent wineserver
#   wine_fixture.sh stop BUILD_DIR    stops what start started, by process id
#
# start boots a new prefix in BUILD_DIR/wineprefix, takes the machine's own
# serial devices off COM1 to COM4 (the tests map those ports themselves), then
# keeps one wineserver with its system processes running for the whole run so
# that each test pays only a warm Wine start. Process ids and the display go to
# BUILD_DIR/wine-run/state; stop reads them from there. Every wait is bounded.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

usage() {
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage
action=$1
. "$repo/scripts/wine-env.sh" "$2"
. "$repo/scripts/wine-prefix.sh"
run=$TAVREL_WINE_RUN
state=$run/state

log() { echo "wine-fixture: $*"; }

# True while PID runs (a zombie has ended) and its command line contains WORD,
# so that a recycled id is never taken for one of ours.
is_ours() {
    local pid=$1 word=$2 st
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    st=$(sed 's/^.*) //' "/proc/$pid/stat" | cut -d' ' -f1)
    [ "$st" != Z ] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q -- "$word"
}

# Waits up to SECONDS for PID to end; true when it did.
wait_gone() {
    local pid=$1 word=$2 seconds=$3 i
    for ((i = 0; i < seconds * 10; i++)); do
        is_ours "$pid" "$word" || return 0
        sleep 0.1
    done
    return 1
}

stop_pid() {
    local pid=$1 word=$2
    is_ours "$pid" "$word" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    if ! wait_gone "$pid" "$word" 10; then
        log "$word ($pid) did not stop on TERM, killing it"
        kill -KILL "$pid" 2>/dev/null || true
        wait_gone "$pid" "$word" 5 || log "$word ($pid) is still there"
    fi
}

state_value() { sed -n "s/^$1=//p" "$state" 2>/dev/null || true; }

do_stop() {
    local ws_pid xvfb_pid
    ws_pid=$(state_value wineserver_pid)
    xvfb_pid=$(state_value xvfb_pid)
    if is_ours "$ws_pid" wineserver; then
        # Ends every Wine process of this prefix, and only of this one.
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        if ! wait_gone "$ws_pid" wineserver 20; then
            log "wineserver ($ws_pid) still runs after -k"
            stop_pid "$ws_pid" wineserver
        fi
    fi
    stop_pid "$xvfb_pid" Xvfb
    rm -f "$state"
}

do_start() {
    if [ -f "$state" ]; then
        log "stopping what an earlier run left behind"
        do_stop
    fi
    for tool in wine wineboot wineserver Xvfb timeout; do
        command -v "$tool" >/dev/null || {
            log "$tool is not installed (run scripts/setup.sh)"
            exit 1
        }
    done
    rm -rf "$WINEPREFIX" "$run"
    mkdir -p "$run"
    trap 'if [ $? -ne 0 ]; then log "start failed, cleaning up"; do_stop; fi' EXIT

    # A display of our own; Xvfb picks a free number and tells it on fd 3.
    # The file exists before the background job opens it, so that the wait
    # below never reads a file that is not there yet.
    : >"$run/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" \
        </dev/null >"$run/xvfb.log" 2>&1 &
    echo "xvfb_pid=$!" >"$state"
    local n i
    for ((i = 0; i < 200; i++)); do
        n=$(tr -dc 0-9 <"$run/display")
        [ -n "$n" ] && break
        is_ours "$(state_value xvfb_pid)" Xvfb || break
        sleep 0.1
    done
    if [ -z "$n" ]; then
        log "Xvfb did not start:"
        cat "$run/xvfb.log"
        false
    fi
    export DISPLAY=:$n
    echo "display=$DISPLAY" >>"$state"

    log "booting $WINEPREFIX on $DISPLAY"
    local t0=$SECONDS
    tavrel_prepare_prefix "$run"
    log "prefix ready in $((SECONDS - t0)) s"

    # The run's wineserver: persistent, in the foreground of its own process so
    # that its id is known. Its system processes are started here, with their
    # output in the run's log, so that no test's output pipe is held by them.
    wineserver -f -p </dev/null >"$run/wineserver.log" 2>&1 &
    echo "wineserver_pid=$!" >>"$state"
    timeout 60 wine cmd /c exit </dev/null >>"$run/boot.log" 2>&1
    for i in 1 2 3 4; do
        if [ -e "$WINEPREFIX/dosdevices/com$i" ] || [ -L "$WINEPREFIX/dosdevices/com$i" ]; then
            log "COM$i is still mapped in the prefix"
            false
        fi
    done
    trap - EXIT
    log "wineserver $(state_value wineserver_pid), Xvfb $(state_value xvfb_pid) on $DISPLAY"
}

case $action in
    start) do_start ;;
    stop) do_stop ;;
    *) usage ;;
esac
