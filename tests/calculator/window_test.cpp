// The calculator window: start-up, layout, keyboard order, accessible names,
// and the rule that decides which fields count as given.
#include <QClipboard>
#include <QGuiApplication>

#include "calculator_fixture.h"

namespace {

using calculator::False;
using calculator::True;

void expectStartTexts(const calculator::Form1& form)
{
    EXPECT_EQ(form.Text1->text(), "$0.00");
    EXPECT_EQ(form.Text2->text(), "0.00");
    EXPECT_EQ(form.Text3->text(), "0");
    EXPECT_EQ(form.Text4->text(), "$0.00");
    for (const tk::TextBox* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_TRUE(box->isEnabled()) << box->accessibleName().toStdString();
    EXPECT_EQ(form.FilledCount, 0);
    EXPECT_EQ(form.LoanSet, False);
    EXPECT_EQ(form.APRSet, False);
    EXPECT_EQ(form.MonthsSet, False);
    EXPECT_EQ(form.PaymentSet, False);
}

// Pastes a whole text into a field as one change, as a user pasting it does.
void paste(tk::TextBox* box, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    box->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(box->selectedText(), box->text());
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

TEST_F(CalculatorTest, StartsWithTheStartTextsAndNothingGiven)
{
    EXPECT_EQ(form->windowTitle(), "Brenn's Tolv Loan Calculator");
    expectStartTexts(*form);
    // The first field has the focus, its text selected for typing over.
    EXPECT_EQ(QApplication::focusWidget(), form->Text1);
    EXPECT_EQ(form->Text1->selectedText(), "$0.00");
    // Compute with nothing given does nothing and says nothing.
    compute();
    expectStartTexts(*form);
    EXPECT_TRUE(testing_support::takeReports().empty());
}

TEST_F(CalculatorTest, ControlsSitInThreeColumnsFromTheDesign)
{
    const tk::TextBox* fields[] = {form->Text1, form->Text2, form->Text3, form->Text4};
    const tk::Label* labels[] = {form->Label1, form->Label2, form->Label3, form->Label4};
    for (int i = 0; i < 4; ++i) {
        // Each label beside its field on the same row, rows evenly spaced.
        EXPECT_EQ(labels[i]->y(), fields[i]->y());
        EXPECT_GT(labels[i]->x(), fields[i]->x() + fields[i]->width() - 1);
        EXPECT_EQ(fields[i]->x(), fields[0]->x());
        if (i > 0) {
            EXPECT_NEAR(fields[i]->y() - fields[i - 1]->y(), fields[1]->y() - fields[0]->y(), 1);
        }
    }
    // The buttons stacked on the right, the first level with the first row.
    EXPECT_EQ(form->Command1->y(), form->Text1->y());
    EXPECT_GT(form->Command1->x(), form->Label1->x() + form->Label1->width() - 1);
    EXPECT_EQ(form->Command2->x(), form->Command1->x());
    EXPECT_EQ(form->Command3->x(), form->Command1->x());
    EXPECT_LT(form->Command1->y(), form->Command2->y());
    EXPECT_LT(form->Command2->y(), form->Command3->y());
    // Everything fits in the client area.
    const QRect area = form->client()->rect();
    for (const QWidget* w : form->client()->findChildren<QWidget*>())
        EXPECT_TRUE(area.contains(w->geometry())) << w->accessibleName().toStdString();
}

TEST_F(CalculatorTest, FieldsAreNamedAfterTheirLabelsAndButtonsAfterTheirCaptions)
{
    EXPECT_EQ(form->Label1->text(), "Loan Amount");
    EXPECT_EQ(form->Label2->text(), "Interest Rate");
    EXPECT_EQ(form->Label3->text(), "# of Months");
    EXPECT_EQ(form->Label4->text(), "Monthly Payment");
    for (const auto& [box, label] : {std::pair{form->Text1, form->Label1},
                                     {form->Text2, form->Label2},
                                     {form->Text3, form->Label3},
                                     {form->Text4, form->Label4}})
        EXPECT_EQ(box->accessibleName(), label->text());
    EXPECT_EQ(form->Command1->text(), "Reset");
    EXPECT_EQ(form->Command2->text(), "Compute");
    EXPECT_EQ(form->Command3->text(), "Exit");
    for (const tk::CommandButton* b : {form->Command1, form->Command2, form->Command3})
        EXPECT_EQ(b->accessibleName(), b->text());
}

TEST_F(CalculatorTest, TabWalksFieldsThenButtonsAndSelectsEachField)
{
    form->Text1->setFocus(Qt::TabFocusReason);
    const QWidget* order[] = {form->Text2,    form->Text3,    form->Text4, form->Command1,
                              form->Command2, form->Command3, form->Text1};
    for (const QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), next) << next->accessibleName().toStdString();
        if (const auto* box = qobject_cast<const tk::TextBox*>(next)) {
            EXPECT_EQ(box->selectedText(), box->text());
        }
    }
    // Labels never take the focus.
    for (const tk::Label* label : {form->Label1, form->Label2, form->Label3, form->Label4})
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);

    // A disabled field is skipped.
    type(form->Text1, "1000");
    type(form->Text2, "12");
    type(form->Text3, "12");
    ASSERT_FALSE(form->Text4->isEnabled());
    QTest::keyClick(form->Text3, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Command1);
}

