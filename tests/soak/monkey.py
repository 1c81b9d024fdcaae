"""Monkey test of a shipped program: a seeded, reproducible stream of real X
events (clicks, drags, access keys, menu shortcuts, random and hostile text,
Tab/Enter/Escape, wheel bursts of up to 30 notches, file dialogs completed
with names of good and hostile files in the run's own folder, the
explorer's Iterations dialog, the calculator's schedule window with its Copy
and Export) sent to the explorer (Zelmar) or the calculator (interest) on a
private X server, with checks that the program stays alive, answers within a
second once the stream ends, and keeps its memory bounded.

The stream is a function of the seed alone: what the program does in between
(a dialog that pops up, a pass still running) changes when events are sent,
never which. A failure prints the seed and the number of events sent, and
`--seed S --events N` sends the same N events again. The events sent are also
written, one a line, to the artifacts directory.

Runs inside the private session of tests/e2e/run_e2e.sh, which starts and
ends the X server, the window manager and the accessibility bus. MONKEY_DEBUG=1
in the environment prints the time each event took and every window seen
active in place of the main one.
"""

import argparse
import glob
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from atspi_driver import Atspi, Failure, GLib, Program  # noqa: E402
from monkey_vocabulary import (FILES_DIR_MARK, WAIT, CalculatorVocabulary,  # noqa: E402
                               ExplorerVocabulary, Layout)

TITLES = {"Zelmar": "Brenn's Tolv Quenfeld Program",
          "interest": "Brenn's Tolv Loan Calculator"}

# The program must answer an accessibility query within this long once the
# stream has ended, and within PING_LIMIT at the checks made during it (when
# the X server may still hold a backlog of the stream's events for it).
FINAL_ANSWER_LIMIT = 1.0
PING_LIMIT = 5.0
# Seconds between checks of life, memory and responsiveness during the stream.
CHECK_INTERVAL = 2.0
# A window of the program other than its main window (a message box, a file
# dialog) must be gone this long after the first Escape sent to it.
DIALOG_LIMIT = 15.0


class TimeLimit(BaseException):
    """The run's own time limit ran out."""


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--seed", type=int, default=None,
                        help="seed of the event stream (default: $MONKEY_SEED, else drawn "
                             "from the clock; printed either way)")
    parser.add_argument("--seconds", type=float, default=20.0,
                        help="length of the stream in seconds")
    parser.add_argument("--events", type=int, default=None,
                        help="send exactly this many events, whatever the time (for replays)")
    parser.add_argument("--max-rss-mb", type=float, default=400.0,
                        help="the program's peak resident memory (VmHWM) must stay below this")
    parser.add_argument("--max-growth-mb", type=float, default=None,
                        help="resident memory may grow at most this much from the first "
                             "quarter of the run to its end (default: checked only on runs of "
                             "two minutes or more, with 64 MB)")
    parser.add_argument("--time-limit", type=float, default=None,
                        help="hard limit of the whole run (set by run_e2e.sh)")
    args = parser.parse_args()
    # The program runs in a directory of its own: paths given relative to
    # the caller's must not change meaning.
    args.program = os.path.abspath(args.program)
    args.artifacts = os.path.abspath(args.artifacts)
    if args.seed is None and os.environ.get("MONKEY_SEED"):
        args.seed = int(os.environ["MONKEY_SEED"])
    if args.seed is None:
        args.seed = int(time.time() * 1000) % 1_000_000_007
    if args.max_growth_mb is None and args.events is None and args.seconds >= 120:
        args.max_growth_mb = 64.0
    return args


# --- the run -------------------------------------------------------------------


