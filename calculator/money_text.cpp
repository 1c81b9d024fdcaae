// Money texts built from whole cents, so that no amount is rounded twice on
// its way to the screen.
#include "money_text.h"

#include <cmath>

namespace calculator {

QLocale moneyLocale()
{
    // The default locale is the system's unless the program sets another.
    const QLocale locale;
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

namespace {

QString digitsText(Cents amount, bool grouped)
{
    const QLocale locale = moneyLocale();
    const auto magnitude = amount < 0 ? 0 - quint64(amount) : quint64(amount);
    QString whole = locale.toString(qulonglong(magnitude / 100));
    if (!grouped)
        whole.remove(locale.groupSeparator());
    const QString cents = QString::number(magnitude % 100 + 100).mid(1);
    return whole + locale.decimalPoint() + cents;
}

} // namespace

QString moneyText(Cents amount)
{
    // The locale places the sign and the currency symbol; the digits are
    // put into its pattern for one unit.
    const QLocale locale = moneyLocale();
    const QString unit = digitsText(100, true);
    const QString pattern =
        locale.toCurrencyString(amount < 0 ? -1.0 : 1.0, locale.currencySymbol(), 2);
    QString text = pattern;
    return text.replace(unit, digitsText(amount, true));
}

QString moneyText(double amount)
{
    if (const std::optional<Cents> cents = centsOf(amount))
        return moneyText(*cents);
    const QLocale locale = moneyLocale();
    return locale.toCurrencyString(amount, locale.currencySymbol(), 2);
}

QString amountText(Cents amount)
{
    const QString digits = digitsText(amount, true);
    return amount < 0 ? moneyLocale().negativeSign() + digits : digits;
}

QString plainAmountText(Cents amount)
{
    const QString digits = digitsText(amount, false);
    return amount < 0 ? moneyLocale().negativeSign() + digits : digits;
}

} // namespace calculator
