// Zoom selection on a 33 x 25 canvas over the start-up view, so that a
// column is 0.25 wide and a row 0.25 high: corner and centre drags, the
// fields after the rewrite with and without the lock, the XOR rubber band,
// and selections against a running or paused pass.
#include <QCursor>
#include <QImage>

#include <gtest/gtest.h>

#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

constexpr int W = 33, H = 25;

std::unique_ptr<explorer::Form1> makeCanvas(bool lock)
{
    auto form = makeExplorer(W, H);
    form->KeepRatio = lock ? explorer::True : explorer::False;
    return form;
}

void expectFlags(const explorer::Form1& f, explorer::Flag cornerBox, explorer::Flag cornerDrag,
                 explorer::Flag centerBox, explorer::Flag centerDrag)
{
    EXPECT_EQ(f.CornerBox, cornerBox);
    EXPECT_EQ(f.CornerDrag, cornerDrag);
    EXPECT_EQ(f.CenterBox, centerBox);
    EXPECT_EQ(f.CenterDrag, centerDrag);
}

void expectCopyPen(const explorer::Form1& f)
{
    EXPECT_EQ(f.Picture1->DrawMode(), tk::PictureBox::CopyPen);
    EXPECT_EQ(f.Picture1->DrawStyle(), tk::PictureBox::Solid);
}

TEST(Selection, CornerDragFramesTheViewWithoutTheLock)
{
    auto form = makeCanvas(false);
    drag(*form, Qt::LeftButton, {8, 4}, {{12, 6}, {30, 20}, {24, 8}});
    EXPECT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), QStringList({"-2", " 2", " 1", " 2", " 4", " 1"}));
    EXPECT_EQ(form->FieldsStale, explorer::False);
    EXPECT_EQ((Bounds{-4, 4, -3, 3}),
              (Bounds{form->SavedXMin, form->SavedXMax, form->SavedYMin, form->SavedYMax}));
    expectFlags(*form, explorer::True, explorer::False, explorer::False, explorer::False);
    EXPECT_EQ(form->EndX, 24);
    EXPECT_EQ(form->EndY, 8);
    expectCopyPen(*form);
    EXPECT_EQ(form->Picture1->cursor().shape(), Qt::CrossCursor);
}

// With the lock on, the rewrite's field handlers widen the framed 4 x 1
// view: Text1's AdjustY makes y 0 .. 3 about its centre 1.5, and Text3 to
// Text6 then keep x at -2 .. 2.
TEST(Selection, CornerDragWithTheLockIsReshapedByTheRewrite)
{
    auto form = makeCanvas(true);
    drag(*form, Qt::LeftButton, {8, 4}, {{24, 8}});
    EXPECT_EQ((Bounds{-2, 2, 0, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), QStringList({"-2", " 2", " 0", " 3", " 4", " 3"}));
}

TEST(Selection, DraggingUpAndLeftGivesTheSameView)
{
    auto form = makeCanvas(false);
    drag(*form, Qt::LeftButton, {24, 8}, {{8, 4}});
    EXPECT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
}

// The press point becomes the centre: released 4 columns left of and 2 rows
// above the centre pixel (16, 12), the view reaches 4 columns and 2 rows to
// either side of it.
TEST(Selection, CentreDragGrowsAroundThePressPoint)
{
    auto form = makeCanvas(false);
    drag(*form, Qt::RightButton, {16, 12}, {{20, 20}, {12, 10}});
    EXPECT_EQ((Bounds{-1, 1, -0.5, 0.5}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), QStringList({"-1", " 1", "-0.5", " 0.5", " 2", " 1"}));
    expectFlags(*form, explorer::False, explorer::False, explorer::True, explorer::False);

    auto locked = makeCanvas(true);
    drag(*locked, Qt::RightButton, {16, 12}, {{12, 10}});
    EXPECT_EQ((Bounds{-1, 1, -0.75, 0.75}), bounds(*locked));
    EXPECT_EQ(fieldTexts(*locked), QStringList({"-1", " 1", "-0.75", " 0.75", " 2", " 1.5"}));
}

TEST(Selection, ClickWithoutMovementGivesAPointAndOutsideDragsExtendTheView)
{
    auto form = makeCanvas(false);
    drag(*form, Qt::LeftButton, {8, 4}, {});
    EXPECT_EQ((Bounds{-2, -2, 2, 2}), bounds(*form));

    // Released beyond the bottom-right corner: four columns and rows past it.
    drag(*form, Qt::LeftButton, {16, 12}, {{36, 28}});
    EXPECT_EQ((Bounds{0, 5, -4, 0}), bounds(*form));
}

TEST(Selection, MiddleButtonPressIsIgnoredButItsReleaseEndsADrag)
{
    auto form = makeCanvas(false);
    press(*form, Qt::MiddleButton, {8, 4});
    expectFlags(*form, explorer::False, explorer::False, explorer::False, explorer::False);
    expectCopyPen(*form);

    press(*form, Qt::LeftButton, {8, 4});
    move(*form, Qt::LeftButton, {24, 8});
    release(*form, Qt::MiddleButton, {24, 8});
    EXPECT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
    expectFlags(*form, explorer::True, explorer::False, explorer::False, explorer::False);
}

// A second selection is measured against the picture on the canvas: its
// press puts the saved view back before anchoring.
TEST(Selection, SecondSelectionIsMeasuredAgainstTheCanvas)
{
    auto form = makeCanvas(false);
    drag(*form, Qt::LeftButton, {8, 4}, {{24, 8}});
    ASSERT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
    drag(*form, Qt::LeftButton, {0, 0}, {{32, 24}});
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), QStringList({"-4", " 4", "-3", " 3", " 8", " 6"}));
}

