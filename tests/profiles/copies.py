"""Copies of the real program, each in a folder as an operator unpacks it,
started under strace beside simulated analysers on pseudo-terminals, a real
mosquitto and a subscriber that keeps every message in the order it came.

Every process started here belongs to an Owner, which ends it whatever
happens to the test; each is also told to end by the kernel should the test
itself be killed (a CTest time-out), so none outlives it.
"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import threading
import time
from pathlib import Path

# Long enough for a sanitizer build under strace on a busy two-core machine;
# a state that takes longer is a fault.
LIMIT = 90.0
POLL = 0.05

# What a sanitizer writes when it finds a fault.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "SUMMARY: UndefinedBehaviorSanitizer")

# The calls that can create, change, rename or remove a name.  Reads are
# traced too (openat), so that a port or a file of another copy opened at
# all shows.
TRACED = "openat,open,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat"
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND", "O_TMPFILE")


def wait_for(what, probe, limit=LIMIT):
    """The first true result of probe(), or a failure naming `what`."""
    deadline = time.monotonic() + limit
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"waited {limit:.0f} s for {what}")
        time.sleep(POLL)


def topic_host():
    """The host name as the program puts it in its default topic prefix and
    client id."""
    host = socket.gethostname() or "unknown"
    return re.sub(r"[/+#]", "_", host)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def inside(path, folder):
    path, folder = str(path), str(folder)
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def snapshot(folder, leave_out=()):
    """Every file and folder below `folder` with its size, content and
    modification time, except those inside `leave_out`."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = Path(root) / name
            if any(inside(path, left) for left in leave_out):
                continue
            st = path.lstat()
            content = path.read_bytes() if path.is_file() and not path.is_symlink() else None
            found[str(path.relative_to(folder))] = (st.st_mode, st.st_size, st.st_mtime_ns, content)
    return found


def recording_lines(path):
    """(elapsed, value) of each complete line of a recording file."""
    if not Path(path).exists():
        return []
    lines = Path(path).read_text().split("\n")[:-1]  # the last one is still being written
    out = []
    for line in lines:
        m = re.fullmatch(r" (\d+\.\d)\t(\S+) ", line)
        if not m:
            raise AssertionError(f"{path}: malformed line {line!r}")
        out.append((float(m.group(1)), float(m.group(2))))
    return out


# ---- processes -------------------------------------------------------------------


class Owner:
    """Starts processes, each in a process group of its own, and ends them."""

    def __init__(self):
        self.processes = []
        self.logs = []

    def start(self, argv, stdout, stderr=subprocess.STDOUT, cwd=None, env=None):
        """stdout, stderr: paths of log files (stderr may be STDOUT)."""
        out = open(stdout, "wb")
        self.logs.append(out)
        err = stderr
        if stderr is not subprocess.STDOUT:
            err = open(stderr, "wb")
            self.logs.append(err)
        # SIGKILL, which nothing can block: strace blocks the others.
        process = subprocess.Popen(["setpriv", "--pdeathsig", "KILL", "--", *map(str, argv)],
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=err, cwd=cwd, env=env,
                                   start_new_session=True)
        self.processes.append(process)
        return process

    def end(self, process):
        """SIGTERM to its whole group, then SIGKILL if it has not ended."""
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(timeout=LIMIT)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()

    def end_all(self):
        for process in reversed(self.processes):
            self.end(process)
        for log in self.logs:
            log.close()


class Simulator:
    """analyser_sim on a pseudo-terminal reached through `link`."""

    def __init__(self, owner, paths, link, logs, options=()):
        self.link = Path(link)
        status = Path(logs) / f"{self.link.name}.status"
        self.process = owner.start([paths.simulator, self.link, "--status", status, *options],
                                   Path(logs) / f"{self.link.name}.log")

        def up():
            if self.process.poll() is not None:
                raise AssertionError(f"the simulator {self.link.name} ended with {self.process.returncode}")
            return status.exists() and "link up" in status.read_text().splitlines() and self.link.exists()
        wait_for(f"the simulated analyser {self.link.name}", up)
        self.device = os.path.realpath(self.link)


