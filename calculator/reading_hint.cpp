// The reading hint: where the number in a typed text ends, and why, from the
// toolkit's own scan of the leading number.
#include "reading_hint.h"

#include "toolkit/numbers.h"

namespace calculator {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
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

QString readingHint(const QString& label, const QString& text, const QString& value)
{
    const tk::LeadingNumber number = tk::ScanLeadingNumber(text);
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
