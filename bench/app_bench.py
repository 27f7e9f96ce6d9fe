#!/usr/bin/env python3
"""Figures of TavrelRemote.exe under wine, beside an earlier build and an empty program.

    app_bench.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--previous EXE]
                 [--empty EXE] [--presses N] [--idle S] [--unplugs N] [--awake 0|1]
                 [--baud N]

BUILD_DIR is a Windows build (its wine fixture is started when it is not up). One
after another in one prefix, with the simulator on COM3: the program, --previous
(another build), --empty (a program that only waits in GetMessage; default
BUILD_DIR/bin/empty_win32.exe) and that program doing only the keep-alive's I/O (idle
figures only). Start to "ACTIVE Port 3" with nothing stored (COM1 and COM2 missing
before it), then with COM3 stored as the port that last answered. Hot keys and clicks
go in through XTEST, N of each (p50/p90/p99/max); then --unplugs unplugs and replugs,
and S idle seconds connected, searching, and searching after a not-detected warning
has come and gone, the panel hidden. --awake 1 makes the
presses again with every processor kept from sleeping: on a virtual machine a sleeping
processor takes milliseconds to wake. --baud 9600 paces the simulator's line both ways
as a real one (0, the default: bytes pass at once). Prints a table; fails only when it
cannot run.
"""

import ctypes
import glob
import os
import pathlib
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "windows", "e2e"))
sys.dont_write_bytecode = True
import e2e  # noqa: E402

ID_MINIMIZE = 32781


class XTest:
    """Keys and clicks put straight into the X server: no xdotool start in the figures."""

    def __init__(self, display):
        vp, ui, i, ul = ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong
        self.x, self.t = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
        for f, res, args in ((self.x.XOpenDisplay, vp, [ctypes.c_char_p]),
                             (self.x.XStringToKeysym, ul, [ctypes.c_char_p]),
                             (self.x.XKeysymToKeycode, ctypes.c_ubyte, [vp, ul]),
                             (self.x.XFlush, i, [vp]),
                             (self.t.XTestFakeKeyEvent, i, [vp, ui, i, ul]),
                             (self.t.XTestFakeButtonEvent, i, [vp, ui, i, ul]),
                             (self.t.XTestFakeMotionEvent, i, [vp, i, i, i, ul])):
            f.restype, f.argtypes = res, args
        self.dpy = self.x.XOpenDisplay(display.encode())
        e2e.expect(self.dpy, f"the display {display} could not be opened")

    def key(self, combo):
        """Presses e.g. ctrl+F12; the time (ms) the key went to the server."""
        codes = [self.x.XKeysymToKeycode(self.dpy, self.x.XStringToKeysym(k.encode()))
                 for k in combo.replace("ctrl", "Control_L").split("+")]
        for code in codes:
            self.t.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        at = time.monotonic() * 1000
        self.x.XFlush(self.dpy)
        for code in reversed(codes):
            self.t.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self.x.XFlush(self.dpy)
        return at

    def move(self, x, y):
        self.t.XTestFakeMotionEvent(self.dpy, -1, x, y, 0)
        self.x.XFlush(self.dpy)

    def click(self, x, y):
        """A left click at x, y; the time (ms) the button went up (the click)."""
        self.move(x, y)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 1, 0)
        self.x.XFlush(self.dpy)
        time.sleep(0.02)
        self.t.XTestFakeButtonEvent(self.dpy, 1, 0, 0)
        at = time.monotonic() * 1000
        self.x.XFlush(self.dpy)
        return at


def percentiles(values):
    if not values:
        return "none arrived"
    v = sorted(values)
    at = [v[min(len(v) - 1, round(q * (len(v) - 1)))] for q in (0.5, 0.9, 0.99)]
    return f"{at[0]:.1f} / {at[1]:.1f} / {at[2]:.1f} / {v[-1]:.1f} ms"


def to_wire(sim, act, command):
    """(first byte, whole command) in ms after act() put its input in, by the
    simulator's log (its clock is CLOCK_MONOTONIC); None when it never came."""
    clock = int(sim.text().split("# clock ", 1)[1].split()[0])
    count = sim.commands().count(command)
    at = act()
    try:
        e2e.poll(f"{command} on the wire", lambda: sim.commands().count(command) > count, 5)
    except e2e.Failure:
        return None
    lines = [line.partition(" ") for line in sim.text().splitlines()]
    n = [k for k, (_, _, text) in enumerate(lines) if text == command][count]
    first = n - 1 if lines[n - 1][2] == "# first byte" else n
    return clock + int(lines[first][0]) - at, clock + int(lines[n][0]) - at


