// How the text of each field becomes its term, and what Compute checks of
// the given terms before it solves. Called from the change handlers and
// from Compute; raises run-time errors, never re-enters a handler.
#pragma once

#include <QString>

#include <cstdint>

#include "conversions.h"

namespace calculator {

class Form1;

// The loan: money as typed ("$250,000") or else the leading number, as a
// double, then that double to the nearest ten-thousandth, ties to even.
// Overflow error beyond a double or beyond the currency range.
Currency LoanFromText(const QString& text);

// The payment: money as typed ("$1,580.17") or else the leading number.
double PaymentFromText(const QString& text);

// The months: the leading number rounded to an int32, ties to even;
// overflow error beyond the range.
std::int32_t MonthsFromText(const QString& text);

// Before Compute solves: takes each given term again from the text its
// field shows and refuses, naming the field, a text whose number is out of
// its range (typed past the range, the field kept the value of an earlier
// text); then refuses a given number of months below 1, which leaves no
// term to compute. Raises before anything is changed.
void CheckGivenTerms(Form1& form);

} // namespace calculator
