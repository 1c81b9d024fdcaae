// How the leading-number parse reads a field's text, put into words for the
// user when the text is not a number from start to end ("Loan Amount read as
// 250: a comma ends the number"). Pure text work: no window, no state.
#pragma once

#include <QString>

namespace calculator {

// Empty when `text` is entirely a number (blanks around it allowed);
// otherwise "<label> read as <value>: <why>", where <value> is the text of
// the value the field was given and <why> names what ended the number.
QString readingHint(const QString& label, const QString& text, const QString& value);

} // namespace calculator
