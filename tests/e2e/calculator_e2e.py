"""End-to-end cases of the shipped loan calculator, interest: the start
texts, each of the four terms computed from three typed fields, Reset, a loan
without a solution, the status line and the amortization schedule, and Exit.
The cases run in order on one run of the program; each computation starts
from a Reset."""

import os

from atspi_driver import (Atspi, Program, Run, TimeLimit, caret_of, check, check_equal,
                          children, click_into, find_all, has_state, press, selection_of,
                          text_of, type_keys, wait_for, xdotool)

TITLE = "Brenn's Tolv Loan Calculator"
FIELDS = ["Loan Amount", "Interest Rate", "# of Months", "Monthly Payment"]
START_TEXTS = {"Loan Amount": "$0.00", "Interest Rate": "0.00", "# of Months": "0",
               "Monthly Payment": "$0.00"}

# Three typed terms, in typing order, the missing one and the text Compute
# writes into it.
COMPUTATIONS = [
    ("payment", {"Loan Amount": "100000", "Interest Rate": "7", "# of Months": "360"},
     "Monthly Payment", "665.302495179187"),
    ("loan", {"Interest Rate": "12", "# of Months": "12", "Monthly Payment": "88.85"},
     "Loan Amount", "1000.0136"),
    ("months", {"Loan Amount": "100000", "Interest Rate": "7", "Monthly Payment": "665.30"},
     "# of Months", "360"),
    ("rate", {"Loan Amount": "1000", "# of Months": "12", "Monthly Payment": "100"},
     "Interest Rate", "35.0742489229604"),
]

# Money in the status line follows the locale; the C locale gives the
# program's own "$" and US grouping, whatever the machine's locale is.
os.environ["LC_ALL"] = "C.UTF-8"

run = Run(__doc__)
program = Program(run.args.program, TITLE, run.args.artifacts)
run.program = program
ui = {}


def enabled(field):
    return has_state(field, Atspi.StateType.ENABLED)


def fields_read(texts, what):
    for name, expected in texts.items():
        check_equal(text_of(ui[name]), expected, f"{name!r} {what}")


def check_start_state(what):
    fields_read(START_TEXTS, what)
    for name in FIELDS:
        check(enabled(ui[name]), f"{name!r} is disabled {what}")


def start_up():
    program.start()
    for name in FIELDS:
        ui[name] = program.find(Atspi.Role.TEXT, name)
    for caption in ("Reset", "Compute", "Exit"):
        ui[caption] = program.find(Atspi.Role.PUSH_BUTTON, caption)
    check_start_state("after start-up")
    first = ui["Loan Amount"]
    wait_for("the focus in 'Loan Amount'", lambda: has_state(first, Atspi.StateType.FOCUSED), 5)
    check_equal(selection_of(first), (0, len("$0.00")), "selection in 'Loan Amount' after start-up")


def click_and_type_over(name, typed):
    """Clicks into a field that does not have the focus, as a user does with
    the mouse, and types over it."""
    field = ui[name]
    check(not has_state(field, Atspi.StateType.FOCUSED), f"{name!r} has the focus already")
    before = text_of(field)
    click_into(field)
    wait_for(f"the focus in {name!r}", lambda: has_state(field, Atspi.StateType.FOCUSED), 5)
    wait_for(f"all of {name!r} selected by the click",
             lambda: selection_of(field) == (0, len(before)), 5)
    type_keys(typed)
    wait_for(f"{name!r} to read {typed!r} (typed over {before!r})",
             lambda: text_of(field) == typed, 5)


def clicks_select_for_typing_over():
    # The start texts are typed over, never run into ("0.006.5", "0360").
    click_and_type_over("Interest Rate", "6.5")
    click_and_type_over("# of Months", "360")
    # A second click inside the field that has the focus places the caret:
    # at the far right, after the last character.
    field = ui["# of Months"]
    click_into(field, 0.97)
    wait_for("the caret after '360' and nothing selected",
             lambda: caret_of(field) == 3 and selection_of(field) is None, 5)
    type_keys("0")
    wait_for("'# of Months' to read '3600'", lambda: text_of(field) == "3600", 5)
    reset()


