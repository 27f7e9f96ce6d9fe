#!/usr/bin/env bash
# Runs one program under the test run's Wine prefix with magnifier simulators
# on its COM ports (usage() below). "sim" answers the probe, "silent" never
# does (one of each at most); ports 1 to 4 not named are missing. A PROGRAM
# ending in .exe runs under wine. It gets
# the simulators' logs (lines "<ms> <text>") as Windows paths in TAVREL_SIM_LOG
# and TAVREL_SILENT_LOG; they are WORKDIR/sim.log and WORKDIR/silent.log (a new
# temporary directory, removed afterwards, unless given). The simulators are
# stopped by their process ids and the mappings removed. Exit status: the
# program's (124 when it ran out of SECONDS, default 240), or 1 on a set-up failure.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "with_sim: $*" >&2; exit 1; }
usage() {
    cat >&2 <<'USAGE'
usage: with_sim.sh --build-dir DIR --sim PATH [--workdir DIR] [--timeout SECONDS]
                   [--com N=sim|silent]... -- PROGRAM [ARG]...
USAGE
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
            [[ $2 =~ ^([1-4])=(sim|silent|none)$ ]] || fail "bad --com '$2'"
            roles[${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
            shift 2 ;;
        --) shift; break ;;
        *) fail "unknown argument '$1'" ;;
    esac
done
[ $# -ge 1 ] && [ -n "$build" ] || usage
[ -x "$sim" ] || fail "the simulator is missing: $sim (build the native preset first)"
. "$repo/scripts/wine-env.sh" "$build"
[ -f "$TAVREL_WINE_RUN/state" ] || fail "the Wine fixture is not up; run the tests through ctest"
dosdevices=$WINEPREFIX/dosdevices
[ -n "$workdir" ] || workdir=$(mktemp -d /tmp/tavrel-win.XXXXXX)
mkdir -p "$workdir"
workdir=$(cd "$workdir" && pwd)

pids=()
cleanup() {
    local pid n
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    for n in 1 2 3 4; do rm -f "$dosdevices/com$n"; done
    [ "$keep" = 1 ] || rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

for n in 1 2 3 4; do
    rm -f "$dosdevices/com$n"
    role=${roles[$n]:-none}
    [ "$role" != none ] || continue
    var=TAVREL_${role^^}_LOG
    [ -z "${!var:-}" ] || fail "only one port can be '$role'"
    args=()
    [ "$role" = sim ] || args=(--fault "answer none")
    "$sim" --link "$workdir/$role.link" --log "$workdir/$role.log" "${args[@]}" \
        </dev/null >"$workdir/$role.out" 2>&1 &
    pids+=($!)
    up() { grep -q '# ready' "$workdir/$role.log" 2>/dev/null && [ -e "$workdir/$role.link" ]; }
    for ((i = 0; i < 100; i++)); do
        up || ! kill -0 "${pids[-1]}" 2>/dev/null && break
        sleep 0.1
    done
    up || { cat "$workdir/$role.out" >&2; fail "the simulator '$role' did not come up"; }
    ln -sfn "$workdir/$role.link" "$dosdevices/com$n"
    w=$workdir/$role.log
    export "$var=Z:${w//\//\\}"
done

status=0
run=()
[[ $1 != *.exe ]] || run=(wine)
timeout -k 10 "$limit" "${run[@]}" "$@" || status=$?
[ "$status" -ne 124 ] || echo "with_sim: $1 did not finish within $limit s" >&2
exit "$status"
