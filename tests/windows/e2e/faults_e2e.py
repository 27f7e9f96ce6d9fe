#!/usr/bin/env python3
"""TavrelRemote.exe under wine with faults injected: no magnifier, wrong and
slow answers, unplugs and replugs, a magnifier that stops reading, flapping,
damaged settings and a disturbed instance guard.

    faults_e2e.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--out DIR]
                  [--seconds S] [--minutes M] [SCENARIO]...

--seconds is how long the no-device scenario watches the program (CI: 60; the
recorded run: 300), --minutes how long the flapping one goes on (CI: 1; the
recorded run: 10). Each scenario starts from fresh state and prints one line
per check ("ok   ..." or "FAIL ...") and its figures ("     ..."). The exit
status is 1 when any check failed. Timings are printed; only bounds with a
wide margin are checked.
"""

import os
import random
import statistics
import sys
import time

sys.dont_write_bytecode = True  # nothing of the run lands in the source tree
from app_e2e import IDC_STATUS, IDC_WINDOW, LEVELS, Suite  # noqa: E402
from harness import Failure, poll, stop_process, scenario_main  # noqa: E402

SILENT = ("--fault", "answer none")


def probe_times(sim):
    return [ms for ms, text in sim.commands() if text == "?"]


def anonymous_kib(pid):
    """The process's private (anonymous) resident memory as Linux counts it."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Counters:
    """Samples of the program's handle, GDI, USER, private-byte and CPU counters.
    Wine answers GetGuiResources with 0 and has no private bytes for another
    process: there the private figure is the process's anonymous resident
    memory (proc is the program started with wine, which becomes its process)."""

    def __init__(self, helper, proc):
        self.helper, self.proc, self.samples = helper, proc, []

    def sample(self):
        values = self.helper.numbers("counters")
        if values:
            if values[4] == 0:
                values[4] = anonymous_kib(self.proc.pid)
            self.samples.append((time.monotonic(), *values))
        return values

    def growth(self):
        """(handles, gdi, user, private KiB) from the first sample to the last."""
        first, last = self.samples[0], self.samples[-1]
        return tuple(last[i] - first[i] for i in (2, 3, 4, 5))

    def flat(self, handles=8, gdi=4, user=4, private_kib=1024):
        """True when no counter grew beyond its allowance from the first
        sample to the last (the private figure's covers the heap's settling)."""
        return all(grown <= limit for grown, limit in
                   zip(self.growth(), (handles, gdi, user, private_kib)))

    def cpu_percent(self):
        first, last = self.samples[0], self.samples[-1]
        return 100.0 * (last[6] - first[6]) / 1000.0 / max(last[0] - first[0], 1e-3)

    def describe(self):
        first, last = self.samples[0], self.samples[-1]
        return (f"handles {first[2]} -> {last[2]}, GDI {first[3]} -> {last[3]}, "
                f"USER {first[4]} -> {last[4]}, private {first[5]} -> {last[5]} KiB, "
                f"CPU {self.cpu_percent():.2f}% of a core over {last[0] - first[0]:.0f} s")


class Faults(Suite):
    def __init__(self, args):
        super().__init__(args)
        self.seconds, self.minutes = args.seconds, args.minutes

    def flat(self, counters, what):
        self.check(counters.flat(), f"{what}: counters stay flat", counters.describe())
        self.note(f"{what}: {counters.describe()}")

    def statuses_until(self, condition):
        """Polls the status label until condition() holds; returns the texts seen."""
        seen = set()

        def done():
            seen.add(self.status())
            return condition()
        poll("the probes", done, deadline=40, step=0.1)
        return seen

    # ---- 1: no magnifier anywhere ---------------------------------------------

    def no_device(self):
        """COM1 and COM3 missing, COM2 and COM4 silent: the scan's pace, and the
        program's counters over --seconds."""
        com2 = self.simulator("com2", 2, *SILENT)
        com4 = self.simulator("com4", 4, *SILENT)
        proc = self.start("-show")
        self.panel()
        self.wait_status("NONE")
        counters = Counters(self.helper, proc)
        poll("two scans", lambda: len(probe_times(com2)) >= 2, deadline=30)
        counters.sample()
        end, seen = time.monotonic() + self.seconds, set()
        while time.monotonic() < end:
            time.sleep(min(5.0, max(0.0, end - time.monotonic())))
            counters.sample()
            seen.add(self.status())
        self.check(seen == {"NONE"}, "no device: the panel shows NONE throughout", f"{seen}")
        times2, times4 = probe_times(com2), probe_times(com4)
        periods = [b - a for a, b in zip(times2, times2[1:])]
        offsets = [b - a for a, b in zip(times2, times4) if b > a]
        period, offset = statistics.median(periods), statistics.median(offsets)
        # missing 100 + silent 300 + missing 100 + silent 300 + pause 1000 ms
        self.check(1500 <= period <= 3500, "a scan of two missing and two silent ports "
                   "repeats about every 1.8 s", f"median {period} ms")
        self.check(300 <= offset <= 1000, "COM4 is tried about 400 ms after COM2",
                   f"median {offset} ms")
        self.note(f"scan period median {period} ms (min {min(periods)}, max {max(periods)}, "
                  f"{len(periods)} scans); COM2 to COM4 {offset} ms")
        others = [t for _, t in com2.commands() + com4.commands() if t != "?"]
        self.check(not others, "nothing but probes on the silent ports", " ".join(others))
        self.flat(counters, f"no device for {self.seconds:.0f} s")
        self.exit_by_helper(proc)

    # ---- 3: wrong answers ---------------------------------------------------------

    def wrong_answers(self):
        """Four wrong answers on COM1 to COM4: never ACTIVE, nothing but probes."""
        answers = {1: "V1.\\r\\n", 2: "V1.23\\n\\r", 3: "V1,23\\r\\n", 4: "V\\x00.23\\r\\nX"}
        sims = [self.simulator(f"wrong{n}", n, "--fault", f"answer wrong {text}")
                for n, text in answers.items()]
        proc = self.start("-show")
        self.panel()
        seen = self.statuses_until(lambda: all(len(probe_times(s)) >= 3 for s in sims))
        self.check(not any(t and t.startswith("ACTIVE") for t in seen),
                   "wrong answers: the panel never shows ACTIVE", f"seen {seen}")
        for sim, text in zip(sims, answers.values()):
            others = [t for _, t in sim.commands() if t != "?"]
            self.check(not others, f"answer {text}: nothing but probes on COM{sim.port}",
                       " ".join(others))
        self.exit_by_helper(proc)

    # ---- 5: slow answers ----------------------------------------------------------

    def slow_answers(self):
        """1000 and 250 ms rejected, 150 ms accepted; what 199 ms does is printed."""
        slow = [self.simulator(f"late{ms}", n, "--fault", f"answer late {ms}")
                for n, ms in ((1, 1000), (2, 250))]
        ok = self.simulator("late150", 3, "--fault", "answer late 150")
        proc = self.start("-show")
        self.panel()
        self.wait_status("ACTIVE Port 3", deadline=30)
        self.check(True, "an answer after 150 ms connects (ACTIVE Port 3)")
        for sim in slow:
            others = [t for _, t in sim.commands() if t != "?"]
            self.check(not others and probe_times(sim),
                       f"an answer after {sim.name[4:]} ms is rejected (COM{sim.port})",
                       " ".join(others))
        # The keep-alives now get their answer after 199 ms.
        ok.wait_for("the first levels", 0, LEVELS)
        start = len(probe_times(ok))
        ok.send("answer late 199")
        try:
            poll("a keep-alive rejected", lambda: self.status() == "NONE"
                 or len(probe_times(ok)) >= start + 8, deadline=30, step=0.1)
        except Failure:
            pass
        taken = len(probe_times(ok)) - start
        self.note(f"answer after 199 ms under wine: "
                  f"{'a keep-alive failed' if self.status() == 'NONE' else 'still connected'} "
                  f"after {taken} probe(s)")
        self.exit_by_helper(proc)

    # ---- 7: unplug and replug -------------------------------------------------------

    def unplug_replug(self):
        """Unplugged while idle, back after 0.1 s on COM3 and after 2 s on COM2:
        NONE within about 2.5 s, connected at the next scan, both levels resent."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        self.connected(sim)
        for delay, port in ((0.1, 3), (2.0, 2)):
            mark = sim.mark()
            sim.send("unplug")
            unplugged = time.monotonic()
            self.wait_status("NONE", deadline=15)
            took = time.monotonic() - unplugged
            self.check(took < 5, f"unplug noticed (NONE) within a few seconds", f"{took:.2f} s")
            time.sleep(max(0.0, delay - (time.monotonic() - unplugged)))  # the replug's own delay
            if port == 3:
                sim.send("replug")
            else:
                other = os.path.join(self.work, "moved.link")
                sim.unmap()
                os.symlink(other, self.wine.com_link(2))
                sim.send(f"replug {other}")
                sim.port = 2
            replugged = time.monotonic()
            self.wait_status(f"ACTIVE Port {port}", deadline=15)
            back = time.monotonic() - replugged
            self.check(sim.wait_for("levels after the replug", mark, LEVELS),
                       f"replugged on COM{port} after {delay} s: both levels sent again",
                       " ".join(sim.since(mark)))
            self.note(f"unplug to NONE {took:.2f} s; replug on COM{port} to ACTIVE {back:.2f} s")
        if os.path.lexists(self.wine.com_link(2)):
            os.remove(self.wine.com_link(2))
        self.exit_by_helper(proc)

    # ---- 9: a magnifier that stops reading ---------------------------------------------

    def stalled_writes(self):
        """The magnifier stops reading: writes never complete. The link is lost
        at the next probe, the panel answers and hides/shows meanwhile, and a
        press made during the stall goes out once the magnifier reads again."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        first = self.connected(sim)
        sim.send("stall on")
        stalled = time.monotonic()
        self.click_control(IDC_WINDOW)
        slowest = 0.0

        def lost():
            nonlocal slowest
            asked = time.monotonic()
            status = self.status()
            slowest = max(slowest, time.monotonic() - asked)
            return status == "NONE"
        poll("the link lost", lost, deadline=30, step=0.1)
        took = time.monotonic() - stalled
        self.check(took < 15, "the stalled link is declared lost", f"after {took:.2f} s")
        self.check(slowest < 1.0, "the panel answers while writes hang",
                   f"slowest answer {slowest * 1000:.0f} ms")
        caption = poll("the caption buttons", lambda: self.helper.numbers("caption"))
        self.click(caption[0], caption[1])
        poll("the panel hidden by its close box", lambda: not self.visible())
        x, y, _, _ = self.tray()
        self.click(x, y, repeat=2)
        poll("the panel back", self.visible)
        self.check(True, "while stalled a click hides the panel and the tray shows it")
        self.note(f"stall to NONE {took:.2f} s; slowest panel answer {slowest * 1000:.0f} ms")
        sim.send("stall off")
        self.wait_status("ACTIVE Port 3", deadline=20)
        sent = sim.quiet_after(first)
        self.check(sent.count("BW") == 1, "the press made during the stall goes out once",
                   " ".join(sent))
        self.exit_by_helper(proc)

    # ---- 10: flapping ------------------------------------------------------------------

    def flapping(self):
        """Unplug and replug every 0.5 to 3 s for --minutes; every press made while
        the panel shows ACTIVE reaches the wire exactly once; no leaks."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        self.connected(sim)
        counters = Counters(self.helper, proc)
        counters.sample()
        rng = random.Random(1234)
        end = time.monotonic() + 60 * self.minutes
        plugged, next_flip, presses, lost = True, time.monotonic() + rng.uniform(0.5, 3), 0, 0
        while time.monotonic() < end:
            now = time.monotonic()
            if now >= next_flip:
                sim.send("unplug" if plugged else "replug")
                plugged, next_flip = not plugged, now + rng.uniform(0.5, 3)
            if self.status() == "ACTIVE Port 3":
                before = sim.since(0).count("BW")
                self.click_control(IDC_WINDOW)
                presses += 1
                # Out before the next press, else two would be one on the wire.
                deadline = time.monotonic() + 30
                while sim.since(0).count("BW") == before and time.monotonic() < deadline:
                    if time.monotonic() >= next_flip:
                        sim.send("unplug" if plugged else "replug")
                        plugged, next_flip = not plugged, time.monotonic() + rng.uniform(0.5, 3)
                    time.sleep(0.05)
                lost += 1 if sim.since(0).count("BW") == before else 0
            time.sleep(0.05)
            if len(counters.samples) < 1 + (time.monotonic() - counters.samples[0][0]) // 10:
                counters.sample()
        if not plugged:
            sim.send("replug")
        self.wait_status("ACTIVE Port 3", deadline=20)
        sim.quiet_after(0)
        counters.sample()
        count = sim.since(0).count("BW")
        self.check(presses > 0 and lost == 0 and count == presses,
                   "every press made while connected is on the wire exactly once",
                   f"{presses} presses, {count} BW, {lost} not seen within 30 s")
        self.note(f"flapping {self.minutes} min: {presses} presses, "
                  f"{sim.text().count('# unplugged')} unplugs")
        self.flat(counters, "flapping")
        self.exit_by_helper(proc)

    # ---- 11: damaged settings ------------------------------------------------------------

    BAD_NUMBERS = {
        "a text": (1, b"12345\0"),
        "2 bytes": (4, b"\x05\x00"),
        "8 bytes": (11, b"\x05\x00\x00\x00\x00\x00\x00\x00"),
        "an empty text": (1, b""),
        "a 64 KiB text": (1, b"7" * 65535 + b"\0"),
    }

    def damaged_settings(self):
        """Each way of damaging nWindowLeft, with nWindowTop sound (and the other
        way round), and HotKeys numbers: the program starts, only the damaged
        value falls back, and MainWindow is sound again after Exit."""
        sim = self.simulator("sim", 3)
        for what, (kind, data) in list(self.BAD_NUMBERS.items()) + [("removed", (None, None))]:
            for bad, good, value in (("nWindowLeft", "nWindowTop", 200),
                                     ("nWindowTop", "nWindowLeft", 150)):
                self.helper.ask("regclear")
                self.helper.ask(f"regraw MainWindow {good} 4 {value.to_bytes(4, 'little').hex()}")
                if data is None:
                    self.helper.ask(f"regdel MainWindow {bad}")
                else:
                    answer = self.helper.ask(f"regraw MainWindow {bad} {kind} {data.hex()}")
                    if not self.check(answer == "ok", f"{bad} written as {what}", answer):
                        continue
                # Ctrl+F7 with the LINES modifiers damaged the same way.
                if data is not None and bad == "nWindowLeft":
                    self.helper.ask(f"regraw HotKeys nLinesModifiers {kind} {data.hex()}")
                proc = self.start("-show")
                _, _, rect = self.shown_panel()
                where = (rect[0], rect[1]) if bad == "nWindowTop" else (rect[1], rect[0])
                self.check(where == (value, -1),
                           f"{bad} as {what}: started, {good} {value} kept, {bad} is -1",
                           f"panel at {rect[:2]}")
                if data is not None and bad == "nWindowLeft":
                    self.wait_status("ACTIVE Port 3")
                    mark = sim.mark()
                    sim.quiet_after(mark)
                    mark = sim.mark()
                    window = self.helper.control(IDC_WINDOW)[1]
                    self.click(window[0], (window[3] + rect[3]) // 2)
                    poll("the panel in front",
                         lambda: self.helper.foreground().endswith("Tavrel Plus Remote"))
                    self.key("ctrl+F7")
                    self.check(sim.wait_for("ctrl+F7", mark, ["BL"] + LEVELS),
                               f"nLinesModifiers as {what}: Ctrl (the default) for LINES",
                               " ".join(sim.since(mark)))
                self.exit_by_helper(proc)
                for name in ("nWindowLeft", "nWindowTop"):
                    raw = self.helper.ask(f"regraw MainWindow {name}").split()
                    self.check(raw[:2] == ["4", "4"], f"{what}: {name} saved as a REG_DWORD "
                               "of 4 bytes at exit", " ".join(raw))

    # ---- 12: the instance guard --------------------------------------------------------

    def instance_guard(self):
        """A copy killed outright, the lock's name held by an event, a block with
        a null handle and one naming another program's window."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        self.connected(sim)
        stop_process(proc)
        poll("the killed copy's panel gone", lambda: self.helper.ask("panels") == "0")
        proc = self.start("-show")
        self.check(bool(self.shown_panel()), "after a killed copy the next start runs as the first")
        self.exit_by_helper(proc)

        self.check(self.helper.ask("squat event") == "ok", "an event holds the lock's name")
        try:
            proc = self.start("-show")
            self.check(bool(self.shown_panel()), "with the lock's name taken the program runs")
            self.exit_by_helper(proc)
        finally:
            self.helper.ask("unsquat")

        notepad = self.wine.start(["notepad"], self.log)
        try:
            poll("notepad", lambda: self.helper.ask("window Notepad") != "none")
            poll("notepad minimised", lambda: self.helper.ask("minwindow Notepad").endswith("1"))
            for value in ("0", "notepad", "12345678"):
                self.check(self.helper.ask(f"squat block {value}") == "ok",
                           f"a block holding {value}")
                try:
                    proc = self.start("-show")
                    self.check(self.wait_ended(proc, "the start's end"),
                               f"block with {value}: the start ends by itself, never hangs")
                    self.check(self.helper.ask("panels") == "0",
                               f"block with {value}: no panel of its own")
                    self.check(self.helper.ask("window Notepad").endswith("1"),
                               f"block with {value}: notepad is left minimised")
                finally:
                    self.helper.ask("unsquat")
                    stop_process(proc)
        finally:
            stop_process(notepad)

    SCENARIOS = ["no_device", "wrong_answers", "slow_answers", "unplug_replug", "stalled_writes",
                 "flapping", "damaged_settings", "instance_guard"]


def main():
    def options(parser):
        parser.add_argument("--seconds", type=float, default=60.0,
                            help="how long the no-device scenario runs (default 60)")
        parser.add_argument("--minutes", type=float, default=1.0,
                            help="how long the flapping scenario runs (default 1)")
    return scenario_main("faults_e2e", __doc__, Faults, Faults.SCENARIOS, options)


if __name__ == "__main__":
    sys.exit(main())
