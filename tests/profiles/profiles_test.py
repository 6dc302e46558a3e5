"""Several copies of the real program on one computer, each for an analyser
of its own: side by side under profiles, two starts of one analyser, copies
in two folders, names the program refuses, and a folder that earlier
versions left.

Run as `python3 profiles_test.py --program ... --simulator ... --panel-file
... --strace ... --mosquitto ... --mosquitto-sub ... --mosquitto-pub ...
--artefacts DIR [unittest arguments]`.  The program runs offscreen: runs
are started by resume marks and configured by settings files, as an
operator's earlier session leaves them.
"""
import argparse
import os
import re
import shutil
import signal
import sys
import tempfile
import unittest
from pathlib import Path

from copies import (Broker, Copy, Owner, ProgramFolder, Simulator, Subscriber, inside, recording_lines,
                    snapshot, topic_host, wait_for)

paths = None
HOST = topic_host()
# The topics whose messages come from the outbox, numbered by (stream, seq);
# `live` repeats the newest reading, retained, outside that order.
OUTBOX_KINDS = ("reading", "alarm", "dropped", "seal")
OXYGEN_HIGH = 1000  # the simulated cell starts in air, some 2e5 ppm: beyond at once


def key(message):
    # A message without a stream counts as one stream.
    return message.json.get("stream"), message.json["seq"]


def first_arrivals(messages):
    """What a consumer keeps that drops repeats by (stream, seq)."""
    seen, kept = set(), []
    for m in messages:
        if key(m) not in seen:
            seen.add(key(m))
            kept.append(m)
    return kept


def runs_of(messages):
    """One copy's outbox messages as its runs: what is kept, in the order
    it came, split where a reading's elapsed time starts again."""
    runs, last = [], None
    for m in first_arrivals(messages):
        if m.topic.endswith("/reading"):
            if last is None or m.json["elapsed"] < last:
                runs.append([])
            last = m.json["elapsed"]
        if runs:
            runs[-1].append(m)
    return runs


def stands_for(reading, elapsed, value):
    """Whether a reading message is the one recorded as this line: elapsed
    with one decimal, the value as the reading."""
    return (reading["status"] == "ok" and abs(reading["elapsed"] - elapsed) <= 0.05 + 1e-9
            and abs(reading["value"] - value) <= 1e-6 * abs(value))


def unmatched_lines(lines, messages):
    """The recorded lines that no kept reading stands for."""
    readings = [m.json for m in messages if m.topic.endswith("/reading")]
    return [line for line in lines if not any(stands_for(r, *line) for r in readings)]


def resume_mark(folder):
    return dict(line.split("=", 1) for line in (folder / "vandrel-resume.ini").read_text().splitlines())


