#!/usr/bin/env python3
"""The Setup Hot Keys dialog of TavrelRemote.exe end to end under wine.

    setup_e2e.py BUILD_DIR SIMULATOR TAVRELREMOTE_EXE HELPER_EXE [--out DIR] [SCENARIO]...

A person's use of the dialog: it is opened from the panel's menu bar and from
the tray menu, its check boxes, key lists and buttons are worked with real
clicks and keys at their places on the screen (xdotool), and the outcome is
read where a person would meet it: the registry, the hot keys pressed while
notepad has the focus (the magnifier is tavrel-sim on COM3, so an action is a
command on the wire), the message boxes, the dialog's place. Each scenario
starts from fresh state (no settings key, a new simulator, no copy running)
and prints one line per check, "ok   ..." or "FAIL ...". A picture of the
open dialog lands in DIR as setup_dialog.png.
"""

import os
import sys
import time

sys.dont_write_bytecode = True  # nothing of the run lands in the source tree
from harness import Failure, at_rest, centre, commonest, poll, stop_process, scenario_main
from app_e2e import LEVELS, Suite

SETUP_TITLE = "Setup Hot Keys"
APP_NAME = "Tavrel Plus Remote"
IDOK, IDCANCEL, IDC_ENABLE = 1, 2, 1008
SM_CYCAPTION, SM_CYFIXEDFRAME, SM_CYMENU = 4, 8, 15
GROUPS = {"Popup": 1016, "Window": 1018, "Lines": 1023, "Options": 1030, "Position": 1037,
          "Width": 1049}
LABELS = [1029, 1036, 1043, 1055]
# action: (Ctrl, Alt, Shift, Win, key list), in action order
ROWS = {"Popup": (1009, 1010, 1011, 1012, 1014), "Window": (1013, 1017, 1019, 1020, 1021),
        "Lines": (1024, 1025, 1026, 1027, 1028), "Options": (1031, 1032, 1033, 1034, 1035),
        "PosDown": (1038, 1039, 1040, 1041, 1042), "PosUp": (1044, 1045, 1046, 1047, 1048),
        "WidthDown": (1050, 1051, 1052, 1053, 1054), "WidthUp": (1056, 1057, 1058, 1059, 1060)}
CTRL, ALT, SHIFT, WIN, KEY = range(5)
DEFAULT_KEYS = {"Popup": "F5", "Window": "F6", "Lines": "F7", "Options": "F8", "PosDown": "F11",
                "PosUp": "F12", "WidthDown": "F9", "WidthUp": "F10"}
# What each default hot key sends with the simulator's levels at 63.
DEFAULT_WIRE = [("ctrl+F6", ["BW"] + LEVELS), ("ctrl+F7", ["BL"] + LEVELS),
                ("ctrl+F8", ["BO"] + LEVELS), ("ctrl+F11", ["p3e"]), ("ctrl+F12", ["p3f"]),
                ("ctrl+F9", ["w3e"]), ("ctrl+F10", ["w3f"])]
ALL_DEFAULTS = ["ctrl+F5"] + [combo for combo, _ in DEFAULT_WIRE]
# A key list as a person reads it, top to bottom.
KEY_LIST = (["n/u"] + [chr(c) for c in range(ord("A"), ord("Z") + 1)] +
            [str(d) for d in range(10)] + [f"F{n}" for n in range(1, 13)] +
            ["Ins", "Del", "Home", "End", "Pg-Up", "Pg-Down", "Up-Arrow", "Dn-Arrow", "L-Arrow",
             "R-Arrow"] + [f"Num-{d}" for d in range(10)])


def uncovered_point(rect, cover):
    """A point in the text area of the window rect (below its caption and
    menu bar) and, where that area reaches beyond it, outside cover (None:
    nothing covers it)."""
    left, top, right, bottom = rect[0], rect[1] + 50, rect[2], rect[3]
    if cover is not None:
        # The largest free band of the area beside, above or below cover.
        bands = [(left, top, min(right, cover[0]), bottom), (max(left, cover[2]), top, right, bottom),
                 (left, top, right, min(bottom, cover[1])), (left, max(top, cover[3]), right, bottom)]
        free = [b for b in bands if b[2] - b[0] > 30 and b[3] - b[1] > 30]
        if free:
            left, top, right, bottom = max(free, key=lambda b: (b[2] - b[0]) * (b[3] - b[1]))
    return (left + right) // 2, (top + bottom) // 2