def over_threads(pid, name, value):
    """The sum of value(text of /proc/PID/task/TID/name) over all the process's threads."""
    return sum(value(pathlib.Path(path).read_text())
               for path in glob.glob(f"/proc/{pid}/task/*/{name}"))


def cpu_ns(pid):
    """CPU time of all the process's threads so far, in ns (the scheduler's own count)."""
    return over_threads(pid, "schedstat", lambda text: int(text.split()[0]))


def switches(pid):
    return over_threads(pid, "status", lambda text: sum(
        int(line.split()[1]) for line in text.splitlines() if "ctxt_switches:" in line))


class KeepAwake:
    """A busy loop of SCHED_IDLE on each processor in the with-block, stopped by its
    id: no processor sleeps, and any other thread that wants one gets it at once."""

    def __enter__(self):
        def lowest():
            os.sched_setscheduler(0, os.SCHED_IDLE, os.sched_param(0))
        self.procs = [subprocess.Popen([sys.executable, "-c", "while True: pass"],
                                       preexec_fn=lowest) for _ in range(os.cpu_count())]
        return self

    def __exit__(self, *exc):
        for proc in self.procs:
            e2e.stop_process(proc)


def idle(pid, server, seconds):
    """Wake-ups per second (a context switch after 5 ms or more without one,
    sampled every millisecond; a Wine program switches at every call to
    Wine's server, so one wake-up may be many switches), context switches
    per second, CPU % of a core of pid and of the wine server."""
    w, c, s, t = switches(pid), cpu_ns(pid), cpu_ns(server), time.monotonic()
    last, changed, wakes = w, t, 0
    while (now := time.monotonic()) < t + seconds:
        n = switches(pid)
        if n != last:
            wakes += now - changed >= 0.005
            last, changed = n, now
        time.sleep(0.001)
    t = time.monotonic() - t
    cpu = [100 * (cpu_ns(p) - before) / 1e9 / t for p, before in ((pid, c), (server, s))]
    return (f"{wakes / t:.2f}", f"{(switches(pid) - w) / t:.1f}", f"{cpu[0]:.3f} %",
            f"{cpu[1]:.3f} %")


