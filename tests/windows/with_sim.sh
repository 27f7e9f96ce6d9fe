#!/usr/bin/env bash
# Runs one Windows program (or a script) under the test run's Wine prefix with
# magnifier simulators mapped onto its COM ports.
#
#   with_sim.sh --build-dir DIR --sim PATH [--workdir DIR] [--timeout SECONDS] [--com N=ROLE]...
#               -- PROGRAM [ARG]...
#
# ROLE is one of
#   sim     a simulator that answers the probe (at most one port)
#   silent  a simulator that never answers (--fault "answer none"; at most one)
#   none    the port is missing
# Ports 1 to 4 that are not named are missing too. A PROGRAM ending in .exe is
# run under wine; anything else is run as it is, with the same environment.
#
# The program gets, as Windows paths on Wine's Z: drive:
#   TAVREL_SIM_PORT, TAVREL_SIM_LOG, TAVREL_SIM_CONTROL        for the "sim" port
#   TAVREL_SILENT_PORT, TAVREL_SILENT_LOG                        for the "silent" port
#   TAVREL_MISSING_PORT                                          the first missing port
# and, as Unix paths for scripts: TAVREL_SIM_LOG_UNIX, TAVREL_SIM_CONTROL_UNIX,
# TAVREL_SILENT_LOG_UNIX.
#
# The simulators run in WORKDIR (a new temporary directory unless given; a
# given one is kept, for the caller to inspect the logs). Everything started
# here is stopped by its process id, and the COM mappings are removed again.
# The program is given SECONDS (default 240) and then stopped.
# Exit status: the program's (124 when it ran out of time), or 1 when the
# set-up failed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

fail() {
    echo "with_sim: $*" >&2
    exit 1
}

build= sim= workdir= keep=0 limit=240
declare -A roles=()
while [ $# -gt 0 ]; do
    case $1 in
        --build-dir) build=$2; shift 2 ;;
        --sim) sim=$2; shift 2 ;;
        --workdir) workdir=$2; keep=1; shift 2 ;;
        --timeout) limit=$2; shift 2 ;;
        --com)
            [[ $2 =~ ^([1-4])=(sim|silent|none)$ ]] || fail "bad --com '$2' (want N=sim|silent|none, N in 1..4)"
            roles[${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
            shift 2 ;;
        --) shift; break ;;
        *) fail "unknown argument '$1'" ;;
    esac
done
[ $# -ge 1 ] || fail "no program given after --"
[ -n "$build" ] || fail "--build-dir is required"
[ -n "$sim" ] || fail "--sim is required"
if [ ! -x "$sim" ]; then
    fail "the simulator is missing: $sim
  Build it with the native preset first (cmake --preset native && cmake --build --preset native -j2),
  or point TAVREL_NATIVE_BIN_DIR at a directory that has tavrel-sim."
fi

. "$repo/scripts/wine-env.sh" "$build"
[ -f "$TAVREL_WINE_RUN/state" ] ||
    fail "the Wine fixture is not up (no $TAVREL_WINE_RUN/state); run the tests through ctest"
dosdevices=$WINEPREFIX/dosdevices

if [ -z "$workdir" ]; then
    workdir=$(mktemp -d /tmp/tavrel-win.XXXXXX)
else
    mkdir -p "$workdir"
    workdir=$(cd "$workdir" && pwd)
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    for n in 1 2 3 4; do
        rm -f "$dosdevices/com$n"
    done
    [ "$keep" = 1 ] || rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# Starts a simulator called NAME in the work directory; extra arguments follow.
start_sim() {
    local name=$1
    shift
    rm -f "$workdir/$name.log" "$workdir/$name.link" "$workdir/$name.ctl"
    "$sim" --link "$workdir/$name.link" --log "$workdir/$name.log" --control "$workdir/$name.ctl" "$@" \
        </dev/null >"$workdir/$name.out" 2>&1 &
    pids+=($!)
    local i
    for ((i = 0; i < 100; i++)); do
        if grep -q '# ready' "$workdir/$name.log" 2>/dev/null && [ -e "$workdir/$name.link" ] &&
            [ -p "$workdir/$name.ctl" ]; then
            return 0
        fi
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    cat "$workdir/$name.out" >&2 || true
    fail "the simulator '$name' did not come up"
}

missing=
for n in 1 2 3 4; do
    rm -f "$dosdevices/com$n"
    case ${roles[$n]:-none} in
        sim)
            [ -z "${TAVREL_SIM_PORT:-}" ] || fail "only one port can be 'sim'"
            start_sim sim
            ln -sfn "$workdir/sim.link" "$dosdevices/com$n"
            export TAVREL_SIM_PORT=$n
            export TAVREL_SIM_LOG_UNIX=$workdir/sim.log TAVREL_SIM_CONTROL_UNIX=$workdir/sim.ctl
            export TAVREL_SIM_LOG=$(winpath "$workdir/sim.log")
            export TAVREL_SIM_CONTROL=$(winpath "$workdir/sim.ctl")
            ;;
        silent)
            [ -z "${TAVREL_SILENT_PORT:-}" ] || fail "only one port can be 'silent'"
            start_sim silent --fault "answer none"
            ln -sfn "$workdir/silent.link" "$dosdevices/com$n"
            export TAVREL_SILENT_PORT=$n
            export TAVREL_SILENT_LOG_UNIX=$workdir/silent.log
            export TAVREL_SILENT_LOG=$(winpath "$workdir/silent.log")
            ;;
        none)
            [ -n "$missing" ] || missing=$n
            ;;
    esac
done
[ -z "$missing" ] || export TAVREL_MISSING_PORT=$missing

status=0
if [[ $1 == *.exe ]]; then
    timeout -k 10 "$limit" wine "$@" || status=$?
else
    timeout -k 10 "$limit" "$@" || status=$?
fi
[ "$status" -ne 124 ] || echo "with_sim: $1 did not finish within $limit s" >&2
exit "$status"
