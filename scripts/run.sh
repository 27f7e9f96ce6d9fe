#!/usr/bin/env bash
# Sets up, builds and runs the device link end to end: starts the magnifier
# simulator on a pseudo-terminal, then the console remote probes it and
# presses WINDOW, and the simulator's log shows what went over the wire.
# With a real magnifier: scripts/run.sh /dev/ttyUSB0
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2

bin=build/native/bin
if [ $# -ge 1 ]; then
  port=$1
  "$bin/tavrelctl" --com "1=$port" probe
  "$bin/tavrelctl" --com "1=$port" window
  exit 0
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/tavrel-sim" --link "$work/magnifier" --log "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
  [ -e "$work/magnifier" ] && break
  sleep 0.1
done

echo "--- tavrelctl probe (the magnifier on COM3, COM1 and COM2 missing)"
"$bin/tavrelctl" --com "1=$work/none1" --com "2=$work/none2" --com "3=$work/magnifier" probe
echo "--- tavrelctl window"
"$bin/tavrelctl" --com "1=$work/none1" --com "2=$work/none2" --com "3=$work/magnifier" window
echo "--- what the magnifier received (milliseconds since it started, command)"
cat "$work/sim.log"
