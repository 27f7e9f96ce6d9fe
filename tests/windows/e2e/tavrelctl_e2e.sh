#!/usr/bin/env bash
# tavrelctl.exe end to end under wine, with the simulator on COM3.
#
#   tavrelctl_e2e.sh BUILD_DIR SIMULATOR TAVRELCTL_EXE
#
# Each case runs the program once through with_sim.sh with its own simulators
# and checks its exit status, its output and what reached the simulator.
set -uo pipefail

[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR SIMULATOR TAVRELCTL_EXE" >&2; exit 2; }
build=$1 sim=$2 exe=$3
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$exe" ] || { echo "tavrelctl_e2e: $exe is not built" >&2; exit 1; }
if [ ! -x "$sim" ]; then
    echo "tavrelctl_e2e: the simulator is missing: $sim" >&2
    echo "  Build the native preset first, or point TAVREL_NATIVE_BIN_DIR at tavrel-sim." >&2
    exit 1
fi

work=$(mktemp -d /tmp/tavrelctl-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# run CASE [--com N=ROLE]... -- ARG...: runs tavrelctl.exe ARG... ; sets
# status, out (stdout and stderr) and dir (the simulators' logs).
run() {
    local name=$1
    shift
    local opts=()
    while [ "$1" != -- ]; do
        opts+=("$1")
        shift
    done
    shift
    dir=$work/$name
    status=0
    bash "$here/../with_sim.sh" --build-dir "$build" --sim "$sim" --workdir "$dir" --timeout 60 \
        "${opts[@]}" -- "$exe" "$@" >"$work/$name.out" 2>&1 || status=$?
    out=$(cat "$work/$name.out")
}

check() {
    local name=$1 what=$2
    shift 2
    if "$@"; then
        return 0
    fi
    echo "FAIL $name: $what"
    echo "  exit status $status; output:"
    sed 's/^/    /' "$work/$name.out"
    [ -f "$dir/sim.log" ] && { echo "  simulator log:"; sed 's/^/    /' "$dir/sim.log"; }
    return 1
}

# True when the simulator's log has the host command TEXT.
logged() { grep -qx "[0-9]* $2" "$dir/$1.log" 2>/dev/null; }

verdict() {
    if [ "$2" = ok ]; then
        echo "ok   $1"
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
}

# probe: found on COM3 behind a missing and a silent port.
run probe --com 1=none --com 2=silent --com 3=sim -- --timeout 20 probe
r=ok
check probe "exit 0" test "$status" -eq 0 || r=bad
check probe "the probe reached the simulator" logged sim '?' || r=bad
check probe "the silent port was asked too" logged silent '?' || r=bad
verdict "probe finds the magnifier on COM3" $r

# window: the press goes out as BW.
run window --com 3=sim -- --timeout 20 window
r=ok
check window "exit 0" test "$status" -eq 0 || r=bad
check window "BW reached the simulator" logged sim BW || r=bad
verdict "window sends BW" $r

# No magnifier anywhere: exit 1 with the product's message.
run none --com 2=silent -- --timeout 3 probe
r=ok
check none "exit 1" test "$status" -eq 1 || r=bad
check none "says Tavrel Plus Not Detected" grep -q "Tavrel Plus Not Detected" "$work/none.out" ||
    r=bad
verdict "no magnifier: exit 1, Not Detected" $r

# --com is refused on Windows before any port is touched.
run com --com 3=sim -- --com 1=/x probe
r=ok
check com "exit 2" test "$status" -eq 2 || r=bad
check com "names --com in the message" grep -q -- "--com" "$work/com.out" || r=bad
check com "no port was opened" bash -c "! grep -qx '[0-9]* ?' '$dir/sim.log'" || r=bad
verdict "--com refused on Windows: exit 2" $r

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
