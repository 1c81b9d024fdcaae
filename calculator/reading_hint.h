// How the leading-number parse reads a field's text, put into words for the
// user when the text is not a number from start to end ("Loan Amount read as
// 250: a comma ends the number"). Pure text work: no window, no state.
#pragma once

#include <QString>

namespace calculator {

// Where the leading-number parse starts and stops in a text, by the same
// grammar: blanks skipped, an optional sign, digits with at most one '.',
// and an exponent that counts only when a digit follows its marker.
struct LeadingNumber {
    qsizetype start = 0;    // first character after the skipped blanks
    qsizetype end = 0;      // first character the parse does not read
    bool hasDigits = false; // without a digit the parse gives 0
};

LeadingNumber scanLeadingNumber(const QString& text);

// Empty when `text` is entirely a number (blanks around it allowed);
// otherwise "<label> read as <value>: <why>", where <value> is the text of
// the value the field was given and <why> names what ended the number.
QString readingHint(const QString& label, const QString& text, const QString& value);

} // namespace calculator
