// The calculator window: start-up, layout, keyboard order, accessible names,
// and the rule that decides which fields count as given.
#include <QClipboard>
#include <QGuiApplication>

#include <limits>

#include "calculator/status_line.h"
#include "calculator_fixture.h"

namespace {

void expectStartTexts(const calculator::Form1& form)
{
    EXPECT_EQ(form.Text1->text(), "$0.00");
    EXPECT_EQ(form.Text2->text(), "0.00");
    EXPECT_EQ(form.Text3->text(), "0");
    EXPECT_EQ(form.Text4->text(), "$0.00");
    for (const tk::TextBox* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_TRUE(box->isEnabled()) << box->accessibleName().toStdString();
}

// No field counts as given: any two can be typed without shutting one, and
// the third given shuts exactly the one left.
void expectNothingGiven(CalculatorTest& test, calculator::Form1& form)
{
    test.typeInto(form.Text2, "7");
    test.typeInto(form.Text4, "100");
    for (const tk::TextBox* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_TRUE(box->isEnabled()) << box->accessibleName().toStdString();
    test.typeInto(form.Text3, "12");
    EXPECT_FALSE(form.Text1->isEnabled());
    EXPECT_EQ(form.Text1->text(), "Press Compute");
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
    type(form->Text3, "12");
    EXPECT_TRUE(form->Text2->isEnabled());
    EXPECT_TRUE(form->Text4->isEnabled());

    // The first key into the third field is enough.
    form->Text4->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Text4, Qt::Key_1);
    EXPECT_FALSE(form->Text2->isEnabled());
    EXPECT_EQ(form->Text2->text(), "Press Compute");
    EXPECT_TRUE(form->Text1->isEnabled());
    EXPECT_TRUE(form->Text3->isEnabled());
    EXPECT_TRUE(form->Text4->isEnabled());

    // A given field keeps updating its member in the Ready state.
    QTest::keyClicks(form->Text4, "00");
    EXPECT_EQ(form->Payment, 100.0);
    // KillOne's write did not make the rate given: Compute solves for it.
    compute();
    EXPECT_EQ(form->Text2->text(), "35.0742489229604");
}

TEST_F(CalculatorTest, SolverAndResetWritesNeverCountAsEntries)
{
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    // The solver's write did not make the payment given: an edit and a
    // second Compute solve for it again.
    type(form->Text1, "2000");
    compute();
    EXPECT_EQ(form->Text4->text(), "166.666666666667");

    reset();
    expectStartTexts(*form);
    // The members are left as they were; only the flags and texts go back.
    EXPECT_EQ(form->Loan, 20000000);

    // After Reset any three fields can be given again.
    EXPECT_EQ(solve("", "0", "12", "100"), "1200");
    reset();
    expectNothingGiven(*this, *form);
}

TEST_F(CalculatorTest, AnEmptiedFieldStaysGivenWithValueZero)
{
    type(form->Text1, "5");
    ASSERT_EQ(form->Loan, 50000);
    QTest::keyClick(form->Text1, Qt::Key_Backspace);
    EXPECT_EQ(form->Text1->text(), "");
    EXPECT_EQ(form->Loan, 0);
    // Still given: two more fields shut the fourth.
    type(form->Text2, "7");
    type(form->Text3, "12");
    EXPECT_FALSE(form->Text4->isEnabled());
}

TEST_F(CalculatorTest, TypedTextsBecomeMembersByTheirFieldsConversions)
{
    // Money as people type it is read as meant; anything else by the
    // leading number.
    const struct {
        const char* text;
        calculator::Currency loan;
    } loans[] = {
        {"$250,000", 2'500'000'000}, {"250,000.50", 2'500'005'000},
        {"$1,580.17", 15'801'700},   {"-$1,000", -10'000'000},
        {"$1000", 10'000'000},       {"$1000%", 0},
        {"250 000", 2'500'000},      {"25,00", 250'000},
        {"1,2345", 10'000},
    };
    for (const auto& c : loans) {
        type(form->Text1, QString::fromLatin1(c.text));
        EXPECT_EQ(form->Loan, c.loan) << c.text;
    }
    type(form->Text1, "1234.56785");
    EXPECT_EQ(form->Loan, 12345678); // the nearest double is below the tie
    type(form->Text2, "7.5%");
    EXPECT_EQ(form->APR, 7.5);
    type(form->Text3, "12.5");
    EXPECT_EQ(form->Months, 12);
    type(form->Text3, "13.5");
    EXPECT_EQ(form->Months, 14);
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

    paste(form->Text3, "3000000000");
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);

    // A given field that is typed past the range keeps its last value.
    type(form->Text3, "214748364");
    ASSERT_EQ(form->Months, 214748364);
    QTest::keyClick(form->Text3, Qt::Key_8);
    EXPECT_EQ(testing_support::takeReports().size(), 1u);
    EXPECT_EQ(form->Months, 214748364);
    // Neither refused text made its field given: the loan is the one left.
    type(form->Text2, "7");
    type(form->Text4, "100");
    EXPECT_FALSE(form->Text1->isEnabled());
}

TEST_F(CalculatorTest, EnterInAnyGivenFieldRunsCompute)
{
    tk::TextBox* const fields[] = {form->Text1, form->Text2, form->Text3, form->Text4};
    const char* const terms[] = {"100000", "7", "360", "665.30"};
    for (int missing = 0; missing < 4; ++missing) {
        // What the Compute button gives for these three terms.
        const char* given[] = {terms[0], terms[1], terms[2], terms[3]};
        given[missing] = "";
        const QString answer = solve(given[0], given[1], given[2], given[3]);
        ASSERT_NE(answer, "Press Compute");
        for (int pressed = 0; pressed < 4; ++pressed) {
            if (pressed == missing)
                continue;
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                reset();
                for (int i = 0; i < 4; ++i) {
                    if (i != missing)
                        type(fields[i], QString::fromLatin1(given[i]));
                }
                ASSERT_EQ(fields[missing]->text(), "Press Compute");
                fields[pressed]->setFocus(Qt::TabFocusReason);
                QTest::keyClick(fields[pressed], key);
                EXPECT_EQ(fields[missing]->text(), answer)
                    << "Enter in " << fields[pressed]->accessibleName().toStdString();
            }
        }
        reset();
    }
    // Compute is the window's default button, and Enter on it presses it too.
    EXPECT_TRUE(form->Command2->isDefault());
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    type(form->Text1, "2400");
    form->Command2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Command2, Qt::Key_Return);
    EXPECT_EQ(form->Text4->text(), "200");
    EXPECT_TRUE(testing_support::takeReports().empty());
}

TEST_F(CalculatorTest, TypedLoanIsReadAsANumberThenRoundedToTenThousandths)
{
    // The typed text becomes the nearest double first, and that double is
    // rounded: the double nearest 0.00015 lies just below the tie.
    type(form->Text1, "0.00015");
    EXPECT_EQ(form->Loan, 1);
    type(form->Text1, "0.00025"); // just above its tie
    EXPECT_EQ(form->Loan, 3);
    type(form->Text1, "0.03125"); // an exact binary tie goes to even
    EXPECT_EQ(form->Loan, 312);
    // The largest amount that can be typed: the double nearest
    // 922337203685477.5807 is 922337203685477.625, beyond the range.
    type(form->Text1, "922337203685477.5");
    EXPECT_EQ(form->Loan, std::numeric_limits<calculator::Currency>::max() - 807);
    EXPECT_TRUE(testing_support::takeReports().empty());
    // Typed on, from "...477.58" every text is beyond the range.
    QTest::keyClicks(form->Text1, "807");
    const auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 3u);
    for (const auto& report : reports)
        EXPECT_EQ(report.number, tk::ErrOverflow);
    EXPECT_EQ(form->Loan, std::numeric_limits<calculator::Currency>::max() - 807);
}

