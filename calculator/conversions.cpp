// Currency and the plain text forms. Currency rounding is done on decimal
// digits, never by multiplying a double by 10000, which would add a rounding
// of its own before the one that is wanted.
#include "conversions.h"

#include "loan_error.h"

#include "toolkit/runtime_error.h"

#include <cmath>
#include <string>
#include <string_view>

namespace calculator {

using tk::LeadingNumber;
using tk::raiseOverflow;
using tk::ScanLeadingNumber;
using tk::Str;

namespace {

// A decimal number as digits x 10^exponent; digits has no leading zeros and
// is empty for zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    long exponent = 0;
};

// Reads the leading number of a text with the grammar of Val.
Decimal leadingDecimal(const QString& text)
{
    const LeadingNumber scanned = ScanLeadingNumber(text);
    if (!scanned.hasDigits)
        return {};
    Decimal d;
    d.negative = scanned.negative;
    bool seenPoint = false;
    long fractionDigits = 0;
    for (qsizetype i = scanned.digitsStart; i < scanned.mantissaEnd; ++i) {
        if (text[i] == u'.') {
            seenPoint = true;
            continue;
        }
        if (!d.digits.empty() || text[i] != u'0')
            d.digits += char(text[i].unicode());
        if (seenPoint)
            ++fractionDigits;
    }

    // Its size is capped: far beyond 10^±30 the outcome (overflow or zero)
    // no longer depends on the exponent.
    long exponent = 0;
    if (scanned.end > scanned.mantissaEnd) {
        qsizetype j = scanned.mantissaEnd + 1;
        bool negativeExponent = false;
        if (text[j] == u'+' || text[j] == u'-')
            negativeExponent = text[j++] == u'-';
        for (; j < scanned.end; ++j)
            exponent = std::min(exponent * 10 + (text[j].unicode() - u'0'), 1'000'000L);
        if (negativeExponent)
            exponent = -exponent;
    }
    // Leading zeros are already gone; a fraction like .0005 keeps its count
    // of fraction digits, which places the remaining digits correctly.
    d.exponent = exponent - fractionDigits;
    return d;
}

// Rounds a decimal to whole ten-thousandths, ties to even, and checks the range.
Currency toTenThousandths(const Decimal& d)
{
    if (d.digits.empty())
        return 0;
    const long shift = d.exponent + 4; // value x 10^4 = digits x 10^shift
    const long length = long(d.digits.size());
    // 2^63 has 19 digits; more integer digits can only overflow.
    constexpr long MaxDigits = 19;

    std::string_view kept = d.digits;
    bool roundUp = false;
    std::uint64_t magnitude = 0;
    if (shift >= 0) {
        if (length + shift > MaxDigits)
            raiseOverflow();
    } else {
        const long cut = length + shift; // digits left of the rounding point
        if (cut < 0)
            return 0; // below a tenth of a ten-thousandth
        kept = std::string_view(d.digits).substr(0, std::size_t(cut));
        const std::string_view dropped = std::string_view(d.digits).substr(std::size_t(cut));
        if (dropped[0] > '5') {
            roundUp = true;
        } else if (dropped[0] == '5') {
            // digits has no trailing-zero trimming, so look for any non-zero.
            const bool above = dropped.substr(1).find_first_not_of('0') != std::string_view::npos;
            const bool keptOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
            roundUp = above || keptOdd;
        }
        if (long(kept.size()) > MaxDigits)
            raiseOverflow();
    }
    for (char c : kept)
        magnitude = magnitude * 10 + std::uint64_t(c - '0');
    for (long k = 0; k < shift; ++k)
        magnitude *= 10;
    if (roundUp)
        ++magnitude;

    // 19 digits fit an unsigned 64-bit value; the sign decides the limit.
    constexpr std::uint64_t MaxPositive = 9223372036854775807ULL;
    if (magnitude > MaxPositive + (d.negative ? 1 : 0))
        raiseOverflow();
    return d.negative ? Currency(0 - magnitude) : Currency(magnitude);
}

} // namespace

Currency CurrencyFromText(const QString& text)
{
    return toTenThousandths(leadingDecimal(text));
}

Currency ToCurrency(double value)
{
    try {
        return currencyFromDouble(value);
    } catch (const LoanError&) {
        raiseOverflow();
    }
}

double CurrencyToDouble(Currency value)
{
    return currencyToDouble(value);
}

QString CurrencyText(Currency value)
{
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(value) : std::uint64_t(value);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / CurrencyScale);
    if (const std::uint64_t fraction = magnitude % CurrencyScale; fraction != 0) {
        std::string decimals = std::to_string(fraction + CurrencyScale).substr(1);
        while (decimals.back() == '0')
            decimals.pop_back();
        text += '.' + decimals;
    }
    return QString::fromLatin1(text.c_str());
}

QString DoubleText(double value)
{
    QString text = Str(value);
    if (text.startsWith(u' '))
        text.remove(0, 1);
    // Str writes numbers of the 1e-5 decade positionally, four zeros and
    // then all 15 digits: wider than a calculator field shows. Below 1e-4
    // the calculator's form is the exponent one, as Str's below 1e-5.
    const qsizetype sign = text.startsWith(u'-') ? 1 : 0;
    static const QString decade = QStringLiteral("0.0000");
    if (text.mid(sign, decade.size()) == decade) {
        const QString digits = text.mid(sign + decade.size());
        QString exponentForm = text.left(sign) + digits.left(1);
        if (digits.size() > 1)
            exponentForm += u'.' + digits.mid(1);
        return exponentForm + QStringLiteral("E-05");
    }
    return text;
}

QString IntegerText(std::int32_t value)
{
    return QString::number(value);
}

} // namespace calculator
