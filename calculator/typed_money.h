// Money as people type it into the loan and payment fields: a leading
// currency sign (the locale's, or "$") and thousands separators between
// groups of three digits ("$250,000", "250,000.50", "$1,580.17"). Pure text
// work over the locale; no window, no state.
#pragma once

#include <QString>

#include <optional>

namespace calculator {

// The plain number text ("250000.50") of a text written as money with a
// currency sign or thousands separators, or nothing when the text is not
// written so: such a text keeps the leading-number reading.
std::optional<QString> moneyAsTyped(const QString& text);

// The text the loan and payment fields read their number from: the plain
// number of money as typed, else the text itself.
QString moneyReading(const QString& text);

} // namespace calculator
