#!/usr/bin/env python3
"""TavrelRemote.exe end to end under wine: one table of scenarios.

    e2e.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--ctl TAVRELCTL_EXE]
           [--setup SETUP_EXE] [--out DIR] [SCENARIO]...

The real program runs in the Wine virtual desktop on the Xvfb display of the
ctest fixture "wine", with tavrel-sim on a pty mapped as a COM port as its
magnifier; what went over the wire is read from the simulator's log. Hot keys
are real keys (xdotool). The helper (inside wine) reads windows and the
registry, and takes the few actions Wine may drop as input. Each scenario
starts from fresh state (no copy running, no settings, no COM port mapped) and
waits for states, never for a time; a failure names what it waited for. Prints
"ok   NAME" or "FAIL NAME: why" per scenario; exit status 1 when one failed.
"""

import argparse
import contextlib
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import time

DEADLINE = 20.0
PANEL_TITLE = "Quorvane - Tavrel Plus Remote"
SETTINGS = r"Software\Quorvane\Tavrel Plus Remote"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run|Tavrel Plus Remote"
APPROVED_KEY = (r"Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
                r"|Tavrel Plus Remote")
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrelPlusRemote"
# The resource ids, from the program's own resource header.
globals().update((n, int(v)) for n, v in re.findall(r"#define (I\w+) (\d+)", open(os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "res", "resource.h")).read()))
LEVELS = ["p3f", "w3f"]  # both levels at 63, sent after every press
DEFAULT_KEYS = [("ctrl+F6", ["BW"] + LEVELS), ("ctrl+F7", ["BL"] + LEVELS),
                ("ctrl+F8", ["BO"] + LEVELS), ("ctrl+F9", ["w3e"]), ("ctrl+F10", ["w3f"]),
                ("ctrl+F11", ["p3e"]), ("ctrl+F12", ["p3f"])]


class Failure(Exception):
    """A scenario cannot go on; the message says what was missing."""


class Skip(Exception):
    """What a scenario needs was not built here (tavrelctl, the installer)."""


def poll(what, probe, deadline=DEADLINE, step=0.05):
    """Calls probe() until it gives something true and returns that; a
    Failure naming what when the deadline passes first."""
    end = time.monotonic() + deadline
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"{what}: not within {deadline:.0f} s")
        time.sleep(step)


def expect(condition, what, detail=""):
    if not condition:
        raise Failure(f"{what}{': ' + str(detail) if detail else ''}")


def stop_process(proc, grace=10.0):
    """Ends a process we started, by its id: TERM, then KILL."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(grace)


class Wine:
    """The run's prefix and display, from the fixture's state file."""

    def __init__(self, build_dir):
        self.prefix = os.path.join(os.path.abspath(build_dir), "wineprefix")
        state = os.path.join(os.path.abspath(build_dir), "wine-run", "state")
        if not os.path.exists(state):
            raise Failure(f"the wine fixture is not up ({state} is missing); run through ctest")
        values = dict(line.strip().split("=", 1) for line in open(state) if "=" in line)
        # As scripts/wine-env.sh: no Mono or Gecko dialog, and no menu builder
        # (a shortcut the installer makes stays in the prefix, and no helper
        # process sits in the install folder while the uninstaller removes it).
        # winmm.dll is looked for as Windows does, in the program's folder first.
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winmm=n,b",
                        DISPLAY=values["display"])

    def com_link(self, n):
        return os.path.join(self.prefix, "dosdevices", f"com{n}")

    def start(self, args, log, **kwargs):
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT, **kwargs)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=30)

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)

    @contextlib.contextmanager
    def held(self, keys):
        """keys down (the X server repeats the last) while the block runs."""
        self.xdotool("keydown", keys)
        try:
            yield
        finally:
            self.xdotool("keyup", keys)


class Simulator:
    """One tavrel-sim on a pty, mapped as COM port of the prefix."""

    def __init__(self, wine, sim, workdir, name, port, *extra):
        self.wine, self.port = wine, port
        self.link, self.log, self.control = (os.path.join(workdir, f"{name}.{ext}")
                                             for ext in ("link", "log", "ctl"))
        for path in (self.link, self.log, self.control):
            if os.path.lexists(path):
                os.remove(path)
        self.proc = subprocess.Popen(
            [sim, "--link", self.link, "--log", self.log, "--control", self.control, *extra],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        poll(f"simulator {name} ready", lambda: self.proc.poll() is not None or
             "# ready" in self.text())
        expect(self.proc.poll() is None, f"simulator {name} ended at start")

    def map(self):
        os.symlink(self.link, self.wine.com_link(self.port))

    def text(self):
        try:
            with open(self.log) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def commands(self, probes=False):
        """What the host sent, in order, without the simulator's notes."""
        out = [line.partition(" ")[2] for line in self.text().splitlines()]
        return [t for t in out if t and not t.startswith(("#", "!")) and (probes or t != "?")]

    def mark(self):
        return len(self.commands())

    def since(self, mark):
        return self.commands()[mark:]

    def settled(self, mark):
        """The commands after mark once a keep-alive probe has followed them:
        the link sends what is asked at once, the probe only after a quiet second."""
        start = len(self.commands(probes=True))
        poll("a keep-alive probe", lambda: "?" in self.commands(probes=True)[start:])
        return self.since(mark)

    def send(self, command):
        with open(self.control, "w") as f:
            f.write(command + "\n")

    def stop(self):
        stop_process(self.proc)


