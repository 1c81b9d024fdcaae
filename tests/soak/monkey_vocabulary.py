"""The monkey's event vocabularies: random and hostile text, where the
controls are, and the actions drawn for the explorer and the calculator.
An action depends only on the random stream and the layout, never on what
the program shows."""

from atspi_driver import Atspi, extents_of, find_all

# --- random text ----------------------------------------------------------------

# Texts a careless or hostile user types into a number field: huge, tiny,
# malformed, not numbers at all. No '/' or '~': a file dialog that catches some
# of them must not be steered out of the run's private directory.
ODD_TEXTS = [
    "", " ", "-", "+", ".", ",", "e", "E", "1e", "1e+", "-e5", "--5", "+-1", "1..2", "1,5",
    "0", "-0", "00000", "0.0000000000000000000001", "1e308", "1.7976931348623157e308",
    "1e309", "-1e309", "1e-320", "4.9e-324", "1e-400", "2.2250738585072014e-308",
    "922337203685477.5807", "922337203685477.5808", "-922337203685477.5808",
    "922337203685478", "9223372036854775807", "9223372036854775808", "18446744073709551616",
    "2147483647", "2147483648", "-2147483649", "32767", "32768", "-32769", "65536",
    "1e15", "3e9", "1e-300", "nan", "NaN", "inf", "-inf", "Infinity", "0x1p3", "0x10", "&H10",
    "&HFFFF", "&O777", "1d5", "1D-5", "1e5e5", "$", "$1,000.00", "($5)", "5%", "12 %",
    "1 000", "\t", "abc", "Press Compute", "e" * 40, "%s%n%x", "'; --", "\\0",
    "\u00bd", "\u00e9", "\u20ac100", "\u0663\u0664",
]


def random_text(rng):
    kind = rng.randrange(8)
    if kind == 0:
        return rng.choice(ODD_TEXTS)
    if kind == 1:
        # A huge run of digits, sometimes with a sign, a point or an exponent.
        digits = "".join(rng.choice("0123456789") for _ in range(rng.randint(16, 400)))
        return rng.choice(["", "-", "+"]) + digits + rng.choice(["", ".5", "e10", "e-10", "e400"])
    if kind == 2:
        return f"{rng.uniform(-1e6, 1e6):.{rng.randint(0, 17)}f}"
    if kind == 3:
        # Any magnitude a double has, and some beyond it either way.
        return (f"{rng.choice(['', '-'])}{rng.randint(1, 9)}.{rng.randint(0, 10 ** 16)}"
                f"e{rng.randint(-330, 330)}")
    if kind == 4:
        return str(rng.randint(-10, 1000))
    if kind == 5:
        return rng.choice(["4", "-4", "3", "-3", "0.5", "-0.75", "0.1", "2", "100", "7", "360",
                           "12", "1000", "665.30", "0.001"])
    if kind == 6:
        # Printable junk.
        alphabet = "0123456789.,-+eE$%() abcxyzXYZ!@#^&*_=[]{};:'\"<>?|`"
        return "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 30)))
    return rng.choice(ODD_TEXTS) + rng.choice(ODD_TEXTS[:30])


# --- the two programs' event vocabularies -------------------------------------

# In an action: wait (up to a few seconds) for another window to become
# active before the rest is sent, so that a dialog gets what is meant for it.
WAIT = "@wait"
# Stands for the run's private folder in a typed file name; the stream itself
# does not depend on where that folder is.
FILES_DIR_MARK = "@files/"


def point_in(rng, box, margin=2):
    x, y, w, h = box
    return (rng.randint(x + margin, x + max(margin, w - 1 - margin)),
            rng.randint(y + margin, y + max(margin, h - 1 - margin)))


def center_of(box):
    x, y, w, h = box
    return x + w // 2, y + h // 2


def outside(point, box):
    x, y, w, h = box
    return not (x <= point[0] < x + w and y <= point[1] < y + h)


class Layout:
    """Where the program's controls are on the screen, read once from the
    accessibility bus after start-up. The layout is fixed for a screen size,
    so the same seed clicks the same places in every run."""

    def __init__(self, program, controls):
        self.boxes = {}
        for role, name in controls:
            node = program.find(role, name)
            self.boxes[name] = extents_of(node)
        self.menus = {}
        for menu in find_all(program.frame, Atspi.Role.MENU):
            name = menu.get_name()
            if name:
                self.menus[name] = extents_of(menu)
        # Where stray clicks and moves may go: the window from its topmost
        # control or menu down, so never onto the title bar and its close
        # button (a closed window is not what this test is after).
        x, y, w, h = extents_of(program.frame)
        top = max(y, min(box[1] for box in [*self.boxes.values(), *self.menus.values()]))
        self.window = (x, top, w, y + h - top)


