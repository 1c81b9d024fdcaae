// The loan arithmetic's answers for a script that checks them against exact
// arithmetic: one request a line on standard input, one answer a line on
// standard output, all in one process so that thousands of cases run fast.
//   rate LOAN MONTHS PAYMENT       -> ok APR ITERATED_APR PASSES | refused KIND
//   roundtrip LOAN APR MONTHS      -> ok PAYMENT APR_SOLVED_BACK | refused KIND
//   schedule LOAN APR MONTHS PAYMENT -> ok PAYMENTS LAST then one line per
//                                       row: MONTH PAYMENT INTEREST PRINCIPAL
//                                       BALANCE (cents) | none PROBLEM
// LOAN is a decimal with at most four decimals; amounts print as %.17g.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "calculator/loan_error.h"
#include "calculator/loan_math.h"
#include "calculator/loan_schedule.h"

namespace {

using calculator::Currency;
using calculator::LoanError;
using calculator::LoanMath;

Currency currencyOf(const std::string& text)
{
    Currency whole = 0;
    Currency fraction = 0;
    int decimals = -1;
    bool negative = false;
    for (const char c : text) {
        if (c == '-')
            negative = true;
        else if (c == '.')
            decimals = 0;
        else if (decimals < 0)
            whole = whole * 10 + (c - '0');
        else if (decimals < 4) {
            fraction = fraction * 10 + (c - '0');
            ++decimals;
        }
    }
    for (; decimals < 4; decimals = decimals < 0 ? 1 : decimals + 1)
        fraction *= 10;
    const Currency value = whole * calculator::CurrencyScale + fraction;
    return negative ? -value : value;
}

// What Compute prepares before it calls a solver.
void prepare(LoanMath& math)
{
    math.Power = 1;
    math.GFactor = 0;
    math.TargetFactor = calculator::currencyToDouble(math.Loan) / math.Payment;
    math.RateFactor = math.APR / 1200.0 + 1.0;
}

void answerRate(std::istringstream& in)
{
    std::string loan;
    LoanMath math;
    in >> loan >> math.Months >> math.Payment;
    math.Loan = currencyOf(loan);
    math.searchBudget.limit = std::chrono::seconds(60);
    prepare(math);
    try {
        math.CalcAPR();
        std::printf("ok %.17g %.17g %lld\n", math.APR, math.iteratedAPR,
                    static_cast<long long>(math.searchBudget.ratePasses));
    } catch (const LoanError& e) {
        std::printf("refused %d\n", int(e.failure()));
    }
}

void answerRoundTrip(std::istringstream& in)
{
    std::string loan;
    LoanMath math;
    in >> loan >> math.APR >> math.Months;
    math.Loan = currencyOf(loan);
    math.searchBudget.limit = std::chrono::seconds(60);
    try {
        prepare(math);
        math.CalcPayment();
        const double payment = math.Payment;
        prepare(math);
        math.CalcAPR();
        std::printf("ok %.17g %.17g\n", payment, math.APR);
    } catch (const LoanError& e) {
        std::printf("refused %d\n", int(e.failure()));
    }
}

void answerSchedule(std::istringstream& in)
{
    calculator::LoanTerms terms;
    in >> terms.loan >> terms.apr >> terms.months >> terms.payment;
    calculator::ScheduleProblem problem{};
    const calculator::LoanSchedule s = calculator::amortize(terms, &problem);
    if (problem != calculator::ScheduleProblem::None) {
        std::printf("none %d\n", int(problem));
        return;
    }
    std::printf("ok %d %lld\n", s.summary.payments, static_cast<long long>(s.summary.lastPayment));
    for (const auto& r : s.rows)
        std::printf("%d %lld %lld %lld %lld\n", r.month, static_cast<long long>(r.payment),
                    static_cast<long long>(r.interest), static_cast<long long>(r.principal),
                    static_cast<long long>(r.balance));
}

} // namespace

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string request;
        in >> request;
        if (request == "rate")
            answerRate(in);
        else if (request == "roundtrip")
            answerRoundTrip(in);
        else if (request == "schedule")
            answerSchedule(in);
        else
            std::printf("unknown\n");
    }
    return 0;
}
