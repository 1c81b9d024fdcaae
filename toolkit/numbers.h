// Number parse and number text of the forms layer, and the small value
// helpers both programs share (colour packing, rounding to an integer).
#pragma once

#include <QString>

#include <cstdint>

namespace tk {

// Where the leading number of a text starts and stops: blanks skipped, then
// an optional sign, digits with at most one '.', and an exponent (e or E,
// optional sign, digits) that counts only when a digit follows its marker.
// The one scanner of this grammar: Val, the currency conversion and the
// calculator's reading hint all read a text through it.
struct LeadingNumber {
    qsizetype start = 0;       // first character after the skipped blanks
    qsizetype digitsStart = 0; // after the sign, if any
    qsizetype mantissaEnd = 0; // where an exponent would start
    qsizetype end = 0;         // first character not read
    bool negative = false;
    bool hasDigits = false; // without a digit the text reads as 0
};
LeadingNumber ScanLeadingNumber(const QString& text);

// Leading-number parse: blanks skipped, then an optional sign, digits with at
// most one '.', an optional exponent (e or E, optional sign, digits); stops
// at the first other character. No number gives 0. A number beyond the
// range of a double raises the overflow error rather than turning into an
// infinity that would poison every later computation.
double Val(const QString& text);

// Signed number text: at most 15 significant digits, trailing zeros and a
// bare point dropped, a leading blank when not negative and '-' when
// negative (4 gives " 4", -0.5 gives "-0.5"). Magnitudes from 1e-5 up to
// below 1e15 are written in positional form, others as " 1.5E+20".
QString Str(double value);

// Colour constructor: red + 256 * green + 65536 * blue.
constexpr std::int32_t RGB(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

// Nearest integer, halves to even; the overflow error when the value (or NaN)
// does not fit a signed 32-bit integer.
std::int32_t RoundToInt32(double value);

// Integer division truncating toward zero, as the layout formulas use it.
constexpr std::int32_t Div(std::int32_t a, std::int32_t b)
{
    return a / b;
}

} // namespace tk