def memory_of(pid):
    """VmRSS and VmHWM of a process in MB, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/status") as status:
            fields = dict(line.split(":", 1) for line in status if ":" in line)
        return (int(fields["VmRSS"].split()[0]) / 1024.0,
                int(fields["VmHWM"].split()[0]) / 1024.0)
    except (OSError, KeyError, ValueError):
        return None


def ask(program, limit):
    """One accessibility query the program answers from its event loop;
    returns how long the answer took, or raises Failure."""
    Atspi.set_timeout(int(limit * 1000), int(limit * 1000))
    t0 = time.monotonic()
    try:
        # Two round trips to the program: the window's title and how many
        # children it has.
        name = program.frame.get_name()
        program.frame.get_child_count()
    except GLib.Error as error:
        raise Failure(f"the program did not answer within {limit:g} s: {error}") from None
    finally:
        Atspi.set_timeout(5000, 15000)
    took = time.monotonic() - t0
    if name != program.title:
        raise Failure(f"the window's title reads {name!r}, not {program.title!r}")
    if took > limit:
        raise Failure(f"the program took {took:.2f} s to answer, more than {limit:g} s")
    return took


def xdotool(args, timeout=30):
    return subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, text=True, errors="replace")


class Monkey:
    def __init__(self, args):
        self.args = args
        self.name = os.path.basename(args.program)
        if self.name not in TITLES:
            raise SystemExit(f"monkey: unknown program {self.name!r} (known: {sorted(TITLES)})")
        os.makedirs(args.artifacts, exist_ok=True)
        # The program's output of an earlier run must not be taken for this one's.
        for old in glob.glob(os.path.join(args.artifacts, f"{self.name}.*log")):
            os.remove(old)
        self.rng = random.Random(args.seed)
        self.sent = 0
        self.restarts = 0
        self.dialogs = 0
        self.refocused = 0
        self.closed = 0
        self.peak_rss = 0.0
        self.peak_hwm = 0.0
        # Per start of the program: (seconds since that start, VmRSS in MB).
        self.instances = []
        self.began = time.monotonic()
        self.recent = []  # descriptions of the last events sent, for a failure report
        self.program = None
        self.main_window = None
        self.vocabulary = None
        self.log = open(os.path.join(args.artifacts, f"monkey-{self.name}.events"), "w")
        # Events sent, seconds into the stream, VmRSS and VmHWM in MB.
        self.memory_log = open(os.path.join(args.artifacts, f"monkey-{self.name}.memory"), "w")
        # The program runs in a private directory with a private home, so a
        # file dialog that catches a stray Enter saves nowhere else and no
        # settings of the user's are read or written. Two levels deep: a
        # dialog steered to the parent directory stays inside it.
        self.home = tempfile.mkdtemp(prefix="monkey.")
        self.cwd = os.path.join(self.home, "files", "here")
        os.makedirs(self.cwd)
        for variable, sub in (("HOME", ""), ("XDG_CONFIG_HOME", ".config"),
                              ("XDG_CACHE_HOME", ".cache"), ("XDG_DATA_HOME", ".local/share")):
            os.environ[variable] = os.path.join(self.home, sub) if sub else self.home
        os.chdir(self.cwd)
        self.files_dir = self.cwd
        self.prepare_files()

    def prepare_files(self):
        """What the dialogs are given besides what the program writes itself:
        a PNG whose text chunk claims 2 GB, one with megabytes of surplus
        compressed image data, a plain picture, a named pipe and a folder,
        all in the private folder."""
        import struct
        import zlib

        def chunk(kind, body, claimed=None):
            length = len(body) if claimed is None else claimed
            return (struct.pack(">I", length) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
        signature = b"\x89PNG\r\n\x1a\n"
        header = chunk(b"IHDR", struct.pack(">IIBBBBB", 64, 48, 8, 2, 0, 0, 0))
        rows = b"".join(b"\0" + b"\x40" * 64 * 3 for _ in range(48))
        end = chunk(b"IEND", b"")
        with open(os.path.join(self.files_dir, "plain.png"), "wb") as f:
            f.write(signature + header + chunk(b"IDAT", zlib.compress(rows)) + end)
        with open(os.path.join(self.files_dir, "hostile-text.png"), "wb") as f:
            f.write(signature + header + chunk(b"tEXt", b"Comment\0" + b"x" * 200, 0x7FFFFFFF) +
                    chunk(b"IDAT", zlib.compress(rows)) + end)
        packer = zlib.compressobj(9)
        data = packer.compress(rows)
        zeros = b"\0" * (1 << 20)
        for _ in range(256):  # 256 MB of zeros in about 250 KB
            data += packer.compress(zeros)
        data += packer.flush()
        with open(os.path.join(self.files_dir, "hostile-surplus.png"), "wb") as f:
            f.write(signature + header + chunk(b"IDAT", data) + end)
        os.mkfifo(os.path.join(self.files_dir, "pipe.png"))
        os.mkdir(os.path.join(self.files_dir, "folder.png"))
        self.prepared = set(os.listdir(self.files_dir))

    def close(self):
        if self.program is not None:
            self.program.stop()
        self.log.close()
        self.memory_log.close()
        os.chdir("/")
        shutil.rmtree(self.home, ignore_errors=True)

    def start_program(self):
        log = os.path.join(self.args.artifacts, f"{self.name}.log")
        if self.program is not None:
            self.program.stop()
            os.replace(log, os.path.join(self.args.artifacts, f"{self.name}.{self.restarts}.log"))
        self.program = Program(self.args.program, TITLES[self.name], self.args.artifacts)
        self.program.start(timeout=60)
        layout = Layout(self.program, self.vocabulary_class().CONTROLS)
        if self.vocabulary is None:
            self.vocabulary = self.vocabulary_class()(self.rng, layout)
        elif layout.boxes != self.vocabulary.layout.boxes:
            raise Failure("the restarted program's controls are not where they were")
        result = xdotool(["getactivewindow"])
        if result.returncode != 0:
            raise Failure("no active window after start-up")
        self.main_window = result.stdout.strip()
        self.instances.append([])
        self.started_at = time.monotonic()

    def vocabulary_class(self):
        return ExplorerVocabulary if self.name == "Zelmar" else CalculatorVocabulary

    def check_alive(self):
        """Fails when the program has ended other than through its Exit
        button (status 0), and starts it again when it has ended through it."""
        if self.program.alive():
            return
        status = self.program.proc.returncode
        if status == 0:
            self.restarts += 1
            print(f"  event {self.sent}: the program ended through Exit; started again",
                  flush=True)
            self.start_program()
            return
        how = f"signal {-status} ({signal.Signals(-status).name})" if status < 0 \
            else f"status {status}"
        raise Failure(f"the program ended with {how}")

    def sample_memory(self, t):
        memory = memory_of(self.program.proc.pid)
        if memory is None:
            return
        rss, hwm = memory
        self.instances[-1].append((time.monotonic() - self.started_at, rss))
        self.memory_log.write(f"{self.sent} {t:.1f} {rss:.1f} {hwm:.1f}\n")
        self.memory_log.flush()
        self.peak_rss = max(self.peak_rss, rss)
        self.peak_hwm = max(self.peak_hwm, hwm)
        if hwm > self.args.max_rss_mb:
            raise Failure(f"peak resident memory {hwm:.0f} MB exceeds {self.args.max_rss_mb:g} MB")

    def answer(self, limit):
        """How long the program took to answer; a program that has ended
        meanwhile is told as such, not as one that does not answer."""
        try:
            return ask(self.program, limit)
        except Failure as failure:
            # A program on its way out (Exit pressed just now) answers with
            # an empty title or not at all; give it a moment to be gone.
            try:
                self.program.proc.wait(2.0)
            except subprocess.TimeoutExpired:
                raise failure from None
        # Ended meanwhile: through Exit it starts again and has nothing to
        # answer for; any other end fails here.
        self.check_alive()
        return 0.0

    def active_window(self):
        result = xdotool(["getactivewindow"])
        return result.stdout.strip() if result.returncode == 0 else ""

    def dismiss_dialogs(self, active):
        """While another window than the program's main one is active (a
        message box, a file dialog), sends it Escape until it goes."""
        if active == self.main_window:
            return
        if os.environ.get("MONKEY_DEBUG"):
            print(f"  debug: active {active!r}, main {self.main_window!r}", flush=True)
        deadline = time.monotonic() + DIALOG_LIMIT
        counted = False
        unfocused_since = None
        escaped = {}  # window: when the first Escape was sent to it
        while active != self.main_window:
            self.check_alive()
            if active:
                unfocused_since = None
                if not counted:
                    self.dialogs += 1
                    counted = True
                escaped.setdefault(active, time.monotonic())
                if time.monotonic() - escaped[active] > 1.5:
                    # A window that Escape does not close (a secondary
                    # window rather than a dialog): the window manager
                    # closes it as its close button would, never the main one.
                    subprocess.run(["wmctrl", "-i", "-c", active], timeout=10)
                    self.closed += 1
                    escaped[active] = time.monotonic()
                else:
                    xdotool(["key", "Escape"])
            elif unfocused_since is None:
                unfocused_since = time.monotonic()
            elif time.monotonic() - unfocused_since > 2.0:
                # No window has had the focus for a while (the window
                # manager gave it to none after a dialog closed): give it
                # back to the main window, as a user would by clicking it.
                xdotool(["windowactivate", self.main_window])
                self.refocused += 1
                unfocused_since = None
            if time.monotonic() > deadline:
                raise Failure(f"a window of the program (X id {active or 'none'}) did not close "
                              f"on Escape within {DIALOG_LIMIT:g} s")
            time.sleep(0.05)
            active = self.active_window()

    def wait_for_dialog(self, seconds):
        """After a shortcut that opens a file dialog: waits for it to appear,
        so that it is dismissed before the next event reaches it."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            active = self.active_window()
            if active and active != self.main_window:
                return active
            self.check_alive()
            time.sleep(0.03)
        return self.main_window

    def xdotool_calls(self, cmd):
        # `type` takes every argument after it as text, so a command that
        # types ends its call; the rest of the action follows in the next.
        calls, call = [], []
        tokens = iter(cmd)
        for token in tokens:
            call.append(token)
            if token == "--":
                call.append(next(tokens))
                calls.append(call)
                call = []
        calls.append(call + ["getactivewindow"])
        for call in calls:
            result = xdotool(call, timeout=60)
        return result

    def wait_for_change(self, before, seconds):
        """Waits for a window other than `before` to become active (a dialog
        opened by the keys just sent)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            active = self.active_window()
            if active and active != before:
                return active
            self.check_alive()
            time.sleep(0.03)
        return before

    def send(self, index):
        cmd, description = self.vocabulary.draw()
        self.log.write(f"{index} {description}\n")
        self.recent.append(description)
        del self.recent[:-12]
        t_send = time.monotonic()
        cmd = [token.replace(FILES_DIR_MARK, self.files_dir + "/") for token in cmd]
        segments = [[]]
        for token in cmd:
            if token == WAIT:
                segments.append([])
            else:
                segments[-1].append(token)
        for number, segment in enumerate(segments):
            before = self.active_window() if number + 1 < len(segments) else None
            result = self.xdotool_calls(segment)
            if before is not None:
                self.wait_for_change(before, 5.0)
        self.sent += 1
        if result.returncode != 0 and os.environ.get("MONKEY_DEBUG"):
            print(f"  debug: xdotool {result.returncode}: {result.stderr.strip()}", flush=True)
        active = result.stdout.strip().splitlines()
        active = active[-1] if active and result.returncode == 0 else ""
        if ("ctrl+o" in cmd or "ctrl+s" in cmd or "ctrl+e" in cmd) and self.name == "Zelmar" \
                and len(segments) == 1:
            active = self.wait_for_dialog(5.0)
        self.dismiss_dialogs(active)
        if os.environ.get("MONKEY_DEBUG"):
            print(f"  debug: {time.monotonic() - t_send:.3f} s: {description[:60]}", flush=True)

    def run(self):
        args = self.args
        print(f"monkey: {self.name}, seed {args.seed}, "
              + (f"{args.events} events" if args.events is not None else f"{args.seconds:g} s"),
              flush=True)
        self.start_program()
        t0 = time.monotonic()
        next_check = t0 + CHECK_INTERVAL
        slowest_ping = 0.0
        while True:
            now = time.monotonic()
            if args.events is not None:
                if self.sent >= args.events:
                    break
            elif now - t0 >= args.seconds:
                break
            self.send(self.sent)
            if time.monotonic() >= next_check:
                self.check_alive()
                self.sample_memory(time.monotonic() - t0)
                slowest_ping = max(slowest_ping, self.answer(PING_LIMIT))
                next_check = time.monotonic() + CHECK_INTERVAL
        duration = time.monotonic() - t0
        self.screenshot("end")
        self.check_alive()
        self.dismiss_dialogs(self.active_window())
        answer = self.answer(FINAL_ANSWER_LIMIT)
        self.sample_memory(duration)
        self.check_growth()
        print(f"monkey: {self.name}: seed {args.seed}, {self.sent} events in {duration:.1f} s, "
              f"peak memory VmHWM {self.peak_hwm:.1f} MB (VmRSS peak {self.peak_rss:.1f} MB), "
              f"{self.dialogs} dialogs dismissed ({self.closed} closed by the window manager), "
              f"{self.refocused} focus returns, "
              f"{self.restarts} restarts after Exit, "
              f"slowest answer during the stream {slowest_ping * 1000:.0f} ms, "
              f"after it {answer * 1000:.0f} ms", flush=True)
        written = sorted(set(os.listdir(self.files_dir)) - self.prepared)
        print(f"  files the program wrote through its dialogs: {', '.join(written) or 'none'}",
              flush=True)

    def check_growth(self):
        """Unbounded growth: the resident memory over the last quarter of the
        run (its median, so that one busy moment does not count) against its
        highest over the second quarter. The first quarter is left out: it
        holds the start-up allocations and, in the sanitizer build, the
        filling of the allocator's quarantine of freed memory."""
        if self.args.max_growth_mb is None:
            return
        # After an Exit the program starts afresh: the longest-lived run of
        # it is the one that tells.
        samples = max(self.instances, key=lambda s: s[-1][0] if s else 0.0)
        end = samples[-1][0] if samples else 0.0
        middle = [rss for t, rss in samples if end / 4 <= t <= end / 2]
        late = sorted(rss for t, rss in samples if t >= end * 3 / 4)
        if end < 60 or len(middle) < 3 or len(late) < 3:
            # Not a fault of the program: Exit came too often in this stream.
            print(f"  NOT CHECKED: memory growth; the longest run of the program between "
                  f"restarts after Exit lasted {end:.0f} s ({len(samples)} samples), less than "
                  f"the 60 s needed; only the peak was checked", flush=True)
            return
        before, after = max(middle), late[len(late) // 2]
        print(f"  resident memory: at most {before:.1f} MB in the second quarter of the run, "
              f"{after:.1f} MB (median) in the last", flush=True)
        if after - before > self.args.max_growth_mb:
            raise Failure(f"resident memory grew by {after - before:.0f} MB from the second to "
                          f"the last quarter of the run (limit {self.args.max_growth_mb:g} MB)")

    def screenshot(self, what):
        """The screen as it is now, into the artifacts, for a person to look
        at after a run."""
        path = os.path.join(self.args.artifacts, f"monkey-{self.name}-{what}.png")
        try:
            from PIL import ImageGrab
            ImageGrab.grab(xdisplay=os.environ["DISPLAY"]).save(path)
        except Exception as error:  # noqa: BLE001 - a missing picture fails nothing
            print(f"  no screenshot: {error}", flush=True)
            return None
        return path

    def report_failure(self, message):
        print(f"FAIL monkey {self.name}: {message}", flush=True)
        shot = self.screenshot("failure")
        if shot:
            print(f"  screen at the failure: {shot}", flush=True)
        here = os.path.dirname(os.path.abspath(__file__))
        print(f"  seed {self.args.seed}, after {self.sent} events; replay with:\n"
              f"    E2E_TIME_LIMIT={int(time.monotonic() - self.began) + 120} "
              f"bash {os.path.join(os.path.dirname(here), 'e2e', 'run_e2e.sh')} "
              f"{os.path.join(here, 'monkey.py')} --program {self.args.program} "
              f"--artifacts {self.args.artifacts} --seed {self.args.seed} --events {self.sent}",
              flush=True)
        print("  last events:\n    " + "\n    ".join(self.recent), flush=True)
        if self.program is not None:
            try:
                with open(self.program.log_path, "rb") as log:
                    tail = log.read()[-6000:].decode(errors="replace")
            except OSError:
                tail = ""
            if tail.strip():
                print(f"--- output of the program ({self.program.log_path}):\n{tail}", flush=True)


SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer",
                   "SUMMARY: UndefinedBehaviorSanitizer")


