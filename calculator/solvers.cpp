// The window's four solvers: each runs the loan arithmetic's solver for the
// missing term and writes the result into its own, disabled field; that
// field's change handler runs inside the write and ignores it. A failure
// is raised as the toolkit's error and leaves the field as it was.
#include "form1.h"

#include "loan_messages.h"

namespace calculator {

namespace {

// A result can be wider than its field, and a disabled field cannot be
// scrolled: the view is brought back to the start, where the leading digits
// are, rather than left at the end where the write puts the cursor.
void showResult(tk::TextBox* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

} // namespace

void Form1::CalcLoan()
{
    withLoanErrors([this] { LoanMath::CalcLoan(); });
    showResult(Text1, CurrencyText(Loan));
}

void Form1::CalcPayment()
{
    withLoanErrors([this] { LoanMath::CalcPayment(); });
    showResult(Text4, DoubleText(Payment));
}

void Form1::CalcMonths()
{
    withLoanErrors([this] { LoanMath::CalcMonths(); });
    showResult(Text3, IntegerText(Months));
}

void Form1::CalcAPR()
{
    withLoanErrors([this] { LoanMath::CalcAPR(); });
    showResult(Text2, DoubleText(APR));
}

} // namespace calculator
