// The calculator's currency, without Qt: a signed 64-bit count of
// ten-thousandths, and its exact conversions to and from doubles. Pure
// functions; failures are the loan arithmetic's overflow.
#pragma once

#include <cstdint>

namespace calculator {

// Currency: value x 10000 in a signed 64-bit integer, so the range is
// -922337203685477.5808 to 922337203685477.5807 with four exact decimals.
using Currency = std::int64_t;
inline constexpr Currency CurrencyScale = 10000;

// The exact value of a double to the nearest ten-thousandth, ties to even.
// NaN, infinities and values beyond the range fail with Overflow.
Currency currencyFromDouble(double value);

// The double nearest to a currency value (one rounding, also above 2^53).
double currencyToDouble(Currency value);

} // namespace calculator
