"""The real program, driven only as an operator drives it: through the
desktop accessibility interface, on a virtual X display, with the simulated
analyser on a pseudo-terminal.  Checks what the operator sees and what the
program leaves on disk; keeps a screenshot of every stage.

Run under `xvfb-run -a dbus-run-session -- /usr/bin/python3 operator_test.py
--program ... --simulator ... --panel-file ... --artefacts DIR`.
"""
import argparse
import os
import re
import shutil
import signal
import sys
import unittest
import warnings
from pathlib import Path

import accessibility as ui
from accessibility import AccessibilityBus
from display import activate, request_close
from session import Session, remove_serial_locks, serial_lock

MAIN = "Vandrel V3 - Oxygen analyser"
# One measurement line: elapsed seconds with one decimal, a tab, the reading
# in scientific notation.
LOG_LINE = re.compile(r" (\d+\.\d)\t(-?\d\.\d{6}e[+-]\d\d) \n")
OXYGEN = re.compile(r"\s*\d+(\.\d+)?(e[+-]\d+)?\s+ppm O2")
# One event line: local time with its offset, elapsed seconds, event, value,
# limit.
EVENT_LINE = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d\t(\d+\.\d)\t([a-z_]+)\t(\S+)\t(\S+)\n")

paths = None
bus = None


def setUpModule():
    global bus
    # The Debian binding calls deprecated parts of its own library.
    warnings.filterwarnings("ignore", category=DeprecationWarning, module=r"pyatspi\.")
    bus = AccessibilityBus()


def tearDownModule():
    bus.close()


def end_process(pid):
    """Ends a process that the program started, whatever the test did, with
    the serial lock files that it leaves."""
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    ui.wait_for(f"process {pid} to end", lambda: not Path(f"/proc/{pid}").exists()
                or "State:\tZ" in Path(f"/proc/{pid}/status").read_text())
    remove_serial_locks(pid)


def log_lines(path):
    """The complete lines of a recording file, each checked for its format."""
    content = path.read_text() if path.exists() else ""
    lines = content.splitlines(keepends=True)
    if lines and not lines[-1].endswith("\n"):
        lines.pop()  # a line still being written
    for line in lines:
        if not LOG_LINE.fullmatch(line):
            raise AssertionError(f"{path.name}: malformed line {line!r}")
    return lines


