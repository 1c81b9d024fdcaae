// The loan arithmetic's failures as the window reports them: each LoanError
// becomes the toolkit's run-time error with its number and words. Called
// from the window's solvers; raises, never returns normally from a failure.
#pragma once

#include "loan_error.h"

namespace calculator {

[[noreturn]] void raiseLoanError(const LoanError& error);

// Runs `f` and raises any LoanError it ends with as the toolkit's error.
template <class F> void withLoanErrors(F&& f)
{
    try {
        f();
    } catch (const LoanError& error) {
        raiseLoanError(error);
    }
}

} // namespace calculator
