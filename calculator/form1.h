// The loan calculator's window: its controls, every member of its state in
// order of declaration (the loan's terms and factors in LoanMath, which it
// derives from), and its event handlers and private procedures. The member
// functions are split over files by concern: window and start-up, solvers,
// fields and commands.
#pragma once

#include <cstdint>

#include "conversions.h"
#include "loan_math.h"

#include "toolkit/controls.h"
#include "toolkit/flags.h"
#include "toolkit/form.h"

namespace calculator {

using tk::False;
using tk::Flag;
using tk::True;

class Form1 : public tk::Form, public LoanMath {
    Q_OBJECT
public:
    Form1();

    // Start-up as the program runs it: Form_Load, then the window shows with
    // the focus in Text1 and its whole text selected.
    void start();

    // Controls, owned by the window, in tab order.
    tk::TextBox* Text1;
    tk::TextBox* Text2;
    tk::TextBox* Text3;
    tk::TextBox* Text4;
    tk::Label* Label1;
    tk::Label* Label2;
    tk::Label* Label3;
    tk::Label* Label4;
    tk::CommandButton* Command1;
    tk::CommandButton* Command2;
    tk::CommandButton* Command3;

    // State beyond the loan's terms (LoanMath), in order of declaration;
    // all zero until Form_Load.
    std::int32_t FilledCount = 0;
    Flag LoanSet = 0;
    Flag APRSet = 0;
    Flag MonthsSet = 0;
    Flag PaymentSet = 0;

    // Event handlers (public so that tests can raise them as the toolkit does).
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Text3_GotFocus();
    void Text4_GotFocus();

    // Private procedures in spirit; public for the tests. Kernel and
    // CalcGFactor are LoanMath's; the solvers here run LoanMath's and write
    // the result into the missing field.
    void CalcLoan();
    void CalcAPR();
    void CalcMonths();
    void CalcPayment();
    void KillOne();

signals:
    // A Compute has solved for the term of field `field` (0 for Text1 ...
    // 3 for Text4) and written it there; every member is stored.
    void termComputed(int field);

private:
    void createControls();
    void connectHandlers();
};

} // namespace calculator
