// The four solvers through the real window: typed terms, the Compute
// button, the disabled field's text, and the inputs without a solution,
// which must end with a message that leaves the fields as they were. The
// arithmetic's own tables are in loan_math_test.cpp.
#include "calculator_fixture.h"

#include <chrono>
#include <cmath>

namespace {

using testing_support::takeReports;

TEST_F(CalculatorTest, LoanAndPaymentInClosedForm)
{
    EXPECT_EQ(solve("", "12", "12", "88.85"), "1000.0136");
    reset();
    EXPECT_EQ(solve("", "0", "12", "100"), "1200");
    reset();
    EXPECT_EQ(solve("100000", "7", "360", ""), "665.302495179187");
    // Wider than the field: its leading digits are the ones in view.
    EXPECT_EQ(form->Text4->cursorPosition(), 0);
    reset();
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, MonthsSearchStepsBackToTheNearerCountAndKeepsTheLargerOnATie)
{
    const struct {
        const char* loan;
        const char* rate;
        const char* payment;
        const char* months;
    } cases[] = {
        {"100000", "7", "665.30", "360"}, // reaches the target at 361, steps back
        {"1000", "12", "100", "11"},      // no step back
        {"1000", "0", "300", "3"},        // 3.33...
        {"1000", "0", "400", "3"},        // 2.5: a tie keeps the larger count
        {"1000", "0", "100", "10"},       // met exactly
        {"0", "12", "100", "0"},          // nothing to repay
    };
    for (const auto& c : cases) {
        EXPECT_EQ(solve(c.loan, c.rate, "", c.payment), c.months) << c.loan << " " << c.payment;
        reset();
    }
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, RateIsShownToTheDigitsOfTheExactRate)
{
    const struct {
        const char* loan;
        const char* months;
        const char* payment;
        const char* rate;
    } cases[] = {
        {"1000", "12", "100", "35.0742489229604"},
        // The 7% payment to 15 digits, and the one the calculator shows for
        // 7% (its sum's rounding in the last digits), whose exact rate is
        // 7.0000000000000568.
        {"100000", "360", "665.302495179183", "7"},
        {"100000", "360", "665.302495179187", "7.00000000000006"},
        {"250000", "360", "$1,580.17", "6.49999964277443"},
        {"100000", "360", "700", "7.51146872876507"},
        {"1000", "12", "1000", "1199.70660112478"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(solve(c.loan, "", c.months, c.payment), c.rate) << c.loan << " " << c.payment;
        reset();
    }
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, PaymentsThatExactlyRepayTheLoanGiveARateOfZero)
{
    EXPECT_EQ(solve("1200", "", "12", "100"), "0");
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, ComputeAgainAfterAnEditUsesTheNewValues)
{
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    type(form->Text1, "100000");
    type(form->Text2, "7");
    type(form->Text3, "360");
    compute();
    EXPECT_EQ(form->Text4->text(), "665.302495179187");
    EXPECT_FALSE(form->Text4->isEnabled());
}

// Reads the one report a Compute made, checking the missing field kept its
// text and stayed disabled.
testing_support::Report onlyReport(const tk::TextBox* missing, const QString& before)
{
    EXPECT_EQ(missing->text(), before);
    EXPECT_FALSE(missing->isEnabled());
    auto reports = takeReports();
    EXPECT_EQ(reports.size(), 1u);
    return reports.empty() ? testing_support::Report{0, {}} : reports[0];
}

TEST_F(CalculatorTest, RateWithPaymentsBelowTheLoanIsReportedAtOnce)
{
    // Far short, and short by less than the iteration's tolerance.
    for (const char* payment : {"50", "83.33333"}) {
        solve("1000", "", "12", payment);
        const auto report = onlyReport(form->Text2, "Press Compute");
        EXPECT_EQ(report.number, tk::ErrBadInput);
        EXPECT_TRUE(report.description.contains("add up to less than the loan"))
            << report.description.toStdString();
        reset();
    }
}

TEST_F(CalculatorTest, RateWithoutAMonthIsReported)
{
    for (const char* months : {"0", "-3"}) {
        solve("1000", "", months, "100");
        const auto report = onlyReport(form->Text2, "Press Compute");
        EXPECT_TRUE(report.description.contains("at least 1")) << report.description.toStdString();
        reset();
    }
}

TEST_F(CalculatorTest, MonthsWithAPaymentNotAboveTheInterestAreReported)
{
    // 1% a month on 1000 is 10: a payment of 10 or less never repays it.
    for (const char* payment : {"10", "5"}) {
        solve("1000", "12", "", payment);
        const auto report = onlyReport(form->Text3, "Press Compute");
        EXPECT_EQ(report.number, tk::ErrBadInput);
        EXPECT_TRUE(report.description.contains("one month's interest"))
            << report.description.toStdString();
        reset();
    }
    // A cent more and it is repaid, slowly.
    EXPECT_EQ(solve("1000", "12", "", "10.01"), "694");
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, RateNearZeroIsTheExactRateNotTheIterationsStop)
{
    // 600 x 166.6505 is 99,990.30: short of the loan, however little.
    solve("100000", "", "600", "166.6505");
    const auto report = onlyReport(form->Text2, "Press Compute");
    EXPECT_TRUE(report.description.contains("add up to less than the loan"))
        << report.description.toStdString();
    reset();
    // The iteration stops at 0.000479...; the rate is 0.0000798663578521.
    const QString rate = solve("100000", "", "600", "166.67");
    EXPECT_TRUE(takeReports().empty());
    EXPECT_NEAR(rate.toDouble(), 0.0000798663578521, 1e-9 * 0.0000798663578521)
        << rate.toStdString();
}

TEST_F(CalculatorTest, RateThatAPassLeavesUnchangedIsRefusedAtOnce)
{
    // Far below any time it could take: only the exact test may end this.
    form->searchBudget.limit = std::chrono::milliseconds(100);
    // A loan and a payment of opposite signs: every ratio is near -0.012, so
    // each pass flips the sign of the monthly rate and shrinks it, until
    // pass 8 lands on a rate of exactly 0. A rate of 0 times any ratio is 0
    // again: pass 9 changes nothing, and neither would any pass after it.
    solve("1000", "", "12", "-1");
    const auto report = onlyReport(form->Text2, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrBadInput);
    EXPECT_TRUE(report.description.contains("left the rate where it was"))
        << report.description.toStdString();
    EXPECT_EQ(form->searchBudget.ratePasses, 9);
}

TEST_F(CalculatorTest, RateIterationThatComesBackToAnEarlierRateIsRefused)
{
    form->searchBudget.limit = std::chrono::milliseconds(100);
    // Payments of the opposite sign to the loan: every ratio is negative,
    // and after about 130 passes the rate swings between the same two
    // values for ever.
    solve("1000", "", "12", "-100");
    const auto report = onlyReport(form->Text2, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrBadInput);
    EXPECT_TRUE(report.description.contains("came back to a rate it had reached before"))
        << report.description.toStdString();
    EXPECT_LT(form->searchBudget.ratePasses, 1000);
}

TEST_F(CalculatorTest, ZeroRateSumsAreExactFarBeyondTwentyMillionMonths)
{
    // At a rate of 0 the sum of n months is n: no month needs summing.
    EXPECT_EQ(solve("", "0", "2000000000", "1.5"), "3000000000");
    reset();
    EXPECT_EQ(solve("1000", "0", "2000000000", ""), "5E-07");
    reset();
    EXPECT_EQ(solve("100000000", "0", "", "1"), "100000000");
    reset();
    EXPECT_EQ(solve("2147483647", "0", "", "1"), "2147483647");
    reset();
    // 1500000000.25 months: the nearer whole count is the smaller one.
    EXPECT_EQ(solve("3000000000.5", "0", "", "2"), "1500000000");
    reset();
    // A rate too small to change 1 + rate / 1200 is a rate of 0 as well.
    EXPECT_EQ(solve("1000", "1e-20", "", "0.0001"), "10000000");
    EXPECT_TRUE(takeReports().empty());

    // More months than a 32-bit count holds.
    reset();
    solve("3000000000", "0", "", "1");
    const auto report = onlyReport(form->Text3, "Press Compute");
    EXPECT_TRUE(report.description.contains("No number of months up to 2147483647"))
        << report.description.toStdString();
}

TEST_F(CalculatorTest, SearchesWithoutAnEndAreStoppedByTheTimeGuard)
{
    form->searchBudget.limit = std::chrono::milliseconds(50);
    // At -2400% a year the sum swings between -1 and 0 for ever.
    solve("1000", "-2400", "", "100");
    auto report = onlyReport(form->Text3, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrBadInput);
    EXPECT_TRUE(report.description.contains("stopped after 0.05 seconds"))
        << report.description.toStdString();

    // A rate just above 0 over two billion months has to be summed month by
    // month; the payment computed before stays in its field.
    reset();
    const QString before = solve("1000", "0.000001", "12", "");
    ASSERT_TRUE(takeReports().empty());
    ASSERT_NE(before, "Press Compute");
    type(form->Text3, "2000000000");
    compute();
    report = onlyReport(form->Text4, before);
    EXPECT_TRUE(report.description.contains("the monthly payment"))
        << report.description.toStdString();
    EXPECT_TRUE(report.description.contains("stopped after 0.05 seconds"))
        << report.description.toStdString();
}

TEST_F(CalculatorTest, LoanIsSolvedFromWhatIsOnScreenWhateverCameBefore)
{
    EXPECT_NE(solve("922337203685477", "7", "360", ""), "Press Compute");
    ASSERT_TRUE(takeReports().empty());
    // The loan left behind would overflow a loan-to-payment ratio; solving
    // for the loan does not need one.
    reset();
    EXPECT_EQ(solve("", "7", "360", "1e-300"), "0");
    reset();
    EXPECT_EQ(solve("", "7", "360", "0"), "0");
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, MonthsBelowOneGiveOneMessageWhicheverTermIsMissing)
{
    QString first;
    for (const char* months : {"0", "-3"}) {
        for (int missing : {0, 1, 3}) {
            const char* terms[] = {"1000", "12", months, "100"};
            terms[missing] = "";
            solve(terms[0], terms[1], terms[2], terms[3]);
            const tk::TextBox* fields[] = {form->Text1, form->Text2, form->Text3, form->Text4};
            const auto report = onlyReport(fields[missing], "Press Compute");
            EXPECT_EQ(report.number, tk::ErrBadInput) << months << " " << missing;
            EXPECT_TRUE(report.description.contains("at least 1"))
                << report.description.toStdString();
            // The same words, whichever term was to be computed.
            if (first.isEmpty())
                first = report.description;
            EXPECT_EQ(report.description, first);
            reset();
        }
    }
}

TEST_F(CalculatorTest, ComputeErrorsAreReportedAndLeaveTheFieldsAsTheyWere)
{
    // A zero payment divides by zero before any solver runs.
    solve("1000", "12", "", "0");
    auto report = onlyReport(form->Text3, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrDivisionByZero);
    EXPECT_EQ(form->Text1->text(), "1000");
    EXPECT_EQ(form->Text2->text(), "12");
    EXPECT_EQ(form->Text4->text(), "0");

    // The window stays usable: fix the payment and compute again.
    type(form->Text4, "100");
    compute();
    EXPECT_EQ(form->Text3->text(), "11");
    EXPECT_TRUE(takeReports().empty());

    // A loan beyond the currency range overflows in CalcLoan; the last
    // result is not overwritten by a failed Compute.
    reset();
    EXPECT_EQ(solve("", "0", "12", "100"), "1200");
    type(form->Text4, "1e14");
    compute();
    report = onlyReport(form->Text1, "1200");
    EXPECT_EQ(report.number, tk::ErrOverflow);

    // The loan is 0: the rate's first ratio divides by zero.
    reset();
    solve("0", "", "12", "100");
    report = onlyReport(form->Text2, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrDivisionByZero);
}

} // namespace
