"""The pieces the end-to-end scenarios are made of.

Everything runs on the test run's Wine prefix and Xvfb display (the ctest
fixture "wine"): the simulators on ptys mapped as COM ports, TavrelRemote.exe
started with wine, the helper program that looks at windows from inside wine,
and xdotool for the pointer and the keyboard. Every process started here is
stopped again by its own id. Every wait polls for a state with a deadline.
"""

import argparse
import os
import signal
import sys
import subprocess
import time

DEADLINE = 20.0  # seconds: generous for anything a person would wait for


class Failure(Exception):
    """A scenario cannot go on; the message says what was missing."""


def poll(what, probe, deadline=DEADLINE, step=0.05):
    """Calls probe() until it returns something true and returns that.
    Raises Failure naming what when the deadline passes."""
    end = time.monotonic() + deadline
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"{what}: not within {deadline:.0f} s")
        time.sleep(step)


def at_rest(what, read, pause=0.3):
    """Polls read() until two reads pause seconds apart agree, and returns that
    value: a window dragged with the pointer may still follow motion queued
    before the button came up."""
    def settled():
        first = read()
        time.sleep(pause)
        return first and first == read() and first
    return poll(what, settled)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def stop_process(proc, grace=10.0):
    """Ends a process we started: TERM, then KILL after grace seconds."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(grace)


class Wine:
    """The run's prefix and display, read from the fixture's state file."""

    def __init__(self, build_dir):
        self.build = os.path.abspath(build_dir)
        self.prefix = os.path.join(self.build, "wineprefix")
        state = os.path.join(self.build, "wine-run", "state")
        if not os.path.exists(state):
            raise Failure(f"the wine fixture is not up ({state} is missing); run through ctest")
        values = dict(line.strip().split("=", 1) for line in open(state) if "=" in line)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=values["display"])

    def com_link(self, n):
        return os.path.join(self.prefix, "dosdevices", f"com{n}")

    def start(self, args, log):
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT)

    def x(self, *args):
        """Runs an X program (xdotool, import) on the run's display."""
        subprocess.run(args, env=self.env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL)

    def grab(self, left, top, width, height):
        """The screen's pixels in a rectangle, as rows of (r, g, b)."""
        raw = subprocess.run(
            ["import", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
             "-depth", "8", "rgb:-"], env=self.env, check=True, timeout=30,
            stdout=subprocess.PIPE).stdout
        if len(raw) != width * height * 3:
            raise Failure(f"a picture of {width}x{height} came back with {len(raw)} bytes")
        return [[tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]

    def screenshot(self, path, rect=None):
        args = ["import", "-window", "root"]
        if rect:
            left, top, right, bottom = rect
            args += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}"]
        self.x(*args, path)


class Simulator:
    """One tavrel-sim on a pty, linked as COM n of the prefix."""

    def __init__(self, wine, sim, workdir, name, port, *extra):
        self.wine, self.port, self.name = wine, port, name
        self.link = os.path.join(workdir, f"{name}.link")
        self.log = os.path.join(workdir, f"{name}.log")
        self.control = os.path.join(workdir, f"{name}.ctl")
        for path in (self.link, self.log, self.control):
            if os.path.lexists(path):
                os.remove(path)
        self.out = open(os.path.join(workdir, f"{name}.out"), "w")
        self.proc = subprocess.Popen(
            [sim, "--link", self.link, "--log", self.log, "--control", self.control, *extra],
            stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.STDOUT)
        poll(f"simulator {name} ready",
             lambda: self.proc.poll() is not None or "# ready" in self.text())
        if self.proc.poll() is not None:
            raise Failure(f"simulator {name} ended at start")
        self.mapped = False

    def map(self):
        """Makes the simulator COM n of the prefix (the program may be running)."""
        os.symlink(self.link, self.wine.com_link(self.port))
        self.mapped = True

    def unmap(self):
        if self.mapped and os.path.islink(self.wine.com_link(self.port)):
            os.remove(self.wine.com_link(self.port))
        self.mapped = False

    def text(self):
        try:
            with open(self.log) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def commands(self):
        """What the host sent, in order: (ms, text) without the simulator's notes."""
        out = []
        for line in self.text().splitlines():
            ms, _, text = line.partition(" ")
            if text and not text.startswith(("#", "!")):
                out.append((int(ms), text))
        return out

    def mark(self):
        return len(self.commands())

    def since(self, mark, probes=False):
        """Commands after mark; keep-alive probes only when asked."""
        return [t for _, t in self.commands()[mark:] if probes or t != "?"]

    def wait_for(self, what, mark, expected, deadline=DEADLINE):
        """Waits until the commands after mark (probes left out) start with expected."""
        poll(f"{what}: {' '.join(expected)} on the wire",
             lambda: self.since(mark)[:len(expected)] == expected
             or len(self.since(mark)) > len(expected), deadline)
        return self.since(mark)[:len(expected)] == expected

    def quiet_after(self, mark):
        """Waits for a keep-alive probe after mark: by then every press and level
        the program had queued before is on the wire (each poll cycle sends what
        is queued before the probe comes round again)."""
        start = self.mark()
        poll("a keep-alive probe", lambda: "?" in self.since(start, probes=True), deadline=10)
        return self.since(mark)

    def send(self, command):
        with open(self.control, "w") as f:
            f.write(command + "\n")

    def stop(self):
        self.unmap()
        stop_process(self.proc)
        self.out.close()


