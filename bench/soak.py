#!/usr/bin/env python3
"""A long run of TavrelRemote.exe under wine as a busy user and a bad cable make
it: button presses, hot keys and the link unplugged and replugged at random.

    soak.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--minutes M] [--seed N]

BUILD_DIR is a Windows build (its wine fixture is started when it is not up).
Every press made while the panel shows "ACTIVE Port 3" must reach the magnifier
exactly once, and the last levels on the wire must be what the steps add up to.
Prints the presses, unplugs and the program's resident memory at the start and
the end. Hand-run, not part of the test suite; exit status 1 when a check failed.
"""

import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "windows", "e2e"))
sys.dont_write_bytecode = True
import e2e  # noqa: E402

BUTTONS = {e2e.IDC_WINDOW: "BW", e2e.IDC_LINES: "BL", 1002: "BO"}
STEPS = {"ctrl+F11": ("p", -1), "ctrl+F12": ("p", 1), "ctrl+F9": ("w", -1), "ctrl+F10": ("w", 1)}


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def soak(r, args):
    minutes, rng, sim = args.minutes, random.Random(args.seed), r.sim(3)
    proc = r.program("-show")
    r.connected(sim)
    e2e.poll("the panel in front", lambda: r.ask("fg") == e2e.PANEL_TITLE)
    memory, made, levels = rss_kib(proc.pid), dict.fromkeys(BUTTONS.values(), 0), {"p": 63, "w": 63}
    cable = {"plugged": True, "flip": time.monotonic() + rng.uniform(0.5, 3), "unplugs": 0}

    def bad_cable():
        if time.monotonic() >= cable["flip"]:
            sim.send("unplug" if cable["plugged"] else "replug")
            cable["unplugs"] += cable["plugged"]
            cable["plugged"], cable["flip"] = not cable["plugged"], time.monotonic() + rng.uniform(
                0.5, 3)

    end = time.monotonic() + 60 * minutes
    while time.monotonic() < end:
        bad_cable()
        if r.ask("status") != "ACTIVE Port 3":
            time.sleep(0.05)
        elif rng.random() < 0.5:
            command = BUTTONS[ctl := rng.choice(list(BUTTONS))]
            before = sim.commands().count(command)
            r.ask(f"press {ctl}")
            made[command] += 1
            # Out before the next press of its kind, which would join it.
            e2e.poll(f"{command} on the wire", lambda: bad_cable() or
                     sim.commands().count(command) > before, deadline=60)
        else:
            letter, step = STEPS[key := rng.choice(list(STEPS))]
            r.wine.key(key)
            levels[letter] = max(0, min(255, levels[letter] + step))
    if not cable["plugged"]:
        sim.send("replug")
    r.status("ACTIVE Port 3")
    sent = sim.settled(0)
    last = {c[0]: int(c[1:], 16) for c in sent if c[0] in "pw"}
    print(f"{sum(made.values())} presses {made}, {cable['unplugs']} unplugs in {minutes} min; "
          f"resident memory {memory} -> {rss_kib(proc.pid)} KiB")
    e2e.expect(all(sent.count(c) == n for c, n in made.items()),
               "every press made while connected is on the wire exactly once",
               {c: sent.count(c) for c in made})
    e2e.expect(last == levels, "the last levels on the wire are the steps' sum", f"{last}")
    print("soak passed")


def main():
    return e2e.run_by_hand(__doc__.splitlines()[0], (("minutes", float, 30), ("seed", int, 1)),
                           soak, "/tmp/tavrel-soak")


if __name__ == "__main__":
    sys.exit(main())
