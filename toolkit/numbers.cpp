// Number parse and number text. Both are locale-independent: Qt sets the C
// locale from the environment, and a decimal comma must not change a view.
#include "numbers.h"

#include "runtime_error.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace tk {

namespace {

locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

LeadingNumber ScanLeadingNumber(const QString& text)
{
    const qsizetype n = text.size();
    LeadingNumber number;
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'))
        ++i;
    number.start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        number.negative = text[i++] == u'-';
    number.digitsStart = i;
    bool seenPoint = false;
    for (; i < n; ++i) {
        if (isDigit(text[i]))
            number.hasDigits = true;
        else if (text[i] == u'.' && !seenPoint)
            seenPoint = true;
        else
            break;
    }
    number.mantissaEnd = i;
    if (number.hasDigits && i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    number.end = i;
    return number;
}

double Val(const QString& text)
{
    const LeadingNumber scanned = ScanLeadingNumber(text);
    if (!scanned.hasDigits)
        return 0.0;
    // Only ASCII sign, digits, point and exponent are in the scanned part.
    const std::string number = text.mid(scanned.start, scanned.end - scanned.start).toStdString();

    // strtod_l rounds correctly; an underflow gives a denormal or zero, which
    // is fine, an overflow an infinity, which is not.
    const double value = strtod_l(number.c_str(), nullptr, cLocale());
    if (std::isinf(value))
        raiseOverflow();
    return value;
}

QString Str(double value)
{
    if (std::isnan(value))
        return QStringLiteral(" NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral(" Infinity");

    QString out = value < 0 ? QStringLiteral("-") : QStringLiteral(" ");
    if (value == 0.0)
        return out + u'0';

    // 15 significant digits, correctly rounded: d.dddddddddddddde+XX.
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                   std::chars_format::scientific, 14);
    const std::string sci(buf.data(), res.ptr);
    const auto ePos = sci.find('e');
    std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
    const int exponent = std::stoi(sci.substr(ePos + 1));
    // Near the top of the double range the 15-digit rounding can go past the
    // largest double; such a text would no longer parse. Keep it in range.
    static const std::string largest = "179769313486231";
    if (exponent == 308 && digits > largest)
        digits = largest;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string body;
    if (exponent >= 15 || exponent < -5) {
        body = digits.substr(0, 1);
        if (digits.size() > 1)
            body += '.' + digits.substr(1);
        const int absExp = std::abs(exponent);
        body += exponent < 0 ? "E-" : "E+";
        if (absExp < 10)
            body += '0';
        body += std::to_string(absExp);
    } else if (exponent >= 0) {
        const auto intLen = std::size_t(exponent) + 1;
        if (digits.size() <= intLen) {
            body = digits + std::string(intLen - digits.size(), '0');
        } else {
            body = digits.substr(0, intLen) + '.' + digits.substr(intLen);
        }
    } else {
        body = "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
    }
    return out + QString::fromLatin1(body.c_str());
}

std::int32_t RoundToInt32(double value)
{
    // nearbyint rounds in the current mode, which is round-to-nearest-even.
    const double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        raiseOverflow();
    return static_cast<std::int32_t>(r);
}

} // namespace tk
