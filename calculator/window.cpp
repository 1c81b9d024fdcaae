// The calculator's window as designed, and start-up: the fields, their
// labels and the buttons at their design-time places, the wiring of events
// to handlers, Form_Load and Reset. Reset's text writes re-enter the change
// handlers, which its FilledCount of 3 tells to ignore them.
#include "form1.h"

#include "default_button.h"
#include "result_tools.h"

namespace calculator {

Form1::Form1() : tk::Form(QStringLiteral("Brenn's Tolv Loan Calculator"))
{
    createControls();
    connectHandlers();
    // The status line, the menu bar and the schedule, beside the design;
    // they watch the fields after the handlers above.
    new ResultTools(this);
}

void Form1::createControls()
{
    QWidget* area = client();
    setClientSizeTwips(6480, 4095);

    // Created in tab order, so that Tab walks the fields top to bottom and
    // then the buttons. Labels never take the focus.
    const struct {
        tk::TextBox** box;
        tk::Label** label;
        int top;
        const char* caption;
    } rows[] = {
        {&Text1, &Label1, 600, "Loan Amount"},
        {&Text2, &Label2, 1500, "Interest Rate"},
        {&Text3, &Label3, 2400, "# of Months"},
        {&Text4, &Label4, 3300, "Monthly Payment"},
    };
    for (const auto& row : rows) {
        *row.box = new tk::TextBox(area);
        (*row.box)->placeTwips(360, row.top, 1600, 320);
        // A screen reader names each field after the label beside it.
        (*row.box)->setAccessibleName(QString::fromLatin1(row.caption));
    }
    for (const auto& row : rows) {
        *row.label = new tk::Label(QString::fromLatin1(row.caption), area);
        (*row.label)->placeTwips(2100, row.top, 1600, 320);
        (*row.label)->setBuddy(*row.box);
    }

    const struct {
        tk::CommandButton** button;
        int top;
        const char* caption;
    } buttons[] = {
        {&Command1, 600, "Reset"},
        {&Command2, 1780, "Compute"},
        {&Command3, 2960, "Exit"},
    };
    for (const auto& b : buttons) {
        *b.button = new tk::CommandButton(QString::fromLatin1(b.caption), area);
        (*b.button)->placeTwips(4080, b.top, 2055, 700);
        (*b.button)->setAccessibleName(QString::fromLatin1(b.caption));
    }
}

void Form1::connectHandlers()
{
    tk::Handle(Text1, &tk::TextBox::Change, this, &Form1::Text1_Change);
    tk::Handle(Text2, &tk::TextBox::Change, this, &Form1::Text2_Change);
    tk::Handle(Text3, &tk::TextBox::Change, this, &Form1::Text3_Change);
    tk::Handle(Text4, &tk::TextBox::Change, this, &Form1::Text4_Change);
    tk::Handle(Text1, &tk::TextBox::GotFocus, this, &Form1::Text1_GotFocus);
    tk::Handle(Text2, &tk::TextBox::GotFocus, this, &Form1::Text2_GotFocus);
    tk::Handle(Text3, &tk::TextBox::GotFocus, this, &Form1::Text3_GotFocus);
    tk::Handle(Text4, &tk::TextBox::GotFocus, this, &Form1::Text4_GotFocus);
    tk::Handle(Command1, &tk::CommandButton::Click, this, &Form1::Command1_Click);
    tk::Handle(Command2, &tk::CommandButton::Click, this, &Form1::Command2_Click);
    tk::Handle(Command3, &tk::CommandButton::Click, this, &Form1::Command3_Click);
    // Typing three terms and pressing Enter computes the fourth.
    makeDefaultButton(Command2, {Text1, Text2, Text3, Text4});
    // Enter on a focused button presses that button.
    pressOnEnter({Command1, Command2, Command3});
}

void Form1::start()
{
    tk::guarded([this] { Form_Load(); });
    // Activating the window gives Text1 the focus without a focus event (it
    // is not a move between controls), so its focus handler runs here.
    Text1->setFocus();
    tk::guarded([this] { Text1_GotFocus(); });
    show();
}

void Form1::Form_Load()
{
    Command1_Click();
}

// Reset. The members of the four terms are left as they are: a solver only
// reads the member of a field given since this Reset, and a field becomes
// given only through its change handler, which stores the member first.
void Form1::Command1_Click()
{
    Text1->setEnabled(true);
    Text2->setEnabled(true);
    Text3->setEnabled(true);
    Text4->setEnabled(true);

    // A count of 3 with every flag false makes the change handlers ignore
    // the four writes below; it must be in place before them.
    FilledCount = 3;
    LoanSet = False;
    APRSet = False;
    MonthsSet = False;
    PaymentSet = False;

    Text1->setText(QStringLiteral("$0.00"));
    Text2->setText(QStringLiteral("0.00"));
    Text3->setText(QStringLiteral("0"));
    Text4->setText(QStringLiteral("$0.00"));

    FilledCount = 0;
}

} // namespace calculator
