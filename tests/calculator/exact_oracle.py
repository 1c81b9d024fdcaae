#!/usr/bin/env python3
"""The loan arithmetic against exact arithmetic (60-digit decimals).

Seeded random cases go to the loan_math_cli program in one process; its
answers are checked here:
  - the solved rate is the double nearest the exact rate for the payment as
    the program holds it (a double), and within 1e-9 relative of the exact rate at which the
    discount sum of the typed payment gives the loan, for 10,000 random
    cases (loans 1 to 1e9, 1 to 1,200 months, rates 0.01% to 100% a year,
    drawn evenly) and 1,000 more with rates drawn evenly on a log scale,
    where low rates make the fixed-point iteration take many passes
    (--log-scale draws all 10,000 so, which takes some 20 seconds);
  - any shortfall of the payments is refused;
  - the payment computed at a rate, solved back, gives that rate within
    1e-9 relative;
  - a handful of schedules match the cents worked out here exactly.
Prints the largest relative rate error of the iteration alone and of the
finished rate.
"""
import math
import random
import subprocess
import sys
from decimal import Decimal, getcontext, ROUND_HALF_UP

getcontext().prec = 60
CASES = 10_000
TOLERANCE = Decimal("1e-9")


def discount_sum(r, n):
    if r == 0:
        return Decimal(n)
    return (1 - (1 + r) ** -n) / r


def exact_apr(loan, payment, n, guess):
    """The yearly rate (percent) at which payment x G(rate / 1200) = loan."""
    target = loan / payment
    r = Decimal(guess) / 1200
    for _ in range(200):
        v = (1 + r) ** -n
        f = (1 - v) - r * target
        df = n * v / (1 + r) - target
        step = f / df
        r -= step
        if abs(step) <= abs(r) * Decimal("1e-40"):
            break
    else:
        raise RuntimeError("no convergence for %s %s %s" % (loan, payment, n))
    return r * 1200


def random_case(rng, log_scale=False):
    loan = Decimal(round(10 ** rng.uniform(0, 9), 2)).quantize(Decimal("0.01"))
    if loan <= 0:
        loan = Decimal("1.00")
    months = rng.randint(1, 1200)
    apr = 10 ** rng.uniform(-2, 2) if log_scale else rng.uniform(0.01, 100)
    r = Decimal(apr) / 1200
    exact_payment = loan / discount_sum(r, months)
    # Ten significant digits, as a person might type a payment.
    payment = Decimal(format(exact_payment, ".10g"))
    return loan, months, apr, payment


def run(cli, requests):
    out = subprocess.run([cli], input="".join(requests), capture_output=True, text=True,
                         check=True).stdout
    return out.splitlines()


def cents(value):
    """To the whole number, half away from zero."""
    return int(value.quantize(Decimal("1"), rounding=ROUND_HALF_UP))


def oracle_schedule(loan, apr, months, payment):
    """The lender's schedule in cents, as exact decimals."""
    # The program holds the terms as doubles: their exact binary values are
    # what it rounds.
    balance = cents(Decimal(float(loan)) * 100)
    pay = cents(Decimal(float(payment)) * 100)
    rate = Decimal(float(apr))
    rows = []
    for month in range(1, months + 1):
        interest = cents(Decimal(balance) * rate / 1200)
        owed = balance + interest
        last = month == months or owed <= pay
        this = owed if last else pay
        balance = owed - this
        rows.append((month, this, interest, this - interest, balance))
        if last:
            break
    return rows


