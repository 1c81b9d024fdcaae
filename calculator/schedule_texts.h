// The words about a computed loan's schedule: what its status line says
// after a Compute, why there is no schedule, and the note on a last payment
// that differs. Shared by the result tools and the schedule window; pure
// text work over the schedule's arithmetic.
#pragma once

#include <QString>

#include "loan_schedule.h"

namespace calculator {

// "No schedule: ..." for a problem, empty for None. The terms give the
// amounts the sentence names (the payment, the first month's interest).
QString problemText(ScheduleProblem problem, const LoanTerms& terms);

// After a Compute: "Payment $1,580.17 · 360 months · total paid $568,861.20
// · interest $318,861.20", and the last payment when it differs from the
// others. Without a summary (a loan too long to work out at once, or one
// the arithmetic refuses) the payment alone, and why.
QString loanSummary(const LoanTerms& terms);

// The sentence on a last payment that differs from the others, or on a loan
// repaid before its term; empty when every payment is the same.
QString lastPaymentNote(const ScheduleSummary& summary, std::int32_t months);

} // namespace calculator
