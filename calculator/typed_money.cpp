// The money grammar: blanks, an optional minus, an optional currency sign,
// an optional minus after it, digits either plain or in groups of three
// after a first group of one to three, an optional "." and decimals, blanks.
#include "typed_money.h"

#include <QStringList>

#include <algorithm>

#include "money_text.h"

namespace calculator {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<QString> moneyAsTyped(const QString& text)
{
    const QLocale locale = moneyLocale();
    QStringList signs{QStringLiteral("$")};
    if (const QString own = locale.currencySymbol(); !own.isEmpty() && own != signs[0])
        signs << own;
    // "," always; the locale's own separator too, unless it is the point
    // that this grammar reads as the decimal point.
    QStringList separators{QStringLiteral(",")};
    if (const QString own = locale.groupSeparator();
        !own.isEmpty() && own != QStringLiteral(".") && own != separators[0] && !isBlank(own[0]))
        separators << own;

    qsizetype at = 0;
    const qsizetype end = text.size();
    while (at < end && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < end && text[at] == u'-') {
        negative = true;
        ++at;
    }
    bool signSeen = false;
    for (const QString& sign : signs) {
        if (text.mid(at, sign.size()) == sign) {
            signSeen = true;
            at += sign.size();
            break;
        }
    }
    if (signSeen && !negative && at < end && text[at] == u'-') {
        negative = true;
        ++at;
    }

    QString digits;
    bool separatorSeen = false;
    qsizetype group = 0; // digits since the start or the last separator
    while (at < end) {
        if (isDigit(text[at])) {
            digits += text[at++];
            ++group;
            continue;
        }
        const auto separator =
            std::find_if(separators.begin(), separators.end(),
                         [&](const QString& s) { return text.mid(at, s.size()) == s; });
        if (separator == separators.end())
            break;
        // The first group has one to three digits, every later one three.
        if (group == 0 || group > 3 || (separatorSeen && group != 3))
            return std::nullopt;
        separatorSeen = true;
        group = 0;
        at += separator->size();
    }
    if (digits.isEmpty() || (separatorSeen && group != 3))
        return std::nullopt;
    QString decimals;
    if (at < end && text[at] == u'.') {
        ++at;
        while (at < end && isDigit(text[at]))
            decimals += text[at++];
    }
    while (at < end && isBlank(text[at]))
        ++at;
    if (at != end || !(signSeen || separatorSeen))
        return std::nullopt;
    QString number = negative ? QStringLiteral("-") : QString();
    number += digits;
    if (!decimals.isEmpty())
        number += u'.' + decimals;
    return number;
}

QString moneyReading(const QString& text)
{
    return moneyAsTyped(text).value_or(text);
}

} // namespace calculator
