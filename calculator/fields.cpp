// The four fields and the commands: a field counts as given from its first
// change after Reset, the third given field shuts the fourth (KillOne), and
// Compute solves for that one. Writes into fields from code (Reset, KillOne,
// the solvers) re-enter the change handlers, whose first test ignores them.
#include "form1.h"

#include "given_terms.h"

#include "toolkit/events.h"
#include "toolkit/runtime_error.h"

namespace calculator {

// Each change handler: ignore the writes into the missing field and Reset's
// writes (count 3, flag false); otherwise store the field's value, and on
// the field's first change count it as given. The conversion raises the
// overflow error before the flag is touched, so an out-of-range number does
// not make the field given. A field already given keeps its last value
// then, which its text no longer shows: Compute refuses to use it until
// the text converts again.

void Form1::Text1_Change()
{
    if (FilledCount == 3 && LoanSet == False)
        return;
    Loan = LoanFromText(Text1->Text());
    if (LoanSet == False) {
        LoanSet = True;
        if (++FilledCount == 3)
            KillOne();
    }
}

void Form1::Text2_Change()
{
    if (FilledCount == 3 && APRSet == False)
        return;
    APR = tk::Val(Text2->Text());
    if (APRSet == False) {
        APRSet = True;
        if (++FilledCount == 3)
            KillOne();
    }
}

void Form1::Text3_Change()
{
    if (FilledCount == 3 && MonthsSet == False)
        return;
    Months = MonthsFromText(Text3->Text());
    if (MonthsSet == False) {
        MonthsSet = True;
        if (++FilledCount == 3)
            KillOne();
    }
}

void Form1::Text4_Change()
{
    if (FilledCount == 3 && PaymentSet == False)
        return;
    Payment = PaymentFromText(Text4->Text());
    if (PaymentSet == False) {
        PaymentSet = True;
        if (++FilledCount == 3)
            KillOne();
    }
}

// Entering a field selects all of it, so typing replaces the old value.
void Form1::Text1_GotFocus()
{
    Text1->selectAllText();
}

void Form1::Text2_GotFocus()
{
    Text2->selectAllText();
}

void Form1::Text3_GotFocus()
{
    Text3->selectAllText();
}

void Form1::Text4_GotFocus()
{
    Text4->selectAllText();
}

// Disables the one field not given and marks it for Compute. The write
// re-enters that field's change handler, which ignores it.
void Form1::KillOne()
{
    const auto shut = [](Flag set, tk::TextBox* box) {
        if (set == False) {
            box->setEnabled(false);
            box->setText(QStringLiteral("Press Compute"));
        }
    };
    shut(LoanSet, Text1);
    shut(APRSet, Text2);
    shut(MonthsSet, Text3);
    shut(PaymentSet, Text4);
}

// Compute: prepares the shared factors and runs the solver of the missing
// term. Errors end it where they arise and are reported by the guard.
void Form1::Command2_Click()
{
    if (FilledCount != 3)
        return;
    CheckGivenTerms(*this);
    Power = 1;
    GFactor = 0;
    // Only the rate and months solvers read the ratio, and for them the loan
    // is given. With the loan missing, Loan holds whatever an earlier
    // Compute left, and dividing it could fail for nothing.
    if (PaymentSet != False && LoanSet != False)
        TargetFactor = tk::Divide(CurrencyToDouble(Loan), Payment);
    // The division first, then 1 is added.
    RateFactor = tk::CheckFloat(APR / 1200.0 + 1.0);

    if (LoanSet == False) {
        CalcLoan();
        emit termComputed(0);
    }
    if (APRSet == False) {
        CalcAPR();
        emit termComputed(1);
    }
    if (MonthsSet == False) {
        CalcMonths();
        emit termComputed(2);
    }
    if (PaymentSet == False) {
        CalcPayment();
        emit termComputed(3);
    }
}

// Exit: ends the program at once; nothing is saved or asked.
void Form1::Command3_Click()
{
    tk::End();
}

} // namespace calculator
