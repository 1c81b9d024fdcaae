// The schedule's sentences, built from its summary in cents.
#include "schedule_texts.h"

#include "money_text.h"

namespace calculator {

namespace {

QString monthsText(std::int32_t months)
{
    return QStringLiteral("%1 %2").arg(moneyLocale().toString(months),
                                       months == 1 ? QStringLiteral("month")
                                                   : QStringLiteral("months"));
}

} // namespace

QString problemText(ScheduleProblem problem, const LoanTerms& terms)
{
    switch (problem) {
    case ScheduleProblem::NoMonths:
        return QStringLiteral("No schedule: the number of months is less than 1.");
    case ScheduleProblem::TooManyMonths:
        return QStringLiteral("No schedule: it would have more than %1 months.")
            .arg(moneyLocale().toString(MaxScheduleMonths));
    case ScheduleProblem::LoanNotPositive:
        return QStringLiteral("No schedule: the loan amount is not above 0.");
    case ScheduleProblem::PaymentNotPositive:
        return QStringLiteral("No schedule: the monthly payment is not above %1.")
            .arg(moneyText(Cents(0)));
    case ScheduleProblem::PaymentBelowInterest: {
        const std::optional<Cents> loan = centsOf(terms.loan);
        const std::optional<Cents> interest =
            loan ? monthlyInterest(*loan, terms.apr) : std::nullopt;
        return QStringLiteral("No schedule: a payment of %1 does not cover the first month's "
                              "interest of %2, so the loan is never repaid.")
            .arg(moneyText(terms.payment), interest ? moneyText(*interest) : QString());
    }
    case ScheduleProblem::NotFinite:
        return QStringLiteral("No schedule: the amounts grow beyond what can be computed.");
    case ScheduleProblem::None:
        break;
    }
    return {};
}

QString loanSummary(const LoanTerms& terms)
{
    ScheduleProblem problem = ScheduleProblem::None;
    const std::optional<ScheduleSummary> summary = summarize(terms, &problem);
    if (!summary) {
        const QString start = QStringLiteral("Payment %1 · %2")
                                  .arg(moneyText(terms.payment), monthsText(terms.months));
        if (problem == ScheduleProblem::TooManyMonths)
            return start + QStringLiteral(" (too long to work out the totals)");
        return start + QStringLiteral(" · ") + problemText(problem, terms);
    }
    QString text =
        QStringLiteral("Payment %1 · %2 · total paid %3 · interest %4")
            .arg(moneyText(summary->payment), monthsText(terms.months),
                 moneyText(summary->totals.payment), moneyText(summary->totals.interest));
    if (summary->payments < terms.months)
        text +=
            QStringLiteral(" · repaid in month %1 with a last payment of %2")
                .arg(moneyLocale().toString(summary->payments), moneyText(summary->lastPayment));
    else if (summary->lastPaymentDiffers())
        text += QStringLiteral(" · last payment %1").arg(moneyText(summary->lastPayment));
    return text;
}

QString lastPaymentNote(const ScheduleSummary& summary, std::int32_t months)
{
    if (summary.payments < months)
        return QStringLiteral("The loan is repaid in month %1 of %2: its last payment is %3.")
            .arg(moneyLocale().toString(summary.payments), moneyLocale().toString(months),
                 moneyText(summary.lastPayment));
    if (!summary.lastPaymentDiffers())
        return {};
    const bool longer = summary.lastPayment > summary.payment;
    const Cents difference =
        longer ? summary.lastPayment - summary.payment : summary.payment - summary.lastPayment;
    return QStringLiteral("The last payment is %1, %2 %3 than the others, so that the balance "
                          "ends at exactly %4.")
        .arg(moneyText(summary.lastPayment), moneyText(difference),
             longer ? QStringLiteral("more") : QStringLiteral("less"), moneyText(Cents(0)));
}

} // namespace calculator
