#!/usr/bin/env python3
"""End-to-end tests of the built program, driven from outside under Xvfb.

    run_e2e.py --program PATH --artifacts DIR CASE

Each case builds its own ROM image, starts its own X server, window manager
and program, drives the program with real key presses and mouse clicks, and
checks the bytes of the file. The screen of the end state is kept as
DIR/CASE.png, also when the case fails. Exit status: 0 passed, 1 failed,
77 skipped (the case cannot be set up on this machine).
"""

import argparse
import contextlib
import os
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import romimage  # noqa: E402
from a11y import AccessibilityBus  # noqa: E402
from xsession import E2EFailure, XSession, wait_until  # noqa: E402

SKIPPED = 77
MAIN_TITLE = "^Quillmere$"
DIALOG_TITLE = r"^Open Kreblin GBC ROM\.\.\.$"
ABOUT_TITLE = "^About$"
CLIENT_HEIGHT = 376  # the main window's client area below the menu bar
LOADED_ROM_GROUP = (8, 0, 185, 41)  # the group with the Version caption: x, y, width, height in the client area
PIKACHU = 24  # list position of the species the edit road uses
SETTLE = 0.3  # after typing, so that the last key is handled before the next step


class Skip(Exception):
    pass


def log(message):
    print(f"[{time.monotonic() - START:6.2f}s] {message}", flush=True)


START = time.monotonic()