def main():
    cli = sys.argv[1]
    all_log_scale = "--log-scale" in sys.argv[2:]
    rng = random.Random(20261209)
    failures = []

    cases = [random_case(rng, all_log_scale) for _ in range(CASES)]
    if not all_log_scale:
        cases += [random_case(rng, True) for _ in range(CASES // 10)]
    requests = ["rate %s %d %s\n" % (loan, n, payment) for loan, n, _, payment in cases]
    answers = run(cli, requests)
    worst_before = worst_after = worst_binary = Decimal(0)
    not_nearest = 0
    solvable = 0
    for (loan, n, apr, payment), answer in zip(cases, answers):
        short = payment * n < loan
        words = answer.split()
        if short:
            if words[0] != "refused":
                failures.append("shortfall not refused: %s %d %s -> %s" % (loan, n, payment, answer))
            continue
        if words[0] != "ok":
            failures.append("refused: %s %d %s -> %s" % (loan, n, payment, answer))
            continue
        solvable += 1
        exact = exact_apr(loan, payment, n, apr)
        after = abs(Decimal(words[1]) - exact) / exact
        before = abs(Decimal(words[2]) - exact) / exact
        worst_before = max(worst_before, before)
        worst_after = max(worst_after, after)
        # Against the payment as the program holds it (a double): the
        # finished rate is to be the double nearest that root, half an ulp.
        binary = exact_apr(loan, Decimal(float(payment)), n, apr)
        shown = float(words[1])
        worst_binary = max(worst_binary, abs(Decimal(shown) - binary) / binary)
        for neighbour in (math.nextafter(shown, 0), math.nextafter(shown, math.inf)):
            if abs(Decimal(neighbour) - binary) < abs(Decimal(shown) - binary):
                not_nearest += 1
        if after > TOLERANCE:
            failures.append("rate %s %d %s: %s, exact %s" % (loan, n, payment, words[1], exact))

    # Round trip: payment at a rate, solved back for the rate.
    trips = [random_case(rng) for _ in range(CASES // 10)]
    answers = run(cli, ["roundtrip %s %r %d\n" % (loan, apr, n) for loan, n, apr, _ in trips])
    worst_trip = Decimal(0)
    for (loan, n, apr, _), answer in zip(trips, answers):
        words = answer.split()
        if words[0] != "ok":
            failures.append("round trip refused: %s %r %d -> %s" % (loan, apr, n, answer))
            continue
        error = abs(Decimal(words[2]) - Decimal(apr)) / Decimal(apr)
        worst_trip = max(worst_trip, error)
        if error > TOLERANCE:
            failures.append("round trip %s %r %d: %s" % (loan, apr, n, words[2]))

    # Schedules against the exact cents, long ones included.
    schedules = [("250000", "6.5", 360, "1580.17"), ("100000", "7", 360, "665.302495179187"),
                 ("1000", "12", 11, "100"), ("0.5", "3", 12, "0.05"),
                 ("123456.78", "19.99", 12000, "2100"), ("99999.99", "0.01", 1200, "83.34")]
    for loan, apr, months, payment in schedules:
        expected = oracle_schedule(loan, apr, months, payment)
        lines = run(cli, ["schedule %s %s %d %s\n" % (loan, apr, months, payment)])
        if lines[0].split()[0] != "ok":
            failures.append("schedule %s: %s" % (loan, lines[0]))
            continue
        got = [tuple(int(x) for x in line.split()) for line in lines[1:]]
        if got != expected:
            failures.append("schedule %s %s %d %s differs from the exact cents" %
                            (loan, apr, months, payment))

    print("rate cases: %d solvable of %d (%s)" %
          (solvable, len(cases), "all rates on a log scale" if all_log_scale
           else "%d rates evenly, %d on a log scale" % (CASES, len(cases) - CASES)))
    print("largest relative rate error: iteration alone %.3g, finished %.3g" %
          (worst_before, worst_after))
    print("largest relative rate error against the payment's double: %.3g" % worst_binary)
    if not_nearest:
        failures.append("%d finished rates are not the double nearest the root" % not_nearest)
    print("largest relative round-trip error: %.3g over %d cases" % (worst_trip, len(trips)))
    for f in failures[:20]:
        print("FAIL", f)
    if solvable < len(cases) * 9 // 10:
        print("FAIL too few solvable cases to say anything")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