class SetupSuite(Suite):
    def __init__(self, args):
        super().__init__(args)
        self.notepads = []
        self.opened_in = 0.0

    def cleanup(self):
        # A failed check may leave the dialog or a message box open over the
        # panel; the program's Exit comes after they are gone.
        if any(proc.poll() is None for proc in self.programs):
            try:
                poll("the dialog and message boxes closed", lambda: self.helper.ask("dismiss") and
                     self.helper.ask("setup") == "none" and self.helper.ask("msgbox") == "none")
            except Failure:
                pass
        for proc in self.notepads:
            stop_process(proc)
        self.notepads = []
        super().cleanup()

    # ---- the dialog as a person sees it -------------------------------------

    def dialog(self):
        """The dialog's rectangle while it is on screen, else None."""
        answer = self.helper.ask("setup").split()
        return tuple(map(int, answer[2:6])) if answer[0] != "none" and answer[1] == "1" else None

    def ctl(self, ctl_id):
        """(enabled, check state, rect, text) of a control of the dialog."""
        answer = self.helper.ask(f"sctl {ctl_id}")
        if answer == "none":
            raise Failure(f"control {ctl_id} of the dialog is not there")
        parts = answer.split(" ", 7)
        return (parts[1] == "1", int(parts[2]), tuple(map(int, parts[3:7])),
                parts[7] if len(parts) > 7 else "")

    def checked(self, ctl_id):
        return self.ctl(ctl_id)[1] == 1

    def row(self, action):
        """The row as shown: which of Ctrl, Alt, Shift, Win are checked, and the key."""
        ids = ROWS[action]
        return tuple(self.checked(i) for i in ids[:KEY]), self.combo(ids[KEY])["text"]

    def combo(self, ctl_id):
        count, sel, dropped, width, first, last, text = self.helper.ask(f"combo {ctl_id}").split()
        return dict(count=int(count), sel=int(sel), dropped=dropped == "1", width=int(width),
                    first=first, last=last, text=text)

    def droplist(self, ctl_id):
        visible, *rest = self.helper.ask(f"droplist {ctl_id}").split()
        if visible != "1":
            return dict(visible=False)
        left, top, right, bottom, client, top_index, sel = map(int, rest)
        return dict(visible=True, rect=(left, top, right, bottom), client=client,
                    top=top_index, sel=sel)

    def dropped(self, ctl_id):
        """The key list's drop-down list while it is on screen, else None."""
        drop = self.droplist(ctl_id)
        return drop if drop["visible"] else None

    def click_ctl(self, ctl_id, dx=None):
        """Clicks a control of the dialog in its middle, or dx pixels in from its left."""
        left, top, right, bottom = self.ctl(ctl_id)[2]
        self.click(left + dx if dx is not None else (left + right) // 2, (top + bottom) // 2)

    def toggle(self, ctl_id):
        before = self.checked(ctl_id)
        self.click_ctl(ctl_id)
        poll(f"check box {ctl_id} toggled", lambda: self.checked(ctl_id) != before)

    def pick(self, action, name):
        """Drops the action's key list with a click, walks to the key with the
        arrow keys and clicks it in the list.

        Wine also moves the list's highlight to the item under a resting
        pointer when the list opens over it, at a moment of its own; so the
        keys are sent again from wherever the highlight then rests until it
        is on the key, and the click on the item is what chooses it."""
        ctl_id = ROWS[action][KEY]
        self.click_ctl(ctl_id)
        poll(f"{action}'s key list dropped", lambda: self.dropped(ctl_id))
        wanted = KEY_LIST.index(name)
        seen = {"sel": None, "reads": 0}

        def on_key():
            drop = self.droplist(ctl_id)
            if not drop["visible"]:
                raise Failure(f"{action}'s key list closed before '{name}' was clicked")
            if drop["sel"] == wanted:
                item = self.helper.numbers(f"listitem {ctl_id} {wanted}")
                inside = item and item[1] >= drop["rect"][1] and item[3] <= drop["rect"][3]
                return item if inside else None
            first = seen["sel"] is None
            seen["reads"] = seen["reads"] + 1 if drop["sel"] == seen["sel"] else 0
            seen["sel"] = drop["sel"]
            if first or seen["reads"] == 4:  # just opened, or at rest: walk from here
                steps = wanted - max(drop["sel"], 0)
                self.key(*(["Down"] * steps if steps > 0 else ["Up"] * -steps))
                seen["reads"] = 0
            return None
        self.click(*centre(poll(f"'{name}' highlighted in view", on_key)))
        poll(f"{action}'s key list closed on '{name}'",
             lambda: not self.droplist(ctl_id)["visible"] and self.combo(ctl_id)["text"] == name)

    def set_row(self, action, modifiers, key):
        """Makes the row show exactly the modifiers (a set of names) and key."""
        for index, name in ((CTRL, "ctrl"), (ALT, "alt"), (SHIFT, "shift"), (WIN, "win")):
            if self.checked(ROWS[action][index]) != (name in modifiers):
                self.toggle(ROWS[action][index])
        self.pick(action, key)

    def caption_point(self, rect):
        """A point on the caption of a window with rect, left of its title's end."""
        return (rect[0] + 60, rect[1] + int(self.helper.ask(f"metric {SM_CYFIXEDFRAME}")) +
                int(self.helper.ask(f"metric {SM_CYCAPTION}")) // 2)

    def click_caption(self, rect):
        self.click(*self.caption_point(rect))

    def close_with(self, ctl_id):
        self.click_ctl(ctl_id)
        poll("the dialog closed", lambda: self.helper.ask("setup") == "none")

    def menu_bar_items(self):
        """The menu bar's items, left to right, as (left, right) screen columns
        of their text: runs of inked columns on the bar, split where a gap is
        wider than the blank inside "Hot Keys...". None until all three show."""
        left, top, right, _ = self.helper.numbers("client")
        height = int(self.helper.ask(f"metric {SM_CYMENU}"))
        pixels = self.wine.grab(left, top - height, right - left, height)
        back = commonest(pixels)[0]
        inked = [x for x in range(right - left) if any(row[x] != back for row in pixels[2:-2])]
        items = []
        for x in inked:
            if items and x - items[-1][1] <= 8:
                items[-1][1] = x
            else:
                items.append([x, x])
        return [(left + a, left + b) for a, b in items] if len(items) == 3 else None

    def open_from_menu_bar(self):
        """A click on "Hot Keys...", the menu bar's middle item (File, Hot Keys..., Help)."""
        first, last = poll("the panel's menu bar", self.menu_bar_items)[1]
        client = self.helper.numbers("client")
        height = int(self.helper.ask(f"metric {SM_CYMENU}"))
        clicked = time.monotonic()  # the time xdotool takes is counted in
        self.click((first + last) // 2, client[1] - height // 2)
        rect = poll("the Setup Hot Keys dialog on screen", self.dialog)
        self.opened_in = time.monotonic() - clicked
        return rect

    def open_from_tray(self):
        popup, rows = self.open_tray_menu()  # About, Maximize, Minimize, Hot Keys, Exit
        self.click(popup[0] + 30, rows[3])
        return poll("the Setup Hot Keys dialog on screen", self.dialog)

    def registry(self, name, section="HotKeys"):
        return self.helper.ask(f"regget {section} {name}")

    def message_box(self):
        answer = self.helper.ask("msgbox")
        if answer == "none":
            return None
        button, caption, text = answer.split("\t")
        return tuple(map(int, button.split())), caption, text

    # ---- hot keys as a person presses them ------------------------------------

    def notepad(self):
        """Notepad in front, for the hot keys to be pressed over."""
        proc = self.wine.start(["notepad"], self.log)
        self.notepads.append(proc)
        # A click into its text, as a person makes sure of where the keys go:
        # into a part the open dialog does not cover, for the window may be
        # shown before Wine has raised it above the dialog, and then the
        # click would land on the dialog and take the focus back there. A
        # person who sees notepad still behind clicks it again.
        def where():
            rect = poll("notepad on screen", lambda: self.helper.numbers("notepadrect"))
            return uncovered_point(rect, self.dialog())
        try:
            clicks = self.click_until("notepad in front",
                                      where, lambda: "Notepad" in self.helper.foreground(), wait=5)
        except Failure as failure:
            raise Failure(f"{failure} (notepad {self.helper.ask('notepadrect')}, dialog "
                          f"{self.dialog()}, in front: '{self.helper.foreground()}')")
        if clicks > 1:
            self.note(f"notepad came to the front after {clicks} clicks")
        return proc

    def keys_act(self, sim, combos, expected, what):
        """Presses combos (one or more) and checks that expected is what goes out."""
        mark = sim.mark()
        self.key(*combos)
        sim.wait_for(what, mark, expected)
        sent = sim.quiet_after(mark)
        return self.check(sent == expected, f"{what}: {' '.join(expected) or 'nothing'}",
                          " ".join(sent))

    def keys_do_nothing(self, sim, combos, what):
        """Presses combos over notepad, then types a letter there: once notepad
        shows it every key before it has passed the hot-key check, and what a
        hot key would have queued goes out before the next keep-alive probe."""
        mark = sim.mark()
        before = self.helper.ask("notepad").count("x")
        self.key(*combos, "x")
        try:
            poll("the letter after the keys in notepad",
                 lambda: self.helper.ask("notepad").count("x") > before)
        except Failure as e:  # a hot key that acted may have taken the focus
            raise Failure(f"{what}: {e} (in front: '{self.helper.foreground()}', on the wire: "
                          f"{' '.join(sim.since(mark)) or 'nothing'})")
        sent = sim.quiet_after(mark)
        return self.check(sent == [], f"{what}: nothing on the wire", " ".join(sent))

    def started(self, *args):
        """The program with the magnifier on COM3, connected, its panel as started."""
        sim = self.simulator("sim", 3)
        proc = self.start(*args)
        self.panel()
        if "-show" in args:
            self.shown_panel()
        else:
            poll("the panel hidden", lambda: not self.visible())
        try:
            self.connected(sim)
        except Failure as e:
            raise Failure(f"{e} (the status reads '{self.status()}'; the simulator saw "
                          f"{' '.join(sim.since(0, probes=True)[-8:]) or 'nothing'})")
        return sim, proc

    def centred_over(self, rect, area, what):
        """The dialog's corner as centring over area gives it, kept within the work area."""
        work = self.helper.numbers("workarea")
        width, height = rect[2] - rect[0], rect[3] - rect[1]
        x = (area[0] + area[2] - width) // 2
        y = (area[1] + area[3] - height) // 2
        x = max(work[0], min(x, work[2] - width))
        y = max(work[1], min(y, work[3] - height))
        self.check(abs(rect[0] - x) <= 1 and abs(rect[1] - y) <= 1, what,
                   f"dialog {rect}, expected its corner at ({x}, {y}) over {area}")

    # ---- scenarios -------------------------------------------------------------

    def first_opening(self):
        """From the menu bar with nothing stored: the defaults, centred over the
        panel; the key lists; Cancel stores no assignment."""
        sim, proc = self.started("-show")
        panel = self.shown_panel()[2]
        rect = self.open_from_menu_bar()
        self.check(True, "the menu bar's 'Hot Keys...' opens the dialog")
        self.note(f"click on 'Hot Keys...' to the dialog on screen: {self.opened_in:.2f} s")
        poll("the dialog in front", lambda: self.helper.foreground().endswith(SETUP_TITLE))
        self.centred_over(rect, panel, "the first opening is centred over the visible panel")
        self.check(self.checked(IDC_ENABLE), "ENABLE HOT KEYS is checked")
        rows = {action: self.row(action) for action in ROWS}
        only_ctrl = [a for a, (mods, _) in rows.items() if mods == (True, False, False, False)]
        self.check(len(only_ctrl) == 8, "only Ctrl is checked in every row", f"{rows}")
        keys = {action: key for action, (_, key) in rows.items()}
        self.check(keys == DEFAULT_KEYS, "keys F5, F6, F7, F8, F11, F12, F9, F10 in action order",
                   f"{keys}")
        # Where the rows are: four down the left, two rows in each slider's group.
        places = {action: self.ctl(ROWS[action][KEY])[2] for action in ROWS}
        left = [places[a] for a in ("Popup", "Window", "Lines", "Options")]
        self.check(all(a[3] <= b[1] for a, b in zip(left, left[1:])) and
                   max(r[2] for r in left) < min(places[a][0] for a in places if a not in
                                                  ("Popup", "Window", "Lines", "Options")),
                   "F5, F6, F7, F8 run down the left column", f"{left}")
        for group, (upper, lower) in (("Position", ("PosDown", "PosUp")),
                                      ("Width", ("WidthDown", "WidthUp"))):
            box = self.ctl(GROUPS[group])[2]
            inside = all(box[0] <= places[a][0] and places[a][2] <= box[2] and
                         box[1] <= places[a][1] and places[a][3] <= box[3] for a in (upper, lower))
            self.check(inside and places[upper][3] <= places[lower][1],
                       f"{DEFAULT_KEYS[upper]} above {DEFAULT_KEYS[lower]} in the {group} Slider "
                       f"group", f"group {box}, rows {places[upper]} {places[lower]}")
        self.wine.screenshot(os.path.join(self.out, "setup_dialog.png"), rect)
        self.note(f"picture of the dialog: {os.path.join(self.out, 'setup_dialog.png')}")

        lists = {action: self.combo(ROWS[action][KEY]) for action in ROWS}
        self.check(all((c["count"], c["first"], c["last"]) == (69, "n/u", "Num-9")
                       for c in lists.values()),
                   "every key list holds 69 items, 'n/u' first and 'Num-9' last",
                   f"{[(c['count'], c['first'], c['last']) for c in lists.values()]}")
        ctl_id = ROWS["Window"][KEY]
        self.click_ctl(ctl_id)
        drop = poll("the Window key list dropped", lambda: self.dropped(ctl_id))
        box = self.ctl(ctl_id)[2]
        needed = {name: int(self.helper.ask(f"extent {ctl_id} {name}"))
                  for name in ("Pg-Down", "Up-Arrow")}
        width = drop["rect"][2] - drop["rect"][0]
        fits = all(drop["client"] >= n + 4 for n in needed.values())
        self.check(width > box[2] - box[0] and fits,
                   "the dropped list is wider than its box, wide enough for 'Pg-Down' and "
                   "'Up-Arrow' beside its scroll bar",
                   f"list {width} wide, {drop['client']} inside, box {box[2] - box[0]}, "
                   f"texts {needed}")
        self.note(f"dropped list {width}x{drop['rect'][3] - drop['rect'][1]} px at "
                  f"{drop['rect'][:2]} ({drop['client']} wide inside the scroll bar) for a box of "
                  f"{box[2] - box[0]}x{box[3] - box[1]} px at {box[:2]}; 'Pg-Down' "
                  f"{needed['Pg-Down']} px, 'Up-Arrow' {needed['Up-Arrow']} px")
        self.key("Escape")
        poll("the key list closed", lambda: not self.dropped(ctl_id))
        self.check(self.dialog() is not None, "Escape closes the dropped list, not the dialog")
        self.close_with(IDCANCEL)
        self.check(self.helper.ask("regdump HotKeys") == "missing",
                   "Cancel stores no assignment (no HotKeys key)",
                   self.helper.ask("regdump HotKeys"))
        self.notepad()
        self.keys_act(sim, ["ctrl+F6"], ["BW"] + LEVELS, "after Cancel ctrl+F6 acts again")
        self.exit_by_helper(proc)

    def from_tray_while_hidden(self):
        """From the tray menu with the panel hidden: centred on the work area,
        and no hot key acts while it is open."""
        sim, proc = self.started()
        rect = self.open_from_tray()
        self.check(True, "the tray menu's 'Hot Keys...' opens the dialog")
        self.centred_over(rect, self.helper.numbers("workarea"),
                          "with the panel hidden it is centred on the work area")
        self.check(not self.visible(), "the panel stays hidden")
        notepad = self.notepad()
        self.keys_do_nothing(sim, ALL_DEFAULTS, "the eight hot keys while the dialog is open")
        self.check(not self.visible(), "ctrl+F5 does not show the panel while the dialog is open")
        stop_process(notepad)
        self.click_caption(self.dialog())
        poll("the dialog in front", lambda: self.helper.foreground().endswith(SETUP_TITLE))
        self.key("Escape")
        poll("the dialog closed by Escape", lambda: self.helper.ask("setup") == "none")
        self.notepad()
        for combo, expected in DEFAULT_WIRE:
            self.keys_act(sim, [combo], expected, f"after it closes {combo} acts")
        self.exit_by_helper(proc)

    def ok_stores_alt_shift_w(self):
        """Window changed to Alt+Shift+W with clicks: stored on OK and live."""
        sim, proc = self.started("-show")
        self.open_from_menu_bar()
        self.set_row("Window", {"alt", "shift"}, "W")
        self.check(self.row("Window") == ((False, True, True, False), "W"),
                   "the Window row shows Alt+Shift+W", f"{self.row('Window')}")
        self.close_with(IDOK)
        stored = (self.registry("nWindowModifiers"), self.registry("sWindowKey"))
        self.check(stored == ("dword 5", "sz W"), "OK stores nWindowModifiers = 5, sWindowKey = W",
                   f"{stored}")
        others = (self.registry("bHotKeysEnabled"), self.registry("nLinesModifiers"),
                  self.registry("sLinesKey"), self.registry("sWidthUpKey"))
        self.check(others == ("dword 1", "dword 2", "sz F7", "sz F10"),
                   "the other rows are stored as they stood", f"{others}")
        self.notepad()
        self.keys_act(sim, ["alt+shift+w"], ["BW"] + LEVELS,
                      "alt+shift+w over notepad presses WINDOW")
        self.keys_act(sim, ["ctrl+F6", "ctrl+F7"], ["BL"] + LEVELS,
                      "ctrl+F6 no longer acts (ctrl+F7 after it)")
        self.exit_by_helper(proc)

    def cancel_keeps_everything(self):
        """Changes then Cancel: the registry as it was, the old keys live."""
        sim, proc = self.started("-show")
        self.open_from_menu_bar()
        self.close_with(IDOK)  # the defaults, stored
        before = self.helper.ask("regdump HotKeys")
        self.check(before.count("\t") == 16, "OK stores all seventeen values", before)
        self.open_from_menu_bar()
        self.set_row("Window", {"alt", "shift"}, "W")
        self.pick("Lines", "n/u")
        self.toggle(IDC_ENABLE)
        self.close_with(IDCANCEL)
        after = self.helper.ask("regdump HotKeys")
        self.check(after == before, "Cancel after changes leaves the registry as it was",
                   f"{before} -> {after}")
        self.notepad()
        self.keys_act(sim, ["ctrl+F6"], ["BW"] + LEVELS, "ctrl+F6 still presses WINDOW")
        self.keys_act(sim, ["alt+shift+w", "ctrl+F7"], ["BL"] + LEVELS,
                      "alt+shift+w does nothing, ctrl+F7 still presses LINES")
        stop_process(self.notepads.pop())
        self.open_from_menu_bar()
        self.check(self.checked(IDC_ENABLE) and
                   self.row("Window") == ((True, False, False, False), "F6") and
                   self.row("Lines") == ((True, False, False, False), "F7"),
                   "reopened, it shows the stored assignment again",
                   f"{self.row('Window')} {self.row('Lines')}")
        self.close_with(IDCANCEL)
        self.exit_by_helper(proc)

    def switched_off(self):
        """ENABLE HOT KEYS unchecked: every row greyed at once, stored off with
        the rows as they stand, no hot key afterwards."""
        sim, proc = self.started("-show")
        self.open_from_menu_bar()
        self.toggle(ROWS["Options"][SHIFT])  # a row changed before the switch goes off
        rows = [i for ids in ROWS.values() for i in ids]
        inside = rows + list(GROUPS.values()) + LABELS
        self.check(self.helper.ask("senabled " + " ".join(map(str, inside))) == "1" * 50,
                   "switched on, the fifty controls of the rows are enabled")
        ink = self.text_ink(ROWS["Popup"][CTRL])
        self.check(ink > 0, "'Ctrl' is written in black while on", f"{ink} black pixels")
        # The box of the check box is at its left end; its caption runs on.
        self.click_ctl(IDC_ENABLE, dx=6)
        poll("ENABLE HOT KEYS unchecked", lambda: not self.checked(IDC_ENABLE))
        states = self.helper.ask("senabled " + " ".join(map(str, inside)))
        self.check(states == "0" * 50, "unchecked, all six groups, four labels, 32 check boxes "
                   "and eight key lists are greyed at once", states)
        self.check(self.helper.ask(f"senabled {IDOK} {IDCANCEL} {IDC_ENABLE}") == "111",
                   "OK, Cancel and the switch stay enabled")
        ink = poll("'Ctrl' drawn greyed", lambda: self.text_ink(ROWS["Popup"][CTRL]) == 0)
        self.check(ink, "the row's 'Ctrl' is no longer drawn in black")
        self.wine.screenshot(os.path.join(self.out, "setup_dialog_off.png"), self.dialog())
        self.close_with(IDOK)
        stored = {name: self.registry(name) for name in
                  ("bHotKeysEnabled", "nOptionsModifiers", "sOptionsKey", "nPopupModifiers",
                   "sWidthUpKey")}
        self.check(stored == {"bHotKeysEnabled": "dword 0", "nOptionsModifiers": "dword 6",
                              "sOptionsKey": "sz F8", "nPopupModifiers": "dword 2",
                              "sWidthUpKey": "sz F10"},
                   "OK stores bHotKeysEnabled = 0 with the rows as they stand", f"{stored}")
        self.check(self.message_box() is None, "no message at registration")
        self.notepad()
        self.keys_do_nothing(sim, ALL_DEFAULTS + ["ctrl+shift+F8"], "no hot key acts afterwards")
        self.check("Notepad" in self.helper.foreground(), "ctrl+F5 leaves notepad in front")
        self.exit_by_helper(proc)

    def text_ink(self, ctl_id):
        """Black pixels in a check box's caption (right of its box)."""
        left, top, right, bottom = self.ctl(ctl_id)[2]
        box = bottom - top + 4
        pixels = self.wine.grab(left + box, top, right - left - box, bottom - top)
        return sum(1 for row in pixels for p in row if p == (0, 0, 0))

    def same_combination_twice(self):
        """Lines given Window's Ctrl+F6: the later action's message, the first works."""
        sim, proc = self.started("-show")
        self.open_from_menu_bar()
        self.pick("Lines", "F6")
        self.close_with(IDOK)
        box = poll("a message box", self.message_box)
        self.check(box[1:] == (APP_NAME, "Could not activate hot key for Lines"),
                   "after OK: 'Could not activate hot key for Lines'", f"{box[1:]}")
        clicks = self.click_until("the message box closed by its OK button",
                                  lambda: centre(box[0]), lambda: self.message_box() != box)
        if clicks > 1:
            self.note(f"the message box's OK button took {clicks} clicks")
        self.check(self.registry("sLinesKey") == "sz F6", "the duplicate is stored as chosen",
                   self.registry("sLinesKey"))
        self.notepad()
        # ctrl+F11 is registered after Lines: once it acts every box there was came.
        self.keys_act(sim, ["ctrl+F11"], ["p3e"], "the actions after Lines are registered")
        self.check(self.message_box() is None, "one message only")
        # POSITION is one step down now: the press goes out with p3e.
        self.keys_act(sim, ["ctrl+F6"], ["BW", "p3e", "w3f"],
                      "ctrl+F6 presses WINDOW, the first one")
        self.keys_act(sim, ["ctrl+F7", "ctrl+F12"], ["p3f"],
                      "Lines has no hot key: ctrl+F7 does nothing (ctrl+F12 after it)")
        self.exit_by_helper(proc)

    def hand_edited_values(self):
        """Stored "f7" shows "F7" and is stored "F7"; modifiers 16 show and store nothing."""
        sim, proc = self.started("-show")
        for name, kind, value in (("sLinesKey", "sz", "f7"), ("nOptionsModifiers", "dword", "16")):
            answer = self.helper.ask(f"regset HotKeys {name} {kind} {value}")
            if answer != "ok":
                raise Failure(f"{name} could not be written: {answer}")
        self.open_from_menu_bar()
        lines, options = self.row("Lines"), self.row("Options")
        self.check(lines[1] == "F7", "a stored 'f7' shows as 'F7'", f"{lines}")
        self.check(options == ((False, False, False, False), "F8"),
                   "a stored modifier set of 16 shows nothing checked", f"{options}")
        self.close_with(IDOK)
        stored = (self.registry("sLinesKey"), self.registry("nOptionsModifiers"))
        self.check(stored == ("sz F7", "dword 0"), "OK stores 'F7' and 0", f"{stored}")
        self.notepad()
        self.keys_act(sim, ["ctrl+F7"], ["BL"] + LEVELS, "ctrl+F7 presses LINES")
        self.keys_act(sim, ["F8"], ["BO"] + LEVELS, "the bare F8 presses OPTIONS")
        self.exit_by_helper(proc)

    def reopens_where_left(self):
        """Dragged by its caption and closed, it reopens at the new place."""
        sim, proc = self.started("-show")
        before = self.open_from_menu_bar()
        x, y = self.caption_point(before)
        self.wine.x("xdotool", "mousemove", str(x), str(y), "mousedown", "1")
        try:
            # The move loop may start after the first motion has gone by: the
            # pointer keeps moving by a pixel until the dialog follows.
            for dx, dy, what, done in (
                    (10, 10, "the drag under way", lambda r: r[:2] != before[:2]),
                    (-150, 120, "the dialog dragged",
                     lambda r: before[0] - r[0] > 120 and r[1] - before[1] > 90)):
                nudge = [0]

                def follows():
                    nudge[0] ^= 1
                    self.wine.x("xdotool", "mousemove", str(x + dx - nudge[0]),
                                str(y + dy - nudge[0]))
                    return done(self.dialog())
                poll(what, follows)
        finally:
            self.wine.x("xdotool", "mouseup", "1")
        moved = at_rest("the dialog at rest", self.dialog)
        self.check(before[0] - moved[0] > 120 and moved[1] - before[1] > 90,
                   "a drag by the caption moves the dialog", f"{before} -> {moved}")
        self.close_with(IDCANCEL)
        stored = (self.registry("nWindowLeft", "HotKeyWindow"),
                  self.registry("nWindowTop", "HotKeyWindow"))
        self.check(stored == (f"dword {moved[0] & 0xffffffff}", f"dword {moved[1] & 0xffffffff}"),
                   "Cancel stores the dialog's place under HotKeyWindow", f"{stored}")
        again = self.open_from_menu_bar()
        self.check(again == moved, "it reopens where it was closed", f"{moved} -> {again}")
        self.close_with(IDOK)
        self.exit_by_helper(proc)

    SCENARIOS = ["first_opening", "from_tray_while_hidden", "ok_stores_alt_shift_w",
                 "cancel_keeps_everything", "switched_off", "same_combination_twice",
                 "hand_edited_values", "reopens_where_left"]


def main():
    return scenario_main("setup_e2e", __doc__, SetupSuite, SetupSuite.SCENARIOS)


if __name__ == "__main__":
    sys.exit(main())