# Keys any program gets; Alt with F4, Escape, Tab or Space would reach the
# window manager (close, lower, switch, its menu) and are never sent. Space is
# not among them: Tab and the arrow keys take the focus to Exit often enough
# that Space would cut most runs short (spaces in typed text still press
# whatever button has the focus).
COMMON_KEYS = ["Tab", "shift+Tab", "Return", "KP_Enter", "Escape", "BackSpace", "Delete",
               "Home", "End", "Left", "Right", "shift+Home", "shift+End", "ctrl+a", "ctrl+z",
               "ctrl+shift+z", "ctrl+c", "ctrl+x", "ctrl+v", "Up", "Down", "Page_Up",
               "Insert", "minus", "period", "0", "9"]


class Vocabulary:
    """Draws one random action after another. An action is a list of xdotool
    commands, sent in one call, and a short description for the log. It
    depends only on the random stream and the layout, never on what the
    program shows."""

    def __init__(self, rng, layout):
        self.rng = rng
        self.layout = layout
        self.actions = []  # (weight, method)

    def draw(self):
        total = sum(w for w, _ in self.actions)
        pick = self.rng.uniform(0, total)
        for weight, action in self.actions:
            pick -= weight
            if pick <= 0:
                return action()
        return self.actions[-1][1]()

    # Building blocks.

    def click_at(self, point, button=1, repeat=1, delay=None):
        cmd = ["mousemove", str(point[0]), str(point[1]), "click"]
        if repeat > 1:
            cmd += ["--repeat", str(repeat), "--delay", str(delay if delay is not None else 0)]
        return cmd + [str(button)]

    def type_text(self, text):
        # Milliseconds between keys: long texts come fast, as if pasted.
        delay = self.rng.choice([0, 1, 4, 12] if len(text) <= 40 else [0, 1])
        return ["type", "--delay", str(delay), "--", text]

    def key(self, name):
        return ["key", name]

    def click_control(self, name, margin=3):
        point = point_in(self.rng, self.layout.boxes[name], margin)
        return self.click_at(point), f"click {name} at {point}"

    def text_into(self, fields):
        name = self.rng.choice(fields)
        point = point_in(self.rng, self.layout.boxes[name], 3)
        cmd = self.click_at(point)
        how = self.rng.randrange(3)
        if how == 0:
            cmd += ["key", "ctrl+a"]
        elif how == 1:
            cmd += ["key", "End"]
        text = random_text(self.rng)
        cmd += self.type_text(text)
        if self.rng.random() < 0.3:
            cmd += ["key", self.rng.choice(["Return", "Tab", "shift+Tab", "Escape"])]
        return cmd, f"text {text!r} into {name} ({['replace', 'append', 'insert'][how]})"

    def keys(self):
        names = [self.rng.choice(COMMON_KEYS) for _ in range(self.rng.randint(1, 4))]
        cmd = []
        for name in names:
            cmd += self.key(name)
        return cmd, "keys " + " ".join(names)

    def typing(self):
        text = random_text(self.rng)
        return self.type_text(text), f"type {text!r} wherever the focus is"

    def rest(self):
        seconds = self.rng.choice([0.05, 0.1, 0.2, 0.4])
        return ["sleep", str(seconds)], f"rest {seconds} s"

    def hover(self):
        point = point_in(self.rng, self.layout.window, 8)
        return ["mousemove", str(point[0]), str(point[1])], f"move to {point}"

    def menu(self):
        names = sorted(self.layout.menus)
        if not names:
            return self.keys()
        name = self.rng.choice(names)
        cmd = self.click_at(center_of(self.layout.menus[name]))
        steps = [self.rng.choice(["Down", "Up", "Return", "Escape", "Right", "Left"])
                 for _ in range(self.rng.randint(1, 3))]
        for step in steps:
            cmd += ["key", step]
        cmd += ["key", "Escape"]
        return cmd, f"menu {name}: {' '.join(steps)} Escape"