TEST(Selection, OtherButtonDuringADragStartsOverFromTheSameSavedView)
{
    auto form = makeCanvas(false);
    form->Command1->click(); // something to draw over
    const QImage canvas = form->Picture1->image().copy();

    press(*form, Qt::LeftButton, {8, 4});
    move(*form, Qt::LeftButton, {20, 10});
    ASSERT_NE(form->Picture1->image(), canvas);

    press(*form, Qt::RightButton, {16, 12});
    EXPECT_EQ(form->Picture1->image(), canvas) << "the first rectangle was not erased";
    expectFlags(*form, explorer::False, explorer::False, explorer::True, explorer::True);
    EXPECT_EQ(form->AnchorX, 16);
    EXPECT_EQ(form->AnchorY, 12);

    release(*form, Qt::LeftButton, {20, 10}); // not the drag's button
    expectFlags(*form, explorer::False, explorer::False, explorer::True, explorer::True);
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));

    move(*form, Qt::LeftButton | Qt::RightButton, {12, 10});
    release(*form, Qt::RightButton, {12, 10});
    EXPECT_EQ((Bounds{-1, 1, -0.5, 0.5}), bounds(*form));
}

// Every pixel the band changes lies on the rectangle's outline and is the
// inverse of what was there.
void expectOutlineOnly(const QImage& now, const QImage& before, QPoint a, QPoint b)
{
    const QRect box(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                    QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    int changed = 0, strays = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QRgb a = before.pixel(x, y), b = now.pixel(x, y);
            if (a == b)
                continue;
            ++changed;
            const bool onOutline = box.contains(x, y) && (x == box.left() || x == box.right() ||
                                                          y == box.top() || y == box.bottom());
            strays += !onOutline || (b & 0xffffff) != (~a & 0xffffff);
        }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(strays, 0);
}