class CopiesTest(unittest.TestCase):
    """A temporary root for the program folders, the simulators' links and
    the copies' own user folders; each test's logs and traces stay in the
    artefacts.  Every process started is ended, and a sanitizer's report
    in any copy's output fails the test."""

    def setUp(self):
        self.artefacts = Path(paths.artefacts) / self.id().split(".", 1)[1]
        shutil.rmtree(self.artefacts, ignore_errors=True)
        self.artefacts.mkdir(parents=True)
        self.root = Path(tempfile.mkdtemp(prefix="vandrel-profiles-")).resolve()
        self.owner = Owner()
        self.copies = []
        self.addCleanup(self._end)

    def _end(self):
        self.owner.end_all()
        # A copy ended by a signal leaves Qt SerialPort's lock file behind.
        for lock in Path("/var/lock").glob(self.lock_name("*")):
            lock.unlink(missing_ok=True)
        shutil.rmtree(self.root, ignore_errors=True)
        reports = [f"{c.label}:\n{c.sanitizer_report()}" for c in self.copies if c.sanitizer_report()]
        self.assertFalse(reports, "sanitizer reports:\n" + "\n".join(reports))

    def place(self, name):
        folder = self.root / name
        folder.mkdir(parents=True, exist_ok=True)
        return folder

    def simulator(self, name, *options):
        return Simulator(self.owner, paths, self.place("links") / name, self.artefacts, options)

    def start(self, program, label, args=(), ports=None):
        copy = Copy(self.owner, program, self.artefacts, label, args, ports, env_dir=self.root / "env")
        self.copies.append(copy)
        return copy

    def wait_lines(self, wanted, running=()):
        """Until each recording holds its number of lines, each copy in
        `running` going on meanwhile."""
        def done():
            for copy in running:
                if copy.process.poll() is not None:
                    raise AssertionError(f"{copy.label} ended with {copy.process.returncode}:\n{copy.stderr()}")
            return all(len(recording_lines(path)) >= n for path, n in wanted.items())
        wait_for("recordings of " + ", ".join(f"{n} lines in {p}" for p, n in wanted.items()), done)

    # ---- what a copy did to names ------------------------------------------------------

    def allowed_outside(self, name, ports):
        """Where a copy may write outside its program's folder:
        - the user's configuration, cache, data and runtime folders, which
          the test points to a folder of its own (Qt and the libraries it
          loads keep their caches there);
        - /dev, for the terminal and /dev/null;
        - its own ports: the simulators' links of `ports`, and the lock
          files Qt SerialPort keeps in /var/lock (/run/lock) named after
          them."""
        if inside(name, self.root / "env") or inside(name, "/dev"):
            return True
        if inside(name, self.root / "links"):
            return Path(name).name in ports
        if inside(name, "/var/lock") or inside(name, "/run/lock"):
            return any(Path(name).name.startswith(self.lock_name(port)) for port in ports)
        return False

    def lock_name(self, port):
        return "LCK.." + str(self.root / "links" / port).replace("/", "_")

    def assertWritesOnly(self, copy, program_dir, own=(), ports=(), others=()):
        """Every name that `copy` created, opened for writing, renamed or
        removed inside `program_dir` lies in `own`, and every one outside
        where allowed_outside() says: only the ports `ports`; and it touched
        nothing, not even to read, named after another copy's port in
        `others`."""
        trace = copy.trace()
        wrong = []
        for access in trace.writes():
            for name in access.names:
                if inside(name, program_dir):
                    if not any(inside(name, place) for place in own):
                        wrong.append(access)
                elif not self.allowed_outside(name, ports):
                    wrong.append(access)
        self.assertFalse(wrong, f"{copy.label} wrote where it may not:\n" + "\n".join(map(repr, wrong)))
        foreign = trace.touching(others)
        self.assertFalse(foreign, f"{copy.label} touched another copy's port:\n" + "\n".join(map(repr, foreign)))
        self.assertTrue(trace.accesses, f"{copy.label}: an empty trace proves nothing")