class ExplorerVocabulary(Vocabulary):
    FIELDS = ["Left edge", "Right edge", "Bottom edge", "Top edge", "Width", "Height"]
    CONTROLS = [(Atspi.Role.FILLER, "Picture"), (Atspi.Role.PUSH_BUTTON, "Go"),
                (Atspi.Role.PUSH_BUTTON, "Pause"), (Atspi.Role.PUSH_BUTTON, "Exit")] + \
        [(Atspi.Role.TEXT, name) for name in FIELDS]

    def __init__(self, rng, layout):
        super().__init__(rng, layout)
        self.actions = [
            (8, self.canvas_click), (9, self.canvas_drag), (2, self.canvas_other_button),
            (6, lambda: self.click_control("Go")), (1, self.go_burst),
            (5, lambda: self.click_control("Pause")), (7, self.access_key),
            (3, self.shortcut), (2, self.menu), (10, lambda: self.text_into(self.FIELDS)),
            (8, self.keys), (2, self.typing), (2, self.hover), (3, self.rest),
            (1, self.canvas_double_click), (2, self.wheel), (5, self.file_dialog),
            (2, self.iterations),
        ]
        # Files the dialogs are given, all in the run's private folder (see
        # Monkey.prepare_files): views the monkey exports itself, good and
        # hostile pictures, a named pipe, a folder, a name that does not exist.
        self.open_names = ["view1.png", "view2.png", "exp1.png", "pic.bmp", "hostile-text.png",
                           "hostile-surplus.png", "hostile-text.png", "hostile-surplus.png",
                           "plain.png", "pipe.png", "folder.png", "missing.png", "view1"]
        self.save_names = ["pic", "pic.bmp", "view1", "view2.png", "exp1"]

    def canvas_point(self):
        return point_in(self.rng, self.layout.boxes["Picture"], 0)

    def canvas_click(self):
        point = self.canvas_point()
        return self.click_at(point), f"click canvas at {point}"

    def canvas_double_click(self):
        point = self.canvas_point()
        return self.click_at(point, repeat=2, delay=30), f"double-click canvas at {point}"

    def canvas_other_button(self):
        point = self.canvas_point()
        button = self.rng.choice([2, 3])
        return self.click_at(point, button), f"button {button} on canvas at {point}"

    def wheel(self):
        # Bursts of up to 30 notches, far faster than passes end.
        point = self.canvas_point()
        button = self.rng.choice([4, 4, 5])
        notches = self.rng.choice([1, 2, 5, self.rng.randint(1, 30)])
        return self.click_at(point, button, repeat=notches, delay=self.rng.choice([0, 5, 15])), \
            f"{notches} notches of wheel {button} on canvas at {point}"

    def file_dialog(self):
        """Open, Save, Export View or Open View, completed: the dialog gets
        a name in the run's private folder and Enter."""
        which = self.rng.choice(["open", "save", "export", "open view", "export", "open view",
                                 "export"])
        opening = which.startswith("open")
        name = self.rng.choice(self.open_names if opening else self.save_names)
        keys = {"open": ["key", "ctrl+o"], "save": ["key", "ctrl+s"],
                "export": ["key", "ctrl+e"], "open view": ["key", "alt+f", "sleep", "0.3", "key", "v"]}[which]
        cmd = keys + [WAIT, "key", "ctrl+a"] + self.type_text(FILES_DIR_MARK + name) + \
            ["key", "Return"]
        return cmd, f"{which}: {name}"

    def iterations(self):
        """Options > Iterations..., a limit typed (good ones and ones it must
        refuse), Enter."""
        text = self.rng.choice(["16", "64", "256", "512", "1000", "4096", "5", "15", "1e9",
                                "2147483648", "1,000,001", "abc", ""])
        cmd = ["key", "alt+o", "sleep", "0.3", "key", "i", WAIT, "key", "ctrl+a"] + self.type_text(text) + \
            ["key", "Return"]
        return cmd, f"iterations {text!r}"

    def canvas_drag(self):
        start = self.canvas_point()
        steps = self.rng.randint(1, 12)
        cmd = ["mousemove", str(start[0]), str(start[1])]
        if self.rng.random() < 0.3:
            cmd += ["keydown", "shift"]
        cmd += ["mousedown", "1"]
        end = start
        for _ in range(steps):
            # Mostly inside the canvas; now and then past its edges, but
            # never onto the Exit button.
            if self.rng.random() < 0.1:
                end = point_in(self.rng, self.layout.window, 8)
                if not outside(end, self.layout.boxes["Exit"]):
                    end = self.canvas_point()
            else:
                end = self.canvas_point()
            cmd += ["mousemove", str(end[0]), str(end[1])]
        cmd += ["mouseup", "1"]
        if "keydown" in cmd:
            cmd += ["keyup", "shift"]
        return cmd, f"drag from {start} to {end} in {steps} moves"

    def go_burst(self):
        point = point_in(self.rng, self.layout.boxes["Go"], 3)
        count = self.rng.randint(2, 40)
        return self.click_at(point, repeat=count, delay=0), f"{count} clicks on Go at {point}"

    def access_key(self):
        # Alt+G is "&Go", Alt+S "Re&start", Alt+P "&Pause", Alt+R "&Resume";
        # Alt+F and Alt+O open the menus. Alt+X ("E&xit") is never sent.
        name = self.rng.choice(["alt+g", "alt+s", "alt+p", "alt+r", "alt+g", "alt+p",
                                "alt+f", "alt+o"])
        cmd = ["key", name]
        if name in ("alt+f", "alt+o"):
            cmd += ["key", "Escape"]
        return cmd, f"access key {name}"

    def shortcut(self):
        name = self.rng.choice(["ctrl+o", "ctrl+s", "ctrl+r", "ctrl+r", "ctrl+e"])
        return ["key", name], f"shortcut {name}"