def compute_needs_three():
    # Compute in the start state and with two fields given does nothing.
    press(ui["Compute"])
    check(not program.dialogs(), "Compute with no field given showed a message")
    check_start_state("after Compute with no field given")
    program.type_into(ui["Loan Amount"], "1000")
    program.type_into(ui["# of Months"], "12")
    press(ui["Compute"])
    check(not program.dialogs(), "Compute with two fields given showed a message")
    fields_read({"Loan Amount": "1000", "Interest Rate": "0.00", "# of Months": "12",
                 "Monthly Payment": "$0.00"}, "after Compute with two fields given")
    check(all(enabled(ui[n]) for n in FIELDS), "a field was disabled by Compute")


def reset():
    press(ui["Reset"])
    wait_for("the start texts after Reset",
             lambda: all(text_of(ui[n]) == START_TEXTS[n] and enabled(ui[n]) for n in FIELDS), 5)


def enter_three(given, missing):
    names = list(given)
    for i, name in enumerate(names):
        program.type_into(ui[name], given[name])
        if i < 2:
            check(all(enabled(ui[n]) for n in FIELDS), f"a field was disabled after {i + 1} typed")
    # The third given field shuts the fourth at once.
    wait_for(f"{missing!r} disabled and reading 'Press Compute'",
             lambda: not enabled(ui[missing]) and text_of(ui[missing]) == "Press Compute", 5)


def computation(given, missing, expected):
    def body():
        reset()
        enter_three(given, missing)
        press(ui["Compute"])
        wait_for(f"{missing!r} to read {expected!r}", lambda: text_of(ui[missing]) == expected, 10)
        # The given fields keep what was typed and stay enabled; the
        # computed one stays disabled until Reset.
        fields_read(given, "after Compute")
        check(all(enabled(ui[n]) for n in given), "a given field was disabled by Compute")
        check(not enabled(ui[missing]), f"{missing!r} was enabled by Compute")

    return body


def reset_restores():
    # Follows a computation: one field disabled, three typed texts.
    check(any(not enabled(ui[n]) for n in FIELDS), "no field was disabled before Reset")
    reset()
    # Nothing counts as given after Reset: two typed fields shut nothing.
    program.type_into(ui["Loan Amount"], "500")
    program.type_into(ui["Interest Rate"], "5")
    check(all(enabled(ui[n]) for n in FIELDS), "a field was disabled after two typed")
    reset()


def alert_text(alert):
    return " ".join(node.get_name() for node in find_all(alert, Atspi.Role.LABEL)
                    if node.get_name())


def no_solution():
    # A payment below one month's interest (10 on 1000 at 12 %) repays nothing.
    reset()
    enter_three({"Loan Amount": "1000", "Interest Rate": "12", "Monthly Payment": "5"},
                "# of Months")
    press(ui["Compute"])
    alerts = wait_for("a message box", program.dialogs, 10)
    check_equal(len(alerts), 1, "message boxes on screen")
    alert = alerts[0]
    message = alert_text(alert)
    print(f"  message box {alert.get_name()!r}: {message!r}", flush=True)
    check("month" in message.lower(), f"the message does not speak of months: {message!r}")
    ok = [b for b in find_all(alert, Atspi.Role.PUSH_BUTTON) if b.get_name() == "OK"]
    check_equal(len(ok), 1, "OK buttons in the message box")
    press(ok[0])
    wait_for("the message box to close", lambda: not program.dialogs(), 5)
    # The field keeps its text and stays shut; the given ones are unchanged.
    check_equal(text_of(ui["# of Months"]), "Press Compute", "'# of Months' after the message")
    check(not enabled(ui["# of Months"]), "'# of Months' was enabled by the failed Compute")
    fields_read({"Loan Amount": "1000", "Interest Rate": "12", "Monthly Payment": "5"},
                "after the message")
    # The window is still usable: a payment that covers the interest computes.
    program.type_into(ui["Monthly Payment"], "100")
    press(ui["Compute"])
    wait_for("'# of Months' to read '11'", lambda: text_of(ui["# of Months"]) == "11", 10)


