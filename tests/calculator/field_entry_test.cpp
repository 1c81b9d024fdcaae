// The four fields as a user meets them: a click into a field selects its
// text so that typing replaces it (the start texts "$0.00", "0.00", "0" are
// never typed after), a click inside the field that has the focus places
// the caret, and a computed result is shown from its start.
#include <QTest>

#include "calculator_fixture.h"

namespace {

void click(QWidget* w, QPoint at)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
}

TEST_F(CalculatorTest, ClickIntoEachFieldSelectsItAndTypingReplacesIt)
{
    const struct {
        tk::TextBox* calculator::Form1::*box;
        const char* startText;
        const char* typed;
    } cases[] = {
        {&calculator::Form1::Text1, "$0.00", "100000"},
        {&calculator::Form1::Text2, "0.00", "6.5"},
        {&calculator::Form1::Text3, "0", "360"},
        {&calculator::Form1::Text4, "$0.00", "1580.17"},
    };
    for (const auto& c : cases) {
        reset(); // the focus is on "Reset" now
        tk::TextBox* box = form.get()->*c.box;
        ASSERT_EQ(box->Text(), c.startText);
        click(box, box->rect().center());
        ASSERT_TRUE(box->hasFocus());
        EXPECT_EQ(box->selectedText(), c.startText);
        QTest::keyClicks(box, c.typed);
        EXPECT_EQ(box->Text(), c.typed);
    }
    EXPECT_EQ(form->Payment, 1580.17);
}

// Three fields entered by clicks and typed over give the computed payment.
// The loan field, which has the focus at start-up, is entered after the
// others.
TEST_F(CalculatorTest, ClickingAndTypingThreeFieldsComputesTheFourth)
{
    for (const auto& [box, text] :
         {std::pair{form->Text2, "7"}, {form->Text3, "360"}, {form->Text1, "100000"}}) {
        click(box, box->rect().center());
        QTest::keyClicks(box, text);
    }
    EXPECT_EQ(form->Loan, 100000 * 10000);
    EXPECT_EQ(form->APR, 7);
    EXPECT_EQ(form->Months, 360);
    compute();
    EXPECT_EQ(form->Text4->Text(), "665.302495179187");
}

// The start-up focus is in the loan field with its text selected; a click
// there (it has the focus already) places the caret, as does a second click
// into any field that was entered by a click.
TEST_F(CalculatorTest, ClickInsideTheFocusedFieldPlacesTheCaret)
{
    tk::TextBox* rate = form->Text2;
    click(rate, rate->rect().center());
    ASSERT_EQ(rate->selectedText(), "0.00");
    click(rate, QPoint(rate->width() - 4, rate->height() / 2));
    EXPECT_FALSE(rate->hasSelectedText());
    EXPECT_EQ(rate->cursorPosition(), 4);
    QTest::keyClicks(rate, "5");
    EXPECT_EQ(rate->Text(), "0.005");
    EXPECT_EQ(form->APR, 0.005);

    click(rate, QPoint(rate->contentsRect().left() + 1, rate->height() / 2));
    EXPECT_EQ(rate->cursorPosition(), 0);
    QTest::keyClicks(rate, "1");
    EXPECT_EQ(rate->Text(), "10.005");
}

// A computed result that is longer than its field is shown from its start.
TEST_F(CalculatorTest, ALongResultIsShownFromItsStart)
{
    type(form->Text1, "123456789012");
    type(form->Text2, "0.001");
    type(form->Text3, "1");
    compute();
    tk::TextBox* payment = form->Text4;
    ASSERT_FALSE(payment->textFits()) << payment->Text().toStdString();
    EXPECT_EQ(payment->cursorPosition(), 0);
    payment->repaint(); // the box settles its scrolling when it paints
    EXPECT_EQ(payment->cursorPositionAt(QPoint(payment->contentsRect().left() + 4, 4)), 0);
}

} // namespace