class Helper:
    """The helper program inside wine: one request, one answer line."""

    def __init__(self, wine, exe, log):
        self.proc = subprocess.Popen(["wine", exe], env=wine.env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=log, encoding="latin-1")

    def __call__(self, request):
        self.proc.stdin.write(request + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline()
        if not answer:
            raise Failure(f"the helper ended on '{request}'")
        return answer.rstrip("\r\n")

    def stop(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            stop_process(self.proc)


def fixture(build_dir, action):
    """Starts or stops the ctest fixture "wine" of BUILD_DIR, for the hand-run
    programs in bench/ (ctest starts it for the driver itself)."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine_fixture.sh")
    subprocess.run(["bash", script, action, build_dir], check=True, stdout=subprocess.DEVNULL)


def run_by_hand(description, options, body, out):
    """main() of a hand-run program in bench/: the driver's four arguments and
    options (name, type, default), the fixture started when it is not up, one
    fresh Run for body(run, args); exit status 1 with the reason on a Failure."""
    parser = argparse.ArgumentParser(description=description)
    for name in ("build_dir", "simulator", "exe", "helper"):
        parser.add_argument(name)
    for name, kind, default in options:
        parser.add_argument(f"--{name}", type=kind, default=default)
    args = parser.parse_args()
    args.out, build = out, os.path.abspath(args.build_dir)
    started = not os.path.exists(os.path.join(build, "wine-run", "state"))
    if started:
        fixture(build, "start")
    r = Run(args)
    try:
        r.fresh()
        body(r, args)
        return 0
    except Failure as e:
        print(f"{os.path.basename(sys.argv[0])} FAILED: {e}")
        return 1
    finally:
        r.cleanup()
        r.ask.stop()
        if started:
            fixture(build, "stop")


class Run:
    """The run's wine, helper and simulators, and what scenarios are made of."""

    def __init__(self, args):
        self.args, self.wine = args, Wine(args.build_dir)
        self.work = os.path.abspath(os.path.join(args.out, "e2e-work"))
        os.makedirs(self.work, exist_ok=True)
        self.log = open(os.path.join(self.work, "wine.log"), "w")
        self.ask = Helper(self.wine, args.helper, self.log)
        self.sims, self.procs = [], []

    def fresh(self):
        """No copy running, no COM port mapped, no settings stored."""
        for n in (1, 2, 3, 4, 7):
            if os.path.lexists(self.wine.com_link(n)):
                os.remove(self.wine.com_link(n))
        poll("no panel left from before", lambda: self.ask("panel") == "none")
        poll("no notepad left from before", lambda: self.ask("has Notepad") == "none")
        expect(self.ask(f"regdel {SETTINGS}") == "ok", "the settings could not be removed")

    def cleanup(self):
        for proc in self.procs:
            if proc.poll() is None and self.ask(f"cmd {ID_EXIT}") == "ok":
                try:
                    proc.wait(DEADLINE)
                except subprocess.TimeoutExpired:
                    pass
            stop_process(proc)
        if self.ask("panel") != "none":  # a copy the installer started
            self.ask(f"cmd {ID_EXIT}")
        for sim in self.sims:
            sim.stop()
        self.procs, self.sims = [], []

    def sim(self, port, *extra, mapped=True):
        sim = Simulator(self.wine, self.args.simulator, self.work, f"com{port}", port, *extra)
        self.sims.append(sim)
        if mapped:
            sim.map()
        return sim

    def start(self, *args, exe=None):
        proc = self.wine.start([exe or self.args.exe, *args], self.log)
        self.procs.append(proc)
        return proc

    def program(self, *args):
        """The program once its panel is up: shown with -show, else hidden
        again after its start (a status is only written once the panel's
        message loop runs, which is after it was first shown)."""
        proc = self.start(*args)
        if "-show" in args:
            poll("the panel shown", lambda: self.ask("panel").startswith("1 "))
        else:
            poll("the panel hidden after its start",
                 lambda: self.ask("panel").startswith("0 ") and self.ask("status"))
        return proc

    def status(self, text, deadline=DEADLINE):
        try:
            poll(f"status '{text}'", lambda: self.ask("status") == text, deadline)
        except Failure as e:
            raise Failure(f"{e} (it reads '{self.ask('status')}')")

    def connected(self, sim, levels=LEVELS):
        self.status(f"ACTIVE Port {sim.port}")
        self.sends(sim, None, levels, "the first levels", mark=0)

    def sends(self, sim, action, expected, what, mark=None):
        """Does action and checks that expected, and nothing else, goes out
        (after mark: what the simulator had received before action)."""
        mark = sim.mark() if mark is None else mark
        if action:
            action()
        poll(f"{what}: {' '.join(expected)} on the wire",
             lambda: len(sim.since(mark)) >= len(expected) and sim.since(mark), DEADLINE)
        sent = sim.settled(mark)
        expect(sent == expected, f"{what}: sent {' '.join(sent)}, not {' '.join(expected)}")

    def notepad_in_front(self):
        """Notepad as the program in front: brought there by the helper, since
        Wine may drop a click on a window it has only just mapped."""
        self.procs.append(self.wine.start(["notepad"], self.log))
        poll("notepad's window", lambda: self.ask("front Notepad") == "ok")
        poll("notepad in front", lambda: "Notepad" in self.ask("fg"))


# ---- the scenarios ---------------------------------------------------------------


def hot_keys(r):
    """The eight default hot keys over notepad: each sends its command. Held
    ctrl+F12 steps POSITION at each repeat of the X server; ctrl+F6 held as
    long sends one BW (Wine sends the repeats, MOD_NOREPEAT or not), and so
    does each next stroke: F6 up for 30 ms (less than Wine's key states may
    lag) and held again, two quick strokes. Ctrl+F5 brings the panel."""
    sim = r.sim(3)
    r.program()
    r.connected(sim)
    r.notepad_in_front()
    for key, wire in DEFAULT_KEYS:
        r.sends(sim, lambda: r.wine.key(key), wire, key)
    expect("Notepad" in r.ask("fg"), "notepad keeps the keyboard", r.ask("fg"))
    mark, down = sim.mark(), time.monotonic()
    with r.wine.held("ctrl+F12"):
        poll("ctrl+F12 held: repeated steps on the wire", lambda: len(sim.since(mark)) >= 5)
        repeated = time.monotonic() - down  # the press, then at least 4 repeats
    steps = sim.settled(mark)
    levels = [int(c[1:], 16) for c in steps if c[0] == "p"]
    expect(len(levels) == len(steps) and levels == sorted(set(levels)) and levels[0] == 0x40,
           "ctrl+F12 held: POSITION rising from p40", " ".join(steps))
    after, mark = [steps[-1], "w3f"], sim.mark()  # the levels sent after each press
    with r.wine.held("ctrl+F6"):
        time.sleep(repeated)  # as long as ctrl+F12 took to repeat 4 times
        r.sends(sim, None, ["BW"] + after, "ctrl+F6 held", mark=mark)
        mark = sim.mark()
        r.wine.xdotool("keyup", "F6", "sleep", "0.03", "keydown", "F6")
        time.sleep(repeated)
        r.sends(sim, None, ["BW"] + after, "F6 up for 30 ms, held again", mark=mark)
    mark = sim.mark()
    r.wine.key("ctrl+F6", "ctrl+F6")
    poll("two quick ctrl+F6: two BW", lambda: sim.since(mark).count("BW") >= 2)
    expect(sim.settled(mark).count("BW") == 2, "two quick ctrl+F6: two BW", sim.since(mark))
    r.wine.key("ctrl+F5")
    poll("ctrl+F5: the panel shown and in front",
         lambda: r.ask("panel").startswith("1 ") and r.ask("fg") == PANEL_TITLE)


def setup_ok(r):
    """Setup's OK with Window on Alt+Shift+W: the new key acts, Ctrl+F6 no longer."""
    sim = r.sim(3)
    r.program()
    r.connected(sim)
    r.ask(f"cmd {ID_HOTKEYS}")
    poll("the Setup Hot Keys dialog shown", lambda: r.ask("setup") == "1")
    # Its controls are set by messages, not clicks (Wine may drop a click on
    # the dialog it has just mapped); OK reads them as a person left them.
    for ctl, state in ((IDC_WINDOW_CTRL, 0), (IDC_WINDOW_ALT, 1), (IDC_WINDOW_SHIFT, 1)):
        r.ask(f"check {ctl} {state}")
    expect(r.ask(f"select {IDC_WINDOW_KEY} W") == "W", "W chosen in Window's key list")
    r.ask("ok")
    poll("the Setup Hot Keys dialog closed", lambda: r.ask("setup") == "0")
    # The keys are registered again as the dialog goes, long before notepad
    # has started and come to the front.
    r.notepad_in_front()
    r.sends(sim, lambda: r.wine.key("alt+shift+w"), ["BW"] + LEVELS, "alt+shift+w after OK")
    r.sends(sim, lambda: r.wine.key("ctrl+F6", "ctrl+F7"), ["BL"] + LEVELS,
            "the old ctrl+F6 (then ctrl+F7) after OK")


def buttons_and_status(r):
    """On a line as slow as a real one at 9600 baud: NONE without a magnifier;
    a press waits and goes out once connected; each button sends its command;
    NONE again when unplugged."""
    sim = r.sim(3, "--baud", "9600", mapped=False)
    r.program("-show")
    r.status("NONE")
    # Below the input (BM_CLICK): Wine may drop a click on a just-mapped window.
    r.ask(f"press {IDC_WINDOW_BUTTON}")
    poll("the not-detected warning", lambda: r.ask("warning") == "1")
    sim.map()
    r.status("ACTIVE Port 3")
    r.sends(sim, None, ["BW"] + LEVELS, "the press made while disconnected, once connected",
            mark=0)
    for ctl, command in ((IDC_WINDOW_BUTTON, "BW"), (IDC_LINES_BUTTON, "BL"),
                         (IDC_OPTIONS_BUTTON, "BO")):
        r.sends(sim, lambda: r.ask(f"press {ctl}"), [command] + LEVELS, f"button {command}")
    sim.send("unplug")
    r.status("NONE")


def unplug_during_use(r):
    """A press made as the line goes (unplug, stall; before the program can
    notice, so its write is cut short) and one made while it is gone each
    reach the magnifier exactly once: never lost, never twice."""
    sim = r.sim(3)
    r.program("-show")
    r.connected(sim)
    for fault, heal in (("unplug", "replug"), ("stall on", "stall off")):
        mark = sim.mark()
        sim.send(fault)
        r.ask(f"press {IDC_WINDOW_BUTTON}")  # the link still writes: the write fails
        r.status("NONE")
        r.ask(f"press {IDC_LINES_BUTTON}")  # while it is gone: waits in the record
        sim.send(heal)
        r.status("ACTIVE Port 3")
        poll(f"after {heal}: BW and BL on the wire",
             lambda: {"BW", "BL"} <= set(sim.since(mark)))
        sent = sim.settled(mark)
        expect(sent.count("BW") == 1 and sent.count("BL") == 1 and sent[-2:] == LEVELS,
               f"{fault}: BW and BL once each, the levels after them", " ".join(sent))


def settings(r):
    """The program starts with damaged values (each read before sound ones;
    each rule's rows are in the native and registry tests): only they fall back
    to their defaults, the place's top and Window's modifiers but not its key.
    Keyboard Control turned on with alt+f, k (each key's work is in win_test):
    stored, a space on WINDOW sends BW, and so it does after a restart. POSITION
    stepped twice just before Exit: the magnifier gets it again at the restart."""
    for key, kind, data in (("MainWindow|nWindowTop", 1, b"12345\0"),  # a text
                            ("MainWindow|nWindowLeft", 4, (200).to_bytes(4, "little")),
                            ("HotKeys|nWindowModifiers", 11, bytes(8)),  # 8 bytes
                            ("HotKeys|sWindowKey", 1, b"F7\0"), ("HotKeys|sLinesKey", 1, b"n/u\0")):
        expect(r.ask(f"reg {SETTINGS}\\{key}|{kind}|{data.hex()}") == "ok", f"{key} written")
    for restart in (False, True):
        sim, proc, levels = r.sim(3), r.program("-show"), ["p41", "w3f"] if restart else LEVELS
        expect(restart or r.ask("panel") == "1 200 -1", "top as by default, left 200 kept",
               r.ask("panel"))
        r.connected(sim, levels)
        poll("the panel in front", lambda: r.ask("fg") == PANEL_TITLE)
        if not restart:
            r.sends(sim, lambda: r.wine.key("ctrl+F7"), ["BW"] + LEVELS, "ctrl+F7 (Ctrl by default)")
            r.wine.key("alt+f", "k")
            poll("alt+f, k: Keyboard Control stored on",
                 lambda: r.ask(f"reg {SETTINGS}\\Options|bKeyboardControl") == "4 4 01000000")
        r.ask(f"focus {IDC_WINDOW_BUTTON}")
        r.sends(sim, lambda: r.wine.key("space"), ["BW"] + levels, f"space, restarted {restart}")
        if not restart:
            r.sends(sim, lambda: r.wine.key("ctrl+F12", "ctrl+F12"), ["p40", "p41"], "ctrl+F12 twice")
            r.ask(f"cmd {ID_EXIT}")
            poll("the program's end after Exit", lambda: proc.poll() is not None)
            sim.stop()
            os.remove(r.wine.com_link(3))


def tavrelctl(r):
    """tavrelctl.exe: exit 0 pressing WINDOW on COM7 (a port Wine lists, as
    Windows lists a USB adapter's) past an empty COM1 and a silent COM2; exit 1
    with no magnifier, saying why for each port."""
    if not r.args.ctl:
        raise Skip("tavrelctl.exe was not given (--ctl)")
    sim, _ = r.sim(7), r.sim(2, "--fault", "answer none")
    for args, code in ((["--timeout", "20", "window"], 0), (["--timeout", "3", "probe"], 1)):
        with open(os.path.join(r.work, "ctl.out"), "w+") as out:
            proc = r.wine.start([r.args.ctl, *args], out)
            r.procs.append(proc)
            poll(f"tavrelctl {' '.join(args)} ended", lambda: proc.poll() is not None, 40)
            expect(proc.returncode == code, f"tavrelctl {args[-1]}: exit {code}", proc.returncode)
            out.seek(0)
            said = out.read()
        if os.path.lexists(r.wine.com_link(7)):
            os.remove(r.wine.com_link(7))  # no magnifier for the second
    expect(sim.commands().count("BW") == 1, "tavrelctl window: BW on the wire", sim.commands())
    # Wine opens a port it lists but maps to no device (COM1, COM7 now) and
    # refuses it the line settings; Windows would call such a port missing.
    for reason in ("COM1: could not be set up: SetCommState: ", "COM2: no answer (",
                   "COM7: could not be set up: "):
        expect(reason in said, f"tavrelctl probe says '{reason}'", said)


def outside_code_page(r):
    """A portable copy in a folder named outside the code page (a user's name
    in Cyrillic), beside a planted winmm.dll: the DLL never runs, sounds on;
    Help opens the help file by its real path, and names it when it is missing."""
    if not r.args.planted:
        raise Skip("no planted DLL was given (--planted)")
    name, acp = "Пётр Иванов", r.ask("acp")
    expect("?" in name.encode(f"cp{acp}", "replace").decode(f"cp{acp}"),
           f"'{name}' outside the prefix's code page {acp}")
    folder, windows_folder = os.path.join(r.wine.prefix, "drive_c", name), f"C:\\{name}\\"
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for source, target in ((r.args.exe, "TavrelRemote.exe"), (r.args.planted, "winmm.dll"),
                           (r.args.exe[:-3] + "html", "TavrelRemote.html")):
        shutil.copy(source, os.path.join(folder, target))
    # The viewer of .html files: the helper, which writes down what it was given.
    viewer = "Z:" + os.path.abspath(r.args.helper).replace("/", "\\")
    for key, text in ((r"HKCR\.html", "TavrelTest.Html"),
                      (r"HKCR\TavrelTest.Html\shell\open\command", f'"{viewer}" --view "%1"')):
        r.ask(f"reg {key}||1|{(text + chr(0)).encode('latin-1').hex()}")
    report = os.path.join(r.wine.prefix, "drive_c", "tavrel_viewer.txt")
    if os.path.exists(report):
        os.remove(report)

    def box():
        text = r.ask("box")
        return text != "none" and text.encode("latin-1").decode("utf-8", "replace")

    r.start("-show", exe=windows_folder + "TavrelRemote.exe")
    poll("the panel shown", lambda: r.ask("panel").startswith("1 "))
    r.ask(f"cmd {ID_SOUNDS}")
    r.ask(f"press {IDC_WINDOW_BUTTON}")  # no magnifier: the warning and its sound
    poll("the not-detected warning", lambda: r.ask("warning") == "1")
    r.ask(f"cmd {ID_HELP_CONTENTS}")
    try:
        opened = poll("the viewer started on the help file",
                      lambda: os.path.exists(report) and open(report, encoding="utf-8").read())
    except Failure as e:
        raise Failure(f"{e}; the program said '{box()}'")
    expect(opened == windows_folder + "TavrelRemote.html", "the help file by its path", opened)
    ran = [f for f in os.listdir(folder) if f.lower().endswith(".ran")]
    expect(not ran, "the planted winmm.dll not loaded", ran)
    os.remove(os.path.join(folder, "TavrelRemote.html"))
    r.ask(f"cmd {ID_HELP_CONTENTS}")
    said = poll("a message box", box)
    expect(f"The help file {windows_folder}TavrelRemote.html is missing." in said,
           "the missing help file named by its path", said)


def installer(r):
    """Silent installs (/S) in a row, each checked for what is in place after
    it: the sign-in start on a first install, kept as the user has it over an
    earlier one; a running copy closed (its process ended, its file replaced)
    and started again in the tray; nothing started that was not running.
    Silent uninstalls: the settings kept unless asked, and a file in use keeps
    the uninstaller and its entry in Apps."""
    if not r.args.setup:
        raise Skip("no installer was built (makensis is missing)")
    users = os.path.join(r.wine.prefix, "drive_c", "users", "*", "AppData")
    folder = os.path.join(users, "Local", "Programs", "Tavrel Plus Remote")
    place = {what: os.path.join(folder, name) for what, name in (
        ("folder", ""), ("program", "TavrelRemote.exe"), ("tavrelctl", "tavrelctl.exe"),
        ("uninstaller", "Uninstall.exe"))}
    place["shortcut"] = os.path.join(users, "Roaming", "Microsoft", "Windows", "Start Menu",
                                     "Programs", "Tavrel Plus Remote.lnk")
    installed = set(place) | {"entry"}
    local = r"%LOCALAPPDATA%\Programs\Tavrel Plus Remote"
    with open(r.args.setup, "rb") as f:
        expect(b">true</dpiAware>" in f.read(), "the installer declares itself DPI-aware")
    with open(os.path.join(os.path.dirname(r.args.setup), "stage", "Tavrel Plus Remote",
                           "TavrelRemote.exe"), "rb") as f:
        shipped = f.read()

    def found():
        return {what for what, pattern in place.items() if glob.glob(pattern)} | {
            what for what, there in (
                ("sign-in start", r.ask(f"reg {RUN_KEY}") != "missing"),
                ("entry", r.ask(f"reg {UNINSTALL_KEY}|DisplayName") != "missing"),
                ("running", r.ask("running TavrelRemote.exe") == "ok")) if there}

    def setup(switches, expected, what):
        proc = r.start("/S", *switches, exe=r.args.setup)
        poll(f"{what}: the install's end", lambda: proc.poll() is not None, 60)
        expect(proc.returncode == 0, f"{what}: exit 0", proc.returncode)
        if "running" in expected:
            poll(f"{what}: the program started in the tray", lambda: r.ask("panel").startswith(
                "0 ") and r.ask("status"))
        expect(found() == installed | expected, f"{what}: {sorted(installed | expected)}",
               sorted(found()))

    def uninstall(switches, what):
        r.start("/S", *switches, exe=glob.glob(place["uninstaller"])[0])  # returns at once
        poll(f"{what}: nothing left", lambda: not found(), 60)
        kept = r.ask(f"reg {SETTINGS}\\HotKeys|bHotKeysEnabled") != "missing"
        expect(kept != ("/REMOVESETTINGS" in switches), f"{what}: settings kept {kept}")

    setup(["/NOAUTOSTART"], set(), "a first install, /NOAUTOSTART")
    expect(r.ask(f"reg {UNINSTALL_KEY}|DisplayVersion").endswith(
        os.path.basename(r.args.setup).split("-")[1].encode().hex() + "00"),
        "the version in Apps is the setup's")
    program = glob.glob(place["program"])[0]
    with open(program, "ab") as f:
        f.write(b"an earlier build")
    pose = r.start("pose", local + r"\TavrelRemote.exe", exe=r.args.helper)
    poll("a copy whose process outlives its window", lambda: r.ask("panel").startswith("0 "))
    setup([], {"running"}, "over a running copy, /S, sign-in start off")
    with open(program, "rb") as f:
        expect(pose.poll() is not None and f.read() == shipped, "the running copy's file replaced")
    r.ask(f"cmd {ID_MAXIMIZE}")
    poll("the panel shown", lambda: r.ask("panel").startswith("1 "))
    setup([], {"running"}, "over the program with its panel shown")
    r.ask(f"reg {SETTINGS}\\HotKeys|bHotKeysEnabled|4|01000000")
    uninstall([], "uninstalled while running")
    for what in ("a first install", "over an install, not running"):
        setup([], {"sign-in start"}, f"{what}, sign-in start on")
    r.ask(f"reg {APPROVED_KEY}|3|030000000000000000000000")
    setup([], set(), "over an install, sign-in start off in Task Manager")
    ctl = r.start("--timeout", "60", "probe", exe=glob.glob(place["tavrelctl"])[0])
    poll("tavrelctl.exe running", lambda: r.ask("running tavrelctl.exe") == "ok")
    expect(r.ask(rf'run "{local}\Uninstall.exe" /S _?={local}') == "exit 2",
           "uninstall with tavrelctl.exe in use: exit 2")
    expect(found() == {"folder", "tavrelctl", "uninstaller", "entry"},
           "tavrelctl.exe in use: it, the uninstaller and its entry kept", sorted(found()))
    stop_process(ctl)
    uninstall(["/REMOVESETTINGS"], "uninstalled again once tavrelctl.exe ended")


SCENARIOS = {f.__name__: f for f in (hot_keys, setup_ok, buttons_and_status, unplug_during_use,
                                     settings, tavrelctl, outside_code_page, installer)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("build_dir", "simulator", "exe", "helper"):
        parser.add_argument(name)
    parser.add_argument("--ctl")
    parser.add_argument("--setup")
    parser.add_argument("--planted", help="a DLL that leaves PATH.ran when it is loaded")
    parser.add_argument("--out", default=".")
    parser.add_argument("scenarios", nargs="*", metavar="SCENARIO",
                        help="some of: " + ", ".join(SCENARIOS))
    args = parser.parse_intermixed_args()
    unknown = set(args.scenarios) - set(SCENARIOS)
    if unknown:
        parser.error(f"unknown scenario {', '.join(unknown)}")
    try:
        run = Run(args)
    except Failure as e:
        print(f"e2e: {e}", file=sys.stderr)
        return 1
    failed = 0
    for name in args.scenarios or SCENARIOS:
        started = time.monotonic()
        try:
            run.fresh()
            SCENARIOS[name](run)
            print(f"ok   {name} ({time.monotonic() - started:.1f} s)", flush=True)
        except Skip as e:
            print(f"skip {name}: {e}", flush=True)
        except (Failure, OSError, subprocess.SubprocessError) as e:
            failed += 1
            print(f"FAIL {name}: {e}", flush=True)
        finally:
            run.cleanup()
    run.ask.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