def presses(r, sim, xt, args, out, pos, label=""):
    """The presses from position level pos; returns the level they leave."""
    x0, y0, x1, y1 = map(int, r.ask(f"rect {e2e.IDC_WINDOW_BUTTON}").split())
    rng, keys, clicks, lost = random.Random(1), [], [], 0
    for k in range(args.presses):
        key, pos = ("ctrl+F12", pos + 1) if k % 2 == 0 else ("ctrl+F11", pos - 1)
        for results, act, command, sent in ((keys, lambda: xt.key(key), f"p{pos:02x}", 1),
                                            (clicks, lambda: xt.click((x0 + x1) // 2,
                                                                      (y0 + y1) // 2), "BW", 3)):
            # Each press on a line at rest: after the 50 ms pause that follows the
            # last command, anywhere up to and past the next keep-alive.
            time.sleep(rng.uniform(0.05, 1.5))
            mark = sim.mark()
            got = to_wire(sim, act, command)
            lost += got is None
            results.append(got or (None, None))
            e2e.poll("the press's levels", lambda: got is None or len(sim.since(mark)) >= sent)
    for name, results in (("hot key", keys), ("click", clicks)):
        for part, what in ((0, "first byte"), (1, "whole command")):
            out[f"{name} to the {what}{label}, p50/p90/p99/max"] = percentiles(
                [v[part] for v in results if v[part] is not None])
    out[f"presses lost (never on the wire){label}"] = str(lost)
    sim.settled(sim.mark())  # the last click's levels
    return pos


def measure(r, args, exe, xt, server, extra):
    """The figures of one program; extra: the arguments of the empty program,
    which is measured idle only (None for a build of TavrelRemote.exe)."""
    out = {}
    r.fresh()
    sim = r.sim(3, *(["--baud", str(args.baud)] if args.baud else []))
    sim.send("first on")
    started = time.monotonic()
    proc = r.start(*(["-show"] if extra is None else extra), exe=exe)
    if extra is not None:
        time.sleep(5)  # it shows nothing to wait for
        if extra:  # the keep-alive alone: its port open and probing, or no figures
            sim.settled(0)
    else:
        r.status("ACTIVE Port 3")
        out["start to ACTIVE Port 3"] = f"{time.monotonic() - started:.2f} s"
        # Again, with COM3 stored as the port that last answered.
        r.ask(f"cmd {e2e.ID_EXIT}")
        e2e.expect(proc.wait(30) == 0, "the program did not end at Exit")
        e2e.expect(r.ask(f"reg {e2e.SETTINGS}\\Options|nLastPort") == "4 4 03000000",
                   "COM3 was not stored as the port that last answered")
        started = time.monotonic()
        proc = r.start("-show", exe=exe)
        r.status("ACTIVE Port 3")
        out["start to ACTIVE Port 3, COM3 remembered"] = f"{time.monotonic() - started:.2f} s"
        sim.settled(0)
        e2e.poll("the panel in front", lambda: r.ask("fg") == e2e.PANEL_TITLE)
        pos = presses(r, sim, xt, args, out, 63)  # the level the panel starts at
        if args.awake:
            with KeepAwake():
                pos = presses(r, sim, xt, args, out, pos, ", processors kept awake")
        times = {"unplug to NONE": [], "replug to ACTIVE Port 3": []}
        for _ in range(args.unplugs):
            for (what, spent), command in zip(times.items(), ("unplug", "replug")):
                time.sleep(random.uniform(0.5, 1.5))  # anywhere between two keep-alives
                took = time.monotonic()
                sim.send(command)
                r.status(what.split(" to ")[1])
                spent.append(time.monotonic() - took)
        for what, spent in times.items():
            out[f"{what}, median (min to max)"] = (f"{sorted(spent)[len(spent) // 2]:.2f} s "
                                                   f"({min(spent):.2f} to {max(spent):.2f} s)")
    # The pointer on the empty desktop for every program: over the taskbar it
    # keeps Wine's server at about 2 % of a core, whatever runs.
    xt.move(512, 300)
    if extra is None:  # hidden, as it mostly is
        r.ask(f"cmd {ID_MINIMIZE}")
        e2e.poll("the panel hidden", lambda: r.ask("panel").startswith("0 "))
    # The empty program idles twice; the keep-alive alone has nothing to search.
    states = (("connected, idle",) if extra else
              ("connected, idle", "searching", "searching, after a warning"))
    for state in states:
        if state == "searching" and extra is None:
            os.remove(r.wine.com_link(3))
            sim.send("unplug")
            r.status("NONE")
            time.sleep(3)  # the probes of the scan that lost it over
        if state.endswith("warning"):
            if extra is None:
                xt.key("ctrl+F6")
                e2e.poll("the not-detected warning", lambda: r.ask("warning") == "1")
                e2e.poll("the warning gone after 1.5 s", lambda: r.ask("warning") == "0")
        for name, value in zip(("wake-ups/s", "context switches/s", "CPU", "wineserver CPU"),
                               idle(proc.pid, server, args.idle)):
            out[f"{name}, {state}"] = value
    with open(f"/proc/{proc.pid}/status") as f:
        out["peak resident set"] = next(line.split(None, 1)[1].strip() for line in f
                                        if line.startswith("VmHWM:"))
    r.cleanup()
    return out


def bench(r, args):
    state = os.path.join(os.path.abspath(args.build_dir), "wine-run", "state")
    server = next(int(line.split("=")[1]) for line in open(state)
                  if line.startswith("wineserver_pid="))
    xt = XTest(r.wine.env["DISPLAY"])
    print(f"load average before: {os.getloadavg()}")
    programs = [("this build", args.exe, None), ("previous", args.previous, None),
                ("empty", args.empty, []), ("keep-alive alone", args.empty, ["-keepalive", "3"])]
    results = [(name, measure(r, args, exe, xt, server, extra))
               for name, exe, extra in programs if exe]
    print(f"load average after: {os.getloadavg()}")
    rows = list(dict.fromkeys(k for _, out in results for k in out))
    print("| what | " + " | ".join(name for name, _ in results) + " |")
    print("|---" * (len(results) + 1) + "|")
    for row in rows:
        print(f"| {row} | " + " | ".join(out.get(row, "") for _, out in results) + " |")


def main():
    empty = os.path.join(sys.argv[1] if len(sys.argv) > 1 else ".", "bin", "empty_win32.exe")
    return e2e.run_by_hand(__doc__.splitlines()[0],
                           (("previous", str, ""), ("empty", str, empty), ("presses", int, 200),
                            ("idle", float, 60), ("unplugs", int, 5),
                            ("awake", int, 1), ("baud", int, 0)),
                           bench, "/tmp/tavrel-app-bench")


if __name__ == "__main__":
    sys.exit(main())
