#!/usr/bin/env python3
"""A long run of TavrelRemote.exe under wine as a busy user and a bad cable make
it: random clicks on the buttons and the scroll bars' arrows, hot keys, hiding
and showing the panel, the Setup Hot Keys dialog opened and cancelled, and the
link unplugged and replugged, with the program's counters sampled throughout.

    soak.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--out DIR]
            [--minutes M] [--seed N]

Every press made while the panel shows "ACTIVE Port 3" must reach the
magnifier exactly once (a press the link could not send because it dropped
meanwhile waits in the record and may be joined by the next of its kind),
and the last POSITION and WIDTH on the wire must be the levels the user's
steps add up to. Prints the handle, GDI and USER counts and
the private memory at the start and the end (Wine reports no GDI and USER
counts for another process: there they read 0), and the commands made against
those received. Exit status 1 when a check failed. The recorded run is 30
minutes; the test suite runs one.
"""

import collections
import random
import sys
import time

sys.dont_write_bytecode = True  # nothing of the run lands in the source tree
from app_e2e import IDC_LINES, IDC_OPTIONS, IDC_POSITION_BAR, IDC_WIDTH_BAR, IDC_WINDOW  # noqa
from faults_e2e import Counters  # noqa: E402
from harness import Failure, centre, poll, scenario_main  # noqa: E402
from setup_e2e import SetupSuite  # noqa: E402

SM_CXHSCROLL = 21
BUTTONS = {IDC_WINDOW: "BW", IDC_LINES: "BL", IDC_OPTIONS: "BO"}
PRESS_KEYS = {"ctrl+F6": "BW", "ctrl+F7": "BL", "ctrl+F8": "BO"}
# Hot keys that step a level: (letter on the wire, step).
STEP_KEYS = {"ctrl+F11": ("p", -1), "ctrl+F12": ("p", 1), "ctrl+F9": ("w", -1),
             "ctrl+F10": ("w", 1)}
ACTIVE = "ACTIVE Port 3"