TEST_F(CalculatorTest, FocusHandlerSelectsTheWholeTextOnAnyFocusMove)
{
    type(form->Text2, "7.25");
    form->Text2->setCursorPosition(2);
    ASSERT_TRUE(form->Text2->selectedText().isEmpty());
    form->Text1->setFocus(Qt::TabFocusReason);
    form->Text2->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(form->Text2->selectedText(), "7.25");
    // Typing then replaces the old value.
    QTest::keyClicks(form->Text2, "8");
    EXPECT_EQ(form->Text2->text(), "8");
    EXPECT_EQ(form->APR, 8.0);
}

TEST_F(CalculatorTest, ThirdGivenFieldShutsTheFourthAtOnce)
{
    type(form->Text1, "1000");
    EXPECT_EQ(form->LoanSet, True);
    EXPECT_EQ(form->FilledCount, 1);
    type(form->Text3, "12");
    EXPECT_EQ(form->FilledCount, 2);
    EXPECT_TRUE(form->Text2->isEnabled());
    EXPECT_TRUE(form->Text4->isEnabled());

    // The first key into the third field is enough.
    form->Text4->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Text4, Qt::Key_1);
    EXPECT_EQ(form->FilledCount, 3);
    EXPECT_FALSE(form->Text2->isEnabled());
    EXPECT_EQ(form->Text2->text(), "Press Compute");
    // KillOne's write did not count the rate as given.
    EXPECT_EQ(form->APRSet, False);
    EXPECT_TRUE(form->Text1->isEnabled());
    EXPECT_TRUE(form->Text3->isEnabled());
    EXPECT_TRUE(form->Text4->isEnabled());

    // A given field keeps updating its member in the Ready state.
    QTest::keyClicks(form->Text4, "00");
    EXPECT_EQ(form->Payment, 100.0);
    EXPECT_EQ(form->FilledCount, 3);
}

TEST_F(CalculatorTest, SolverAndResetWritesNeverCountAsEntries)
{
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    EXPECT_EQ(form->PaymentSet, False);
    EXPECT_EQ(form->FilledCount, 3);

    reset();
    expectStartTexts(*form);
    // The members are left as they were; only the flags and texts go back.
    EXPECT_EQ(form->Loan, 10000000);

    // After Reset any three fields can be given again.
    EXPECT_EQ(solve("", "0", "12", "100"), "1200");
    EXPECT_EQ(form->LoanSet, False);
}

TEST_F(CalculatorTest, AnEmptiedFieldStaysGivenWithValueZero)
{
    type(form->Text1, "5");
    ASSERT_EQ(form->Loan, 50000);
    QTest::keyClick(form->Text1, Qt::Key_Backspace);
    EXPECT_EQ(form->Text1->text(), "");
    EXPECT_EQ(form->LoanSet, True);
    EXPECT_EQ(form->FilledCount, 1);
    EXPECT_EQ(form->Loan, 0);
}

TEST_F(CalculatorTest, TypedTextsBecomeMembersByTheirFieldsConversions)
{
    type(form->Text1, "$1000");
    EXPECT_EQ(form->Loan, 0); // the dollar sign stops the number
    EXPECT_EQ(form->LoanSet, True);
    type(form->Text1, "1234.56785");
    EXPECT_EQ(form->Loan, 12345678); // tie, to even
    type(form->Text2, "7.5%");
    EXPECT_EQ(form->APR, 7.5);
    type(form->Text3, "12.5");
    EXPECT_EQ(form->Months, 12);
    type(form->Text3, "13.5");
    EXPECT_EQ(form->Months, 14);
    EXPECT_EQ(form->FilledCount, 3);
    // The payment field was shut when the months became the third given term.
    EXPECT_FALSE(form->Text4->isEnabled());
    EXPECT_TRUE(testing_support::takeReports().empty());
}

TEST_F(CalculatorTest, ANumberBeyondItsMembersRangeIsReportedAndNotGiven)
{
    paste(form->Text1, "1e15");
    auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    EXPECT_EQ(form->LoanSet, False);
    EXPECT_EQ(form->FilledCount, 0);

    paste(form->Text3, "3000000000");
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    EXPECT_EQ(form->MonthsSet, False);
    EXPECT_EQ(form->FilledCount, 0);

    // A given field that is typed past the range keeps its last value.
    type(form->Text3, "214748364");
    ASSERT_EQ(form->Months, 214748364);
    QTest::keyClick(form->Text3, Qt::Key_8);
    EXPECT_EQ(testing_support::takeReports().size(), 1u);
    EXPECT_EQ(form->Months, 214748364);
    EXPECT_EQ(form->FilledCount, 1);
}

TEST_F(CalculatorTest, ResetAfterAComputationRestoresTheStart)
{
    EXPECT_EQ(solve("100000", "7", "", "665.30"), "360");
    reset();
    expectStartTexts(*form);
    compute();
    expectStartTexts(*form);
}

TEST_F(CalculatorTest, ExitEndsTheProgramAtOnce)
{
    EXPECT_EXIT(QTest::mouseClick(form->Command3, Qt::LeftButton), ::testing::ExitedWithCode(0),
                "");
}

} // namespace
