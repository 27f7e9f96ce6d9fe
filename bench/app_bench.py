#!/usr/bin/env python3
"""Figures of TavrelRemote.exe under wine, with the simulator as the magnifier.

    app_bench.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--presses N] [--idle S]
                 [--unplugs N]

BUILD_DIR is a Windows build (its wine fixture is started when it is not up).
Prints: start to "ACTIVE Port 3"; a hot key (Ctrl+F12/F11, from the start of
xdotool) and a button press (BM_CLICK from the helper) to the complete command
in the simulator's log, over N presses (p50, p99, max); the program's CPU over
S idle seconds connected and searching; its peak resident set; unplug to
"NONE" and replug to "ACTIVE Port 3". A benchmark, not a test: it fails only
when it cannot run.
"""

import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "windows", "e2e"))
sys.dont_write_bytecode = True
import e2e  # noqa: E402


def figures(name, values):
    ordered = sorted(values)
    p99 = ordered[min(len(ordered) - 1, round(0.99 * (len(ordered) - 1)))]
    print(f"{name}: p50 {statistics.median(ordered):.1f} ms, p99 {p99:.1f} ms, "
          f"max {ordered[-1]:.1f} ms over {len(ordered)}")


def proc_status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(field))


def cpu_percent(pid, seconds):
    def ticks():
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rpartition(")")[2].split()
        return int(fields[11]) + int(fields[12])
    before = ticks()
    time.sleep(seconds)  # the idle time measured
    return 100.0 * (ticks() - before) / os.sysconf("SC_CLK_TCK") / seconds


def to_wire(r, sim, act, command):
    """ms from act() to command in the simulator's log (its clock is CLOCK_MONOTONIC)."""
    clock = int(sim.text().split("# clock ", 1)[1].split()[0])
    count = sim.commands().count(command)
    started = time.monotonic() * 1000
    act()
    e2e.poll(f"{command} on the wire", lambda: sim.commands().count(command) > count)
    sim.settled(0)
    at = [int(line.split()[0]) for line in sim.text().splitlines()
          if line.split(" ", 1)[1] == command][count]
    return clock + at - started


def bench(r, args):
    sim = r.sim(3)
    started = time.monotonic()
    proc = r.program("-show")
    r.status("ACTIVE Port 3")
    print(f"start to ACTIVE Port 3: {time.monotonic() - started:.2f} s")
    e2e.poll("the panel in front", lambda: r.ask("fg") == e2e.PANEL_TITLE)
    keys = [to_wire(r, sim, lambda k=k: r.wine.key(k), c) for _, (k, c) in
            zip(range(args.presses), [("ctrl+F12", "p40"), ("ctrl+F11", "p3f")] * args.presses)]
    figures("hot key to the wire", keys)
    figures("button press to the wire",
            [to_wire(r, sim, lambda: r.ask(f"press {e2e.IDC_WINDOW}"), "BW")
             for _ in range(args.presses)])
    print(f"CPU connected, idle: {cpu_percent(proc.pid, args.idle):.2f}% of a core")
    for _ in range(args.unplugs):
        took = time.monotonic()
        sim.send("unplug")
        r.status("NONE")
        print(f"unplug to NONE: {time.monotonic() - took:.2f} s", end="; ")
        took = time.monotonic()
        sim.send("replug")
        r.status("ACTIVE Port 3")
        print(f"replug to ACTIVE Port 3: {time.monotonic() - took:.2f} s")
    os.remove(r.wine.com_link(3))
    sim.send("unplug")
    r.status("NONE")
    print(f"CPU searching: {cpu_percent(proc.pid, args.idle):.2f}% of a core")
    print(f"peak resident set: {proc_status(proc.pid, 'VmHWM:')} KiB")


def main():
    return e2e.run_by_hand(__doc__.splitlines()[0],
                           (("presses", int, 50), ("idle", float, 20), ("unplugs", int, 3)),
                           bench, "/tmp/tavrel-app-bench")


if __name__ == "__main__":
    sys.exit(main())
