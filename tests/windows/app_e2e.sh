#!/usr/bin/env bash
# TavrelRemote.exe end to end under wine, with the simulator on COM3: started
# with -show, its panel appears, the link finds the magnifier and sends both
# levels, and the program's own Exit command ends it.
#
#   app_e2e.sh BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = --inner ]; then
    # Runs inside with_sim.sh: the prefix, the display and the simulator are up.
    exe=$2 helper=$3
    wine "$exe" -show &
    pid=$!
    status=0
    fail() { echo "FAIL $*"; status=1; }

    wine "$helper" wait 30000 || fail "the panel did not appear"

    # The probe, then both levels at 63, in that order.
    line_of() { grep -nx "[0-9]* $1" "$TAVREL_SIM_LOG_UNIX" 2>/dev/null | head -1 | cut -d: -f1; }
    deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ] && [ -z "$(line_of w3f)" ]; do sleep 0.2; done
    probe=$(line_of '?') pos=$(line_of p3f) width=$(line_of w3f)
    if [ -z "$probe" ] || [ -z "$pos" ] || [ -z "$width" ]; then
        fail "the simulator did not see ?, p3f and w3f"
    elif [ "$probe" -gt "$pos" ] || [ "$probe" -gt "$width" ]; then
        fail "the levels came before the probe"
    else
        echo "ok   probe, then p3f and w3f on COM3"
    fi

    wine "$helper" exit || fail "Exit could not be sent"
    deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ] && kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "the program did not end within 30 s of Exit"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    else
        wait "$pid"
        echo "ok   Exit ends the program"
    fi
    [ "$status" -eq 0 ] || { echo "  simulator log:"; sed 's/^/    /' "$TAVREL_SIM_LOG_UNIX"; }
    exit "$status"
fi

[ $# -eq 4 ] || { echo "usage: $0 BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE" >&2; exit 2; }
build=$1 sim=$2 exe=$3 helper=$4
for f in "$exe" "$helper"; do
    [ -f "$f" ] || { echo "app_e2e: $f is not built" >&2; exit 1; }
done
exec bash "$here/with_sim.sh" --build-dir "$build" --sim "$sim" --timeout 120 --com 3=sim \
    -- bash "$0" --inner "$exe" "$helper"