class Soak(SetupSuite):
    SCENARIOS = ["soak"]

    def __init__(self, args):
        super().__init__(args)
        if args.minutes <= 0:
            raise Failure("--minutes wants a number above 0")
        self.minutes, self.seed, self.rng = args.minutes, args.seed, random.Random(args.seed)
        self.levels = {"p": 63, "w": 63}
        self.made = {"BW": 0, "BL": 0, "BO": 0}
        self.around_drop = {"BW": 0, "BL": 0, "BO": 0}
        self.lost = []
        self.trail = collections.deque(maxlen=4)  # (when, action) of the last ones done
        self.actions = {}
        self.clicks_again = 0

    def connected_now(self):
        return self.status() == ACTIVE

    def found_again(self, sim, mark):
        """After a replug: the program has found the magnifier again, which
        it shows by sending both levels anew. The panel's "ACTIVE" alone does
        not tell, for it may not have noticed the unplug yet (that takes up
        to about 2.5 s): a press then meets the search and rightly shows the
        warning."""
        levels = {c[0] for c in sim.since(mark) if len(c) == 3 and c[0] in "pw"}
        return levels == {"p", "w"} and self.connected_now()

    def count(self, sim, command):
        return sim.since(0).count(command)

    def press(self, sim, how, command, act, point=None):
        """One press while connected, waited for on the wire. A press the link
        could not send at once because it dropped meanwhile (the status left
        ACTIVE) is kept in the record and may be joined by the next press of
        the same button: it is counted apart. A press that never reached the
        wire while the link stayed up is lost; for a click, where it went
        (point) and the actions before it are told."""
        before = self.count(sim, command)
        pressed = time.monotonic()
        act()
        self.made[command] += 1
        statuses = set()

        def sent():
            statuses.add(self.status())
            return self.count(sim, command) > before
        try:
            poll(f"{command} from {how} on the wire", sent, deadline=15)
        except Failure:
            if statuses - {ACTIVE}:
                self.around_drop[command] += 1
            elif point is not None:
                earlier = ", ".join(f"{what} {pressed - when:.1f} s before"
                                    for when, what in reversed(self.trail))
                where = self.helper.ask(f"input {point[0]} {point[1]}")
                self.lost.append(f"{command} from {how} ({where}; {earlier})")
            else:
                self.lost.append(f"{command} from {how}")

    def step(self, sim, letter, delta, act):
        value = min(255, max(0, self.levels[letter] + delta))
        if value == self.levels[letter]:
            return
        self.levels[letter] = value
        command = f"{letter}{value:02x}"
        before = self.count(sim, command)
        act()
        try:
            poll(f"{command} on the wire", lambda: self.count(sim, command) > before,
                 deadline=15)
        except Failure:
            pass

    def shown(self):
        return self.visible()

    def show(self):
        self.key("ctrl+F5")
        poll("the panel shown by Ctrl+F5", self.shown)

    def hide_by_close_box(self):
        """A click on the close box hides the panel. Wine drops the first click
        on a caption button made within a moment of the panel being shown by
        Ctrl+F5 (a stationary pointer; on Windows the click counts): such a
        click is made again, and counted."""
        def close_box():
            return poll("the caption buttons", lambda: self.helper.numbers("caption"))[:2]
        clicks = self.click_until("the panel hidden by its close box",
                                  close_box, lambda: not self.shown())
        self.clicks_again += clicks - 1

    def do(self, name):
        self.actions[name] = self.actions.get(name, 0) + 1
        self.trail.append((time.monotonic(), name))

    def soak(self):
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.shown_panel()
        self.connected(sim)
        counters = Counters(self.helper, proc)
        counters.sample()
        arrow = int(self.helper.ask(f"metric {SM_CXHSCROLL}"))
        started = time.monotonic()
        end = started + 60 * self.minutes
        plugged = True
        while time.monotonic() < end:
            choice = self.rng.random()
            if not plugged:
                # The cable back after 0.5 to 3 s; the program finds it again.
                time.sleep(self.rng.uniform(0.5, 3))
                mark = sim.mark()
                sim.send("replug")
                plugged = True
                self.do("replug")
                poll("connected again", lambda: self.found_again(sim, mark), deadline=30)
            elif not self.connected_now():
                poll("connected", self.connected_now, deadline=30)
            elif choice < 0.25:
                if not self.shown():
                    self.show()
                ctl_id = self.rng.choice(list(BUTTONS))
                point = centre(self.helper.control(ctl_id)[1])
                self.press(sim, "a click", BUTTONS[ctl_id], lambda: self.click(*point),
                           point=point)
                self.do("click a button")
            elif choice < 0.45:
                combo = self.rng.choice(list(PRESS_KEYS))
                self.press(sim, combo, PRESS_KEYS[combo], lambda: self.key(combo))
                self.do("press hot key")
            elif choice < 0.60:
                combo = self.rng.choice(list(STEP_KEYS))
                letter, delta = STEP_KEYS[combo]
                self.step(sim, letter, delta, lambda: self.key(combo))
                self.do("step hot key")
            elif choice < 0.75:
                if not self.shown():
                    self.show()
                bar, letter = self.rng.choice(((IDC_POSITION_BAR, "p"), (IDC_WIDTH_BAR, "w")))
                left, top, right, bottom = self.helper.control(bar)[1]
                delta = self.rng.choice((-1, 1))
                x = left + arrow // 2 if delta < 0 else right - 1 - arrow // 2
                self.step(sim, letter, delta, lambda: self.click(x, (top + bottom) // 2))
                self.do("click a scroll arrow")
            elif choice < 0.83:
                if self.shown():
                    self.hide_by_close_box()
                    self.do("hide by the close box")
                else:
                    self.show()
                    self.do("show by Ctrl+F5")
            elif choice < 0.90:
                if not self.shown():
                    self.show()
                self.open_from_menu_bar()
                self.close_with(2)  # Cancel
                self.do("Setup Hot Keys, Cancel")
            else:
                sim.send("unplug")
                plugged = False
                self.do("unplug")
            if time.monotonic() - counters.samples[-1][0] >= 30:
                counters.sample()
        mark = sim.mark()
        if not plugged:
            sim.send("replug")
        poll("connected at the end", lambda: self.connected_now() if plugged
             else self.found_again(sim, mark), deadline=30)
        sim.quiet_after(0)
        counters.sample()

        received = {command: self.count(sim, command) for command in self.made}
        self.check(not self.lost, "no press went missing while the link stayed up",
                   ", ".join(self.lost))
        self.check(all(self.made[c] - self.around_drop[c] <= received[c] <= self.made[c]
                       for c in self.made),
                   "every press arrived once (or joined one kept over a drop of the link)",
                   f"made {self.made}, received {received}, around a drop {self.around_drop}")
        wire = [c for c in sim.since(0) if c[:1] in ("p", "w") and len(c) == 3]
        last = {letter: next((c for c in reversed(wire) if c[0] == letter), None)
                for letter in ("p", "w")}
        wanted = {letter: f"{letter}{value:02x}" for letter, value in self.levels.items()}
        self.check(last == wanted, "the last levels on the wire are the user's steps",
                   f"wire {last}, steps {wanted}")
        self.check(counters.flat(private_kib=2048),
                   "handles, GDI and USER objects and private memory stay flat", counters.describe())
        minutes = (time.monotonic() - started) / 60
        self.note(f"{minutes:.1f} min, seed {self.seed}: " +
                  ", ".join(f"{n} x {name}" for name, n in sorted(self.actions.items())))
        self.note(f"presses made {sum(self.made.values())}, received "
                  f"{sum(received.values())}, not sent at once because the link dropped "
                  f"{sum(self.around_drop.values())}; levels p {self.levels['p']}, "
                  f"w {self.levels['w']}")
        self.note(f"counters: {counters.describe()}")
        self.note(f"close-box clicks made again after Wine dropped them: {self.clicks_again}")
        self.exit_by_helper(proc)


def main():
    def options(parser):
        parser.add_argument("--minutes", type=float, default=1.0,
                            help="how long the run goes on (default 1; the recorded run: 30)")
        parser.add_argument("--seed", type=int, default=1,
                            help="the random sequence of actions (default 1)")
    return scenario_main("soak", __doc__, Soak, Soak.SCENARIOS, options)


if __name__ == "__main__":
    sys.exit(main())
