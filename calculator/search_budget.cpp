// The wall-time guard of the calculator's searches. It raises the same
// bad-input error as the other refusals, so the field being computed keeps
// its text.
#include "search_budget.h"

#include "toolkit/runtime_error.h"

namespace calculator {

void SearchBudget::start(const QString& term)
{
    term_ = term;
    deadline_ = Clock::now() + limit;
    stepsUntilClockCheck_ = StepsPerClockCheck;
}

void SearchBudget::checkClock()
{
    stepsUntilClockCheck_ = StepsPerClockCheck;
    if (Clock::now() < deadline_)
        return;
    deadline_ = Clock::time_point::max();
    throw tk::RuntimeError(
        tk::ErrBadInput,
        QStringLiteral("Computing %1 was stopped after %2 seconds without an answer: with these "
                       "terms the search takes too long. The field is left as it was.")
            .arg(term_, QString::number(double(limit.count()) / 1000.0)));
}

} // namespace calculator