class Helper:
    """app_e2e_helper.exe serve: one request, one answer line."""

    def __init__(self, wine, exe, log):
        self.proc = subprocess.Popen(["wine", exe, "serve"], env=wine.env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=log, text=True)

    def ask(self, request):
        self.proc.stdin.write(request + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer:
            raise Failure(f"the helper ended on '{request}'")
        return answer.rstrip("\r\n")

    def numbers(self, request):
        answer = self.ask(request)
        return None if answer in ("none", "0", "missing") else [int(v) for v in answer.split()]

    def panel(self):
        """(visible, iconic, rect) of the panel, or None."""
        answer = self.ask("panel").split()
        if answer[0] == "none":
            return None
        return bool(int(answer[1])), bool(int(answer[2])), tuple(map(int, answer[3:7]))

    def control(self, ctl_id):
        """(visible, rect, text) of a panel control, or None."""
        answer = self.ask(f"ctl {ctl_id}")
        if answer == "none":
            return None
        parts = answer.split(" ", 5)
        return bool(int(parts[0])), tuple(map(int, parts[1:5])), parts[5] if len(parts) > 5 else ""

    def foreground(self):
        return self.ask("fg").partition(" ")[2]

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.close()
                self.proc.wait(10)
            except (OSError, subprocess.TimeoutExpired):
                pass
        stop_process(self.proc)


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def commonest(pixels):
    counts = {}
    for row in pixels:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    best = max(counts, key=counts.get)
    return best, counts[best], sum(counts.values())


def menu_rows(pixels):
    """The rows of a popup menu's items, top to bottom, as (first, last) rows.

    A row with some ink on the menu's background is part of an item's text; a
    run of rows that mostly differ from the background is a separator when
    thin and the highlighted item when as tall as an item."""
    back = commonest(pixels)[0]
    kinds = []
    for row in pixels:
        other = sum(1 for p in row if p != back)
        kinds.append(0 if other == 0 else 2 if other * 10 > len(row) * 6 else 1)
    rows, y = [], 0
    while y < len(kinds):
        end = y
        while end < len(kinds) and kinds[end] == kinds[y]:
            end += 1
        if kinds[y] == 1 or (kinds[y] == 2 and end - y >= 8):
            rows.append((y, end - 1))
        y = end
    return rows


def scenario_main(name, doc, make_suite, scenarios, add_options=None):
    """The command line the scenario scripts share:

        NAME BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--out DIR] [OPTION]... [SCENARIO]...

    add_options(parser) adds a script's own options; make_suite(args) makes
    its suite. Runs the scenarios named (all when none is) and gives the exit
    status: 1 when a check failed or the run could not start, 2 for a bad
    command line."""
    parser = argparse.ArgumentParser(prog=name, description=doc.splitlines()[0])
    for argument in ("build_dir", "simulator", "exe", "helper"):
        parser.add_argument(argument)
    parser.add_argument("--out", default=".")
    if add_options:
        add_options(parser)
    parser.add_argument("scenarios", nargs="*", metavar="SCENARIO",
                        help="some of: " + ", ".join(scenarios))
    args = parser.parse_intermixed_args()
    unknown = [scenario for scenario in args.scenarios if scenario not in scenarios]
    if unknown:
        parser.error(f"unknown scenario {', '.join(unknown)}")
    for path in (args.simulator, args.exe, args.helper):
        if not os.path.exists(path):
            print(f"{name}: {path} is missing; build it first", file=sys.stderr)
            return 1
    try:
        suite = make_suite(args)
    except Failure as e:
        print(f"{name}: {e}", file=sys.stderr)
        return 1
    started = time.monotonic()
    failures = suite.run(args.scenarios or scenarios)
    print(f"{failures} check(s) failed" if failures else "all checks passed",
          f"in {time.monotonic() - started:.0f} s")
    return 1 if failures else 0