def main():
    args = parse_arguments()
    # The runner checks for the tools it needs itself; these are the monkey's.
    missing = [tool for tool in ("xdotool", "wmctrl") if shutil.which(tool) is None]
    if missing:
        print(f"FAIL monkey: missing {', '.join(missing)} (run scripts/install-deps.sh)",
              flush=True)
        sys.exit(1)
    if args.time_limit is not None:
        def out_of_time(signum, frame):
            raise TimeLimit(f"time limit of {args.time_limit:g} s reached")
        signal.signal(signal.SIGALRM, out_of_time)
        signal.setitimer(signal.ITIMER_REAL, max(1.0, args.time_limit))
    monkey = Monkey(args)
    status = 0
    try:
        monkey.run()
        # A sanitizer that reports and goes on still counts as a failure, in
        # the output of every start of the program.
        for path in sorted(glob.glob(os.path.join(args.artifacts, f"{monkey.name}.*log"))):
            with open(path, "rb") as log:
                output = log.read().decode(errors="replace")
            marks = [mark for mark in SANITIZER_MARKS if mark in output]
            if marks:
                raise Failure(f"{path} reports {', '.join(marks)}")
    except (Failure, TimeLimit) as failure:
        monkey.report_failure(str(failure))
        status = 1
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        monkey.close()
    print("PASS" if status == 0 else "FAIL", f"monkey {monkey.name}", flush=True)
    sys.exit(status)


if __name__ == "__main__":
    main()
