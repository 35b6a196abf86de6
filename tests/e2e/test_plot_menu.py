"""The plot's context menu in the real window, reached through the accessibility bus: its items
by name, disabled until a sweep has run; and what each saves or copies is what the sweep that
was played did, its circles as drawn and its notes as sent, with a whole changed during it.
A save made during a sweep keeps the sweep before it and holds up nothing; a file that cannot
be written is said in a message box, and the sweep can be saved again."""

import os
import subprocess
import tempfile
import unittest
import wave

import numpy as np

import reference
import sound
from desktop import Image
from harness import LAST_X, LAST_Y, DesktopTestCase, EDIT, RUN
from plot import PLOT, WINDOW, pixels, settled_plot
from test_export import export, midi_events
from waits import until

ITEMS = ["Save Sound As…", "Save MIDI As…", "Save Picture As…", "Copy Picture"]
ON_PLOT = (WINDOW[0] + PLOT[0] + 300, WINDOW[1] + PLOT[1] + 200)


def picture(path):
    return pixels(Image.load(path))


class PlotMenuTest(DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.folder = tempfile.mkdtemp(prefix="ramp-menu-", dir=cls.desktop.folder)
            cls.program = cls.desktop.start_program()
            cls.window = cls.desktop.wait_window(program=cls.program)
            cls.controls = cls.a11y.application(cls.program)
            from gi.repository import GLib
            cls.glib = GLib
        except BaseException:
            super().tearDownClass()
            raise

    def open_menu(self, at=ON_PLOT):
        """Right-clicks the plot and returns the menu that shows. A menu that pops up is not
        among the application's windows on the bus: it is found by the event of its showing."""
        pyatspi = self.a11y.pyatspi
        shown, seen = [], []

        def showing(event):
            try:
                role = event.source.getRoleName()
            except Exception:  # an object that has gone again, such as a closed dialog's
                return
            seen.append((role, event.detail1))
            if role == "popup menu" and event.detail1 == 1:
                shown.append(event.source)

        def events():
            while self.glib.MainContext.default().iteration(False):
                pass
            return shown

        pyatspi.Registry.registerEventListener(showing, "object:state-changed:showing")
        try:
            self.desktop.run("xdotool", "mousemove", str(at[0]), str(at[1]), "click", "3")
            until(events, 5, "a menu showing after the right click", lambda: seen,
                  interval=0.01)
        finally:
            pyatspi.Registry.deregisterEventListener(showing, "object:state-changed:showing")
        return shown[0]

    def items(self, menu):
        """{name: enabled} of the menu's items, in order."""
        pyatspi = self.a11y.pyatspi
        return {item.name: item.getState().contains(pyatspi.STATE_ENABLED) for item in menu
                if item.getRoleName() == "menu item"}

    def choose(self, name):
        """Opens the menu and presses its item `name` through the bus."""
        menu = self.open_menu()
        item = [item for item in menu if item.name == name][0]
        action = item.queryAction()
        action.doAction([action.getName(i) for i in range(action.nActions)].index("Press"))

    def window_named(self, title, timeout=10):
        """The X id of the program's window `title`, once it shows."""
        try:
            found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                    "^%s$" % title], env=self.desktop.env, capture_output=True,
                                   text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("no window named %r within %d s; the screen: %s"
                      % (title, timeout, self.desktop.keep_screenshot("no-" + title.replace(" ", "-"))))
        return found.stdout.split()[0]

    def save(self, item, title, name, suggested=None):
        """Saves through the menu's item: types the file's path into the dialog `title`, once
        it shows, and returns the path. With `suggested`, checks the name the dialog offers."""
        self.choose(item)
        dialog = self.window_named(title)
        if suggested:
            self.assertEqual(self.file_name_field(title), suggested)
        return self.type_path(dialog, name)

    def type_path(self, dialog, name):
        """Types the path of `name` in the test's folder into the file dialog, and Return."""
        path = name if os.path.isabs(name) else os.path.join(self.folder, name)
        self.desktop.run("xdotool", "windowfocus", "--sync", dialog)
        self.desktop.key("ctrl+a")
        self.desktop.type(path)
        self.desktop.key("Return")
        return path

    def file_name_field(self, title):
        """What the file name field of the dialog `title` holds."""
        dialogs = [window for window in self.controls.app if window and window.name == title]
        self.assertEqual(len(dialogs), 1, "dialogs named %r" % title)
        pending = [dialogs[0]]
        while pending:
            node = pending.pop()
            if node.getRoleName() == "text" and node.name.startswith("File name"):
                text = node.queryText()
                return text.getText(0, text.characterCount)
            pending.extend(child for child in node if child is not None)
        self.fail("no file name field in %r" % title)

    def wait_file(self, path, timeout=10):
        """Waits for `path` to appear, whole: files are written beside and renamed."""
        until(lambda: os.path.exists(path), timeout, "%s written" % path,
              lambda: "the folder holds %s" % os.listdir(os.path.dirname(path)))
        return path

    def set_whole(self, value):
        self.desktop.click(*EDIT)
        self.desktop.key("ctrl+a")
        self.desktop.type(str(value))

    def sweep(self, whole):
        """Sets whole, plays a sweep to its end and returns the plot as shown then."""
        self.set_whole(whole)
        self.desktop.click(*RUN)
        self.controls.wait_sweep_past(100)
        self.controls.wait_read_outs((LAST_X, LAST_Y))
        return settled_plot(self.desktop)

    def test_1_items_are_named_and_disabled_before_the_first_sweep(self):
        menu = self.open_menu()
        self.assertEqual(self.items(menu), dict.fromkeys(ITEMS, False))
        self.desktop.key("Escape")

    def test_2_each_item_keeps_the_sweep_that_was_played(self):
        shown = self.sweep(250)
        self.assertEqual(self.items(self.open_menu()), dict.fromkeys(ITEMS, True))
        self.desktop.key("Escape")

        # The picture: as copied, as saved, and as the command line makes it for that whole.
        self.choose("Copy Picture")
        copied = os.path.join(self.folder, "copied.png")
        with open(copied, "wb") as out:
            subprocess.run(["xclip", "-selection", "clipboard", "-target", "image/png", "-out"],
                           env=self.desktop.env, stdout=out, timeout=10, check=True)
        saved = self.wait_file(self.save("Save Picture As…", "Save Picture As", "saved.png",
                                         suggested="sweep-whole-250.png"))
        exported = os.path.join(self.folder, "exported.png")
        self.assertEqual(export("--export", exported, "--whole", "250").returncode, 0)
        for name, path in [("copied", copied), ("saved", saved), ("exported", exported)]:
            with self.subTest(picture=name):
                self.assertEqual(picture(path).shape, (500, 660, 3))
                self.assertEqual(np.count_nonzero((picture(path) != shown).any(axis=2)), 0)

        # The notes as sent, at the moments they were sent, and the sound rendered from them.
        midi = self.wait_file(self.save("Save MIDI As…", "Save MIDI As", "played.mid",
                                        suggested="sweep-whole-250.mid"))
        notes = [(seconds, message.note) for seconds, message in midi_events(midi)
                 if message.type == "note_on"]
        self.assertEqual([note for _, note in notes], reference.notes(250))
        intervals = np.diff([seconds for seconds, _ in notes])
        self.assertTrue(notes[0][0] >= 0.06 and 0.0595 <= np.median(intervals) <= 0.065,
                        "note times: %s" % notes)
        wav = self.wait_file(self.save("Save Sound As…", "Save Sound As", "played.wav",
                                       suggested="sweep-whole-250.wav"), timeout=20)
        with wave.open(wav) as file:
            frames = np.frombuffer(file.readframes(file.getnframes()), dtype="<i2")
        audio = frames.reshape(-1, 2)[:, 0].astype(float) / 32768
        found = sound.find_notes(audio, 126, sound.attacks(), intervals=intervals)
        self.assertEqual([note for _, note, _ in found], reference.notes(250))
        # Each starts on the synthesizer's block that holds the moment it was sent, which the
        # MIDI file gives to half a millisecond.
        half_tick = 0.00025 * sound.RATE
        off = [(step, onset - seconds * sound.RATE) for step, ((onset, _, _), (seconds, _))
               in enumerate(zip(found, notes), 1)
               if not -sound.BLOCK - half_tick < onset - seconds * sound.RATE <= half_tick]
        self.assertEqual(off, [], "(step, frames from the moment the note was sent)")

    def test_3_a_whole_changed_during_the_sweep_is_kept_and_a_save_during_the_next_keeps_it(self):
        self.set_whole(250)
        self.desktop.click(*RUN)
        self.controls.wait_sweep_past(150)
        self.set_whole(7)
        self.controls.wait_read_outs((LAST_X, LAST_Y))
        shown = settled_plot(self.desktop)

        # The next sweep runs on while the dialog is open and the file is written.
        self.desktop.click(*RUN)
        self.controls.wait_sweep_past(50)
        self.choose("Save MIDI As…")
        dialog = self.window_named("Save MIDI As")
        during = self.controls.read_outs()
        self.assertEqual(self.file_name_field("Save MIDI As"), "sweep-whole-250-to-7.mid")
        midi = self.type_path(dialog, "during.mid")
        self.wait_file(midi)
        self.assertNotEqual(self.controls.read_outs(), during, "the sweep stood still")
        self.controls.wait_read_outs((LAST_X, LAST_Y))

        notes = [message.note for _, message in midi_events(midi) if message.type == "note_on"]
        changes = [step for step in range(1, 126)
                   if notes == reference.notes(250)[:step] + reference.notes(7)[step:]]
        self.assertTrue(changes, "notes: %s" % notes)
        picture_file = self.wait_file(self.save("Save Picture As…", "Save Picture As",
                                                "after.png", suggested="sweep-whole-7.png"))
        # The sweep that ran meanwhile, with whole 7, is the last now.
        exported = os.path.join(self.folder, "seven.png")
        self.assertEqual(export("--export", exported, "--whole", "7").returncode, 0)
        self.assertTrue(np.array_equal(picture(picture_file), picture(exported)))
        self.assertFalse(np.array_equal(picture(picture_file), shown))

    def test_4_a_file_that_cannot_be_written_is_said_and_the_sweep_kept(self):
        missing = os.path.join(self.folder, "missing", "lost.mid")
        self.save("Save MIDI As…", "Save MIDI As", missing)
        box = self.window_named("ramp-sonifier")
        texts = [node.name for node in self.desktop_labels()]
        self.assertIn("The sweep could not be saved in “%s”: the folder does not exist." % missing,
                      texts)
        self.desktop.dismiss(box, "Return")
        again = self.wait_file(self.save("Save MIDI As…", "Save MIDI As", "again.mid"))
        self.assertEqual(len([m for _, m in midi_events(again) if m.type == "note_on"]), 126)

    def desktop_labels(self):
        """The labels of the program's windows other than the main one."""
        labels, pending = [], [window for window in self.controls.app
                               if window and window.getRoleName() != "frame"]
        while pending:
            node = pending.pop()
            if node.getRoleName() == "label":
                labels.append(node)
            pending.extend(child for child in node if child is not None)
        return labels


if __name__ == "__main__":
    unittest.main()
