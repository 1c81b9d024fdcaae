// The words of the loan arithmetic's refusals.
#include "loan_messages.h"

#include <QString>

#include <limits>

#include "conversions.h"

#include "toolkit/runtime_error.h"

namespace calculator {

namespace {

[[noreturn]] void raiseNoSolution(const QString& why)
{
    throw tk::RuntimeError(tk::ErrBadInput, why);
}

} // namespace

void raiseLoanError(const LoanError& error)
{
    switch (error.failure()) {
    case LoanFailure::Overflow:
        tk::raiseOverflow();
    case LoanFailure::DivisionByZero:
        tk::raiseDivisionByZero();
    case LoanFailure::PaymentsShortOfLoan:
        raiseNoSolution(QStringLiteral(
            "No interest rate can be found: the payments add up to less than the loan "
            "(monthly payment x number of months is below the loan amount)."));
    case LoanFailure::RateUnchanged:
        raiseNoSolution(
            QStringLiteral("No interest rate can be found: pass %1 left the rate where it was "
                           "(%2 percent a year) with the payments still not matching the loan, "
                           "so every later pass would do the same.")
                .arg(error.passes)
                .arg(DoubleText(error.rate)));
    case LoanFailure::RateCameBack:
        raiseNoSolution(QStringLiteral("No interest rate can be found: after %1 passes the "
                                       "iteration came back to a rate it had reached before, "
                                       "so it would go round the same passes for ever.")
                            .arg(error.passes));
    case LoanFailure::PaymentNotAboveInterest:
        raiseNoSolution(QStringLiteral(
            "No number of months repays this loan: the monthly payment does not exceed "
            "one month's interest on the loan amount."));
    case LoanFailure::TooManyMonths:
        raiseNoSolution(QStringLiteral("No number of months up to %1 repays this loan with this "
                                       "payment and interest rate.")
                            .arg(std::numeric_limits<std::int32_t>::max()));
    case LoanFailure::TimeUp:
        raiseNoSolution(
            QStringLiteral("Computing %1 was stopped after %2 seconds without an answer: with "
                           "these terms the search takes too long. The field is left as it was.")
                .arg(QString::fromStdString(error.term),
                     QString::number(double(error.limit.count()) / 1000.0)));
    }
    tk::raiseOverflow();
}

} // namespace calculator
