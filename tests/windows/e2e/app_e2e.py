#!/usr/bin/env python3
"""TavrelRemote.exe end to end under wine, driven as a person would drive it.

    app_e2e.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--out DIR] [SCENARIO]...

Real clicks and keys go to the program's windows and its tray icon in the Wine
virtual desktop with xdotool; the magnifier is tavrel-sim on a pty mapped as a
COM port, and what went over the wire is read from its log. Each scenario
starts from fresh state (no settings key, new simulators, no copy running) and
prints one line per check, "ok   ..." or "FAIL ...". The exit status is 1 when
any check failed. Pictures of the panel and of the tray menu land in DIR.
"""

import os
import shutil
import sys
import time
import traceback

sys.dont_write_bytecode = True  # nothing of the run lands in the source tree
from harness import (DEADLINE, Failure, Helper, Simulator, Wine, at_rest, centre, commonest,
                     menu_rows, poll, stop_process, winpath, scenario_main)

IDC_WINDOW, IDC_LINES, IDC_OPTIONS = 1000, 1001, 1002
IDC_POSITION_BAR, IDC_WIDTH_BAR, IDC_STATUS = 1003, 1004, 1007
SM_CXHSCROLL, SM_CYMENU = 21, 15
RED, GREEN, BLACK = (255, 0, 0), (0, 200, 0), (0, 0, 0)
PANEL_TITLE = "Quorvane - Tavrel Plus Remote"
LEVELS = ["p3f", "w3f"]  # both levels at 63, sent after every press