TEST(Selection, RubberBandIsErasedPixelExactly)
{
    auto form = makeCanvas(false);
    form->Command1->click();
    const QImage canvas = form->Picture1->image().copy();

    press(*form, Qt::LeftButton, {5, 5});
    EXPECT_EQ(form->Picture1->DrawMode(), tk::PictureBox::XorPen);
    EXPECT_EQ(form->Picture1->DrawStyle(), tk::PictureBox::Dashed);
    EXPECT_EQ(form->Picture1->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(form->Picture1->image(), canvas) << "a press draws nothing";
    for (QPoint p : {QPoint(20, 3), QPoint(30, 20), QPoint(2, 22), QPoint(-6, -3)}) {
        move(*form, Qt::LeftButton, p);
        SCOPED_TRACE(testing::Message() << "corner band to " << p.x() << "," << p.y());
        expectOutlineOnly(form->Picture1->image(), canvas, QPoint(5, 5), p);
    }
    release(*form, Qt::LeftButton, {-6, -3});
    press(*form, Qt::RightButton, {16, 12});
    EXPECT_EQ(form->Picture1->image(), canvas);

    for (QPoint p : {QPoint(20, 15), QPoint(10, 20), QPoint(40, 2)}) {
        move(*form, Qt::RightButton, p);
        SCOPED_TRACE(testing::Message() << "centre band to " << p.x() << "," << p.y());
        expectOutlineOnly(form->Picture1->image(), canvas, QPoint(32 - p.x(), 24 - p.y()), p);
    }
    release(*form, Qt::RightButton, {40, 2});
    press(*form, Qt::LeftButton, {1, 1});
    EXPECT_EQ(form->Picture1->image(), canvas);
}

TEST(Selection, PressAndReleaseAreIgnoredWhileAPassRuns)
{
    auto form = makeCanvas(false);
    bool checked = false;
    atNextYield(*form, [&] {
        const QImage canvas = form->Picture1->image().copy();
        drag(*form, Qt::LeftButton, {8, 4}, {{24, 8}});
        drag(*form, Qt::RightButton, {16, 12}, {{12, 10}});
        expectFlags(*form, explorer::False, explorer::False, explorer::False, explorer::False);
        EXPECT_EQ(form->Picture1->DrawMode(), tk::PictureBox::CopyPen);
        EXPECT_EQ(form->Picture1->DrawStyle(), tk::PictureBox::Solid);
        EXPECT_EQ(form->Picture1->cursor().shape(), Qt::ForbiddenCursor);
        EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
        EXPECT_EQ(form->Picture1->image(), canvas);
        checked = true;
    });
    form->Command1->click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(showsReference(*form, reference::render({-4, 4, -3, 3}, W, H)));
}

// Paused after the first row: a selection is made, then "&Resume" drops it
// and the pass completes the view it was drawing.
TEST(Selection, ResumeCancelsASelectionMadeWhilePaused)
{
    auto form = makeCanvas(false);
    bool checked = false;
    atNextYield(*form, [&] {
        atNextYield(*form, [&] {
            const QImage canvas = form->Picture1->image().copy();
            drag(*form, Qt::LeftButton, {8, 4}, {{30, 3}, {24, 8}});
            EXPECT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
            EXPECT_EQ(form->Text5->Text(), " 4");
            EXPECT_NE(form->Picture1->image(), canvas);

            form->Command2->click(); // "&Resume"
            EXPECT_EQ(form->Picture1->image(), canvas);
            EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
            EXPECT_EQ(fieldTexts(*form), QStringList({"-4", " 4", "-3", " 3", " 8", " 6"}));
            expectFlags(*form, explorer::False, explorer::False, explorer::False, explorer::False);
            expectCopyPen(*form);
            EXPECT_EQ(form->Picture1->cursor().shape(), Qt::ForbiddenCursor);
            checked = true;
        });
        form->Command2->click(); // "&Pause"
    });
    form->Command1->click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(showsReference(*form, reference::render({-4, 4, -3, 3}, W, H)));
}

// A resume from the keyboard in the middle of a drag ends the drag: the
// band is erased and later movements draw nothing.
TEST(Selection, ResumeDuringADragEndsIt)
{
    auto form = makeCanvas(false);
    bool checked = false;
    atNextYield(*form, [&] {
        atNextYield(*form, [&] {
            const QImage canvas = form->Picture1->image().copy();
            press(*form, Qt::RightButton, {16, 12});
            move(*form, Qt::RightButton, {24, 20});
            form->Command2->click();
            EXPECT_EQ(form->Picture1->image(), canvas);
            expectFlags(*form, explorer::False, explorer::False, explorer::False, explorer::False);
            move(*form, Qt::RightButton, {10, 5});
            EXPECT_EQ(form->Picture1->image(), canvas);
            release(*form, Qt::RightButton, {10, 5});
            EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
            checked = true;
        });
        form->Command2->click();
    });
    form->Command1->click();
    EXPECT_TRUE(checked);
}

// A selection made while paused and then "Re&start": the new pass draws the
// selected view, and the suspended pass only re-plots it.
TEST(Selection, RestartAfterASelectionWhilePausedRendersTheSelection)
{
    auto form = makeCanvas(false);
    atNextYield(*form, [&] {
        atNextYield(*form, [&] {
            drag(*form, Qt::LeftButton, {8, 4}, {{24, 8}});
            form->Command1->click();
        });
        form->Command2->click();
    });
    form->Command1->click();
    EXPECT_EQ((Bounds{-2, 2, 1, 2}), bounds(*form));
    expectFlags(*form, explorer::False, explorer::False, explorer::False, explorer::False);
    EXPECT_TRUE(showsReference(*form, reference::render({-2, 2, 1, 2}, W, H)));
}

} // namespace
