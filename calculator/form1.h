// The loan calculator's window: its controls, every member of its state in
// order of declaration, and its event handlers and private procedures. The
// member functions are split over files by concern: window and start-up,
// formulas, solvers, fields and commands.
#pragma once

#include <cstdint>

#include "search_budget.h"

#include "toolkit/controls.h"
#include "toolkit/conversions.h"
#include "toolkit/form.h"

namespace calculator {

using Flag = std::int16_t; // true = -1, false = 0
constexpr Flag True = -1;
constexpr Flag False = 0;

class Form1 : public tk::Form {
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

    // State, in order of declaration; all zero until Form_Load.
    tk::Currency Loan = 0;
    double APR = 0;
    double RateFactor = 0;
    double TargetFactor = 0;
    double GFactor = 0;
    double Power = 0;
    double Payment = 0;
    double PrevGFactor = 0;
    std::int32_t Months = 0;
    std::int32_t Period = 0;
    std::int32_t FilledCount = 0;
    Flag LoanSet = 0;
    Flag APRSet = 0;
    Flag MonthsSet = 0;
    Flag PaymentSet = 0;

    // The wall-time guard of the solvers' searches and the rate iteration's
    // pass count.
    SearchBudget searchBudget;

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

    // Private procedures in spirit; public for the tests.
    void Kernel();
    void CalcGFactor();
    void CalcLoan();
    void CalcAPR();
    void CalcMonths();
    void CalcPayment();
    void KillOne();

private:
    void createControls();
    void connectHandlers();
};

} // namespace calculator
