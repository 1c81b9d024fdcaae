// Conversions between the calculator's value types and their texts: currency
// (a signed 64-bit count of ten-thousandths) from a typed text or a double,
// and the plain text forms of currency, doubles and integers. Failures are
// the toolkit's overflow error; nothing here re-enters.
#pragma once

#include <QString>

#include <cstdint>

#include "currency.h"

#include "toolkit/numbers.h"

namespace calculator {

// The leading number of a text, read as Val reads it (blanks, sign, digits
// with at most one '.', exponent; no number gives 0), rounded to the nearest
// ten-thousandth with ties to even. The rounding works on the decimal digits
// as typed, so "0.00005" is an exact tie and gives 0, and a long typed number
// is not first squeezed through a double. Beyond the range: overflow error.
Currency CurrencyFromText(const QString& text);

// The exact value of a double to the nearest ten-thousandth, ties to even.
// NaN, infinities and values beyond the range raise the overflow error.
Currency ToCurrency(double value);

// The double nearest to a currency value (one rounding, also above 2^53).
double CurrencyToDouble(Currency value);

// Plain decimal with at most four decimals, trailing zeros and a bare point
// dropped, '-' for negatives, no grouping: 1000.0136, 1200, -0.5.
QString CurrencyText(Currency value);

// At most 15 significant digits, trailing zeros dropped, no leading blank:
// 665.302495179187, 12, -0.5. Magnitudes of 1e15 and above, and those that
// round below 1e-4, use the exponent form of Str: 1.19797822328849E-05.
QString DoubleText(double value);

// Plain decimal: 360, -7.
QString IntegerText(std::int32_t value);

// Rounding to an int32 (nearest, ties to even, overflow error) is
// RoundToInt32 in numbers.h.

} // namespace calculator
