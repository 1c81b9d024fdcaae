"""Drives a shipped program the way a screen reader or a GUI test tool does:
through the accessibility bus (AT-SPI), with key presses from the X test
extension (xdotool) and screenshots of the X server.

Everything waits by polling with a deadline, never by a fixed sleep, and every
wait ends in a failure that says what it waited for. A Program is killed when
its driver leaves, however it leaves.
"""

import argparse
import os
import signal
import subprocess
import sys
import time
import traceback

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

# A call the program does not answer within 5 s fails instead of hanging.
Atspi.set_timeout(5000, 15000)


class Failure(Exception):
    """A check that did not hold."""


class TimeLimit(BaseException):
    """The driver's own time limit ran out."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


def wait_for(what, probe, timeout=10.0, interval=0.03):
    """Polls probe() until it returns something true and returns that. A probe
    that raises a D-Bus error counts as not yet (the object may be on its
    way); the last value or error is told when the deadline passes."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = probe()
            if value:
                return value
            last = value
        except (GLib.Error, LookupError) as error:
            last = error
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what} (last: {last!r})")
        time.sleep(interval)


# --- reading the accessible tree -------------------------------------------


def children(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child


def find_all(root, role, name=None):
    found = []
    stack = [root]
    while stack:
        node = stack.pop()
        if node.get_role() == role and (name is None or node.get_name() == name):
            found.append(node)
        stack.extend(reversed(list(children(node))))
    return found


def find_one(root, role, name):
    found = find_all(root, role, name)
    if len(found) != 1:
        raise LookupError(f"{len(found)} objects with role {role.value_nick} and name {name!r}")
    return found[0]


def has_state(node, state):
    return node.get_state_set().contains(state)


def text_of(node):
    return node.queryText().getText(0, -1)


def selection_of(node):
    text = node.queryText()
    if text.getNSelections() == 0:
        return None
    return tuple(text.getSelection(0))


def caret_of(node):
    return node.queryText().caretOffset


def extents_of(node):
    e = node.queryComponent().getExtents(pyatspi.XY_SCREEN)
    return e.x, e.y, e.width, e.height


def press(button, settle=True):
    """Presses a button through its Press action, as a screen reader does.

    The action only starts an animated click: the button goes down at once
    and is clicked about 100 ms later. With `settle`, returns once the button
    is up again, which is after its click handler has run (or, when the
    handler runs a nested event loop, after it has entered that loop)."""
    name = button.get_name()
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Press" in names, f"button {name!r} has no Press action ({names})")
    check(action.doAction(names.index("Press")), f"button {name!r} refused Press")
    if settle:
        wait_for(f"button {name!r} to be clicked",
                 lambda: not has_state(button, Atspi.StateType.PRESSED), 10)


class NameChanges:
    """Counts the name changes the programs announce, per object. The
    announcement carries no text (the program sends only which object
    changed), but it is not missed the way a caption shown for a moment is
    missed by polling. Create it before the program starts, so that the
    program knows from the outset that someone listens."""

    EVENT = "object:property-change:accessible-name"

    def __init__(self):
        self._sources = []
        self._listener = Atspi.EventListener.new(self._record)
        self._listener.register(self.EVENT)

    def _record(self, event):
        self._sources.append(event.source)

    def pump(self):
        """Delivers the announcements that have arrived so far."""
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)

    def count(self, node):
        """Announced changes of `node`'s name since the last clear()."""
        self.pump()
        return sum(1 for source in self._sources if source == node)

    def clear(self):
        self.pump()
        self._sources.clear()


# --- input from the X server -----------------------------------------------


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10)


def type_keys(text):
    xdotool("type", "--delay", "15", "--", text)


def click_at(x, y):
    """A left click at screen position (x, y), from the X server's test
    extension, as a user's click arrives."""
    xdotool("mousemove", str(x), str(y))
    xdotool("click", "1")


