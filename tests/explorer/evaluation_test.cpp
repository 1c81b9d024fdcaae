// Escape levels of single points and the grid readers at the canvas edge.
#include <gtest/gtest.h>

#include "explorer_fixture.h"
#include "reference_render.h"
#include "toolkit/runtime_error.h"

using testing_support::makeExplorer;

namespace {

// Level of c through the window's own evaluation, on a 2 x 2 canvas whose
// first column and row carry c.
int windowLevel(explorer::Form1& form, double cx, double cy)
{
    form.XValues.assign(2, cx);
    form.YValues.assign(2, cy);
    form.LevelGrid.recreate(2, 2);
    form.DoneGrid.recreate(2, 2);
    return form.ZelmarPoint(0, 0);
}

TEST(Evaluation, LevelsOfKnownPoints)
{
    auto form = makeExplorer(2, 2);
    struct Case {
        double cx, cy;
        int level;
    } cases[] = {
        {0, 0, 0},     {0.25, 0, 0},    {0, 1, 0},      {1, 0, 4}, {0.5, 0, 7},
        {0.26, 0, 32}, {-2, 0, 3},      {-4, -3, 3},    {2, 0, 3}, {0, 2, 3},
        {-1, 0, 0},    {1e10, 1e10, 3}, {-1.5, 1.5, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windowLevel(*form, c.cx, c.cy), c.level) << c.cx << " + " << c.cy << "i";
        EXPECT_EQ(form->LevelGrid(0, 0), c.level);
        EXPECT_EQ(form->DoneGrid(0, 0), 1);
        EXPECT_EQ(reference::level(c.cx, c.cy), c.level);
    }
}

// Just right of 1/4 on the real axis the escape count falls steadily as c
// grows. Bisect for the last point in the set: its neighbour that escapes
// does so with count 255 (level 1), and the point itself first reaches the
// radius at index 255 or later, which the limit test, coming first, turns
// into the set.
TEST(Evaluation, IterationLimitComesBeforeEscapeTest)
{
    auto form = makeExplorer(2, 2);
    double escapes = 0.26, stays = 0.25;
    while (true) {
        const double mid = stays + (escapes - stays) / 2;
        if (mid == escapes || mid == stays)
            break;
        (windowLevel(*form, mid, 0) == 0 ? stays : escapes) = mid;
    }
    EXPECT_EQ(windowLevel(*form, escapes, 0), 1);
    EXPECT_EQ(windowLevel(*form, stays, 0), 0);
    EXPECT_EQ(reference::level(escapes, 0), 1);
}

TEST(Evaluation, HugeCoordinatesRaiseOverflowAndStoreNothing)
{
    auto form = makeExplorer(2, 2);
    form->XValues.assign(2, 1e200);
    form->YValues.assign(2, 0.0);
    form->LevelGrid.recreate(2, 2);
    form->DoneGrid.recreate(2, 2);
    try {
        form->ZelmarPoint(0, 0);
        FAIL() << "no error raised";
    } catch (const tk::RuntimeError& e) {
        EXPECT_EQ(e.number(), tk::ErrOverflow);
    }
    EXPECT_EQ(form->DoneGrid(0, 0), 0);
    // 1e150 squares to 1e300: still finite, so it simply escapes.
    EXPECT_EQ(windowLevel(*form, 1e150, 0), 3);
}

TEST(Evaluation, GridReadersAnswerOneOutsideTheCanvas)
{
    auto form = makeExplorer(5, 4);
    form->LevelGrid.recreate(5, 4);
    form->DoneGrid.recreate(5, 4);
    const int outside[][2] = {{-1, 0}, {0, -1}, {5, 0}, {0, 4}, {-1, -1}, {5, 4}, {INT32_MIN, 2}};
    for (const auto& p : outside) {
        EXPECT_EQ(form->GetFlag(p[0], p[1]), 1);
        EXPECT_EQ(form->GetPixel(p[0], p[1]), 1);
    }
    for (int c = 0; c < 5; ++c)
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(form->GetFlag(c, r), 0);
            EXPECT_EQ(form->GetPixel(c, r), 0);
        }
    form->LevelGrid(4, 3) = 200;
    form->DoneGrid(4, 3) = 1;
    EXPECT_EQ(form->GetPixel(4, 3), 200);
    EXPECT_EQ(form->GetFlag(4, 3), 1);
}

} // namespace
