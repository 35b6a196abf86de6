"""The sweep kept in files from the command line, with no display and no sound server: the
MIDI read back by an independent reader, the sound's notes found by the note finder, every
sound format decoded, and each error with its message and exit status, leaving nothing
behind and no file changed."""

import os
import shutil
import stat
import subprocess
import tempfile
import unittest
import wave

import mido
import numpy as np
import soundfile

import reference
import sound
from test_command_line import without_display

PROGRAM = os.environ.get("RAMP_SONIFIER", "build/ramp-sonifier")
SLOT = 0.060  # each note's pause before it, from the sweep's start
ENVIRONMENT = {name: value for name, value in without_display().items()
               if name != "PULSE_SERVER"}
SUFFIXES = "use .wav, .flac, .ogg, .mp3, .mid or .png"
NO_SOUNDFONT = "no General MIDI soundfont found (install fluid-soundfont-gm)"


def export(*arguments, env=None, cwd=None):
    return subprocess.run([PROGRAM, *arguments], capture_output=True, text=True, timeout=60,
                          env=dict(ENVIRONMENT, **(env or {})), cwd=cwd)


def midi_events(path):
    """[(seconds from the start, message)] of the file's one track, meta events included."""
    midi = mido.MidiFile(path)
    assert (midi.type, len(midi.tracks)) == (0, 1), (midi.type, len(midi.tracks))
    tempo, seconds, events = 500000, 0.0, []
    for message in midi.tracks[0]:
        seconds += mido.tick2second(message.time, midi.ticks_per_beat, tempo)
        if message.type == "set_tempo":
            tempo = message.tempo
        events.append((seconds, message))
    return events


def left_channel(path):
    with wave.open(path) as file:
        assert (file.getnchannels(), file.getsampwidth(), file.getframerate()) == (2, 2, 44100)
        frames = np.frombuffer(file.readframes(file.getnframes()), dtype="<i2")
    return frames.reshape(-1, 2)[:, 0].astype(float) / 32768


def loudness(audio):
    """The left channel's loudness (root mean square) in each 10 ms."""
    frames = len(audio) // 441 * 441
    return np.sqrt((audio[:frames, 0] ** 2).reshape(-1, 441).mean(1))


class Folder:
    """A fresh folder for one test's files."""

    def __init__(self, test):
        self.path = tempfile.mkdtemp(prefix="ramp-export-")
        test.addCleanup(shutil.rmtree, self.path, True)

    def __truediv__(self, name):
        return os.path.join(self.path, name)

    def listing(self):
        return sorted(os.listdir(self.path))


class ExportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="ramp-export-")
        cls.addClassCleanup(shutil.rmtree, cls.folder, True)
        cls.files = {}
        for whole in (500, 250, 7):
            files = {suffix: os.path.join(cls.folder, "sweep-%d.%s" % (whole, suffix))
                     for suffix in ("mid", "wav", "flac", "ogg", "mp3", "png")}
            options = [option for path in files.values() for option in ("--export", path)]
            result = export(*options, "--whole", str(whole))
            assert (result.returncode, result.stdout, result.stderr) == (0, "", ""), result
            cls.files[whole] = files

    def test_midi_holds_the_program_change_then_the_sweeps_notes_60_ms_apart(self):
        for whole in (500, 250, 7):
            with self.subTest(whole=whole):
                events = midi_events(self.files[whole]["mid"])
                messages = [(seconds, message) for seconds, message in events
                            if not message.is_meta]
                self.assertEqual(messages[0][1].dict(), {"type": "program_change", "time": 0,
                                                         "channel": 0, "program": 10})
                self.assertEqual(messages[0][0], 0)
                notes = messages[1:]
                self.assertEqual([(m.type, m.channel, m.velocity) for _, m in notes],
                                 [("note_on", 0, 100)] * 126)
                self.assertEqual([m.note for _, m in notes], reference.notes(whole))
                for step, (seconds, _) in enumerate(notes, 1):
                    self.assertAlmostEqual(seconds, step * SLOT, places=9, msg=step)
                # The track goes on while the last note rings out.
                end, last = events[-1]
                self.assertEqual(last.type, "end_of_track")
                self.assertTrue(4 <= end - notes[-1][0] <= 6, end - notes[-1][0])

    def test_default_whole_is_500(self):
        folder = Folder(self)
        result = export("--export", folder / "default.mid")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(folder / "default.mid", "rb") as default, \
                open(self.files[500]["mid"], "rb") as given:
            self.assertEqual(default.read(), given.read())

    def test_wav_holds_each_note_in_its_60_ms_slot_until_the_sound_dies_away(self):
        attacks = sound.attacks()
        for whole in (500, 250):
            with self.subTest(whole=whole):
                audio = left_channel(self.files[whole]["wav"])
                found = sound.find_notes(audio, 126, attacks, intervals=[SLOT] * 125)
                self.assertEqual([note for _, note, _ in found], reference.notes(whole),
                                 "found (onset, note, match): %s" % found)
                slots = [round(step * SLOT * sound.RATE) for step in range(1, 127)]
                late = [(step, onset - slot) for step, ((onset, _, _), slot)
                        in enumerate(zip(found, slots), 1) if abs(onset - slot) >= sound.BLOCK]
                self.assertEqual(late, [], "(step, frames off its slot)")
                self.assertEqual(np.abs(audio[:found[0][0]]).max(), 0, "sound before the first")
                self.assertEqual(sound.dropouts(audio, found[0][0], found[-1][0]), [])
                # It ends once the last note has died away, below what 16 bits can hold.
                ring_out = (len(audio) - found[-1][0]) / sound.RATE
                self.assertTrue(3 <= ring_out <= 6, ring_out)
                self.assertLess(np.abs(audio[-sound.RATE // 10:]).max(), 2 / 32768)

    def test_every_sound_format_holds_the_same_sound(self):
        for whole in (500, 7):
            files = self.files[whole]
            wav, rate = soundfile.read(files["wav"])
            for suffix, kind in [("flac", "FLAC"), ("ogg", "OGG"), ("mp3", "MP3")]:
                with self.subTest(whole=whole, format=suffix):
                    info = soundfile.info(files[suffix])
                    self.assertEqual((info.format, info.samplerate, info.channels),
                                     (kind, 44100, 2))
                    decoded, _ = soundfile.read(files[suffix])
                    self.assertEqual(decoded.shape, wav.shape)
                    if suffix == "flac":
                        self.assertTrue(np.array_equal(decoded, wav))
                    else:
                        # Lossy, but the same sound at the same moments: close sample for
                        # sample, and as loud as it, 10 ms by 10 ms.
                        error = np.linalg.norm(decoded - wav) / np.linalg.norm(wav)
                        self.assertLess(error, 0.15)
                        self.assertGreater(np.corrcoef(loudness(decoded), loudness(wav))[0, 1],
                                           0.999)

    def test_png_is_the_plot_660_by_500(self):
        for whole in (500, 7):
            with self.subTest(whole=whole):
                with open(self.files[whole]["png"], "rb") as png:
                    header = png.read(24)
                self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual((int.from_bytes(header[16:20], "big"),
                                  int.from_bytes(header[20:24], "big")), (660, 500))


class ExportFilesTest(unittest.TestCase):
    def test_each_export_gets_its_file_and_replaces_a_file_there_whole(self):
        folder = Folder(self)
        with open(folder / "kept.mid", "wb") as old:
            old.write(b"an earlier file")
        os.chmod(folder / "kept.mid", 0o640)
        result = export("--export", folder / "kept.mid", "--export", folder / "SWEEP.PNG",
                        "--whole", "1000", "--export", folder / "other.mid")
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(folder.listing(), ["SWEEP.PNG", "kept.mid", "other.mid"])
        with open(folder / "kept.mid", "rb") as kept, open(folder / "other.mid", "rb") as other:
            self.assertEqual(kept.read(), other.read())
        self.assertEqual(stat.S_IMODE(os.stat(folder / "kept.mid").st_mode), 0o640)

    def test_a_file_name_without_a_folder_goes_in_the_working_folder(self):
        folder = Folder(self)
        result = export("--export", "sweep.mid", cwd=folder.path)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(folder.listing(), ["sweep.mid"])


class ExportErrorTest(unittest.TestCase):
    """Each error: its message, its exit status, nothing left behind, no file changed."""

    OLD = b"an earlier file"

    def check(self, arguments, status, message, folder, env=None, kept=()):
        """Runs the program with `arguments` (FOLDER in them standing for the folder), and
        checks its exit status, its first line on stderr, that the folder holds only the
        files `kept` besides the earlier file "old.wav", which is unchanged."""
        with open(folder / "old.wav", "wb") as old:
            old.write(self.OLD)
        result = export(*[argument.replace("FOLDER", folder.path) for argument in arguments],
                        env=env)
        self.assertEqual((result.returncode, result.stdout), (status, ""), result.stderr)
        self.assertEqual(result.stderr.splitlines()[0],
                         message.replace("FOLDER", folder.path))
        self.assertEqual(folder.listing(), sorted(["old.wav", *kept]))
        with open(folder / "old.wav", "rb") as old:
            self.assertEqual(old.read(), self.OLD)

    def test_errors_of_the_command_line(self):
        for arguments, status, message in [
                (["--export", "FOLDER/old.txt"], 4,
                 "ramp-sonifier: cannot write 'FOLDER/old.txt': no format has this suffix (%s)"
                 % SUFFIXES),
                (["--export", "FOLDER/sweep"], 4,
                 "ramp-sonifier: cannot write 'FOLDER/sweep': no format has this suffix (%s)"
                 % SUFFIXES),
                # Every file is checked before any is written.
                (["--export", "FOLDER/a.mid", "--export", "FOLDER/old.wav.bak"], 4,
                 "ramp-sonifier: cannot write 'FOLDER/old.wav.bak': no format has this suffix "
                 "(%s)" % SUFFIXES),
                *[(["--export", "FOLDER/old.wav", "--whole", whole], 3,
                   "ramp-sonifier: --whole takes a whole number from 1 to 1000, not '%s'" % whole)
                  for whole in ("0", "1001", "-5", "2.5", "abc", "", " 5", "99999999999")],
                (["--export", "FOLDER/old.wav", "--whole", "5", "--whole", "6"], 2,
                 "ramp-sonifier: --whole may be given only once."),
                (["--whole", "5"], 2, "ramp-sonifier: --whole needs --export."),
                (["--export"], 2, "ramp-sonifier: Missing value after '--export'."),
                (["--export", "FOLDER/a.mid", "FOLDER/b.mid"], 2,
                 "ramp-sonifier: Unexpected argument 'FOLDER/b.mid'.")]:
            with self.subTest(arguments=arguments):
                self.check(arguments, status, message, Folder(self))

    def test_a_folder_that_cannot_be_written(self):
        folder = Folder(self)
        os.mkdir(folder / "folder.png")
        for arguments, message in [
                (["--export", "FOLDER/missing/sweep.wav"],
                 "cannot write 'FOLDER/missing/sweep.wav': the folder does not exist"),
                (["--export", "FOLDER/old.wav/sweep.wav"],
                 "cannot write 'FOLDER/old.wav/sweep.wav': the folder does not exist"),
                (["--export", "FOLDER/folder.png"],
                 "cannot write 'FOLDER/folder.png': it is a folder")]:
            with self.subTest(arguments=arguments):
                self.check(arguments, 5, "ramp-sonifier: " + message, folder,
                           kept=["folder.png"])

    def test_no_soundfont_for_a_sound_file_and_the_others_still_written(self):
        empty = Folder(self)
        folder = Folder(self)
        self.check(["--export", "FOLDER/old.wav", "--export", "FOLDER/sweep.mid",
                    "--export", "FOLDER/sweep.flac"], 7,
                   "ramp-sonifier: cannot write 'FOLDER/old.wav': " + NO_SOUNDFONT, folder,
                   env={"XDG_DATA_HOME": empty.path, "XDG_DATA_DIRS": empty.path},
                   kept=["sweep.mid"])

    @unittest.skipUnless(os.geteuid() == 0, "a small or read-only file system of its own "
                                            "needs root (a mount namespace)")
    def test_full_disk_and_read_only_folder(self):
        for options, arguments, status, message in [
                ("size=128k", ["--export", "FOLDER/old.wav"], 6,
                 "cannot write 'FOLDER/old.wav': the disk is full"),
                ("size=128k", ["--export", "FOLDER/a.mid", "--export", "FOLDER/sweep.flac"], 6,
                 "cannot write 'FOLDER/sweep.flac': the disk is full"),
                ("ro", ["--export", "FOLDER/old.wav"], 5,
                 "cannot write 'FOLDER/old.wav': the folder is on a read-only file system")]:
            with self.subTest(options=options, arguments=arguments):
                self.check_in_mount(options, arguments, status, "ramp-sonifier: " + message)

    def check_in_mount(self, options, arguments, status, message):
        """As check(), in a folder on a tmpfs of its own mounted with `options`, in a mount
        namespace that ends with the program."""
        folder = Folder(self)
        mounted = os.path.join(folder.path, "mounted")
        os.mkdir(mounted)
        script = """
            set -e
            mount -t tmpfs -o size=1m ramp-export "$1"
            printf '%s' "$2" > "$1/old.wav"
            mount -o "remount,$3" "$1"
            shift 3
            status=0
            "$@" 2> "$ERRORS" || status=$?
            echo "$status"
            ls -A "$MOUNTED"
            echo ---
            cat "$MOUNTED/old.wav"
        """
        command = [argument.replace("FOLDER", mounted) for argument in arguments]
        errors = os.path.join(folder.path, "errors")
        result = subprocess.run(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh",
             mounted, self.OLD.decode(), options, PROGRAM, *command], capture_output=True,
            text=True, timeout=60, env=dict(ENVIRONMENT, ERRORS=errors, MOUNTED=mounted))
        self.assertEqual(result.stderr, "")
        lines = result.stdout.split("\n")
        separator = lines.index("---")
        self.assertEqual(int(lines[0]), status)
        with open(errors) as stderr:
            self.assertEqual(stderr.read().splitlines()[0], message.replace("FOLDER", mounted))
        kept = ["old.wav"] + (["a.mid"] if "FOLDER/a.mid" in arguments else [])
        self.assertEqual(sorted(lines[1:separator]), sorted(kept))
        self.assertEqual("\n".join(lines[separator + 1:]), self.OLD.decode())


if __name__ == "__main__":
    unittest.main()
