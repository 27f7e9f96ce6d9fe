#!/usr/bin/env python3
"""Figures of TavrelRemote.exe under wine, with the simulator as the magnifier.

    app_bench.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--presses N] [--idle S]
                 [--unplugs N]

Prints, for the real program in the Wine virtual desktop on Xvfb:
  - hot key to the wire: from the moment xdotool is started for Ctrl+F12 or
    Ctrl+F11 (while notepad has the focus) to the simulator's log time of the
    complete command, over N presses (p50, p99, max); xdotool's own run time
    is printed beside it;
  - start to tray icon: from starting `wine TavrelRemote.exe` to its icon being
    drawn on the taskbar, and to "ACTIVE Port 3" in the panel;
  - click on WINDOW to the wire, timed the same way (the panel shown);
  - CPU of the program's process (and of the wineserver) over S idle seconds
    while connected and while disconnected (searching), from /proc;
  - the process's peak resident set (VmHWM; it includes Wine's own libraries);
  - unplug of the simulator to "NONE" on the panel, and replug to "ACTIVE Port 3".
A benchmark, not a test: it prints figures and fails only when it cannot run.
Starts the Wine fixture of BUILD_DIR itself when it is not up, and stops it again.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
from harness import Failure, Helper, Simulator, Wine, poll, stop_process  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURE = os.path.join(HERE, "..", "wine_fixture.sh")


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rpartition(")")[2].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


class Bench:
    def __init__(self, args):
        self.args = args
        self.wine = Wine(args.build_dir)
        self.work = os.path.join(os.path.abspath(args.build_dir), "app-bench")
        os.makedirs(self.work, exist_ok=True)
        self.log = open(os.path.join(self.work, "wine.log"), "w")
        self.helper = Helper(self.wine, args.helper, self.log)
        self.procs, self.sims = [], []

    def start_program(self):
        proc = self.wine.start([self.args.exe], self.log)
        self.procs.append(proc)
        return proc

    def end_program(self, proc):
        self.helper.ask("exit")
        try:
            proc.wait(20)
        except subprocess.TimeoutExpired:
            stop_process(proc)

    def fresh(self):
        poll("no panel from before", lambda: self.helper.ask("panels") == "0")
        self.helper.ask("regclear")

    def start_to_tray(self, runs=5):
        tray, active = [], []
        for _ in range(runs):
            self.fresh()
            sim = Simulator(self.wine, self.args.simulator, self.work, "sim", 3)
            sim.map()
            poll("no tray icon", lambda: self.helper.ask("tray") == "none")
            started = time.monotonic()
            proc = self.start_program()
            poll("the tray icon", lambda: self.helper.ask("tray") != "none", step=0.005)
            tray.append(time.monotonic() - started)
            poll("connected", lambda: (self.helper.ask("ctl 1007").endswith("ACTIVE Port 3")),
                 step=0.005)
            active.append(time.monotonic() - started)
            self.end_program(proc)
            sim.stop()
        print(f"start to tray icon drawn ({runs} starts): median {statistics.median(tray):.2f} s,"
              f" {min(tray):.2f} to {max(tray):.2f} s")
        print(f"start to 'ACTIVE Port 3' on the panel: median {statistics.median(active):.2f} s,"
              f" {min(active):.2f} to {max(active):.2f} s")

    def hot_keys_and_idle(self):
        self.fresh()
        sim = Simulator(self.wine, self.args.simulator, self.work, "sim", 3)
        sim.map()
        proc = self.start_program()
        poll("connected", lambda: self.helper.ask("ctl 1007").endswith("ACTIVE Port 3"))
        sim.wait_for("the first levels", 0, ["p3f", "w3f"])
        clock = int(next(line.split()[-1] for line in sim.text().splitlines()
                         if " # clock " in line))
        notepad = self.wine.start(["notepad"], self.log)
        try:
            poll("notepad in front", lambda: "Notepad" in self.helper.foreground())
            presses = [("ctrl+F12", "p40"), ("ctrl+F11", "p3f")] * (self.args.presses // 2)
            self.to_the_wire(sim, clock, "hot key (xdotool started)",
                             [(["key", combo], command) for combo, command in presses])
        finally:
            stop_process(notepad)

        cmdline = open(f"/proc/{proc.pid}/cmdline").read().replace("\0", " ")
        if "TavrelRemote.exe" not in cmdline:
            raise Failure(f"process {proc.pid} is not the program: {cmdline}")
        status = lambda: self.helper.ask("ctl 1007").partition(" ")[2].split(" ", 4)[-1]
        self.idle(proc, "connected")
        sim.send("unplug")
        poll("NONE on the panel", lambda: status() == "NONE")
        self.idle(proc, "disconnected (searching COM1 to COM4)")
        sim.send("replug")
        poll("connected again", lambda: status() == "ACTIVE Port 3")
        print(f"peak resident set of the program's process: {peak_rss_kib(proc.pid) / 1024:.1f} MiB")

        lost, found = [], []
        for _ in range(self.args.unplugs):
            sim.send("unplug")
            unplugged = time.monotonic()
            poll("NONE on the panel", lambda: status() == "NONE", step=0.01)
            lost.append(time.monotonic() - unplugged)
            sim.send("replug")
            replugged = time.monotonic()
            poll("connected again", lambda: status() == "ACTIVE Port 3", step=0.01)
            found.append(time.monotonic() - replugged)
        print(f"unplug to 'NONE' on the panel ({len(lost)} times): median"
              f" {statistics.median(lost):.2f} s, {min(lost):.2f} to {max(lost):.2f} s")
        print(f"replug to 'ACTIVE Port 3' on the panel: median {statistics.median(found):.2f} s,"
              f" {min(found):.2f} to {max(found):.2f} s")

        # Clicks on WINDOW with the panel shown; its command is "BW".
        self.wine.x("xdotool", "key", "ctrl+F5")
        poll("the panel shown", lambda: self.helper.ask("panel").split()[1:2] == ["1"])
        _, left, top, right, bottom = self.helper.ask("ctl 1000").split()[:5]
        x, y = (int(left) + int(right)) // 2, (int(top) + int(bottom)) // 2
        self.wine.x("xdotool", "mousemove", str(x), str(y))
        self.to_the_wire(sim, clock, "click on WINDOW (xdotool started)",
                         [(["click", "1"], "BW")] * self.args.presses, pause=0.6)
        self.end_program(proc)
        sim.stop()

    def to_the_wire(self, sim, clock, what, presses, pause=0.0):
        """Runs xdotool with each press's arguments and times it from xdotool's
        start to the simulator's log time of the press's complete command.
        pause keeps two clicks on a button apart from a double click."""
        latencies, xdotool = [], []
        for arguments, command in presses:
            time.sleep(pause)
            mark = sim.mark()
            pressed = time.monotonic()
            self.wine.x("xdotool", *arguments)
            xdotool.append(time.monotonic() - pressed)
            poll(f"{command} on the wire", lambda: len(sim.commands()) > mark
                 and any(t == command for _, t in sim.commands()[mark:]))
            at = next(ms for ms, t in sim.commands()[mark:] if t == command)
            latencies.append((clock + at) / 1000 - pressed)
        ms = [1000 * v for v in latencies]
        print(f"{what} to its command at the magnifier, {len(ms)} presses:"
              f" p50 {percentile(ms, 50):.0f} ms, p99 {percentile(ms, 99):.0f} ms,"
              f" max {max(ms):.0f} ms")
        print(f"  of which xdotool's own run: median {1000 * statistics.median(xdotool):.0f} ms")

    def idle(self, proc, what):
        """CPU of the program's process and of the wineserver over the idle seconds."""
        ws_pid = next(line.split("=")[1].strip() for line in
                      open(os.path.join(self.wine.build, "wine-run", "state"))
                      if line.startswith("wineserver_pid="))
        hz = os.sysconf("SC_CLK_TCK")
        before = cpu_ticks(proc.pid), cpu_ticks(ws_pid), time.monotonic()
        time.sleep(self.args.idle)  # the measured interval itself
        after = cpu_ticks(proc.pid), cpu_ticks(ws_pid), time.monotonic()
        span = after[2] - before[2]
        print(f"idle and {what} for {span:.0f} s: the program's process"
              f" {100 * (after[0] - before[0]) / hz / span:.2f}% of a core, the wineserver"
              f" {100 * (after[1] - before[1]) / hz / span:.2f}%")

    def close(self):
        for proc in self.procs:
            if proc.poll() is None:
                stop_process(proc)
        self.helper.stop()
        for n in range(1, 5):
            if os.path.lexists(self.wine.com_link(n)):
                os.remove(self.wine.com_link(n))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir")
    parser.add_argument("simulator")
    parser.add_argument("exe")
    parser.add_argument("helper")
    parser.add_argument("--presses", type=int, default=100)
    parser.add_argument("--idle", type=float, default=60.0)
    parser.add_argument("--unplugs", type=int, default=5)
    args = parser.parse_args()
    state = os.path.join(args.build_dir, "wine-run", "state")
    own_fixture = not os.path.exists(state)
    if own_fixture:
        subprocess.run(["bash", FIXTURE, "start", args.build_dir], check=True)
    bench = None
    try:
        bench = Bench(args)
        bench.start_to_tray()
        bench.hot_keys_and_idle()
    except Failure as e:
        print(f"app_bench: {e}", file=sys.stderr)
        return 1
    finally:
        if bench:
            bench.close()
        if own_fixture:
            subprocess.run(["bash", FIXTURE, "stop", args.build_dir])
    return 0


if __name__ == "__main__":
    sys.exit(main())
