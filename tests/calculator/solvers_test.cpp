// The loan formulas and the four solvers, driven through the real window:
// typed terms, the Compute button, the disabled field's text. Also the
// inputs without a solution, which must end with a message.
#include "calculator_fixture.h"

#include <cmath>

namespace {

using testing_support::takeReports;

TEST_F(CalculatorTest, DiscountSumFollowsTheRunningPower)
{
    form->RateFactor = 12.0 / 1200.0 + 1.0;
    form->Months = 12;
    form->GFactor = 0;
    form->Power = 1;
    form->CalcGFactor();
    EXPECT_EQ(form->GFactor, 11.255077473484631);
    EXPECT_EQ(form->Period, 13);
    double power = 1;
    for (int k = 0; k < 12; ++k)
        power = 1.01 * power;
    EXPECT_EQ(form->Power, power);
    EXPECT_EQ(tk::DoubleText(1000.0 / form->GFactor), "88.8487886783417");

    // At a zero rate every term is exactly 1.
    form->RateFactor = 1.0;
    form->GFactor = 0;
    form->Power = 1;
    form->Months = 360;
    form->CalcGFactor();
    EXPECT_EQ(form->GFactor, 360.0);
    EXPECT_EQ(form->Power, 1.0);

    // No month, no step.
    for (std::int32_t months : {0, -5}) {
        form->GFactor = 0;
        form->Power = 1;
        form->Months = months;
        form->CalcGFactor();
        EXPECT_EQ(form->GFactor, 0.0);
        EXPECT_EQ(form->Power, 1.0);
        EXPECT_EQ(form->Period, 1);
    }
}

TEST_F(CalculatorTest, KernelRaisesDivisionByZeroAtARateOfMinus1200)
{
    form->RateFactor = -1200.0 / 1200.0 + 1.0;
    form->GFactor = 0;
    form->Power = 1;
    try {
        form->Kernel();
        FAIL() << "no error";
    } catch (const tk::RuntimeError& e) {
        EXPECT_EQ(e.number(), tk::ErrDivisionByZero);
    }
    EXPECT_EQ(form->Power, 0.0);
}

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

TEST_F(CalculatorTest, RateIterationGivesTheWorkedRates)
{
    const struct {
        const char* loan;
        const char* months;
        const char* payment;
        const char* rate;
    } cases[] = {
        {"1000", "12", "100", "35.0590572924738"},
        {"100000", "360", "665.30", "7.00008505297962"},
        {"1000", "12", "1000", "1199.70659794199"},
        {"1000", "12", "88.85", "12.0001636022294"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(solve(c.loan, "", c.months, c.payment), c.rate) << c.loan << " " << c.payment;
        reset();
    }
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(CalculatorTest, PaymentsThatExactlyRepayTheLoanGiveARateJustAboveZero)
{
    // About ten thousand passes, each a little closer to a zero rate.
    const QString rate = solve("1200", "", "12", "100");
    EXPECT_TRUE(takeReports().empty());
    const double apr = rate.toDouble();
    EXPECT_GT(apr, 0.0) << rate.toStdString();
    EXPECT_LT(apr, 0.05) << rate.toStdString();
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
    solve("1000", "", "12", "50");
    const auto report = onlyReport(form->Text2, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrBadInput);
    EXPECT_TRUE(report.description.contains("add up to less than the loan"))
        << report.description.toStdString();

    // Just inside the tolerance the iteration still settles near 0.
    reset();
    const QString rate = solve("1000", "", "12", "83.33333");
    EXPECT_TRUE(takeReports().empty());
    EXPECT_GT(rate.toDouble(), 0.0) << rate.toStdString();
    EXPECT_LT(rate.toDouble(), 0.05) << rate.toStdString();
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

TEST_F(CalculatorTest, MonthsSearchGivesUpAtItsLimit)
{
    // A rate too small to matter: the target is a hundred million months away.
    solve("100000000", "0", "", "1");
    auto report = onlyReport(form->Text3, "Press Compute");
    EXPECT_TRUE(report.description.contains("No number of months up to"))
        << report.description.toStdString();

    // At -2400% the sum swings between -1 and 0 for ever.
    reset();
    solve("1000", "-2400", "", "100");
    report = onlyReport(form->Text3, "Press Compute");
    EXPECT_TRUE(report.description.contains("No number of months up to"))
        << report.description.toStdString();
}

TEST_F(CalculatorTest, RateIterationGivesUpAtItsPassLimit)
{
    // Payments of the opposite sign to the loan: every ratio is negative,
    // the rate swings from side to side and never settles.
    solve("1000", "", "12", "-100");
    const auto report = onlyReport(form->Text2, "Press Compute");
    EXPECT_EQ(report.number, tk::ErrBadInput);
    EXPECT_TRUE(report.description.contains("does not settle")) << report.description.toStdString();
}

TEST_F(CalculatorTest, TooManyMonthsForTheClosedFormsAreReported)
{
    solve("1000", "0", "2000000000", "");
    const auto report = onlyReport(form->Text4, "Press Compute");
    EXPECT_TRUE(report.description.contains("too large")) << report.description.toStdString();
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
