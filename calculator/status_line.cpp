// The status line and the money texts.
#include "status_line.h"

#include <QLabel>
#include <QSizePolicy>
#include <QStringList>

#include <algorithm>
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

// Rounded to the cent first, so that -0.004 shows as 0.00, not as -0.00.
double toCents(double amount)
{
    const double cents = std::round(amount * 100.0) / 100.0;
    return cents == 0.0 ? 0.0 : cents;
}

} // namespace

QString moneyText(double amount)
{
    const QLocale locale = moneyLocale();
    return locale.toCurrencyString(toCents(amount), locale.currencySymbol(), 2);
}

QString amountText(double amount)
{
    return moneyLocale().toString(toCents(amount), 'f', 2);
}

QString loanSummary(const LoanSchedule& schedule)
{
    const std::int32_t months = schedule.terms.months;
    QString text =
        QStringLiteral("Payment %1 · %2 %3 · total paid %4 · interest %5")
            .arg(moneyText(schedule.terms.payment), moneyLocale().toString(months),
                 months == 1 ? QStringLiteral("month") : QStringLiteral("months"),
                 moneyText(schedule.totals.payment), moneyText(schedule.totals.interest));
    if (schedule.finalPaymentDiffers()) {
        const double left = schedule.finalBalance();
        text += left > 0 ? QStringLiteral(" · %1 left unpaid").arg(moneyText(left))
                         : QStringLiteral(" · %1 paid too much").arg(moneyText(-left));
    }
    return text;
}

QString longLoanSummary(const LoanTerms& terms)
{
    const double paid = terms.payment * double(terms.months);
    return QStringLiteral("Payment %1 · %2 months · total paid %3 · interest %4 (no schedule "
                          "beyond %5 months)")
        .arg(moneyText(terms.payment), moneyLocale().toString(terms.months), moneyText(paid),
             moneyText(paid - terms.loan), moneyLocale().toString(MaxScheduleMonths));
}

QString finalPaymentNote(const LoanSchedule& schedule)
{
    if (!schedule.finalPaymentDiffers())
        return {};
    const double left = schedule.finalBalance();
    const QString settle = moneyText(schedule.settlingFinalPayment());
    if (left > 0)
        return QStringLiteral("The last payment leaves %1 unpaid: a last payment of %2 would "
                              "repay the loan.")
            .arg(moneyText(left), settle);
    return QStringLiteral("The payments repay %1 more than the loan: a last payment of %2 would "
                          "be enough.")
        .arg(moneyText(-left), settle);
}

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this))
{
    setSizeGripEnabled(false);
    // The message quotes what the user typed, which is never markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setWordWrap(true);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Never widen the window for a long message: it wraps instead.
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label_->setFixedHeight(2 * label_->fontMetrics().lineSpacing() + 4);
    // No accessible name of its own: a screen reader reads the message as
    // the label's name.
    addWidget(label_, 1);
}

void StatusLine::setMessage(const QString& text)
{
    message_ = text;
    // A message of several parts wraps only between them, so that no amount
    // is torn from its words.
    const QString separator = QStringLiteral(" · ");
    QStringList parts = text.split(separator);
    if (parts.size() > 1)
        for (QString& part : parts)
            part.replace(u' ', QChar(0x00A0));
    label_->setText(parts.join(separator));
}

void StatusLine::setLeftInset(int pixels)
{
    // The status bar's own layout already keeps its edge margin.
    const int edge = 2;
    label_->setContentsMargins(std::max(0, pixels - edge), 0, 0, 0);
}

} // namespace calculator
