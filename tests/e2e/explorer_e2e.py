"""End-to-end cases of the shipped explorer, Zelmar, on a 1024 x 768 screen:
the start-up texts, a render started with Go, the picture on screen against
the reference render pass, and Exit. The cases run in order on one run of
the program."""

import os
import subprocess

from PIL import Image, ImageChops

from atspi_driver import (Atspi, Failure, NameChanges, Program, Run, TimeLimit, check,
                          check_equal, extents_of, park_pointer, press, screenshot, text_of,
                          wait_for)

TITLE = "Brenn's Tolv Quenfeld Program"
# Accessible name of each field and its text after start-up.
START_FIELDS = [("Left edge", "-4"), ("Right edge", " 4"), ("Bottom edge", "-3"),
                ("Top edge", " 3"), ("Width", " 8"), ("Height", " 6")]
# The canvas is as wide as the screen is high, three quarters as high.
CANVAS_SIZE = (768, 576)

run = Run(__doc__)
names = NameChanges()
program = Program(run.args.program, TITLE, run.args.artifacts)
run.program = program
ui = {}


def start_up():
    program.start()
    for name, expected in START_FIELDS:
        ui[name] = program.find(Atspi.Role.TEXT, name)
        check_equal(text_of(ui[name]), expected, f"field {name!r} after start-up")
    # Accessible names drop the '&' of the access keys: "&Go", "&Pause", "E&xit".
    for caption in ("Go", "Pause", "Exit"):
        ui[caption] = program.find(Atspi.Role.PUSH_BUTTON, caption)
    ui["Picture"] = canvas = program.find(Atspi.Role.FILLER, "Picture")
    x, y, w, h = extents_of(canvas)
    check_equal((w, h), CANVAS_SIZE, "canvas size")
    client = extents_of(canvas.get_parent())
    check_equal((x, y), client[:2], "canvas position (top-left of the client area)")
    # No pass runs at start-up: the canvas shows one colour only.
    park_pointer()
    wait_for("an empty canvas", lambda: screenshot((x, y, w, h)).getcolors(1) is not None, 3, 0.1)


def go_renders():
    go = ui["Go"]
    names.clear()
    press(go, settle=False)
    # The caption reads "Re&start" for the length of the pass and "&Go"
    # again after it. A pass on this canvas may end before a poll sees it, so
    # the two announced caption changes are what must be seen; any caption a
    # poll does see must be one of the two.
    polled = set()

    def pass_over():
        polled.add(go.get_name())
        return names.count(go) >= 2 and go.get_name() == "Go"

    wait_for("two caption changes of Go, ending at Go", pass_over, 30, 0.005)
    check(polled <= {"Go", "Restart"}, f"captions seen on the Go button: {sorted(polled)}")
    check_equal(names.count(go), 2, "announced caption changes of the Go button")
    print(f"  caption Restart {'seen' if 'Restart' in polled else 'not caught'} by polling",
          flush=True)
    check_equal(ui["Pause"].get_name(), "Pause", "Pause caption after the pass")
    # The pass leaves the view and its fields as they were.
    for name, expected in START_FIELDS:
        check_equal(text_of(ui[name]), expected, f"field {name!r} after the pass")


def picture_matches_reference():
    canvas = ui["Picture"]
    box = extents_of(canvas)
    view = [float(text_of(ui[name])) for name in ("Left edge", "Right edge", "Bottom edge",
                                                  "Top edge")]
    expected_path = os.path.join(run.args.artifacts, "expected.ppm")
    subprocess.run([run.args.reference, *map(repr, view), str(box[2]), str(box[3]), expected_path],
                   check=True, timeout=30)
    expected = Image.open(expected_path).convert("RGB")
    park_pointer()

    # The last rows reach the X server when the window repaints; a few
    # grabs a little apart allow for that, and only an exact match passes.
    shot = None

    def grab_matches():
        nonlocal shot
        shot = screenshot(box)
        return ImageChops.difference(shot, expected).getbbox() is None

    try:
        wait_for("the canvas to show the reference picture", grab_matches, 3, 0.2)
    except Failure as failure:
        diff = ImageChops.difference(shot, expected)
        mask = diff.convert("L").point(lambda v: 255 if v else 0)
        differing = mask.histogram()[255]
        shot.save(os.path.join(run.args.artifacts, "screenshot.png"))
        expected.save(os.path.join(run.args.artifacts, "expected.png"))
        mask.save(os.path.join(run.args.artifacts, "difference.png"))
        first = mask.getbbox()
        raise Failure(f"{failure}: {differing} of {box[2] * box[3]} pixels differ, first in "
                      f"{first}; pictures saved in {run.args.artifacts}") from None


def exit_ends_program():
    press(ui["Exit"], settle=False)
    check_equal(program.wait_exit(10), 0, "exit status after Exit")


STARTED = "start-up: six start texts, buttons, empty canvas 768x576 at top-left"
try:
    run.case(STARTED, start_up)
    run.case("Go renders: caption changes to Restart and back to Go", go_renders,
             needs=[STARTED])
    run.case("canvas matches the reference render pixel for pixel", picture_matches_reference,
             needs=["Go renders: caption changes to Restart and back to Go"])
    run.case("Exit ends the program with status 0", exit_ends_program,
             needs=[STARTED])
except TimeLimit:
    pass
finally:
    program.stop()
run.finish()