class OperatorTest(unittest.TestCase):

    def setUp(self):
        self.session = Session(paths, Path(paths.artefacts) / self._testMethodName)
        self.addCleanup(self.finish)

    def finish(self):
        """Ends the processes; a sanitizer's report fails the test even when
        the program was killed after something else failed, and so does a
        lock left on the analyser's line, which the next user of the machine
        could not remove."""
        self.session.end()
        report = self.session.sanitizer_report()
        self.assertIsNone(report, f"sanitizer report in the program's output:\n{report}")
        self.assertIsNone(serial_lock(self.session.link), "the analyser's line is left locked")

    # ---- the operator's steps ---------------------------------------------------

    def main_window(self):
        """The main window, whatever an alarm puts before its title."""
        return self.app.until(f"the window '{MAIN}'", lambda: next(
            (w for w in self.app.windows("filler") if w.name.endswith(MAIN)), None))

    def title(self):
        return self.main_window().name

    def main_control(self, role, name):
        return self.app.control(self.main_window(), role, name)

    def reading(self):
        return ui.text(self.main_control("text", "Reading"))

    def file_display(self):
        return ui.text(self.main_control("text", "File"))

    def choose_file(self, title, accept, path, stage):
        """Types a path into the program's file dialog and accepts it."""
        dialog = self.app.window("dialog", title)
        ui.enter_text(self.app.control(dialog, "text", "File name:"), str(path))
        self.session.screenshot(stage)
        ui.press(self.app.control(dialog, "push button", accept))
        self.app.window_gone("dialog", title)

    def answer(self, message, button, stage):
        """Answers the popup that shows `message` with `button`."""
        def popup():
            for alert in self.app.windows("alert"):
                if ui.find(alert, "label", message) is not None:
                    return alert
            return None
        alert = self.app.until(f"the popup '{message}'", popup)
        self.session.screenshot(stage)
        ui.press(self.app.control(alert, "push button", button))
        self.app.until(f"the popup '{message}' to close", lambda: not popup())

    def start_run(self):
        ui.press(self.main_control("push button", "Start"))

    def stop_run(self):
        ui.press(self.main_control("push button", "Stop"))
        self.wait_idle()

    def assert_running(self):
        """A run shows its reading and keeps the quantity as it is."""
        self.app.until("the running presentation",
                       lambda: ui.sensitive(self.main_control("text", "Reading"))
                       and not ui.sensitive(ui.labelled(self.main_window(), "Quantity")))

    def wait_idle(self):
        self.app.until("the idle presentation",
                       lambda: not ui.sensitive(self.main_control("text", "Reading"))
                       and ui.sensitive(ui.labelled(self.main_window(), "Quantity")))

    def wait_reading(self, other_than=None):
        """Waits for an oxygen reading (different from `other_than`)."""
        def probe():
            value = self.reading()
            return value if OXYGEN.fullmatch(value) and value != other_than else None
        return self.app.until("a new oxygen reading" if other_than else "an oxygen reading", probe)

    def wait_lines(self, path, count):
        def probe():
            lines = log_lines(path)
            return lines if len(lines) >= count else None
        return self.app.until(f"{count} lines in {path.name}", probe)

    def close_main_window(self):
        request_close(MAIN)
        self.assertEqual(self.session.wait_exit(), 0, "exit status after closing the main window")

    def settings_line(self):
        return (self.session.dir / "vandrel.ini").read_text()

    # ---- the tests -------------------------------------------------------------

    def test_recording_runs(self):
        """A new file; an existing file declined, then the dialog cancelled;
        the existing file overwritten, and the program closed while it
        records."""
        s = self.session
        s.start_simulator()
        self.app = s.start_program({1: s.link})
        self.main_window()
        self.assertEqual(self.file_display(), "no file")
        s.screenshot("started")

        # A new file name: recorded from the first reading on.
        new = s.dir / "first run.dat"
        self.start_run()
        self.choose_file("Filename", "OK", new, "new-file-name")
        self.assert_running()
        self.app.until("the new file's path on display", lambda: self.file_display() == str(new))
        self.wait_reading(other_than=self.wait_reading())
        self.wait_lines(new, 3)
        s.screenshot("recording")
        self.stop_run()
        lines = log_lines(new)
        self.assertTrue(lines[0].startswith(" 0.0\t"), lines[0])
        times = [float(LOG_LINE.fullmatch(line).group(1)) for line in lines]
        values = [float(LOG_LINE.fullmatch(line).group(2)) for line in lines]
        self.assertEqual(times, sorted(times))
        self.assertTrue(all(1e4 < v < 3e5 for v in values), values)

        # An existing file, not to be overwritten: the dialog comes back, and
        # cancelling it runs without a file.
        old = s.dir / "kept.dat"
        old.write_text("earlier recording\n")
        self.start_run()
        self.choose_file("Filename", "OK", old, "existing-file-name")
        self.answer("Do you want to overwrite it ?", "No", "overwrite-question")
        dialog = self.app.window("dialog", "Filename")
        s.screenshot("dialog-again")
        ui.press(self.app.control(dialog, "push button", "Cancel"))
        self.app.until("'no file' on display", lambda: self.file_display() == "no file")
        self.assert_running()
        self.wait_reading(other_than=self.wait_reading())
        s.screenshot("running-without-file")
        self.stop_run()
        self.assertEqual(old.read_text(), "earlier recording\n")

        # The same file, to be overwritten: emptied, then recorded afresh
        # until the operator closes the program.
        self.start_run()
        self.choose_file("Filename", "OK", old, "existing-file-again")
        self.answer("Do you want to overwrite it ?", "Yes", "overwrite-yes")
        self.app.until("the overwritten file's path on display",
                       lambda: self.file_display() == str(old))
        self.wait_lines(old, 2)
        s.screenshot("recording-over-old-file")

        self.close_main_window()
        lines = log_lines(old)
        self.assertTrue(old.read_text().endswith(" \n"), "the last line is complete")
        self.assertTrue(lines[0].startswith(" 0.0\t"), lines[0])
        self.assertEqual(self.settings_line(), " 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n")

    def test_alarm_on_a_limit_crossed_and_left(self):
        """A high oxygen limit, set in the Alarms panel, that the purge
        starts above and falls below: the alarm shows on the panel and in
        the title, Acknowledge silences it and goes, the alarm stays until
        the reading is inside, and the event file beside the recording
        tells it all."""
        s = self.session
        # A purge quick enough to pass the limit within the test's patience.
        s.start_simulator(["--time-constant", "5"])
        self.app = s.start_program({1: s.link})
        self.main_window()
        self.assertFalse(ui.showing(self.main_control("text", "Alarm")))

        ui.press(self.app.control(self.main_window(), "menu item", "Alarms..."))
        panel = self.app.window("filler", "Alarms")
        self.app.control(panel, "label", "No alarm settings file: no limits are set.")
        activate("Alarms")
        ui.act(self.app.control(panel, "check box", "Low O2 alarm"), "Toggle")
        ui.type_keys(self.app.control(panel, "spin button", "Low O2 limit (ppm)"), "5000")
        ui.act(self.app.control(panel, "check box", "High O2 alarm"), "Toggle")
        ui.type_keys(self.app.control(panel, "spin button", "High O2 limit (ppm)"), "1000")
        ui.press(self.app.control(panel, "push button", "Apply"))
        self.app.control(panel, "label", "Not applied: The low oxygen limit must be below the high one. "
                                         "The limits in force stay.")
        s.screenshot("limits-wrong-way-round")
        self.assertFalse((s.dir / "vandrel-alarms.ini").exists())
        ui.act(self.app.control(panel, "check box", "Low O2 alarm"), "Toggle")
        ui.press(self.app.control(panel, "push button", "Apply"))
        self.app.control(panel, "label", "Applied and kept.")
        request_close("Alarms")
        self.app.window_gone("filler", "Alarms")
        self.assertIn("oxygen 0 5000 1 1000 1\n",
                      (s.dir / "vandrel-alarms.ini").read_text())

        record = s.dir / "purge.dat"
        self.start_run()
        self.choose_file("Filename", "OK", record, "file-name")
        self.app.until("ALARM in the title", lambda: self.title().startswith("ALARM"))
        reason = self.main_control("text", "Alarm")
        self.assertTrue(ui.showing(reason))
        self.assertEqual(ui.text(reason), "HIGH > 1000 ppm O2")
        acknowledge = self.main_control("push button", "Acknowledge")
        self.assertTrue(ui.showing(acknowledge))
        s.screenshot("alarm")

        ui.press(acknowledge)
        self.app.until("Acknowledge to go", lambda: not ui.showing(acknowledge))
        self.assertTrue(self.title().startswith("ALARM"))
        self.assertTrue(ui.showing(reason))
        s.screenshot("acknowledged")

        self.app.until("the title without the alarm", lambda: self.title() == MAIN)
        self.assertFalse(ui.showing(self.main_control("text", "Alarm")))
        s.screenshot("back-inside")
        self.stop_run()
        self.close_main_window()

        lines = (s.dir / "purge.events").read_text().splitlines(keepends=True)
        events = [EVENT_LINE.fullmatch(line) for line in lines]
        self.assertTrue(all(events), lines)
        self.assertEqual([e.group(2) for e in events], ["alarm_high", "acknowledged", "normal"])
        elapsed = [float(e.group(1)) for e in events]
        self.assertEqual(elapsed, sorted(elapsed))
        self.assertGreater(float(events[0].group(3)), 1000)
        self.assertLessEqual(float(events[2].group(3)), 1000)
        self.assertEqual([float(e.group(4)) for e in events], [1000, 1000, 1000])

    def test_recording_under_a_name_in_any_language(self):
        """A folder and a file name beyond plain letters, typed into the
        dialog: that file is recorded and its name shown as typed."""
        s = self.session
        folder = s.dir / "Messdaten Müller"
        folder.mkdir()
        record = folder / "Prüfung ä.dat"
        s.start_simulator()
        self.app = s.start_program({1: s.link})

        self.start_run()
        self.choose_file("Filename", "OK", record, "name-in-any-language")
        self.app.until("the file's path on display as typed", lambda: self.file_display() == str(record))
        self.wait_lines(record, 2)
        s.screenshot("recording-under-that-name")
        self.stop_run()
        self.close_main_window()
        # The recording and its run file, named alike.
        self.assertEqual(sorted(p.name for p in folder.iterdir()), [record.name, "Prüfung ä.info"])

    def test_viewing_a_stored_file(self):
        """A stored file drawn over a fixed range that the operator typed:
        the viewer turns the autoscale switch on, but not the setting."""
        s = self.session
        stored = s.dir / "stored.dat"
        stored.write_text("".join(f" {t:.1f}\t{3 + 2.09e5 * 0.9 ** t:.6e} \n" for t in range(60)))
        s.start_simulator()
        self.app = s.start_program({1: s.link})

        autoscale = self.main_control("check box", "Autoscale")
        self.assertTrue(ui.checked(autoscale))
        ui.act(autoscale, "Toggle")
        self.app.until("autoscale off", lambda: not ui.checked(self.main_control("check box", "Autoscale")))
        activate(MAIN)
        ui.type_keys(self.main_control("spin button", "Y max"), "300000")

        ui.press(self.main_control("push button", "Open file"))
        self.choose_file("Select a file", "Load", stored, "open-file")
        self.app.until("the drawn file's path on display, with its seal's verdict",
                       lambda: self.file_display() == f"{stored}  [no seal: no run file stored.info]")
        self.assertTrue(ui.checked(self.main_control("check box", "Autoscale")))
        s.screenshot("file-drawn")

        self.close_main_window()
        # A fixed range never starts at 0: the scaling keeps 0.1 instead.
        self.assertEqual(self.settings_line(), " 1 1.000000 0 1 0 0.100000 300000.000000  Kv_2014\n")

    def test_port_change_to_a_missing_port_ends_the_run(self):
        """The stored port reaches the analyser; a change to a port that does
        not exist ends the recording run, and the new number is kept."""
        s = self.session
        s.start_simulator()
        (s.dir / "vandrel.ini").write_text(" 3 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n")
        absent = s.dir / "no-such-device"
        self.app = s.start_program({1: absent, 3: s.link, 9: absent})

        record = s.dir / "record.dat"
        self.start_run()
        self.choose_file("Filename", "OK", record, "file-name")
        self.wait_lines(record, 1)
        self.wait_reading()

        ui.press(self.app.control(self.main_window(), "menu item", "Serial port"))
        panel = self.app.window("filler", "Serial port")
        entry = self.app.control(panel, "spin button", "Port number")
        self.assertEqual(ui.text(entry), "3")
        activate("Serial port")
        ui.type_keys(entry, "9")
        s.screenshot("port-number-typed")
        ui.press(self.app.control(panel, "push button", "OK"))
        self.answer("COM port cannot be opened !", "OK", "port-message")
        # The panel stays, saying why, until the operator closes it.
        self.app.control(panel, "label", "Port 9 cannot be opened: not there.")
        s.screenshot("port-reason")
        request_close("Serial port")
        self.app.window_gone("filler", "Serial port")
        self.wait_idle()
        log_lines(record)  # whatever was recorded is complete and well-formed
        s.screenshot("run-ended")

        self.close_main_window()
        self.assertEqual(self.settings_line(), " 9 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n")

    def test_another_analyser_from_the_menu(self):
        """"Another analyser..." starts the program for a named analyser in a
        window of its own, with its own settings folder; a port the first
        copy holds is refused there, naming the holder."""
        s = self.session
        s.start_simulator()
        (s.dir / "vandrel.ini").write_text(" 1 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n")
        self.app = s.start_program({1: s.link})
        self.main_window()

        ui.press(self.app.control(self.main_window(), "menu item", "Another analyser..."))
        panel = self.app.window("filler", "Another analyser")
        ui.enter_text(self.app.control(panel, "text", "Analyser name"), "bench-9")
        s.screenshot("another-named")
        ui.press(self.app.control(panel, "push button", "Start"))
        self.app.control(panel, "label", "The analyser bench-9 starts in a window of its own.")

        # The copy started is a process of its own, which the test ends.
        second = ui.wait_for("the analyser bench-9's window", lambda: next(
            (app for app in ui.applications() if app.get_process_id() != self.session.program.pid
             and any(ui.showing(w) and w.name == "bench-9 - " + MAIN for w in app)), None))
        pid = second.get_process_id()
        self.addCleanup(end_process, pid)
        self.assertTrue((s.dir / "profiles" / "bench-9").is_dir())
        holder = f"Port 1 cannot be opened: in use by vandrel (process {self.session.program.pid})."

        def refusal():
            second.clear_cache()
            return next((w for w in second if ui.showing(w) and w.name == "bench-9 - Serial port"
                         and ui.find(w, "label", holder) is not None), None)
        # Its port panel comes up at its start, as when the port is missing.
        ui.wait_for("the port panel naming the holder", refusal)
        s.screenshot("another-holder-named")
        end_process(pid)
        request_close("Another analyser")
        self.close_main_window()

    def test_typed_values_are_the_values_used(self):
        """Text typed into an entry and never confirmed with Enter is what a
        button or switch pressed next acts on; text that is no value gives
        way to the value in force, visibly."""
        s = self.session
        s.start_simulator()
        (s.dir / "vandrel.ini").write_text(" 3 1.000000 1 1 0 0.000000 10.000000  Kv_2014\n")
        self.app = s.start_program({3: s.link, 7: s.dir / "no-such-device"})

        ui.press(self.app.control(self.main_window(), "menu item", "Serial port"))
        panel = self.app.window("filler", "Serial port")
        entry = self.app.control(panel, "spin button", "Port number")
        self.app.until("the stored port number", lambda: ui.text(entry) == "3")
        activate("Serial port")
        ui.type_keys(entry, "7", enter=False)
        s.screenshot("port-number-typed")
        ui.press(self.app.control(panel, "push button", "OK"))
        self.answer("COM port cannot be opened !", "OK", "port-7-tried")
        self.app.control(panel, "label", "Port 7 cannot be opened: not there.")
        request_close("Serial port")
        self.app.window_gone("filler", "Serial port")

        activate(MAIN)
        ui.type_keys(self.main_control("spin button", "Y max"), "250", enter=False)
        ui.act(self.main_control("check box", "Log scale"), "Toggle")
        interval = self.main_control("spin button", "Interval (s)")
        ui.type_keys(interval, "0", enter=False)  # below the shortest interval
        ui.act(self.main_control("check box", "Log scale"), "Toggle")
        self.app.until("the interval in force on show", lambda: ui.text(interval) == "1")
        s.screenshot("values-taken")

        self.close_main_window()
        port, seconds, _, _, _, _, y_max = self.settings_line().split()[:7]
        self.assertEqual((port, seconds, y_max), ("7", "1.000000", "250.000000"))


def main():
    global paths
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--panel-file", required=True)
    parser.add_argument("--artefacts", required=True)
    paths, rest = parser.parse_known_args()
    shutil.rmtree(paths.artefacts, ignore_errors=True)
    # Sanitizer builds: check for leaks and stop at the first fault, as the
    # test script does; a caller's own choice stands.
    os.environ.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=0")
    os.environ.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