class Broker:
    """Debian's mosquitto on a free loopback port, keeping nothing on disk."""

    def __init__(self, owner, paths, folder):
        self.folder = Path(folder)
        self.port = free_port()
        self.log = self.folder / "mosquitto.log"
        config = self.folder / "mosquitto.conf"
        config.write_text(f"listener {self.port} 127.0.0.1\npersistence false\n"
                          f"log_dest file {self.log}\nmax_queued_messages 0\nallow_anonymous true\n"
                          # Started by root (a container), it keeps its rights to the folder.
                          + ("user root\n" if os.getuid() == 0 else ""))
        self.process = owner.start([paths.mosquitto, "-c", config], self.folder / "mosquitto.out")

        def accepts():
            if self.process.poll() is not None:
                raise AssertionError(f"mosquitto ended with {self.process.returncode}")
            with socket.socket() as s:
                return s.connect_ex(("127.0.0.1", self.port)) == 0
        wait_for("mosquitto to accept connections", accepts)

    def client_ids(self):
        """The client ids that connected, in order, and the lines that say
        one took another's place."""
        text = self.log.read_text(errors="replace") if self.log.exists() else ""
        ids = re.findall(r"New client connected from \S+ as (\S+) \(", text)
        taken = [line for line in text.splitlines() if "already connected, closing old connection" in line]
        return ids, taken


class Message:
    def __init__(self, index, topic, payload):
        self.index = index  # the order of arrival
        self.topic = topic
        self.payload = payload
        try:
            self.json = json.loads(payload)
        except ValueError:
            self.json = None

    def __repr__(self):
        return f"#{self.index} {self.topic} {self.payload}"


