// Currency to and from doubles through exact decimal text: multiplying by
// 10000 in doubles would add a rounding of its own before the one wanted.
#include "currency.h"

#include "loan_error.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace calculator {

Currency currencyFromDouble(double value)
{
    // 1e16 is far above the range and keeps the fixed-point text short.
    if (!(std::fabs(value) < 1e16))
        throw LoanError(LoanFailure::Overflow);
    // Fixed notation with four decimals is the exact binary value rounded
    // once to the nearest ten-thousandth, ties to even.
    std::array<char, 48> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed, 4);
    bool negative = false;
    unsigned __int128 magnitude = 0;
    for (const char* p = buf.data(); p != res.ptr; ++p) {
        if (*p == '-')
            negative = true;
        else if (*p >= '0' && *p <= '9')
            magnitude = magnitude * 10 + unsigned(*p - '0');
    }
    constexpr unsigned __int128 MaxPositive = 9223372036854775807ULL;
    if (magnitude > MaxPositive + (negative ? 1 : 0))
        throw LoanError(LoanFailure::Overflow);
    // A rounded -0.0000 is plain 0.
    return negative ? Currency(0 - std::uint64_t(magnitude)) : Currency(std::uint64_t(magnitude));
}

double currencyToDouble(Currency value)
{
    // Reading the exact decimal text rounds once; int64 -> double followed by
    // a division by 10000 would round twice above 2^53.
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / CurrencyScale);
    text += '.';
    text += std::to_string(magnitude % CurrencyScale + CurrencyScale).substr(1);
    double result = 0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result;
}

} // namespace calculator
