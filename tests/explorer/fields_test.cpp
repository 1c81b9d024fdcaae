// The 4:3 lock and the six coordinate fields, typed with simulated keys:
// the worked cases of both, the rewrite on leaving a field, the selection on
// entering one, and a failing extent.
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <vector>

#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

std::unique_ptr<explorer::Form1> makeFields(bool lock)
{
    auto form = makeExplorer(40, 30);
    if (!lock)
        form->RatioCheck->trigger();
    return form;
}

// Sets the view and shows it in the fields with the lock off, so the fields
// show exactly these bounds; then the lock is put as asked.
std::unique_ptr<explorer::Form1> makeView(double xMin, double xMax, double yMin, double yMax,
                                          bool lock)
{
    auto form = makeFields(false);
    setView(*form, xMin, xMax, yMin, yMax);
    form->FieldsStale = explorer::True;
    form->UpdateXY();
    form->KeepRatio = lock ? explorer::True : explorer::False;
    form->RatioCheck->setChecked(lock);
    return form;
}

TEST(RatioLock, OffAndOnAgainKeepsTheStartView)
{
    auto form = makeFields(true);
    const QStringList fields = fieldTexts(*form);
    form->RatioCheck->trigger();
    EXPECT_EQ(form->KeepRatio, explorer::False);
    EXPECT_FALSE(form->RatioCheck->Checked());
    form->RatioCheck->trigger();
    EXPECT_EQ(form->KeepRatio, explorer::True);
    EXPECT_TRUE(form->RatioCheck->Checked());
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), fields);
    EXPECT_EQ(form->FieldsStale, explorer::False);
}