class Suite:
    def __init__(self, args):
        self.wine = Wine(args.build_dir)
        self.sim_path, self.exe, self.out = args.simulator, args.exe, os.path.abspath(args.out)
        self.work = os.path.join(self.out, "e2e-work")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.log = open(os.path.join(self.work, "wine.log"), "w")
        self.helper = Helper(self.wine, args.helper, self.log)
        self.failures = 0
        self.sims, self.programs = [], []

    # ---- reporting ---------------------------------------------------------

    def check(self, condition, what, detail=""):
        print(("ok   " if condition else "FAIL ") + what +
              ("" if condition or not detail else f": {detail}"), flush=True)
        self.failures += 0 if condition else 1
        return condition

    def note(self, text):
        print(f"     {text}", flush=True)

    # ---- state -------------------------------------------------------------

    def fresh(self):
        """No copy running, no COM port mapped, no settings stored."""
        for n in range(1, 5):
            if os.path.lexists(self.wine.com_link(n)):
                os.remove(self.wine.com_link(n))
        poll("no panel left from before", lambda: self.helper.ask("panels") == "0")
        if self.helper.ask("regclear") != "ok":
            raise Failure("the settings key could not be removed")

    def simulator(self, name, port, *extra, mapped=True):
        sim = Simulator(self.wine, self.sim_path, self.work, name, port, *extra)
        self.sims.append(sim)
        if mapped:
            sim.map()
        return sim

    def start(self, *args):
        proc = self.wine.start([self.exe, *args], self.log)
        self.programs.append(proc)
        return proc

    def cleanup(self):
        for proc in self.programs:
            if proc.poll() is None:
                self.helper.ask("exit")
                try:
                    proc.wait(DEADLINE)
                except Exception:  # still running: stopped by its id
                    stop_process(proc)
        self.programs = []
        for sim in self.sims:
            sim.stop()
        self.sims = []

    # ---- looking and pointing ------------------------------------------------

    def panel(self):
        return poll("the panel", self.helper.panel)

    def shown_panel(self):
        """The panel once it is on screen: it is made hidden, placed, then shown."""
        def shown():
            panel = self.helper.panel()
            return panel if panel is not None and panel[0] else None
        return poll("the panel on screen", shown)

    def visible(self):
        panel = self.helper.panel()
        return panel is not None and panel[0]

    def status(self):
        control = self.helper.control(IDC_STATUS)
        return control[2] if control else None

    def wait_status(self, text, deadline=DEADLINE):
        return poll(f"status '{text}'", lambda: self.status() == text, deadline)

    def label_colours(self, ctl_id):
        """The label's background and whether black text is drawn on it."""
        _, (left, top, right, bottom), _ = self.helper.control(ctl_id)
        pixels = self.wine.grab(left, top, right - left, bottom - top)
        back, count, total = commonest(pixels)
        inked = sum(1 for row in pixels for p in row if p == BLACK)
        return back, count * 2 > total, inked

    def click(self, x, y, button=1, repeat=1):
        self.wine.x("xdotool", "mousemove", str(x), str(y), "click", "--repeat", str(repeat),
                    "--delay", "80", str(button))

    def click_until(self, what, where, done, tries=3, wait=3):
        """Clicks at where() until done() holds and returns the clicks it took.
        Wine may drop a click on a window it has only just shown (its X window
        is mapped after the program sees it visible); a person who sees nothing
        happen clicks again, and so does this, up to tries times."""
        for clicks in range(1, tries + 1):
            self.click(*where())
            try:
                poll(what, done, wait)
                return clicks
            except Failure:
                pass
        raise Failure(f"{what}: not after {tries} clicks")

    def click_control(self, ctl_id):
        self.click(*centre(self.helper.control(ctl_id)[1]))

    def key(self, *keys):
        self.wine.x("xdotool", "key", "--delay", "60", *keys)

    def tray(self):
        return poll("the tray icon", lambda: self.helper.numbers("tray"))

    def open_tray_menu(self):
        """Right click on the tray icon; the menu's item rows once it is drawn."""
        x, y, _, _ = self.tray()
        self.click(x, y, button=3)
        popup = poll("the tray menu", lambda: self.helper.numbers("popup"))
        left, top, right, bottom = popup
        # Into the menu, so that the icon's tooltip goes and the rows show.
        self.wine.x("xdotool", "mousemove", str(left + 8), str(top + 4))

        def rows():
            # Inside the frame, whose edges would give every row some ink.
            found = menu_rows(self.wine.grab(left + 4, top, right - left - 8, bottom - top))
            return found if len(found) == 5 else None
        return popup, [(top + (a + b) // 2) for a, b in poll("the tray menu's five items", rows)]

    def wait_ended(self, proc, what, deadline=DEADLINE):
        try:
            poll(what, lambda: proc.poll() is not None, deadline)
            return True
        except Failure:
            return False

    def connected(self, sim):
        """Waits for the link on the simulator's port and its first levels."""
        self.wait_status(f"ACTIVE Port {sim.port}")
        sim.wait_for("the first levels", 0, LEVELS)
        return sim.mark()

    def exit_by_helper(self, proc):
        self.helper.ask("exit")
        self.check(self.wait_ended(proc, "the program's end"), "the program ends on Exit")

    # ---- scenarios -----------------------------------------------------------

    def start_switches(self):
        """Hidden shortly after start unless the command line is exactly -show."""
        self.simulator("sim", 3)
        for shown, label, launch in ((False, "no arguments", None), (True, "-show", "-show"),
                                     (False, "-SHOW", "-SHOW"), (False, "'-show '", "-show ")):
            if launch is not None and launch.endswith(" "):
                # wine would quote a trailing blank: start it with that exact line.
                pid = self.helper.ask(f"launch {winpath(self.exe)} {launch}")
                if not self.check(pid.isdigit(), f"{label}: started", pid):
                    continue
                ended = lambda: self.helper.ask(f"ended {pid}").startswith("1")
                stop = lambda: self.helper.ask(f"kill {pid}")
            else:
                proc = self.start(*([launch] if launch else []))
                ended, stop = (lambda: proc.poll() is not None), None
            shown_at = []

            def hidden_after_start():
                panel = self.helper.panel()
                if panel and panel[0] and not shown_at:
                    shown_at.append(time.monotonic())
                # The tray icon comes at the end of the panel's initialisation.
                return panel and not panel[0] and self.helper.numbers("tray")

            if shown:
                self.panel()
                self.wait_status("ACTIVE Port 3")
                self.check(self.visible(), f"{label}: the panel stays on screen once connected")
            else:
                poll(f"{label}: the panel hidden after start", hidden_after_start, step=0.01)
                self.check(True, f"{label}: the panel hides itself after start")
                if shown_at:
                    shown_ms = 1000 * (time.monotonic() - shown_at[0])
                    self.note(f"{label}: seen on screen for {shown_ms:.0f} ms at most")
            self.check(self.helper.numbers("tray") is not None, f"{label}: the tray icon is there")
            self.helper.ask("exit")
            try:
                poll(f"{label}: the program's end", ended)
                self.check(True, f"{label}: Exit ends the program")
            except Failure as e:
                self.check(False, f"{label}: Exit ends the program", str(e))
                if stop:
                    stop()

    def status_and_warning(self):
        """NONE on red, a press shows the warning and waits, green once the
        magnifier is there, red again when it is unplugged."""
        sim = self.simulator("sim", 3, mapped=False)
        proc = self.start("-show")
        self.panel()
        self.wait_status("NONE")
        back, mostly, inked = self.label_colours(IDC_STATUS)
        self.check(back == RED and mostly and inked > 0, "no device: 'NONE' in black on red",
                   f"background {back}, {inked} black pixels")
        self.wine.screenshot(os.path.join(self.out, "panel_disconnected.png"),
                             self.shown_panel()[2])

        clicked = time.monotonic()
        self.click_control(IDC_WINDOW)
        warning = poll("the warning", lambda: self.helper.numbers("warning"))
        self.check(abs(centre(warning[1:])[0] - 512) <= 2, "the warning is centred on the screen",
                   f"at {warning[1:]}")
        self.check(self.helper.foreground() == PANEL_TITLE, "the warning leaves the panel in front",
                   self.helper.foreground())
        self.wine.screenshot(os.path.join(self.out, "warning.png"))
        poll("the warning gone", lambda: self.helper.ask("warning") == "0")
        shown_for = time.monotonic() - clicked
        self.check(shown_for >= 1.4, "a press while disconnected shows the warning for 1.5 s",
                   f"gone {shown_for:.2f} s after the click")
        self.note(f"warning gone {shown_for:.2f} s after the click")

        sim.map()
        self.wait_status("ACTIVE Port 3")
        back, mostly, inked = self.label_colours(IDC_STATUS)
        self.check(back == GREEN and mostly and inked > 0,
                   "with the magnifier on COM3: 'ACTIVE Port 3' in black on green",
                   f"background {back}, {inked} black pixels")
        self.wine.screenshot(os.path.join(self.out, "panel_connected.png"), self.shown_panel()[2])
        self.check(sim.wait_for("the waiting press", 0, ["BW"] + LEVELS),
                   "the press made while disconnected goes out once connected: BW p3f w3f",
                   " ".join(sim.since(0)))

        sim.send("unplug")
        unplugged = time.monotonic()
        self.wait_status("NONE", deadline=30)
        took = time.monotonic() - unplugged
        back, _, _ = self.label_colours(IDC_STATUS)
        self.check(back == RED, "unplugged: 'NONE' on red again", f"background {back}")
        self.note(f"unplug to 'NONE' on the panel: {took:.2f} s")
        self.exit_by_helper(proc)

    def buttons_and_bars(self):
        """Each button and each part of the scroll bars, on the wire."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        first = self.connected(sim)
        for ctl_id, command in ((IDC_WINDOW, "BW"), (IDC_LINES, "BL"), (IDC_OPTIONS, "BO")):
            mark = sim.mark()
            self.click_control(ctl_id)
            self.check(sim.wait_for(command, mark, [command] + LEVELS),
                       f"clicking {command}: {command} p3f w3f", " ".join(sim.since(mark)))
        arrow = int(self.helper.ask(f"metric {SM_CXHSCROLL}"))
        expected = []
        for bar, letter in ((IDC_POSITION_BAR, "p"), (IDC_WIDTH_BAR, "w")):
            left, top, right, bottom = self.helper.control(bar)[1]
            y = (top + bottom) // 2
            for x, value, part in ((left + arrow // 2, 62, "left arrow"),
                                   (right - 1 - arrow // 2, 63, "right arrow"),
                                   (right - arrow - 8, 71, "page area right of the thumb"),
                                   (left + arrow + 6, 63, "page area left of the thumb")):
                mark = sim.mark()
                self.click(x, y)
                command = f"{letter}{value:02x}"
                expected.append(command)
                self.check(sim.wait_for(part, mark, [command]),
                           f"{'POSITION' if letter == 'p' else 'WIDTH'} {part}: {command}",
                           " ".join(sim.since(mark)))
        sent = sim.quiet_after(first)
        wanted = [c for b in ("BW", "BL", "BO") for c in [b] + LEVELS] + expected
        self.check(sent == wanted, "nothing else went out", " ".join(sent))
        self.exit_by_helper(proc)

    def warning_over_notepad(self):
        """A hot key pressed in another program while no magnifier is there:
        the warning shows, and the keyboard stays with that program."""
        sim = self.simulator("sim", 3, mapped=False)
        proc = self.start()
        self.panel()
        poll("the panel hidden", lambda: not self.visible())
        self.wait_status("NONE")
        notepad = self.wine.start(["notepad"], self.log)
        try:
            poll("notepad in front", lambda: "Notepad" in self.helper.foreground())
            self.key("ctrl+F7")
            poll("the warning", lambda: self.helper.numbers("warning"))
            self.check("Notepad" in self.helper.foreground(), "the warning leaves notepad in front",
                       self.helper.foreground())
            self.wine.x("xdotool", "type", "--delay", "60", "abc")
            try:
                poll("the typing in notepad", lambda: self.helper.ask("notepad") == "abc", 5)
            except Failure:
                pass
            typed = self.helper.ask("notepad")
            self.check(typed == "abc", "what is typed meanwhile goes to notepad", typed)
        except Failure as e:
            self.check(False, "the warning takes nothing from notepad", str(e))
        finally:
            stop_process(notepad)
        sim.map()
        self.check(sim.wait_for("the waiting press", 0, ["BL"] + LEVELS),
                   "the hot key's press goes out once connected: BL p3f w3f", " ".join(sim.since(0)))
        self.exit_by_helper(proc)

    def hot_keys(self):
        """The eight default hot keys while another program has the focus."""
        sim = self.simulator("sim", 3)
        proc = self.start()
        self.panel()
        poll("the panel hidden", lambda: not self.visible())
        first = self.connected(sim)
        notepad = self.wine.start(["notepad"], self.log)
        try:
            poll("notepad in front", lambda: "Notepad" in self.helper.foreground())
            for combo, expected in (("ctrl+F6", ["BW"] + LEVELS), ("ctrl+F7", ["BL"] + LEVELS),
                                    ("ctrl+F8", ["BO"] + LEVELS), ("ctrl+F11", ["p3e"]),
                                    ("ctrl+F12", ["p3f"]), ("ctrl+F9", ["w3e"]),
                                    ("ctrl+F10", ["w3f"])):
                mark = sim.mark()
                self.key(combo)
                self.check(sim.wait_for(combo, mark, expected),
                           f"{combo}: {' '.join(expected)}", " ".join(sim.since(mark)))
            self.check(not self.visible(), "the panel stays hidden meanwhile")
            self.check("Notepad" in self.helper.foreground(), "notepad keeps the focus")
            self.key("ctrl+F5")
            try:
                poll("the panel in front",
                     lambda: self.visible() and self.helper.foreground() == PANEL_TITLE)
                self.check(True, "ctrl+F5 shows the panel and brings it to the front")
            except Failure as e:
                self.check(False, "ctrl+F5 shows the panel and brings it to the front", str(e))
            sent = sim.quiet_after(first)
            self.check(sim.since(first)[-1] == "w3f" and len(sent) == 13,
                       "ctrl+F5 sends nothing", " ".join(sent))
        finally:
            stop_process(notepad)
        self.exit_by_helper(proc)

    def second_copy(self):
        """A second start raises the first copy's panel and ends, port untouched."""
        watch = self.simulator("watch", 1, "--fault", "answer none")
        sim = self.simulator("sim", 3)
        proc = self.start()
        self.panel()
        poll("the panel hidden", lambda: not self.visible())
        self.connected(sim)
        for state in ("hidden", "minimised"):
            if state == "minimised":
                self.helper.ask("minimize")
                poll("the panel minimised", lambda: self.helper.panel()[1])
            probes = watch.mark()
            second = self.start()
            self.check(self.wait_ended(second, "the second copy's end"),
                       f"{state}: the second copy ends by itself")
            try:
                poll("the panel shown and in front",
                     lambda: self.visible() and not self.helper.panel()[1]
                     and self.helper.foreground() == PANEL_TITLE)
                self.check(True, f"{state}: the first copy's panel is shown and in front")
            except Failure as e:
                self.check(False, f"{state}: the first copy's panel is shown and in front", str(e))
            self.check(self.helper.ask("panels") == "1", f"{state}: no window of its own")
            self.check(watch.since(probes, probes=True) == [],
                       f"{state}: the second copy opens no serial port (nothing on COM1)",
                       " ".join(watch.since(probes, probes=True)))
            _, _, width, icon = self.tray()
            self.check(width < 2 * icon, f"{state}: one tray icon", f"{width} pixels wide")
        self.check(proc.poll() is None, "the first copy still runs")
        self.exit_by_helper(proc)

    def close_minimise_and_tray(self):
        """Close and minimise boxes hide; the tray brings it back and ends it."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        self.panel()
        self.connected(sim)
        caption = poll("the caption buttons", lambda: self.helper.numbers("caption"))
        self.click(caption[0], caption[1])
        poll("the panel hidden by its close box", lambda: not self.visible())
        self.check(proc.poll() is None and not self.helper.panel()[1],
                   "the close box hides the panel, the program runs on")
        x, y, _, _ = self.tray()
        self.click(x, y, repeat=2)
        poll("the panel back", self.visible)
        self.check(True, "a double click on the tray icon shows the panel")
        caption = poll("the caption buttons", lambda: self.helper.numbers("caption"))
        self.click(caption[2], caption[3])
        poll("the panel hidden by its minimise box", lambda: not self.visible())
        self.check(proc.poll() is None and not self.helper.panel()[1],
                   "the minimise box hides the panel (not minimised), the program runs on")

        popup, rows = self.open_tray_menu()
        self.wine.screenshot(os.path.join(self.out, "tray_menu.png"))
        self.check(True, "a right click on the tray icon opens its menu of five items")
        self.click(popup[0] + 30, rows[1])
        poll("the panel back", self.visible)
        self.check(True, "the tray menu's Maximize shows the panel")

        popup, rows = self.open_tray_menu()
        mark = sim.mark()
        clicked = time.monotonic()  # the time xdotool takes is counted in
        self.click(popup[0] + 30, rows[4])
        ended = self.wait_ended(proc, "the program's end")
        took = time.monotonic() - clicked
        self.check(ended and proc.returncode == 0, "the tray menu's Exit ends the program",
                   f"return code {proc.returncode}")
        self.check(took < 5, "connected, it ends within a few seconds", f"{took:.2f} s")
        self.note(f"tray Exit to the end of the process: {took:.2f} s")
        self.check(sim.since(mark) == [], "nothing but probes went out while it stopped",
                   " ".join(sim.since(mark)))

    def position_and_menu_bar_exit(self):
        """Dragged by its background, saved at Exit from the menu bar, restored."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        _, _, before = self.shown_panel()
        self.connected(sim)
        window = self.helper.control(IDC_WINDOW)[1]
        x, y = window[0], (window[3] + before[3]) // 2  # background below WINDOW
        # The drag starts from a message the panel posts itself, so the move
        # loop may begin after the first motion has gone by (and then counts
        # from there): the pointer keeps moving by a pixel until the panel
        # follows it.
        self.wine.x("xdotool", "mousemove", str(x), str(y), "mousedown", "1")
        try:
            for dx, dy, what, done in (
                    (10, 10, "the drag under way", lambda left, top: (left, top) != before[:2]),
                    (150, 100, "the panel dragged",
                     lambda left, top: left - before[0] > 120 and top - before[1] > 70)):
                nudge = [0]

                def follows():
                    nudge[0] ^= 1
                    self.wine.x("xdotool", "mousemove", str(x + dx - nudge[0]),
                                str(y + dy - nudge[0]))
                    return done(*self.helper.panel()[2][:2])
                poll(what, follows)
        finally:
            self.wine.x("xdotool", "mouseup", "1")
        moved = at_rest("the panel at rest after the drag", lambda: self.helper.panel()[2])
        self.check(moved[0] - before[0] > 120 and moved[1] - before[1] > 70,
                   "a plain drag on the background moves the panel", f"{before} -> {moved}")

        client = self.helper.numbers("client")
        menu_height = int(self.helper.ask(f"metric {SM_CYMENU}"))
        self.click(client[0] + 14, client[1] - menu_height // 2)
        left, top, right, bottom = poll("the File menu", lambda: self.helper.numbers("popup"))
        clicked = time.monotonic()
        self.click((left + right) // 2, (top + bottom) // 2)
        ended = self.wait_ended(proc, "the program's end")
        self.check(ended and proc.returncode == 0, "File > Exit ends the program")
        self.note(f"menu bar Exit to the end of the process: {time.monotonic() - clicked:.2f} s")
        stored = (self.helper.ask("reg nWindowLeft"), self.helper.ask("reg nWindowTop"))
        self.check(stored == (str(moved[0]), str(moved[1])),
                   "the position is saved under MainWindow at exit", f"{stored}")

        proc = self.start("-show")
        poll("the panel shown", self.visible)
        self.check(self.helper.panel()[2][:2] == moved[:2],
                   "the next start puts the panel where it was", f"{self.helper.panel()[2]}")
        self.exit_by_helper(proc)

    def keys_do_nothing(self):
        """Enter, Esc, space, arrows and paging keys on the panel do nothing."""
        sim = self.simulator("sim", 3)
        proc = self.start("-show")
        _, _, rect = self.shown_panel()
        first = self.connected(sim)
        window = self.helper.control(IDC_WINDOW)[1]
        self.click(window[0], (window[3] + rect[3]) // 2)  # the background: panel in front
        poll("the panel in front", lambda: self.helper.foreground() == PANEL_TITLE)
        self.key("Return", "Escape", "space", "Left", "Right", "Up", "Down", "Prior", "Next",
                 "Home", "End")
        self.key("ctrl+F7")  # something that does go out, after them
        sim.wait_for("ctrl+F7", first, ["BL"] + LEVELS)
        sent = sim.quiet_after(first)
        self.check(sent == ["BL"] + LEVELS, "nothing on the wire from the keys", " ".join(sent))
        self.check(self.visible() and proc.poll() is None, "the panel is still shown")
        self.exit_by_helper(proc)

    SCENARIOS = ["start_switches", "status_and_warning", "warning_over_notepad",
                 "buttons_and_bars", "hot_keys",
                 "second_copy", "close_minimise_and_tray", "position_and_menu_bar_exit",
                 "keys_do_nothing"]

    def run(self, names):
        for name in names:
            print(f"---- {name}", flush=True)
            started = time.monotonic()
            try:
                self.fresh()
                getattr(self, name)()
            except Failure as e:
                self.check(False, f"{name}", str(e))
            except Exception:
                self.check(False, f"{name}", traceback.format_exc())
            finally:
                try:
                    self.cleanup()
                except Exception:
                    self.check(False, f"{name}: clean-up", traceback.format_exc())
            self.note(f"{name} took {time.monotonic() - started:.1f} s")
        self.helper.stop()
        for n in range(1, 5):
            if os.path.lexists(self.wine.com_link(n)):
                os.remove(self.wine.com_link(n))
        return self.failures


def main():
    return scenario_main("app_e2e", __doc__, Suite, Suite.SCENARIOS)


if __name__ == "__main__":
    sys.exit(main())