def click_into(node, fraction=0.5):
    """Clicks into a control at `fraction` of its width, half-way down."""
    x, y, w, h = extents_of(node)
    click_at(x + max(1, min(w - 2, int(w * fraction))), y + h // 2)


def park_pointer():
    """Moves the pointer to the screen's bottom-right corner, off every
    control, so that no hover highlight or pointer lands in a screenshot."""
    # No --sync: it waits for a motion, forever when the pointer is there
    # already. xdotool waits for the server to take the move before it exits.
    xdotool("mousemove", "1023", "767")


def screenshot(box):
    from PIL import ImageGrab

    x, y, w, h = box
    return ImageGrab.grab(bbox=(x, y, x + w, y + h), xdisplay=os.environ["DISPLAY"]).convert("RGB")


# --- the program under test --------------------------------------------------


class Program:
    """One run of a shipped executable, found on the accessibility bus by its
    process id."""

    def __init__(self, path, title, artifacts):
        env = dict(os.environ)
        # The real platform plug-in (make test runs the unit tests offscreen)
        # and the accessibility bridge on, whatever the desktop says.
        env["QT_QPA_PLATFORM"] = "xcb"
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        for name in ("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING",
                     "QT_FONT_DPI", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        self.title = title
        self.log_path = os.path.join(artifacts, os.path.basename(path) + ".log")
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([path], env=env, stdin=subprocess.DEVNULL,
                                     stdout=self._log, stderr=subprocess.STDOUT)
        self.app = None
        self.frame = None

    def alive(self):
        return self.proc.poll() is None

    def _probe_alive(self):
        if not self.alive():
            raise Failure(f"the program ended early with status {self.proc.returncode}")

    def start(self, timeout=20.0):
        """Waits for the program's application object and its main window,
        shown and active (so that key presses go to it)."""
        desktop = Atspi.get_desktop(0)
        # No caching of names and states: captions change while a test polls.
        desktop.set_cache_mask(Atspi.Cache.NONE)

        def find_app():
            self._probe_alive()
            for app in children(desktop):
                try:
                    if app.get_process_id() == self.proc.pid:
                        return app
                except GLib.Error:
                    continue
            return None

        self.app = wait_for("the program on the accessibility bus", find_app, timeout)
        self.app.set_cache_mask(Atspi.Cache.NONE)

        def find_frame():
            self._probe_alive()
            frame = find_one(self.app, Atspi.Role.FRAME, self.title)
            return frame if has_state(frame, Atspi.StateType.SHOWING) else None

        self.frame = wait_for(f"the window {self.title!r}", find_frame, timeout)
        wait_for("the window to be active",
                 lambda: self._probe_alive() or has_state(self.frame, Atspi.StateType.ACTIVE),
                 timeout)
        return self.frame

    def find(self, role, name):
        return wait_for(f"{role.value_nick} {name!r}", lambda: find_one(self.frame, role, name), 5)

    def dialogs(self):
        """The program's message boxes and dialogs that are on screen."""
        found = []
        for top in children(self.app):
            if top.get_role() in (Atspi.Role.ALERT, Atspi.Role.DIALOG) and \
                    has_state(top, Atspi.StateType.SHOWING):
                found.append(top)
        return found

    def type_into(self, field, text):
        """Enters `text` into a field from the keyboard, as a user does: focus
        the field, then type over it. Entering a field that did not have the
        focus must select its whole text, so that typing replaces it."""
        name = field.get_name()
        # Key presses go to the window the window manager has activated; after
        # a message box closes that takes a moment.
        wait_for("the window to be active",
                 lambda: has_state(self.frame, Atspi.StateType.ACTIVE), 5)
        if not has_state(field, Atspi.StateType.FOCUSED):
            check(field.queryComponent().grabFocus(), f"field {name!r} refused the focus")
            wait_for(f"the focus in {name!r}", lambda: has_state(field, Atspi.StateType.FOCUSED), 5)
            current = text_of(field)
            check_equal(selection_of(field) if current else None,
                        (0, len(current)) if current else None,
                        f"selection on entering {name!r} (text {current!r})")
        else:
            # Still focused from before: the program does not reselect, so
            # select everything the way a user would.
            xdotool("key", "--clearmodifiers", "ctrl+a")
            wait_for(f"all of {name!r} selected",
                     lambda: selection_of(field) == (0, len(text_of(field))), 5)
        type_keys(text)
        wait_for(f"{name!r} to read {text!r}", lambda: text_of(field) == text, 5)

    def wait_exit(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program is still running {timeout:g} s later") from None

    def stop(self):
        if self.alive():
            self.proc.kill()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        self._log.close()


# --- cases and the closing line ------------------------------------------------


class Run:
    """Runs named cases in order, prints one line per case and the closing
    'N passed, N failed' line, and turns the result into the exit status.
    A case that needs an earlier one to have passed says so with `needs`."""

    def __init__(self, description):
        parser = argparse.ArgumentParser(description=description)
        parser.add_argument("--program", required=True)
        parser.add_argument("--reference")
        parser.add_argument("--artifacts", required=True)
        parser.add_argument("--time-limit", type=float, default=80)
        self.args = parser.parse_args()
        self.program = None  # set by the driver, to tell its state on failures
        os.makedirs(self.args.artifacts, exist_ok=True)
        self.passed = []
        self.failed = []
        self.started = time.monotonic()

        def out_of_time(signum, frame):
            raise TimeLimit(f"driver time limit of {self.args.time_limit:g} s reached")

        signal.signal(signal.SIGALRM, out_of_time)
        signal.setitimer(signal.ITIMER_REAL, max(1.0, self.args.time_limit))

    def case(self, name, body, needs=()):
        missing = [n for n in needs if n not in self.passed]
        if missing:
            self._fail(name, f"not run: needs {', '.join(missing)}", 0.0)
            return False
        t0 = time.monotonic()
        try:
            body()
        except Failure as failure:
            self._fail(name, str(failure), time.monotonic() - t0)
            return False
        except TimeLimit as limit:
            self._fail(name, str(limit), time.monotonic() - t0)
            raise
        except Exception:  # noqa: BLE001 - any error is the case's failure
            self._fail(name, traceback.format_exc().rstrip(), time.monotonic() - t0)
            return False
        self.passed.append(name)
        print(f"PASS {name} ({time.monotonic() - t0:.2f} s)", flush=True)
        return True

    def _fail(self, name, message, seconds):
        self.failed.append(name)
        if self.program is not None and not self.program.alive():
            message += f" [the program has ended, status {self.program.proc.returncode}]"
        print(f"FAIL {name} ({seconds:.2f} s): {message}", flush=True)

    def finish(self):
        signal.setitimer(signal.ITIMER_REAL, 0)
        if self.failed and self.program is not None:
            with open(self.program.log_path, "rb") as log:
                tail = log.read()[-3000:].decode(errors="replace")
            if tail.strip():
                print(f"--- output of the program ({self.program.log_path}):\n{tail}")
        print(f"e2e: {time.monotonic() - self.started:.1f} s in all")
        print(f"{len(self.passed)} passed, {len(self.failed)} failed", flush=True)
        sys.exit(1 if self.failed or not self.passed else 0)