TEST(RatioLock, TurningOffLeavesBoundsFieldsAndStaleFlag)
{
    auto form = makeFields(true);
    setView(*form, 0, 10, 0, 3); // not shown yet
    form->FieldsStale = explorer::True;
    form->RatioCheck->trigger();
    EXPECT_EQ((Bounds{0, 10, 0, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), QStringList({"-4", " 4", "-3", " 3", " 8", " 6"}));
    EXPECT_EQ(form->FieldsStale, explorer::True);
}

struct LockCase {
    const char* name;
    Bounds before, after;
    QStringList fields;
};

class TurningTheLockOn : public ::testing::TestWithParam<LockCase> {};

TEST_P(TurningTheLockOn, WidensTheNarrowSideAboutBothCentres)
{
    const LockCase& c = GetParam();
    auto form = makeView(c.before.xMin, c.before.xMax, c.before.yMin, c.before.yMax, false);
    form->RatioCheck->trigger();
    EXPECT_TRUE(form->RatioCheck->Checked());
    EXPECT_EQ(c.after, bounds(*form));
    EXPECT_EQ(fieldTexts(*form), c.fields);
    EXPECT_EQ(form->FieldsStale, explorer::False);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TurningTheLockOn,
    ::testing::Values(
        LockCase{"ten_by_three",
                 {0, 10, 0, 3},
                 {0, 10, -2.25, 5.25},
                 {" 0", " 10", "-2.25", " 5.25", " 10", " 7.5"}},
        LockCase{"two_by_three", {0, 2, 0, 3}, {-1, 3, 0, 3}, {"-1", " 3", " 0", " 3", " 4", " 3"}},
        LockCase{"point", {1, 1, 2, 2}, {1, 1, 2, 2}, {" 1", " 1", " 2", " 2", " 0", " 0"}},
        LockCase{"zero_height",
                 {0, 4, 1, 1},
                 {0, 4, -0.5, 2.5},
                 {" 0", " 4", "-0.5", " 2.5", " 4", " 3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Fields, TypingTheLeftEdgeWithTheLockFollowsWithTheHeight)
{
    auto form = makeFields(true);
    typeInto(form->Text1, "2");
    EXPECT_EQ((Bounds{2, 4, -0.75, 0.75}), bounds(*form));
    EXPECT_EQ(form->FieldsStale, explorer::True);
    EXPECT_EQ(form->Text3->Text(), "-3") << "the other fields wait for the focus to leave";

    focusOut(form->Text1);
    EXPECT_EQ(fieldTexts(*form), QStringList({" 2", " 4", "-0.75", " 0.75", " 2", " 1.5"}));
    EXPECT_EQ(form->FieldsStale, explorer::False);
}

TEST(Fields, EveryKeystrokeSetsTheBound)
{
    auto form = makeFields(true);
    std::vector<Bounds> seen;
    QObject::connect(form->Text1, &tk::TextBox::Change, [&] { seen.push_back(bounds(*form)); });
    typeInto(form->Text1, "-2.5");
    // Each step keeps the height at three quarters of the width about y = 0.
    const std::vector<Bounds> expected{
        {0, 4, -1.5, 1.5}, {-2, 4, -2.25, 2.25}, {-2, 4, -2.25, 2.25}, {-2.5, 4, -2.4375, 2.4375}};
    EXPECT_EQ(seen, expected);
}

TEST(Fields, WidthKeepsTheCentreAndTheLockFollows)
{
    auto form = makeView(-2, 4, 1, 2, true);
    typeInto(form->Text5, "8");
    EXPECT_EQ((Bounds{-3, 5, -1.5, 4.5}), bounds(*form));
    EXPECT_EQ(form->MidPoint, 1.5) << "AdjustY leaves its centre behind";
}

TEST(Fields, ZeroHeightCollapsesTheViewToItsCentre)
{
    auto locked = makeView(-2, 4, 1, 2, true);
    typeInto(locked->Text6, "0");
    EXPECT_EQ((Bounds{1, 1, 1.5, 1.5}), bounds(*locked));

    auto free = makeView(-2, 4, 1, 2, false);
    typeInto(free->Text6, "0");
    EXPECT_EQ((Bounds{-2, 4, 1.5, 1.5}), bounds(*free));
}

TEST(Fields, NegativeWidthAndClearedTextAreTakenAsTheyAre)
{
    auto form = makeFields(false);
    typeInto(form->Text5, "-2");
    EXPECT_EQ((Bounds{1, -1, -3, 3}), bounds(*form));

    focusIn(form->Text1);
    QTest::keyClick(form->Text1, Qt::Key_Delete);
    EXPECT_EQ(form->Text1->Text(), "");
    EXPECT_EQ(form->XMin, 0);
}

TEST(Fields, LeavingAfterTypingRewritesAllSixInTheNumberFormat)
{
    auto form = makeFields(false);
    typeInto(form->Text2, "2.50");
    EXPECT_EQ((Bounds{-4, 2.5, -3, 3}), bounds(*form));
    focusOut(form->Text2);
    EXPECT_EQ(fieldTexts(*form), QStringList({"-4", " 2.5", "-3", " 3", " 6.5", " 6"}));
}

// A rewritten field shows the start of its number, not the tail that a
// narrow box would scroll to.
TEST(Fields, RewrittenFieldsShowTheStartOfLongNumbers)
{
    auto form = makeFields(true);
    typeInto(form->Text1, "-0.811045943304008");
    focusOut(form->Text1);
    const QStringList texts = fieldTexts(*form);
    EXPECT_EQ(texts[0], "-0.811045943304008");
    EXPECT_EQ(texts[2], "-1.804142228739"); // 4.811045943304008 * 0.75 / 2
    for (tk::TextBox* box :
         {form->Text1, form->Text2, form->Text3, form->Text4, form->Text5, form->Text6})
        EXPECT_EQ(box->cursorPosition(), 0) << box->Text().toStdString();
}

TEST(Fields, LeavingWithoutTypingRewritesNothing)
{
    auto form = makeFields(false);
    form->XMin = -1; // not shown, and FieldsStale stays clear
    focusIn(form->Text1);
    focusOut(form->Text1);
    EXPECT_EQ(form->Text1->Text(), "-4");
    EXPECT_EQ(form->XMin, -1);
}

TEST(Fields, EnteringSelectsTheWholeTextAndChangesNothing)
{
    auto form = makeFields(true);
    QSignalSpy changes(form->Text3, &tk::TextBox::Change);
    for (Qt::FocusReason reason : {Qt::MouseFocusReason, Qt::TabFocusReason}) {
        form->Text3->deselect();
        focusIn(form->Text3, reason);
        EXPECT_EQ(form->Text3->selectedText(), "-3");
    }
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
    EXPECT_EQ(form->FieldsStale, explorer::False);

    QTest::keyClicks(form->Text3, "-1");
    EXPECT_EQ(form->Text3->Text(), "-1") << "typing replaces the selected text";
}

// The fields can be edited while a pass runs; the pass keeps its view.
TEST(Fields, EditingDuringAPassTakesEffectWithTheNextPass)
{
    auto form = makeFields(false);
    atNextYield(*form, [&] {
        typeInto(form->Text1, "-2");
        focusOut(form->Text1);
    });
    form->Command1->click();
    EXPECT_EQ((Bounds{-2, 4, -3, 3}), bounds(*form));
    EXPECT_TRUE(showsReference(*form, reference::render({-4, 4, -3, 3}, 40, 30)));
}

TEST(Fields, OverflowingExtentEndsTheHandlerBeforeTheFollowUp)
{
    auto form = makeFields(true);
    setView(*form, -1.5e308, 1.5e308, -1, 1); // its width overflows
    typeInto(form->Text5, "1");
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    EXPECT_EQ((Bounds{-1.5e308, 1.5e308, -1, 1}), bounds(*form));
    EXPECT_EQ(form->FieldsStale, explorer::False);
}

} // namespace