class FourAnalysers(CopiesTest):

    def test_four_profiles_side_by_side_and_a_killed_one_resumes_in_its_own_place(self):
        names = ["p1", "p2", "p3", "p4"]
        victim, others = "p2", ["p1", "p3", "p4"]
        broker = Broker(self.owner, paths, self.artefacts)
        subscriber = Subscriber(self.owner, paths, broker, self.artefacts)
        sims = {n: self.simulator(f"analyser-{n}", "--seed", str(i + 1)) for i, n in enumerate(names)}
        ports = {i + 1: sims[n].link for i, n in enumerate(names)}
        program = ProgramFolder(paths, self.place("program"))
        marked = {n: program.dir / "recordings" / n / "run.dat" for n in names}
        for i, n in enumerate(names):
            program.write_settings(n, port=i + 1, interval=0.5, broker=broker, oxygen_high=OXYGEN_HIGH,
                                   recording=marked[n])
        prefix = {n: f"vandrel/{HOST}/{n}" for n in names}
        copies = {n: self.start(program, n, ["--profile", n], ports) for n in names}
        for n in names:
            copies[n].wait_holds(sims[n].device)
        # A resumed run records to the next free name beside its mark's file.
        first = {n: marked[n].with_name("run-2.dat") for n in names}
        self.wait_lines({first[n]: 100 for n in names}, copies.values())

        # Killed outright, as by a power cut; the others go on.
        killed_at = subscriber.count()
        copies[victim].signal(signal.SIGKILL)
        self.assertEqual(copies[victim].wait_end(), -signal.SIGKILL)
        left = first[victim].read_bytes()
        listed = {n: sorted(os.listdir(marked[n].parent)) for n in others}
        counts = {n: len(recording_lines(first[n])) for n in others}
        self.wait_lines({first[n]: counts[n] + 50 for n in others}, [copies[n] for n in others])

        restarted_at = subscriber.count()
        again = self.start(program, f"{victim}-again", ["--profile", victim], ports)
        again.wait_holds(sims[victim].device)
        second = marked[victim].with_name("run-3.dat")
        counts = {n: len(recording_lines(first[n])) for n in others}
        self.wait_lines({**{first[n]: counts[n] + 70 for n in others}, second: 70},
                        [again, *(copies[n] for n in others)])

        # The resumed run is the victim's alone.
        self.assertEqual(first[victim].read_bytes(), left, "the killed run's recording changed")
        self.assertEqual(sorted(os.listdir(marked[victim].parent)),
                         ["run-2.dat", "run-2.events", "run-2.info", "run-3.dat", "run-3.events", "run-3.info"])
        self.assertEqual(resume_mark(program.settings(victim))["file"], str(marked[victim]))
        for n in others:
            self.assertEqual(sorted(os.listdir(marked[n].parent)), listed[n], n)
            mark = resume_mark(program.settings(n))
            self.assertEqual((mark["running"], mark["file"]), ("1", str(marked[n])), n)

        # Every line recorded so far reaches the broker; then the copies end.
        recordings = {n: [first[n]] for n in others}
        recordings[victim] = [first[victim], second]
        lines = {n: [recording_lines(path) for path in recordings[n]] for n in names}

        def all_arrived():
            for n in names:
                runs = runs_of(subscriber.on(prefix[n], *OUTBOX_KINDS))
                if len(runs) < len(lines[n]):
                    return False
                for k, run_lines in enumerate(lines[n]):
                    # A kill between the line's write and its message's
                    # hand-over leaves the killed run's last line unsent.
                    allowance = 1 if (n, k) == (victim, 0) else 0
                    if len(unmatched_lines(run_lines, runs[k])) > allowance:
                        return False
            return True
        try:
            wait_for("the messages of every recorded line", all_arrived)
        except AssertionError:
            for n in names:
                runs = runs_of(subscriber.on(prefix[n], *OUTBOX_KINDS))
                for k, run_lines in enumerate(lines[n]):
                    missing = unmatched_lines(run_lines, runs[k] if k < len(runs) else [])
                    self.assertFalse(missing, f"{n}, run {k + 1}: lines without a message (of {len(runs)} runs)")
            raise
        ended_at = subscriber.count()
        for copy in [again, *(copies[n] for n in others)]:
            self.assertEqual(copy.end(), -signal.SIGTERM, copy.label)

        for n in names:
            with self.subTest(profile=n):
                outbox = subscriber.on(prefix[n], *OUTBOX_KINDS)
                self.assertOrdered(outbox)
                runs = runs_of(outbox)
                self.assertEqual(len(runs), len(lines[n]), "runs published")
                for run in runs:
                    self.assertAlarmed(run)
                if n in others:
                    self.assertTrue(any(killed_at <= m.index < restarted_at for m in outbox
                                        if m.topic.endswith("/reading")),
                                    "no reading arrived while the victim was down")
                statuses = [m for m in subscriber.on(prefix[n], "status") if m.index < ended_at]
                self.assertTrue(statuses and statuses[0].payload == "online", statuses)
                offline = [m for m in statuses if m.payload == "offline"]
                if n in others:
                    self.assertFalse(offline, "offline while the run went on")
                else:
                    # Its broker's last will, once it was killed; online again
                    # once it had resumed.
                    self.assertTrue(all(m.index >= killed_at for m in offline), offline)
                    self.assertEqual(statuses[-1].payload, "online", statuses)
                    self.assertTrue(any(m.index >= restarted_at and m.payload == "online" for m in statuses))
        # The resumed run publishes under a stream of its own.
        runs = runs_of(subscriber.on(prefix[victim], *OUTBOX_KINDS))
        streams = [{m.json.get("stream") for m in run} for run in runs]
        self.assertNotIn(None, streams[1])
        self.assertFalse(streams[0] & streams[1], f"the resumed run's streams {streams}")
        # Each copy under its default client id, the victim's again once it
        # resumed; none put another off the broker.
        ids, taken = broker.client_ids()
        self.assertEqual(sorted(i for i in ids if i.startswith("vandrel-")),
                         sorted([f"vandrel-{HOST}-{n}" for n in names] + [f"vandrel-{HOST}-{victim}"]))
        self.assertFalse(taken)

        for n in names:
            own = [program.settings(n), marked[n].parent]
            port = [f"analyser-{n}"]
            foreign = [f"analyser-{o}" for o in names if o != n]
            runs_of_copy = [copies[n], again] if n == victim else [copies[n]]
            for copy in runs_of_copy:
                self.assertWritesOnly(copy, program.dir, own, port, foreign)

    def assertOrdered(self, messages):
        """Within each stream, what a consumer keeps comes in seq order,
        each one above the one before."""
        last = {}
        for m in first_arrivals(messages):
            stream, seq = key(m)
            if stream in last:
                self.assertEqual(seq, last[stream] + 1, f"out of order at {m}")
            last[stream] = seq

    def assertAlarmed(self, run):
        """The run's first reading, beyond the high limit, raised its alarm,
        published after it."""
        reading = next(m for m in run if m.topic.endswith("/reading"))
        alarms = [m for m in run if m.topic.endswith("/alarm") and m.json["event"] == "alarm_high"]
        self.assertTrue(alarms, f"no alarm in the run from {reading}")
        alarm = alarms[0].json
        self.assertEqual((alarm["quantity"], alarm["limit"], alarm["elapsed"], alarm["value"]),
                         ("oxygen", OXYGEN_HIGH, reading.json["elapsed"], reading.json["value"]))
        self.assertGreater(alarms[0].json["seq"], reading.json["seq"])


