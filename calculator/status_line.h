// The calculator's status line under its fields, and the money texts it and
// the schedule window show. The line holds one message; the window's result
// tools decide what it says.
#pragma once

#include <QLocale>
#include <QStatusBar>
#include <QString>

#include "loan_schedule.h"

class QLabel;

namespace calculator {

// The locale money and amounts are shown in: the default locale (the
// system's), unless that is the bare C locale, which knows no currency sign
// or grouping; then the program's own conventions (the "$" of its start
// texts, US grouping).
QLocale moneyLocale();

// An amount in the locale's currency form, always to the cent: $1,580.17.
QString moneyText(double amount);

// An amount to the cent with the locale's grouping, no currency sign.
QString amountText(double amount);

// After a Compute: "Payment $1,580.17 · 360 months · total paid $568,861.22
// · interest $318,861.22", and what the last payment leaves when that is
// more than a cent.
QString loanSummary(const LoanSchedule& schedule);

// The same for a loan too long to tabulate: the totals from the payment
// and the count alone, interest being what is paid beyond the loan.
QString longLoanSummary(const LoanTerms& terms);

// The sentence that explains a last payment that does not settle the loan,
// empty when it does (to the cent).
QString finalPaymentNote(const LoanSchedule& schedule);

// Two lines of text below the client area. The window grows by its height
// once, and longer messages wrap rather than widen the window.
class StatusLine : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent);
    void setMessage(const QString& text);
    QString message() const { return message_; }
    // Starts the text `pixels` (logical) from the window's left edge, under
    // the fields.
    void setLeftInset(int pixels);

private:
    QLabel* label_;
    QString message_;
};

} // namespace calculator
