// The wall-time guard of the calculator's searches. It fails like the other
// refusals, so the field being computed keeps its text.
#include "search_budget.h"

#include "loan_error.h"

#include <utility>

namespace calculator {

void SearchBudget::start(std::string term)
{
    term_ = std::move(term);
    deadline_ = Clock::now() + limit;
    stepsUntilClockCheck_ = StepsPerClockCheck;
}

void SearchBudget::checkClock()
{
    stepsUntilClockCheck_ = StepsPerClockCheck;
    if (Clock::now() < deadline_)
        return;
    deadline_ = Clock::time_point::max();
    LoanError error(LoanFailure::TimeUp);
    error.term = term_;
    error.limit = limit;
    throw error;
}

} // namespace calculator