class Run:
    """One case: its session, its image and the program's main window."""

    def __init__(self, session, image_path, image):
        self.s = session
        self.path = image_path
        self.image = image
        self.main = None
        self.initial = os.stat(image_path)  # as built: no write has touched it

    # ---- the program -------------------------------------------------------------

    def start_program(self, executable, *args):
        self.s.start_program(executable, *args)
        self.main = self.s.wait_for_window(MAIN_TITLE, "the main window to appear")
        log(f"main window {self.main}")

    def loaded_rom_pixels(self):
        """The pixels of the group that shows the Version caption."""
        main = self.s.geometry(self.main.wid)
        if main is None:
            raise E2EFailure("the main window is gone")
        x, y, width, height = LOADED_ROM_GROUP
        return self.s.grab_ppm(main.x + x, main.y + main.height - CLIENT_HEIGHT + y, width, height)

    def focus_main(self):
        self.s.activate(self.main, "the main window")

    def open_image(self, focus_after=True):
        """File, Open with Ctrl+O; the path is typed into the file dialog.

        `focus_after`: give the main window the focus again afterwards (not
        when the open ends in a message, which holds the focus).
        """
        self.focus_main()
        self.s.key("ctrl+o")
        dialog = self.s.wait_for_window(DIALOG_TITLE, "the open dialog", exclude={self.main.wid})
        self.s.activate(dialog, "the open dialog")
        time.sleep(SETTLE)
        # The file-name field has the focus when the dialog opens.
        self.s.type_text(self.path)
        time.sleep(SETTLE)
        self.s.key("Return")
        self.s.wait_window_gone(dialog.wid, "the open dialog to close after Return")
        if focus_after:
            self.focus_main()
        time.sleep(SETTLE)
        log("image opened")

    def pick_position(self, position):
        """Moves the species list to a position with the keyboard.

        After an open the list holds the keyboard focus at position 0.
        """
        self.s.key("Home")
        self.s.key(*(["Down"] * position))
        time.sleep(SETTLE)

    def type_into_hp(self, text):
        """Tab from the species list to HP (the next in the Tab order), replace its text."""
        self.s.key("Tab")
        self.s.key("ctrl+a")
        self.s.type_text(text)
        time.sleep(SETTLE)

    def save(self):
        self.focus_main()
        self.s.key("ctrl+s")

    # ---- windows -------------------------------------------------------------

    def other_windows(self):
        """The program's visible windows besides the main window."""
        return [w for w in self.s.program_windows() if w.wid != self.main.wid]

    def message_windows(self):
        # A message box carries the program's title, like the main window.
        return [w for w in self.s.program_windows(MAIN_TITLE) if w.wid != self.main.wid]

    def expect_no_other_windows(self, when):
        extra = self.other_windows()
        if extra:
            raise E2EFailure(f"{when}: unexpected windows are open: {extra}")

    def menu_title_centres(self):
        """Screen x of the middle of each menu title, and the menu bar's middle y.

        The titles are found as runs of dark pixels in the menu bar, so the
        clicks do not depend on the font's widths.
        """
        bar_height = self.main.height - CLIENT_HEIGHT
        if not 10 <= bar_height <= 60:
            raise E2EFailure(f"the main window is {self.main.height} pixels high; no menu bar found above "
                             f"the {CLIENT_HEIGHT}-pixel client area")
        rows = self.s.grab_ppm(self.main.x, self.main.y, min(300, self.main.width), bar_height)
        dark = [any(sum(row[x]) < 3 * 110 for row in rows) for x in range(len(rows[0]))]
        runs, start, gap = [], None, 0
        for x, is_dark in enumerate(dark + [False] * 8):
            if is_dark:
                if start is None:
                    start = x
                gap, end = 0, x
            elif start is not None:
                gap += 1
                if gap > 6:  # letters of one title are closer than this
                    runs.append((start, end))
                    start = None
        centres = [self.main.x + (a + b) // 2 for a, b in runs]
        if len(centres) < 2:
            raise E2EFailure(f"expected the menu titles File and Help in the menu bar, found {len(centres)}")
        return centres, self.main.y + bar_height // 2

    def choose_help_about(self):
        """Help, About with the mouse: a click on the title, one on the item."""
        centres, bar_y = self.menu_title_centres()
        before = self.s.mapped_root_children()
        self.s.click(centres[1], bar_y)

        def popup():
            new = [w for w in self.s.mapped_root_children() - before]
            windows = [self.s.geometry(w) for w in new]
            return next((w for w in windows if w is not None and w.y >= bar_y), None)

        menu = wait_until(popup, 10, "the Help menu to open")
        # The menu's only item is About.
        self.s.click(menu.x + min(30, menu.width // 2), menu.y + menu.height // 2)
        wait_until(lambda: self.s.geometry(menu.wid) is None, 10, "the Help menu to close")

    # ---- the file ------------------------------------------------------------

    def stat(self):
        return os.stat(self.path)

    def wait_for_save(self, before, what):
        """Waits until the file was written after `before` and has been quiet for a moment."""
        wait_until(lambda: self.stat().st_mtime_ns != before.st_mtime_ns, 20, what)
        last = self.stat().st_mtime_ns
        quiet_since = time.monotonic()
        while time.monotonic() - quiet_since < 0.5:
            time.sleep(0.05)
            now = self.stat().st_mtime_ns
            if now != last:
                last, quiet_since = now, time.monotonic()

    def expect_bytes(self, expected, when):
        found = romimage.differences(expected, romimage.read_image(self.path))
        if found:
            raise E2EFailure(f"{when}: the file differs from what was expected: " + "; ".join(found))

    def expect_untouched(self, when):
        """The file as built: not written at all, not only equal in its bytes."""
        after = self.stat()
        if after.st_mtime_ns != self.initial.st_mtime_ns or after.st_size != self.initial.st_size:
            raise E2EFailure(f"{when}: the file was written (time stamp or size changed)")
        self.expect_bytes(self.image, when)


# ---- cases ---------------------------------------------------------------------


def case_crystal_edit(run):
    """The road of one edit: open, position 24, HP 40, Ctrl+S, one byte changed."""
    run.open_image()
    run.pick_position(PIKACHU)
    run.type_into_hp("40")
    before = run.stat()
    run.save()
    run.wait_for_save(before, "Ctrl+S to write the file")
    expected = bytearray(run.image)
    expected[romimage.hp_offset(romimage.CRYSTAL, PIKACHU)] = 40
    run.expect_bytes(bytes(expected), "after saving HP 40 at position 24")
    run.expect_no_other_windows("after the save")


def case_unchanged_save(run):
    """Saving a species without a change writes it but leaves every byte as it was."""
    run.open_image()
    run.pick_position(PIKACHU)
    before = run.stat()
    run.save()
    run.wait_for_save(before, "Ctrl+S to write the file")
    run.expect_bytes(run.image, "after an unchanged save")
    run.expect_no_other_windows("after the save")


def case_refused_value(run):
    """HP 300 is refused with one message, closed with Enter; nothing is written."""
    run.open_image()
    run.pick_position(PIKACHU)
    run.type_into_hp("300")
    run.save()
    message = wait_for_one_message(run, "the refusal message")
    if message.width >= run.main.width and message.height >= run.main.height:
        raise E2EFailure(f"the message window {message} is as big as the main window")
    run.expect_untouched("while the refusal is shown")
    close_message_with_enter(run, message)
    run.expect_untouched("after the refusal")


def wait_for_one_message(run, what):
    """Waits for a message window and checks that it is the only window besides the main one."""
    message = run.s.wait_for_window(MAIN_TITLE, what, exclude={run.main.wid})
    time.sleep(0.5)  # a second message would show up by now
    messages = run.message_windows()
    if len(messages) != 1:
        raise E2EFailure(f"expected one message window, found {len(messages)}: {messages}")
    others = [w for w in run.other_windows() if w.wid != message.wid]
    if others:
        raise E2EFailure(f"besides the message, unexpected windows are open: {others}")
    return message


def close_message_with_enter(run, message):
    """Keeps a picture of the message, closes it with Enter and checks that it was the only one."""
    run.s.screenshot(run.shot_path.replace(".png", "-message.png"))
    run.s.activate(message, "the message window")
    run.s.key("Return")
    run.s.wait_window_gone(message.wid, "the message window to close on Enter")
    time.sleep(SETTLE)
    run.expect_no_other_windows("after Enter closed the message")


def save_changes_nothing(run, what):
    """Ctrl+S shows no window and leaves the file untouched."""
    run.save()
    # Help, About is handled after Ctrl+S: once its window is shown, Ctrl+S
    # has run (or been ignored).
    run.choose_help_about()
    about = run.s.wait_for_window(ABOUT_TITLE, "the About window (after Ctrl+S)", exclude={run.main.wid})
    time.sleep(0.5)
    others = [w for w in run.other_windows() if w.wid != about.wid]
    if others:
        raise E2EFailure(f"Ctrl+S after {what} opened windows: {others}")
    run.expect_untouched(f"after Ctrl+S on {what}")


def case_unknown_rom(run):
    """An image with the header byte 0x35 is not recognised; Ctrl+S then does nothing."""
    run.open_image()
    save_changes_nothing(run, "an unknown image")


def case_unknown_layout(run):
    """A complete image whose base records moved: one message, closed with Enter; Ctrl+S then does nothing."""
    run.open_image(focus_after=False)
    message = wait_for_one_message(run, "the message about the unconfirmed tables")
    run.expect_untouched("while the message is shown")
    close_message_with_enter(run, message)

    save_changes_nothing(run, "the refused image")


def case_about_twice(run):
    """Help, About twice leaves one About window, in front."""
    run.focus_main()
    run.choose_help_about()
    about = run.s.wait_for_window(ABOUT_TITLE, "the About window", exclude={run.main.wid})
    log(f"About window {about}")
    run.focus_main()
    wait_until(lambda: run.s.stacked_above(run.main.wid, about.wid), 10,
               "the main window to come in front of the About window")
    run.choose_help_about()
    wait_until(lambda: run.s.stacked_above(about.wid, run.main.wid), 10,
               "the second Help, About to bring the About window to the front")
    time.sleep(0.5)
    abouts = run.s.program_windows(ABOUT_TITLE)
    if [w.wid for w in abouts] != [about.wid]:
        raise E2EFailure(f"expected the one About window {about.wid}, found {abouts}")
    others = [w for w in run.other_windows() if w.wid != about.wid]
    if others:
        raise E2EFailure(f"unexpected windows are open: {others}")


def case_slider_keys(run):
    """Pitch and Gender moved with the keyboard only, then Ctrl+S: exactly those two bytes change."""
    run.open_image()
    run.pick_position(PIKACHU)
    # From the species list, Tab passes HP to EXP (8 boxes), Cry, Length and
    # Echo before it reaches Pitch.
    run.s.key(*(["Tab"] * 12))
    run.s.key("Home", "Right", "Right", "Right", "Left")
    time.sleep(SETTLE)
    run.s.screenshot(run.shot_path.replace(".png", "-focus.png"))
    run.s.key("Tab")  # Gender follows Pitch
    run.s.key("End", "Left")
    time.sleep(SETTLE)
    before = run.stat()
    run.save()
    run.wait_for_save(before, "Ctrl+S to write the file")
    expected = bytearray(run.image)
    expected[romimage.pitch_offset(romimage.CRYSTAL, PIKACHU)] = 2
    expected[romimage.gender_offset(romimage.CRYSTAL, PIKACHU)] = 0xFD
    run.expect_bytes(bytes(expected), "after Home, Right x3, Left on Pitch and End, Left on Gender")
    run.expect_no_other_windows("after the save")


def case_read_only(run):
    """A read-only image loads; its save is refused with one message and the file stays."""
    run.open_image()
    run.pick_position(PIKACHU)
    run.type_into_hp("40")
    run.save()
    message = run.s.wait_for_window(".", "the message about the read-only file", exclude={run.main.wid})
    time.sleep(0.5)
    others = run.other_windows()
    if len(others) != 1:
        raise E2EFailure(f"expected one message window, found {len(others)}: {others}")
    log(f"message {message}")
    if not message.name.startswith("Error: "):
        raise E2EFailure(f"the message is titled {message.name!r}, not \"Error: \" and a number")
    close_message_with_enter(run, message)
    run.expect_untouched("after saving into a read-only file")


def case_open_argument(run):
    """`quillmere IMAGE` opens the image as File, Open does: the Version caption is
    drawn exactly as after File, Open answered with the same path, and nothing
    else appears. A path that names no file gives one message and the caption
    stays as at start."""
    # The two references, from the same program: the caption at start, and
    # after File, Open through the dialog.
    run.start_program(run.executable)
    at_start = run.loaded_rom_pixels()
    run.open_image()
    opened = run.loaded_rom_pixels()
    if opened == at_start:
        raise E2EFailure("File, Open left the Version caption as it was at start")
    run.s.stop_program()

    run.start_program(run.executable, run.path)
    wait_until(lambda: run.loaded_rom_pixels() == opened, 10,
               "the Version caption to show the image's version as File, Open shows it")
    time.sleep(0.5)  # a message would show up by now
    run.expect_no_other_windows("after starting with the image")
    run.s.screenshot(run.shot_path.replace(".png", "-image.png"))
    run.s.stop_program()
    run.expect_untouched("after starting with the image")

    # The message and the main window carry the same title; the message is the smaller.
    run.s.start_program(run.executable, run.path + ".missing")
    windows = wait_until(lambda: (lambda found: found if len(found) >= 2 else None)(
        run.s.program_windows(MAIN_TITLE)), 20, "the main window and a message about the missing file")
    windows.sort(key=lambda w: w.width * w.height)
    message, run.main = windows[0], windows[-1]
    time.sleep(0.5)
    if len(run.s.program_windows()) != 2:
        raise E2EFailure(f"expected the main window and one message, found {run.s.program_windows()}")
    close_message_with_enter(run, message)
    if run.loaded_rom_pixels() != at_start:
        raise E2EFailure("after the message about a missing file the Version caption is not the one at start")


def shown_fields(bus):
    """The main window's caption tooltip, base stats, pointer and pitch, as the
    accessibility interface reads them."""
    app = bus.application()
    main = app.find(lambda n: n.role() == "frame" and n.name() == "Quillmere", "main window")
    tip = main.find(lambda n: n.role() == "label" and n.description().startswith(("Image in use", "No image")),
                    "caption with the image in use")
    stats = {}
    for node in main.find_all(lambda n: n.role() in ("text", "scroll bar")):
        words = node.description().split(":")[0]
        if words in STAT_FIELDS or words == "Move/evolution pointer":
            stats[words] = node.text()
        elif words == "Cry pitch":
            stats[words] = int(node.value())
    return tip.description(), stats


# The base record's bytes 1 to 6, as the window's tooltips name them.
STAT_FIELDS = ("Base hit points", "Base attack", "Base defense", "Base speed", "Base special attack",
               "Base special defense")


def case_modified_game(run):
    """A modified game whose five tables moved by odd amounts, under a game code
    no release has, opened through File, Open: the caption's tooltip names it a
    modified game based on Crystal, the fields show the moved records, and HP
    saved lands in the moved record and nowhere else."""
    bus = AccessibilityBus(run.s)
    run.open_image()
    run.pick_position(PIKACHU)
    tip, shown = shown_fields(bus)
    layout = tip.split("\n")[1]
    if layout != "Modified game layout, based on Kreblin Crystal Version: its code proves where its tables are":
        raise E2EFailure(f"the caption's tooltip says {tip!r}")
    if run.path not in tip:
        raise E2EFailure(f"the caption's tooltip does not name the image {run.path}: {tip!r}")
    tables = romimage.MODIFIED_TABLES
    record = tables["base"] + 32 * PIKACHU
    pointer = tables["pointers"] + 2 * PIKACHU
    expected = {words: str(run.image[record + 1 + k]) for k, words in enumerate(STAT_FIELDS)}
    expected["Move/evolution pointer"] = run.image[pointer:pointer + 2].hex().upper()
    expected["Cry pitch"] = run.image[tables["cries"] + 6 * PIKACHU + 2]
    if shown != expected:
        raise E2EFailure(f"the window shows {shown}, the moved tables hold {expected}")

    hp = 40 if run.image[record + 1] != 40 else 41
    run.type_into_hp(str(hp))
    before = run.stat()
    run.save()
    run.wait_for_save(before, "Ctrl+S to write the file")
    saved = bytearray(run.image)
    saved[record + 1] = hp
    run.expect_bytes(bytes(saved), f"after saving HP {hp} at position {PIKACHU}")
    run.expect_no_other_windows("after the save")


def case_modified_game_refused(run):
    """The same game without the routine that reads its cries: one message that
    names that routine, nothing shown, and Ctrl+S writes nothing."""
    bus = AccessibilityBus(run.s)
    run.open_image(focus_after=False)
    message = wait_for_one_message(run, "the message about the unproven tables")
    texts = [n.name() for w in bus.windows() if w.name() != "Quillmere" or w.role() != "frame"
             for n in w.find_all(lambda n: "reads its" in n.name())]
    if len(texts) != 1 or "the routine through which the game reads its cry entries does not occur in it" \
            not in texts[0]:
        raise E2EFailure(f"expected one message about the cry routine, found {texts}")
    run.expect_untouched("while the message is shown")
    close_message_with_enter(run, message)
    tip, shown = shown_fields(bus)
    if not tip.split("\n")[1].startswith("Unknown layout: "):
        raise E2EFailure(f"after the refusal the caption's tooltip says {tip!r}")
    if any(shown[words] for words in STAT_FIELDS + ("Move/evolution pointer",)):
        raise E2EFailure(f"after the refusal the window shows values: {shown}")
    save_changes_nothing(run, "the refused modified game")


CASES = {
    "crystal_edit": (case_crystal_edit, romimage.CRYSTAL),
    "unchanged_save": (case_unchanged_save, romimage.CRYSTAL),
    "refused_value": (case_refused_value, romimage.CRYSTAL),
    "unknown_rom": (case_unknown_rom, 0x35),
    "unknown_layout": (case_unknown_layout, romimage.CRYSTAL, romimage.build_complete_moved_image),
    "about_twice": (case_about_twice, romimage.CRYSTAL),
    "read_only": (case_read_only, romimage.CRYSTAL),
    "open_argument": (case_open_argument, romimage.CRYSTAL),
    "slider_keys": (case_slider_keys, romimage.CRYSTAL),
    "modified_game": (case_modified_game, romimage.CRYSTAL, romimage.build_modified_game),
    "modified_game_refused": (case_modified_game_refused, romimage.CRYSTAL,
                              romimage.build_modified_game_without_cry_routine),
}
# Cases that start the program themselves, with their own arguments.
STARTS_ITSELF = {"open_argument"}
# Cases that read the window through the accessibility interface.
READS_WIDGETS = {"modified_game", "modified_game_refused"}


@contextlib.contextmanager
def read_only_file(path):
    """Marks the file read-only. The editor honours the mark also when it runs
    as root, which the system itself would let write."""
    os.chmod(path, 0o444)
    try:
        yield
    finally:
        os.chmod(path, 0o644)


def run_case(name, program, artifacts):
    case, header, *builder = CASES[name]
    build = builder[0] if builder else romimage.build_image
    shot = os.path.join(artifacts, name + ".png")
    session = XSession(log)
    try:
        session.start()
        if name in READS_WIDGETS:
            session.start_session_bus()
        path = os.path.join(session.tmp, f"kreblin-{name}.gbc")
        image = build(path, header)
        run = Run(session, path, image)
        run.shot_path = shot
        run.executable = program
        guard = read_only_file(path) if name == "read_only" else contextlib.nullcontext()
        with guard:
            try:
                if name not in STARTS_ITSELF:
                    run.start_program(program)
                case(run)
                session.check_program_running()
                # The program keeps no settings: its file dialog wrote nothing.
                left = session.files_in_program_config()
                if left:
                    raise E2EFailure("the program wrote into its configuration folder: " + ", ".join(left))
            finally:
                # The end state, passed or failed, while the program still runs.
                with contextlib.suppress(Exception):
                    session.screenshot(shot)
                    log(f"screen kept as {shot}")
        log(f"{name}: passed")
        return 0
    except Skip as skip:
        log(f"{name}: skipped: {skip}")
        return SKIPPED
    except E2EFailure as failure:
        log(f"{name}: FAILED: {failure}")
        if session.program is not None and "the program ended" not in str(failure):
            log("program output:\n" + session.process_log("program"))
        return 1
    except Exception:
        log(f"{name}: FAILED with an error in the test itself:\n{traceback.format_exc()}")
        return 1
    finally:
        session.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="the built quillmere executable")
    parser.add_argument("--artifacts", required=True, help="folder for the screenshots")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        log(f"the program {args.program} is missing or not executable")
        return 1
    return run_case(args.case, os.path.abspath(args.program), os.path.abspath(args.artifacts))


if __name__ == "__main__":
    sys.exit(main())
