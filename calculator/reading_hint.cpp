// The reading hint: where the number in a typed text ends, and why. The
// scan follows the toolkit's leading-number parse step for step; the tests
// hold the two together.
#include "reading_hint.h"

namespace calculator {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The character at `at` as the user would name it.
QString characterName(const QString& text, qsizetype at, bool pointSeen)
{
    const QChar c = text[at];
    if (c == u',')
        return QStringLiteral("a comma");
    if (c == u' ' || c == u'\t')
        return QStringLiteral("a space");
    if (c == u'.' && pointSeen)
        return QStringLiteral("a second point");
    // A character outside the basic plane is two code units; keep them
    // together.
    const qsizetype length = c.isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return u'"' + text.mid(at, length) + u'"';
}

} // namespace

LeadingNumber scanLeadingNumber(const QString& text)
{
    const qsizetype n = text.size();
    LeadingNumber number;
    qsizetype i = 0;
    while (i < n && isBlank(text[i]))
        ++i;
    number.start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool pointSeen = false;
    for (; i < n; ++i) {
        if (isDigit(text[i]))
            number.hasDigits = true;
        else if (text[i] == u'.' && !pointSeen)
            pointSeen = true;
        else
            break;
    }
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

QString readingHint(const QString& label, const QString& text, const QString& value)
{
    const LeadingNumber number = scanLeadingNumber(text);
    qsizetype rest = number.end;
    while (rest < text.size() && isBlank(text[rest]))
        ++rest;
    const bool allRead = rest == text.size();
    if (number.hasDigits && allRead)
        return {};

    QString why;
    if (number.start == text.size()) {
        why = QStringLiteral("the field is empty");
    } else if (!number.hasDigits && allRead) {
        why = QStringLiteral("there are no digits");
    } else {
        // The second point is the only character the parse stops at that
        // could also have been read; it is one only after a first point.
        const bool pointSeen = text.mid(number.start, number.end - number.start).contains(u'.');
        const QString what = characterName(text, number.end, pointSeen);
        why = number.hasDigits ? QStringLiteral("%1 ends the number").arg(what)
                               : QStringLiteral("no number before %1").arg(what);
    }
    return QStringLiteral("%1 read as %2: %3").arg(label, value, why);
}

} // namespace calculator