class Subscriber:
    """mosquitto_sub on vandrel/# with QoS 1, each message kept with its
    place in the order of arrival."""

    def __init__(self, owner, paths, broker, folder):
        self.paths = paths
        self.broker = broker
        self.messages = []
        self.kept = Path(folder) / "messages.txt"
        self.lock = threading.Lock()
        err = open(Path(folder) / "subscriber.err", "wb")
        owner.logs.append(err)
        self.process = subprocess.Popen(
            ["setpriv", "--pdeathsig", "KILL", "--", paths.mosquitto_sub, "-h", "127.0.0.1", "-p",
             str(broker.port), "-q", "1", "-v", "-t", "vandrel/#", "-t", "probe/#"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=err, start_new_session=True)
        owner.processes.append(self.process)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self._ready()

    def _read(self):
        # Kept in the artefacts too, in the order they came.
        with open(self.kept, "w") as kept:
            for raw in self.process.stdout:
                line = raw.decode("utf-8", "replace").rstrip("\n")
                topic, _, payload = line.partition(" ")
                with self.lock:
                    self.messages.append(Message(len(self.messages), topic, payload))
                kept.write(line + "\n")
                kept.flush()

    def _ready(self):
        # A message published before the subscription stands is lost: the
        # probe is sent until one comes back.
        def probed():
            subprocess.run([self.paths.mosquitto_pub, "-h", "127.0.0.1", "-p", str(self.broker.port),
                            "-t", "probe/ready", "-m", "probe", "-q", "1"], check=True, timeout=LIMIT)
            deadline = time.monotonic() + 2
            while time.monotonic() < deadline:
                if any(m.topic == "probe/ready" for m in self.all()):
                    return True
                time.sleep(POLL)
            return False
        wait_for("the subscription", probed)

    def all(self):
        with self.lock:
            return list(self.messages)

    def count(self):
        with self.lock:
            return len(self.messages)

    def on(self, prefix, *kinds):
        """Messages on `prefix`/kind for each kind, in the order they came."""
        topics = {f"{prefix}/{kind}" for kind in kinds}
        return [m for m in self.all() if m.topic in topics]


# ---- the program ----------------------------------------------------------------


class ProgramFolder:
    """The program and its panel file in a folder of their own, as an
    operator unpacks it; its settings are kept beside it."""

    def __init__(self, paths, folder):
        self.paths = paths
        self.dir = Path(folder)
        self.dir.mkdir(parents=True, exist_ok=True)
        self.program = self.dir / "vandrel"
        shutil.copy2(paths.program, self.program)
        shutil.copy2(paths.panel_file, self.dir / "Vandrel_V3.uir")

    def settings(self, profile=None):
        return self.dir / "profiles" / profile if profile else self.dir

    def write_settings(self, profile=None, port=1, interval=0.5, broker=None, oxygen_high=None,
                       recording=None):
        """The settings files an operator's choices leave: `broker` switches
        publishing on to it, with every other setting the program's default;
        `oxygen_high` a high oxygen limit raised at the first reading beyond;
        `recording` a run going on, to be resumed at the next start."""
        folder = self.settings(profile)
        folder.mkdir(parents=True, exist_ok=True)
        (folder / "vandrel.ini").write_text(f" {port} {interval:f} 1 1 0 0.000000 10.000000  Kv_2014\n")
        if oxygen_high is not None:
            (folder / "vandrel-alarms.ini").write_text(
                f"vandrel-alarms 1\noxygen 0 0 1 {oxygen_high} 1\nvoltage 0 0 0 0 1\n"
                "temperature 0 0 0 0 1\nno-answer 0 3\n")
        if broker is not None:
            (folder / "vandrel-publish.ini").write_text(f"enabled=1\nhost=127.0.0.1\nport={broker.port}\n")
        if recording is not None:
            Path(recording).parent.mkdir(parents=True, exist_ok=True)
            (folder / "vandrel-resume.ini").write_text(
                f"resume=1\nrunning=1\nalive={time.time():.1f}\nfile={recording}\n")
        return folder


class Copy:
    """One start of the program under strace: every call of TRACED goes to
    its trace file, and the program itself (not strace) is the one signalled."""

    def __init__(self, owner, folder, logs, label, args=(), ports=None, env_dir=None):
        self.folder = folder
        self.label = label
        logs = Path(logs)
        self.trace_path = logs / f"{label}.trace"
        self.stderr_path = logs / f"{label}.err"
        env = {k: v for k, v in os.environ.items() if not k.startswith("RTE_COM")}
        env["QT_QPA_PLATFORM"] = "offscreen"
        # LeakSanitizer cannot look at a process that strace traces, and
        # says so with a fatal error at the end.
        env["ASAN_OPTIONS"] = ":".join([*filter(None, env.get("ASAN_OPTIONS", "").split(":")), "detect_leaks=0"])
        # The user's folders, which the program and its libraries may use,
        # kept out of the real home and out of the program's folder.
        env_dir = Path(env_dir or logs / "env")
        for var, name in (("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_DATA_HOME", "data"), ("XDG_RUNTIME_DIR", "runtime")):
            (env_dir / name).mkdir(parents=True, exist_ok=True, mode=0o700)
            env[var] = str(env_dir / name)
        env.update({f"RTE_COM{n}": str(link) for n, link in (ports or {}).items()})
        self.env_dir = env_dir
        # -y names the folder a relative name is taken in; --seccomp-bpf
        # stops the program only at the calls traced.
        argv = [folder.paths.strace, "-f", "-qq", "-y", "--seccomp-bpf", "-e", f"trace={TRACED}",
                "-o", self.trace_path, "--", "setpriv", "--pdeathsig", "KILL", "--", folder.program, *args]
        self.process = owner.start(argv, logs / f"{label}.out", self.stderr_path, cwd=folder.dir, env=env)
        self._pid = None

    @property
    def pid(self):
        """The program's process (strace's child once it has become the
        program)."""
        if self._pid is None:
            def child():
                if self.process.poll() is not None:
                    raise AssertionError(f"{self.label} ended with {self.process.returncode}:\n{self.stderr()}")
                try:
                    children = Path(f"/proc/{self.process.pid}/task/{self.process.pid}/children").read_text()
                    for pid in children.split():
                        if os.readlink(f"/proc/{pid}/exe") == str(self.folder.program):
                            return int(pid)
                except OSError:
                    pass
                return None
            self._pid = wait_for(f"{self.label} to start", child)
        return self._pid

    def holds(self, device):
        """Whether the program has `device` open."""
        try:
            fds = os.listdir(f"/proc/{self.pid}/fd")
        except OSError:
            return False
        for fd in fds:
            try:
                if os.readlink(f"/proc/{self.pid}/fd/{fd}") == device:
                    return True
            except OSError:
                pass
        return False

    def wait_holds(self, device):
        def held():
            if self.process.poll() is not None:
                raise AssertionError(f"{self.label} ended with {self.process.returncode}:\n{self.stderr()}")
            return self.holds(device)
        wait_for(f"{self.label} to open {device}", held)

    def signal(self, number):
        os.kill(self.pid, number)

    def wait_end(self):
        """Its exit status (negative: the signal that ended it), once it
        has ended by itself or been signalled."""
        try:
            return self.process.wait(timeout=LIMIT)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.label} did not end within {LIMIT:.0f} s") from None

    def end(self):
        if self.process.poll() is None:
            self.signal(signal.SIGTERM)
        return self.wait_end()

    def stderr(self):
        return self.stderr_path.read_text(errors="replace") if self.stderr_path.exists() else ""

    def sanitizer_report(self):
        lines = self.stderr().splitlines()
        for i, line in enumerate(lines):
            if any(mark in line for mark in SANITIZER_MARKS):
                return "\n".join(lines[i:i + 25])
        return None

    def trace(self):
        return Trace(self.trace_path, self.folder.dir)


# ---- what a copy did to names -------------------------------------------------------


def _unescape(text):
    """A name as strace prints it (C escapes) as the text it stands for."""
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        n = text[i + 1]
        if n in "01234567":
            j = i + 1
            while j < len(text) and j < i + 4 and text[j] in "01234567":
                j += 1
            out.append(int(text[i + 1:j], 8))
            i = j
        elif n == "x":
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            out += {"n": b"\n", "t": b"\t", "r": b"\r", "v": b"\v", "f": b"\f"}.get(n, n.encode())
            i += 2
    return out.decode("utf-8", "surrogateescape")