TEST_F(CalculatorTest, ComputeRefusesAGivenFieldWhoseTextIsOutOfRange)
{
    // Typed key by key, "1" already makes the loan given; only the last key
    // overflows, and the loan's value would still be that of "1e1".
    type(form->Text1, "1e15");
    type(form->Text2, "7");
    type(form->Text3, "360");
    auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    ASSERT_FALSE(form->Text4->isEnabled());
    const double paymentBefore = form->Payment;
    compute();
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains("Loan Amount"))
        << reports[0].description.toStdString();
    EXPECT_TRUE(reports[0].description.contains("\"1e15\""))
        << reports[0].description.toStdString();
    EXPECT_EQ(form->Text4->text(), "Press Compute");
    EXPECT_EQ(form->Payment, paymentBefore);
    // Once the text converts, Compute works from it.
    type(form->Text1, "100000");
    compute();
    EXPECT_EQ(form->Text4->text(), "665.302495179187");
    EXPECT_TRUE(testing_support::takeReports().empty());

    // Months past a 32-bit count, with a result already on screen: it stays.
    type(form->Text3, "3e9");
    EXPECT_EQ(testing_support::takeReports().size(), 1u);
    compute();
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains("# of Months"))
        << reports[0].description.toStdString();
    EXPECT_EQ(form->Text4->text(), "665.302495179187");

    // Numbers beyond a double, in the rate and the payment.
    reset();
    type(form->Text1, "1000");
    type(form->Text2, "1e999");
    type(form->Text4, "1e999");
    EXPECT_EQ(testing_support::takeReports().size(), 2u);
    compute();
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains("Interest Rate"))
        << reports[0].description.toStdString();
    EXPECT_EQ(form->Text3->text(), "Press Compute");
    type(form->Text2, "12");
    compute();
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains("Monthly Payment"))
        << reports[0].description.toStdString();
    type(form->Text4, "100");
    compute();
    EXPECT_EQ(form->Text3->text(), "11");
    EXPECT_TRUE(testing_support::takeReports().empty());
}