class OneCopyPerFolder(CopiesTest):

    def test_a_second_start_for_a_live_run_ends_at_once_and_leaves_all_as_it_was(self):
        for label, args in (("profile", ["--profile", "bench_2"]), ("folder", [])):
            with self.subTest(label):
                self.second_start(label, args)

    def second_start(self, label, args):
        sim = self.simulator(f"analyser-{label}")
        program = ProgramFolder(paths, self.place(label))
        profile = args[1] if args else None
        marked = program.dir / "recordings" / "run.dat"
        settings = program.write_settings(profile, port=1, recording=marked)
        first = self.start(program, f"{label}-first", args, {1: sim.link})
        first.wait_holds(sim.device)
        recording = marked.with_name("run-2.dat")
        self.wait_lines({recording: 4}, [first])
        mark = settings / "vandrel-resume.ini"

        def settled(snap):
            # The first copy renews its run's sign of life every 10 s.
            entry = str(mark.relative_to(program.dir))
            mode, _, _, content = snap[entry]
            return {**snap, entry: (mode, re.sub(rb"alive=[^\n]*", b"", content))}
        before = snapshot(program.dir, leave_out=[marked.parent])
        recorded = sorted(os.listdir(marked.parent))
        alive = float(resume_mark(settings)["alive"])

        second = self.start(program, f"{label}-second", args, {1: sim.link})
        self.assertEqual(second.wait_end(), 0, second.stderr())
        self.assertRegex(second.stderr(), rf"is open already \(process {first.pid}\)")
        self.assertEqual(settled(snapshot(program.dir, leave_out=[marked.parent])), settled(before))
        self.assertGreaterEqual(float(resume_mark(settings)["alive"]), alive)
        self.assertWritesOnly(second, program.dir, ports=[sim.link.name])
        # Claimed before anything is read: no settings file, no recording.
        read = [a for a in second.trace().accesses if not a.changes_nothing and any(
            Path(n).name.startswith("vandrel") and inside(n, settings) or inside(n, marked.parent)
            for n in a.names)]
        self.assertFalse(read, f"{second.label} looked at the live run's files")

        lines = len(recording_lines(recording))
        self.wait_lines({recording: lines + 4}, [first])
        self.assertEqual(sorted(os.listdir(marked.parent)), recorded)
        self.assertEqual(first.end(), -signal.SIGTERM)