def _arguments(text):
    """The top-level arguments of a call: a quoted name as its text, a
    descriptor with its folder (-y) as ("fd", folder), anything else as
    printed."""
    args, i = [], 0
    while i < len(text):
        while i < len(text) and text[i] in " ,":
            i += 1
        if i >= len(text) or text[i] == ")":
            break
        if text[i] == '"':
            j = i + 1
            while text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            args.append(_unescape(text[i + 1:j]))
            i = j + 1
            if text.startswith("...", i):
                i += 3
            continue
        j = i
        while j < len(text) and text[j] not in ",<)":
            j += 1
        if j < len(text) and text[j] == "<":
            k = j + 1
            while text[k] != ">":
                k += 2 if text[k] == "\\" else 1
            args.append(("fd", _unescape(text[j + 1:k])))
            j = k + 1
        else:
            args.append(text[i:j].strip())
        i = j
    return args


class Access:
    """One traced call: the names it touched, whether it may write, and
    how it ended."""

    def __init__(self, pid, call, names, writes, result):
        self.pid, self.call, self.names, self.writes, self.result = pid, call, names, writes, result

    @property
    def changes_nothing(self):
        # An mkdir of a folder that is there: how the program asks for its
        # settings folder, which changes nothing.
        return self.call in ("mkdir", "mkdirat") and "EEXIST" in self.result

    def __repr__(self):
        return f"{self.call}({', '.join(self.names)}) = {self.result}"


class Trace:
    """The calls of a strace -f -y file, each with its names made whole."""

    LINE = re.compile(r"(\d+)\s+(.*)")

    def __init__(self, path, cwd):
        self.cwd = str(cwd)
        self.accesses = []
        pending = {}
        text = Path(path).read_text(errors="replace") if Path(path).exists() else ""
        for line in text.splitlines():
            m = self.LINE.fullmatch(line)
            if not m:
                continue
            pid, rest = m.groups()
            if rest.startswith(("---", "+++")):
                continue
            if rest.endswith("<unfinished ...>"):
                pending[pid] = rest[:-len("<unfinished ...>")]
                continue
            resumed = re.match(r"<\.\.\. \w+ resumed>(.*)", rest)
            if resumed:
                rest = pending.pop(pid, "") + resumed.group(1)
            call = re.match(r"(\w+)\((.*)", rest)
            if call:
                self._add(pid, call.group(1), call.group(2))
        for pid, rest in pending.items():  # never resumed: the process ended in it
            call = re.match(r"(\w+)\((.*)", rest)
            if call:
                self._add(pid, call.group(1), call.group(2) + ") = ?")

    def _add(self, pid, call, text):
        # strace pads before " = " to line results up.
        ended = re.fullmatch(r"(.*)\)\s+=\s+(.*)", text)
        head, result = ended.groups() if ended else (text, "?")
        args = _arguments(head)

        def name(base, arg):
            if not isinstance(arg, str):
                return None
            folder = base[1] if isinstance(base, tuple) else self.cwd
            return os.path.normpath(os.path.join(folder, arg))

        names, writes = [], True
        if call == "openat" and len(args) >= 3:
            names = [name(args[0], args[1])]
            writes = any(flag in str(args[2]) for flag in WRITE_FLAGS)
        elif call == "open" and len(args) >= 2:
            names = [name(None, args[0])]
            writes = any(flag in str(args[1]) for flag in WRITE_FLAGS)
        elif call in ("creat", "mkdir", "unlink") and args:
            names = [name(None, args[0])]
        elif call == "rename" and len(args) >= 2:
            names = [name(None, args[0]), name(None, args[1])]
        elif call in ("renameat", "renameat2") and len(args) >= 4:
            names = [name(args[0], args[1]), name(args[2], args[3])]
        elif call in ("unlinkat", "mkdirat") and len(args) >= 2:
            names = [name(args[0], args[1])]
        names = [n for n in names if n]
        if not names:
            # Unread, it could hide a write: counted as one, to be looked at.
            names, writes = [f"<unread: {call}({text})>"], True
        self.accesses.append(Access(pid, call, names, writes, result.strip()))

    def writes(self):
        """The calls that may have created, changed, renamed or removed a
        name, whether or not the system let them."""
        return [a for a in self.accesses if a.writes and not a.changes_nothing]

    def reads_of(self, path):
        return [a for a in self.accesses if not a.writes and str(path) in a.names]

    def touching(self, marks):
        """Calls, reads too, on a name that holds any of `marks`."""
        return [a for a in self.accesses if any(mark in n for n in a.names for mark in marks)]