TEST_F(CalculatorTest, ResetAfterAComputationRestoresTheStart)
{
    EXPECT_EQ(solve("100000", "7", "", "665.30"), "360");
    reset();
    expectStartTexts(*form);
    compute();
    expectStartTexts(*form);
    expectNothingGiven(*this, *form);
}

TEST_F(CalculatorTest, EnterOnAFocusedButtonPressesIt)
{
    EXPECT_EQ(solve("1000", "0", "12", ""), "83.3333333333333");
    // Tab from the months lands on Reset when the payment is shut.
    form->Text3->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Text3, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->Command1);
    QTest::keyClick(form->Command1, Qt::Key_Return);
    expectStartTexts(*form);
    // The keypad's Enter as well, on Compute.
    type(form->Text1, "1000");
    type(form->Text2, "0");
    type(form->Text3, "12");
    form->Command2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Command2, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form->Text4->text(), "83.3333333333333");
}

TEST_F(CalculatorTest, AClickOnTheShutFieldSaysHowToChooseAnotherTerm)
{
    type(form->Text1, "1000");
    type(form->Text2, "7");
    type(form->Text3, "12");
    ASSERT_TRUE(form->Text3->hasFocus());
    QTest::mouseClick(form->Text4, Qt::LeftButton);
    // The keys no longer go to the months.
    QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), "999");
    EXPECT_EQ(form->Text3->text(), "12");
    EXPECT_EQ(form->Months, 12);
    const auto* tools = form->findChild<calculator::StatusLine*>();
    ASSERT_NE(tools, nullptr);
    EXPECT_TRUE(tools->message().contains("Reset")) << tools->message().toStdString();
}

TEST_F(CalculatorTest, ExitEndsTheProgramAtOnce)
{
    EXPECT_EXIT(QTest::mouseClick(form->Command3, Qt::LeftButton), ::testing::ExitedWithCode(0),
                "");
}

} // namespace