class TwoFolders(CopiesTest):

    def test_copies_in_two_folders_of_one_name_publish_apart_with_the_defaults(self):
        broker = Broker(self.owner, paths, self.artefacts)
        subscriber = Subscriber(self.owner, paths, broker, self.artefacts)
        copies, recordings = [], []
        # Readings of two levels tell the copies' messages apart: one cell
        # in air, one purged within seconds.
        for site, purge in (("site-a", "180"), ("site-b", "0.5")):
            sim = self.simulator(f"analyser-{site}", "--time-constant", purge)
            program = ProgramFolder(paths, self.place(site) / "bench")
            program.write_settings(port=1, interval=0.5, broker=broker, recording=program.dir / "run.dat")
            copies.append(self.start(program, site, ports={1: sim.link}))
            copies[-1].wait_holds(sim.device)
            recordings.append(program.dir / "run-2.dat")
        self.wait_lines({path: 21 for path in recordings}, copies)  # 10 s at 0.5 s
        lines = [recording_lines(path) for path in recordings]

        def kept():
            return first_arrivals([m for m in subscriber.all() if m.topic.startswith(f"vandrel/{HOST}/")
                                   and m.topic.rsplit("/", 1)[1] in OUTBOX_KINDS])
        try:
            wait_for("every recorded line's message", lambda: not any(unmatched_lines(l, kept()) for l in lines))
        except AssertionError:
            for k, l in enumerate(lines):
                self.assertFalse(unmatched_lines(l, kept()), f"copy {k + 1}: lines a consumer dropped or never got")
            raise
        ended_at = subscriber.count()
        for copy in copies:
            self.assertEqual(copy.end(), -signal.SIGTERM)

        # Each copy's lines came on one topic of its own.
        topics = []
        for l in lines:
            matched = {m.topic for m in kept()
                       if m.topic.endswith("/reading") and any(stands_for(m.json, *line) for line in l)}
            self.assertEqual(len(matched), 1, matched)
            topics.append(matched.pop())
        self.assertNotEqual(topics[0], topics[1])
        # No key stands for two messages: no consumer drops one for another.
        by_key = {}
        for m in subscriber.all():
            if m.json and "seq" in m.json and m.topic.rsplit("/", 1)[1] in OUTBOX_KINDS:
                by_key.setdefault(key(m), set()).add((m.topic, m.payload))
        self.assertFalse({k: v for k, v in by_key.items() if len(v) > 1}, "keys of two messages")
        # Each its own client id, connected once: neither put the other off.
        ids, taken = broker.client_ids()
        ids = [i for i in ids if i.startswith("vandrel-")]
        self.assertEqual(len(ids), 2, ids)
        self.assertEqual(len(set(ids)), 2, ids)
        self.assertFalse(taken)
        for topic in topics:
            statuses = [m.payload for m in subscriber.on(topic.rsplit("/", 1)[0], "status") if m.index < ended_at]
            self.assertEqual(statuses, ["online"], topic)


class Refusals(CopiesTest):

    def test_a_bad_profile_name_ends_the_start_with_status_2_before_anything_is_written(self):
        program = ProgramFolder(paths, self.place("program"))
        fault_empty, fault_letters = "is empty", "may hold only letters (A to Z), digits, - and _"
        fault_long, fault_device = "is longer than 32 characters", "is one that Windows keeps for a device"
        names = [("", fault_empty), ("a b", fault_letters), ("../x", fault_letters), ("x" * 33, fault_long),
                 ("COM1", fault_device), ("nul", fault_device), ("Ölmühle", fault_letters)]
        for i, (name, fault) in enumerate(names):
            with self.subTest(name=name):
                before = snapshot(program.dir)
                copy = self.start(program, f"name-{i}", ["--profile", name])
                self.assertEqual(copy.wait_end(), 2, copy.stderr())
                self.assertIn(f"{fault}.", copy.stderr())
                self.assertEqual(snapshot(program.dir), before)
                self.assertWritesOnly(copy, program.dir)

    def test_a_folder_that_earlier_versions_left_is_used_as_it_is(self):
        sim = self.simulator("analyser")
        program = ProgramFolder(paths, self.place("program"))
        files = {
            "vandrel.ini": " 1 0.500000 1 1 0 0.000000 10.000000  Kv_2014\n",
            "vandrel-alarms.ini": "vandrel-alarms 1\noxygen 0 0 1 10 1\nvoltage 0 0 0 0 1\n"
                                  "temperature 0 0 0 0 1\nno-answer 1 3\n",
            "vandrel-publish.ini": "enabled=0\nhost=broker.example\nport=1883\n",
            "vandrel-resume.ini": f"resume=1\nrunning=0\nalive=1765382703.1\nfile={program.dir}/run.dat\n",
        }
        for name, text in files.items():
            (program.dir / name).write_text(text)

        def kept_as_is():
            # Names, sizes, contents and times; not modes: a file holding
            # the broker's password is narrowed to the user when read.
            return {name: entry[1:] for name, entry in snapshot(program.dir).items()}
        before = kept_as_is()
        copy = self.start(program, "earlier", ports={1: sim.link})
        copy.wait_holds(sim.device)
        self.assertEqual(kept_as_is(), before)
        self.assertEqual(copy.end(), -signal.SIGTERM)
        self.assertEqual(kept_as_is(), before)
        self.assertWritesOnly(copy, program.dir, ports=[sim.link.name])
        trace = copy.trace()
        for name in files:
            self.assertTrue(trace.reads_of(program.dir / name), f"{name} was not read where it lies")


def main():
    global paths
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--program", "--simulator", "--panel-file", "--strace", "--mosquitto", "--mosquitto-sub",
                   "--mosquitto-pub", "--artefacts"):
        parser.add_argument(option, required=True)
    paths, rest = parser.parse_known_args()
    os.environ.setdefault("ASAN_OPTIONS", "detect_leaks=1")
    os.environ.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