def find_table(root):
    """The one table under `root`, found without walking its thousands of cells."""
    stack, tables = [root], []
    while stack:
        node = stack.pop()
        if node.get_role() == Atspi.Role.TABLE:
            tables.append(node)
        else:
            stack.extend(children(node))
    check_equal(len(tables), 1, "tables in the schedule window")
    return tables[0]


def status_line_text():
    # The message is the label's accessible name. The line wraps only
    # between its parts, whose words it joins with no-break spaces.
    return (ui["Status"].get_name() or "").replace("\u00a0", " ")


def status_line_and_schedule():
    reset()
    bars = wait_for("the status line", lambda: find_all(program.frame, Atspi.Role.STATUS_BAR), 5)
    check_equal(len(bars), 1, "status bars in the window")
    labels = find_all(bars[0], Atspi.Role.LABEL)
    check_equal(len(labels), 1, "labels in the status line")
    ui["Status"] = labels[0]
    program.type_into(ui["Loan Amount"], "250 000")
    hint = "Loan Amount read as 250: a space ends the number"
    wait_for(f"the status line to read {hint!r}", lambda: status_line_text() == hint, 5)
    # Money as people type it is read as meant, with nothing to point out.
    program.type_into(ui["Loan Amount"], "$250,000")
    wait_for("the status line to clear", lambda: status_line_text() == "", 5)
    program.type_into(ui["Interest Rate"], "6.5")
    program.type_into(ui["# of Months"], "360")
    wait_for("'Monthly Payment' disabled", lambda: not enabled(ui["Monthly Payment"]), 5)
    press(ui["Compute"])
    summary = ("Payment $1,580.17 · 360 months · total paid $568,861.58 · "
               "interest $318,861.58 · last payment $1,580.55")
    wait_for(f"the status line to read {summary!r}", lambda: status_line_text() == summary, 10)

    # View > Amortization Schedule by its shortcut: a window of 360 months and a totals row.
    xdotool("key", "--clearmodifiers", "ctrl+t")

    def schedule_window():
        # Top-level windows only: the table's cells are many.
        frames = [f for f in children(program.app) if f.get_role() == Atspi.Role.FRAME and
                  f.get_name() == "Amortization Schedule" and
                  has_state(f, Atspi.StateType.SHOWING)]
        return frames[0] if frames else None

    window = wait_for("the schedule window", schedule_window, 10)
    table = find_table(window)
    check_equal(table.queryTable().nRows, 361, "rows in the schedule table")
    wait_for("the schedule window to be active",
             lambda: has_state(window, Atspi.StateType.ACTIVE), 5)
    xdotool("key", "--clearmodifiers", "ctrl+w")
    wait_for("the schedule window to close", lambda: schedule_window() is None, 5)


def exit_ends_program():
    press(ui["Exit"], settle=False)
    check_equal(program.wait_exit(10), 0, "exit status after Exit")


STARTED = "start-up: four start texts, all enabled, focus in Loan Amount"
try:
    run.case(STARTED, start_up)
    run.case("a click into a field selects it, typing replaces it; a second click places "
             "the caret", clicks_select_for_typing_over, needs=[STARTED])
    run.case("Compute with fewer than three fields given does nothing", compute_needs_three,
             needs=[STARTED])
    for term, given, missing, expected in COMPUTATIONS:
        run.case(f"computes the {term}: {missing} = {expected}",
                 computation(given, missing, expected), needs=[STARTED])
    run.case("Reset restores the start texts and counts nothing as given", reset_restores,
             needs=[STARTED, f"computes the rate: Interest Rate = {COMPUTATIONS[-1][3]}"])
    run.case("status line: reading hint, totals after Compute; the schedule window",
             status_line_and_schedule, needs=[STARTED])
    run.case("no solution: message box, field left as it was", no_solution, needs=[STARTED])
    run.case("Exit ends the program with status 0", exit_ends_program, needs=[STARTED])
except TimeLimit:
    pass
finally:
    program.stop()
run.finish()
