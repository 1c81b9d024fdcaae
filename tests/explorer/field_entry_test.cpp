// The six coordinate fields as a user meets them on the shown window: a
// click into a field selects it for typing over, a click inside the field
// that has the focus places the caret, and a field shows the start of a
// number too long for it, with the whole number in its tooltip.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

#include "explorer_fixture.h"
#include "interaction.h"

using namespace testing_support;

namespace {

// A shown, active explorer with the lock as asked, so that simulated mouse
// clicks go through the platform's focus handling as a user's do.
std::unique_ptr<explorer::Form1> shownExplorer(bool lock)
{
    auto form = makeExplorer(40, 30);
    if (!lock)
        form->RatioCheck->trigger();
    form->show();
    QApplication::setActiveWindow(form.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

std::vector<tk::TextBox*> fieldsOf(const explorer::Form1& form)
{
    return {form.Text1, form.Text2, form.Text3, form.Text4, form.Text5, form.Text6};
}

void click(tk::TextBox* box, QPoint at)
{
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, at);
}

// The index of the character at the left edge of the box's text area, as a
// screen reader finds it. The box settles its scrolling when it paints.
int firstVisibleCharacter(tk::TextBox* box)
{
    box->repaint();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    if (!accessible || !accessible->textInterface())
        return -2;
    const QPoint leftEdge(box->contentsRect().left() + box->textMargins().left() + 4,
                          box->height() / 2);
    return accessible->textInterface()->offsetAtPoint(box->mapToGlobal(leftEdge));
}

// A click into each kind of field (bound and extent) selects its whole text,
// so that typing replaces the number instead of running into it.
TEST(FieldEntry, ClickIntoEachFieldSelectsItAndTypingReplacesIt)
{
    auto form = shownExplorer(false);
    // Numbers longer than the fields, so that entering one could scroll.
    setView(*form, -0.0133333333333333, 0.0277777777777778, -0.0123456789012346,
            0.0185185185185185);
    form->FieldsStale = explorer::True;
    form->UpdateXY();
    for (tk::TextBox* box : fieldsOf(*form))
        ASSERT_FALSE(box->textFits()) << box->Text().toStdString();
    form->Picture1->setFocus();
    // Typing into one field and leaving it rewrites the others; each is
    // entered with what that left in it.
    for (tk::TextBox* box : fieldsOf(*form)) {
        const QString before = box->Text();
        click(box, box->rect().center());
        ASSERT_TRUE(box->hasFocus()) << before.toStdString();
        EXPECT_EQ(box->selectedText(), before) << "whole text selected on entering";
        EXPECT_EQ(firstVisibleCharacter(box), 0) << "the start of the selected text in view";
        QTest::keyClicks(box, "-2");
        EXPECT_EQ(box->Text(), "-2") << "typed over " << before.toStdString();
    }
    // Each typed text was taken in: the last two made both extents -2.
    EXPECT_EQ(form->XMax - form->XMin, -2);
    EXPECT_EQ(form->YMax - form->YMin, -2);
}

// Dragging as the field is entered does not undo the selection either.
TEST(FieldEntry, DragOnEnteringKeepsTheWholeTextSelected)
{
    auto form = shownExplorer(true);
    form->Picture1->setFocus();
    tk::TextBox* box = form->Text2;
    const QPoint from = box->rect().center();
    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent drag(QEvent::MouseMove, QPointF(from + QPoint(30, 0)),
                     box->mapToGlobal(QPointF(from + QPoint(30, 0))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(box, &drag);
    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 0));
    EXPECT_EQ(box->selectedText(), " 4");
}

// Inside a field that has the focus, a click places the caret where it
// lands, so a number can be edited in place.
TEST(FieldEntry, SecondClickPlacesTheCaretWhereClicked)
{
    auto form = shownExplorer(false);
    tk::TextBox* box = form->Text1;
    form->Picture1->setFocus();
    click(box, box->rect().center());
    ASSERT_EQ(box->selectedText(), "-4");
    QTest::keyClicks(box, "-2.125");

    const QPoint end(box->width() - 4, box->height() / 2);
    click(box, end);
    EXPECT_FALSE(box->hasSelectedText());
    EXPECT_EQ(box->cursorPosition(), 6) << "past the last character";

    const QPoint middle(box->contentsRect().left() + box->fontMetrics().horizontalAdvance("-2.1"),
                        box->height() / 2);
    const int expected = box->cursorPositionAt(middle);
    ASSERT_GT(expected, 0);
    ASSERT_LT(expected, 6);
    click(box, middle);
    EXPECT_FALSE(box->hasSelectedText());
    EXPECT_EQ(box->cursorPosition(), expected);
    QTest::keyClicks(box, "7");
    EXPECT_EQ(box->Text(), QString("-2.125").insert(expected, '7'));
}

// Numbers longer than the fields: after UpdateXY every field shows its
// first character (the sign or the blank, then the leading digits).
TEST(FieldDisplay, UpdateXYShowsTheStartOfEveryField)
{
    auto form = shownExplorer(false);
    setView(*form, -1.23456789012345e-13, 0.0133333333333333, -0.666666666666667,
            1.0391687510493e-13);
    // Put the caret at the end of every field first, as typing leaves it.
    for (tk::TextBox* box : fieldsOf(*form))
        box->setCursorPosition(int(box->Text().size()));
    form->FieldsStale = explorer::True;
    form->UpdateXY();
    for (tk::TextBox* box : fieldsOf(*form)) {
        ASSERT_FALSE(box->textFits()) << box->Text().toStdString() << " fits: not a long text";
        EXPECT_EQ(firstVisibleCharacter(box), 0) << box->Text().toStdString();
    }
}

// A field whose caret was moved to the end of a long number shows its start
// again once the focus leaves, also when nothing was typed (no rewrite).
TEST(FieldDisplay, LeavingAFieldShowsTheStartOfItsText)
{
    auto form = shownExplorer(false);
    setView(*form, -0.0133333333333333, 4, -3, 3);
    form->FieldsStale = explorer::True;
    form->UpdateXY();
    tk::TextBox* box = form->Text1;
    // The fields take the room beside them and show whole numbers where
    // there is room: this one is made as narrow as on a crowded screen.
    box->resize(box->fontMetrics().horizontalAdvance(box->Text()) / 2, box->height());
    ASSERT_FALSE(box->textFits());
    click(box, box->rect().center());
    QTest::keyClick(box, Qt::Key_End);
    ASSERT_GT(firstVisibleCharacter(box), 0) << "the end of the number is in view";
    ASSERT_EQ(form->FieldsStale, explorer::False);
    QTest::mouseClick(form->Command2, Qt::LeftButton); // somewhere else: "&Pause"
    ASSERT_FALSE(box->hasFocus());
    EXPECT_EQ(firstVisibleCharacter(box), 0);
}

QString tooltipShownFor(tk::TextBox* box)
{
    QToolTip::hideText();
    const QPoint at = box->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, box->mapToGlobal(at));
    QApplication::sendEvent(box, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The tooltip names the field, and adds the whole number when the field
// cannot show all of it.
TEST(FieldDisplay, TooltipCarriesTheWholeTextWhenItDoesNotFit)
{
    auto form = shownExplorer(false);
    EXPECT_EQ(form->Text1->accessibleName(), "Left edge");
    EXPECT_EQ(tooltipShownFor(form->Text1), form->Text1->toolTip());

    setView(*form, -0.0133333333333333, 4, -3, 3);
    form->FieldsStale = explorer::True;
    form->UpdateXY();
    ASSERT_FALSE(form->Text1->textFits());
    EXPECT_EQ(tooltipShownFor(form->Text1), form->Text1->toolTip() + "\n" + form->Text1->Text());
    EXPECT_EQ(form->Text1->accessibleName(), "Left edge") << "names stay as they were";
    EXPECT_TRUE(form->Text2->textFits());
    EXPECT_EQ(tooltipShownFor(form->Text2), form->Text2->toolTip());
    QToolTip::hideText();
}

} // namespace
