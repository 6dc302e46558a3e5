"""One start of the real program in a directory of its own, with the
simulated analyser on a pseudo-terminal; both are ended by the session
whatever happens to the test."""
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from accessibility import LIMIT, Application, wait_for
from display import screenshot

# What a sanitizer writes when it finds a fault.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "SUMMARY: UndefinedBehaviorSanitizer")

# Where Qt SerialPort keeps the lock file of a device that a process holds,
# in the order it looks.
LOCK_FOLDERS = ("/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp",
                "/var/lock/lockdev", "/run/lock")


def serial_lock(device):
    """The lock file kept for the device at this path ("LCK..pts_3" for
    /dev/pts/3, "LCK.._tmp_x_analyser" for /tmp/x/analyser), or None."""
    name = str(device)
    name = "LCK.." + (name[5:] if name.startswith("/dev/") else name).replace("/", "_")
    return next((Path(folder) / name for folder in LOCK_FOLDERS if (Path(folder) / name).exists()), None)


def remove_serial_locks(pid):
    """Removes the lock files that name the process (its number on their
    first line).  A process killed while it holds a port leaves its lock,
    and on a machine that others share the next user can neither remove it
    nor open that port.  Only for a process that has ended and is not yet
    reaped, or is gone: its number is nobody else's then."""
    for folder in LOCK_FOLDERS:
        for lock in Path(folder).glob("LCK..*"):
            try:
                if lock.read_text(errors="replace").partition("\n")[0].strip() == str(pid):
                    lock.unlink()
            except OSError:
                pass


def _ended(process, limit):
    """Whether the process has ended within `limit` seconds (None: however
    long it takes), left unreaped."""
    deadline = None if limit is None else time.monotonic() + limit
    while True:
        flags = os.WEXITED | os.WNOWAIT | (0 if deadline is None else os.WNOHANG)
        if os.waitid(os.P_PID, process.pid, flags) is not None:
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.05)


class Session:
    def __init__(self, paths, artefacts):
        """paths: program, simulator and panel file; artefacts: a directory
        for this session's logs and screenshots."""
        self.paths = paths
        self.artefacts = Path(artefacts)
        self.artefacts.mkdir(parents=True)
        self.dir = Path(tempfile.mkdtemp(prefix="vandrel-operator-"))
        # The program keeps its settings beside itself: a copy of its own.
        self.program_path = self.dir / "vandrel"
        shutil.copy2(paths.program, self.program_path)
        shutil.copy2(paths.panel_file, self.dir / "Vandrel_V3.uir")
        self.link = self.dir / "analyser"
        self.simulator = None
        self.program = None
        self.app = None
        self.shots = 0
        self.logs = []

    # ---- the simulated analyser ---------------------------------------------

    def start_simulator(self, options=()):
        status = self.dir / "analyser.status"
        self.simulator = subprocess.Popen(
            [self.paths.simulator, str(self.link), "--status", str(status), *options],
            stdin=subprocess.DEVNULL, stdout=self._log("simulator.log"), stderr=subprocess.STDOUT)

        def ready():
            if self.simulator.poll() is not None:
                raise AssertionError(f"the simulator ended with status {self.simulator.returncode}")
            return status.exists() and "link up" in status.read_text().splitlines() and self.link.exists()
        wait_for("the simulated analyser's link", ready)

    # ---- the program ----------------------------------------------------------

    def start_program(self, ports):
        """ports: port number -> device path, as the program's port map."""
        env = {k: v for k, v in os.environ.items() if not k.startswith("RTE_COM")}
        env.update({f"RTE_COM{n}": str(path) for n, path in ports.items()})
        # The test environment may ask for the offscreen platform, which has
        # no accessibility interface.
        env["QT_QPA_PLATFORM"] = "xcb"
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.program = subprocess.Popen(
            [str(self.program_path)], cwd=self.dir, env=env, stdin=subprocess.DEVNULL,
            stdout=self._log("program.log"), stderr=subprocess.STDOUT)
        self.app = Application(self.program)
        return self.app

    def wait_exit(self):
        """The program's exit status once it has ended by itself."""
        try:
            return self.program.wait(timeout=LIMIT)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program did not end within {LIMIT:.0f} s") from None

    def sanitizer_report(self):
        """The first lines of a sanitizer's fault report in the program's
        output, or None."""
        log = self.artefacts / "program.log"
        lines = log.read_text(errors="replace").splitlines() if log.exists() else []
        for i, line in enumerate(lines):
            if any(mark in line for mark in SANITIZER_MARKS):
                return "\n".join(lines[i:i + 20])
        return None

    # ---- artefacts -------------------------------------------------------------

    def screenshot(self, stage):
        self.shots += 1
        screenshot(self.artefacts / f"{self.shots:02d}-{stage}.png")

    def _log(self, name):
        log = open(self.artefacts / name, "wb")
        self.logs.append(log)
        return log

    # ---- the end ----------------------------------------------------------------

    def end(self):
        """Ends what is still running, the program first, with the serial
        lock files that it leaves, and keeps the files that the program left
        with the artefacts."""
        for process in (self.program, self.simulator):
            if process is None or process.returncode is not None:
                continue
            if not _ended(process, 0):
                process.send_signal(signal.SIGTERM)
                if not _ended(process, LIMIT):
                    process.kill()
                    _ended(process, None)
            remove_serial_locks(process.pid)
            process.wait()
        for log in self.logs:
            log.close()
        for left in [*self.dir.glob("*.dat"), *self.dir.glob("*.events"), *self.dir.glob("vandrel*.ini")]:
            shutil.copy2(left, self.artefacts / left.name)
        shutil.rmtree(self.dir, ignore_errors=True)