class CalculatorVocabulary(Vocabulary):
    FIELDS = ["Loan Amount", "Interest Rate", "# of Months", "Monthly Payment"]
    CONTROLS = [(Atspi.Role.PUSH_BUTTON, "Reset"), (Atspi.Role.PUSH_BUTTON, "Compute"),
                (Atspi.Role.PUSH_BUTTON, "Exit")] + [(Atspi.Role.TEXT, name) for name in FIELDS]

    def __init__(self, rng, layout):
        super().__init__(rng, layout)
        self.actions = [
            (14, lambda: self.text_into(self.FIELDS)), (4, lambda: self.click_control("Reset")),
            (7, lambda: self.click_control("Compute")), (1, self.compute_burst),
            (8, self.keys), (3, self.typing), (2, self.stray_click), (1, self.field_drag),
            (1, self.context_menu), (2, self.hover), (2, self.rest), (2, self.shortcut),
            (2, self.menu), (2, self.schedule),
        ]

    def schedule(self):
        """A loan computed, then the schedule window (Ctrl+T), its Copy
        (Ctrl+C) and its Export (Ctrl+E) completed with a name in the run's
        private folder."""
        cmd = self.click_at(center_of(self.layout.boxes["Reset"]))
        for name, text in (("Loan Amount", self.rng.choice(["1000", "250000", "1e9", "0.5"])),
                           ("Interest Rate", self.rng.choice(["5", "0", "12.5", "-3"])),
                           ("# of Months", self.rng.choice(["12", "360", "1", "1200"]))):
            cmd += self.click_at(center_of(self.layout.boxes[name]))
            cmd += self.type_text(text)
        cmd += self.click_at(center_of(self.layout.boxes["Compute"]))
        name = self.rng.choice(["schedule", "schedule.csv", "loan1"])
        cmd += ["key", "ctrl+t", WAIT, "key", "ctrl+c", "key", "ctrl+e", WAIT, "key", "ctrl+a"]
        cmd += self.type_text(FILES_DIR_MARK + name) + ["key", "Return"]
        return cmd, f"schedule: copy, export as {name}"

    def compute_burst(self):
        point = point_in(self.rng, self.layout.boxes["Compute"], 3)
        count = self.rng.randint(2, 30)
        return self.click_at(point, repeat=count, delay=0), f"{count} clicks on Compute"

    def stray_click(self):
        # Anywhere in the window but on Exit: labels, empty space, edges.
        while True:
            point = point_in(self.rng, self.layout.window, 8)
            if outside(point, self.layout.boxes["Exit"]):
                return self.click_at(point), f"click window at {point}"

    def field_drag(self):
        name = self.rng.choice(self.FIELDS)
        box = self.layout.boxes[name]
        start, end = point_in(self.rng, box, 2), point_in(self.rng, box, 2)
        return ["mousemove", str(start[0]), str(start[1]), "mousedown", "1",
                "mousemove", str(end[0]), str(end[1]), "mouseup", "1"], f"select in {name}"

    def context_menu(self):
        name = self.rng.choice(self.FIELDS)
        point = point_in(self.rng, self.layout.boxes[name], 3)
        steps = [self.rng.choice(["Down", "Up", "Return"]) for _ in range(self.rng.randint(0, 3))]
        cmd = self.click_at(point, 3)
        for step in steps:
            cmd += ["key", step]
        cmd += ["key", "Escape"]
        return cmd, f"context menu of {name}: {' '.join(steps)}"

    def shortcut(self):
        # The menus' access keys and shortcuts (Ctrl+T the schedule window,
        # Ctrl+Shift+C copy the result), and keys the fields take themselves.
        name = self.rng.choice(["alt+e", "alt+v", "ctrl+t", "ctrl+shift+c", "ctrl+o", "ctrl+s",
                                "alt+r", "alt+c", "ctrl+Return"])
        cmd = ["key", name]
        if name in ("alt+e", "alt+v"):
            cmd += ["key", self.rng.choice(["Down", "Return", "Escape"]), "key", "Escape"]
        return cmd, f"keys {' '.join(cmd[1::2])}"
