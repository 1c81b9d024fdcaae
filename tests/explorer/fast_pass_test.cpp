// The window's render pass, which takes its levels from a cache worked out
// ahead in vector lanes, against the plain reference on hundreds of random
// views and canvases; the vector kernels against the scalar iteration on
// hard points; and errors in the middle of a pass, which must leave exactly
// what the one-pixel-at-a-time pass leaves.
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "explorer_fixture.h"
#include "reference_render.h"
#include "support/test_support.h"
#include "toolkit/runtime_error.h"

using explorer::Form1;
using testing_support::makeExplorer;
using testing_support::setView;

using reference::boundaryPoint;

namespace {

struct Case {
    reference::View view;
    int width, height;
};

std::string describe(const Case& c)
{
    char text[200];
    std::snprintf(text, sizeof text, "view %.17g %.17g %.17g %.17g on %dx%d", c.view.xMin,
                  c.view.xMax, c.view.yMin, c.view.yMax, c.width, c.height);
    return text;
}

// Differences between the window's grids (and canvas, when plotted, else the
// palette colours of its levels) and the reference picture.
struct Diffs {
    int levels = 0, done = 0, pixels = 0;
    bool none() const { return levels == 0 && done == 0 && pixels == 0; }
};

Diffs compare(const Form1& form, const reference::Picture& ref, bool plotted)
{
    Diffs d;
    for (int c = 0; c < ref.width; ++c)
        for (int r = 0; r < ref.height; ++r) {
            d.levels += form.LevelGrid(c, r) != ref.level[c][r];
            d.done += form.DoneGrid(c, r) != ref.done[c][r];
            const std::int32_t colour =
                plotted ? form.Picture1->Point(c, r) : form.Palette[form.LevelGrid(c, r)];
            d.pixels += colour != ref.colour[std::size_t(r) * ref.width + c];
        }
    return d;
}

std::vector<Case> randomCases(int count)
{
    std::mt19937_64 rng(20240517);
    std::uniform_real_distribution<double> unit(0, 1);
    const int fixedSizes[][2] = {{2, 2}, {3, 7}, {17, 13}, {64, 48}, {7, 3}, {5, 5}, {40, 30}};
    std::vector<Case> cases;
    for (int i = 0; i < count; ++i) {
        Case c{};
        if (i % 3 == 0) {
            c.width = fixedSizes[(i / 3) % 7][0];
            c.height = fixedSizes[(i / 3) % 7][1];
        } else {
            c.width = 2 + int(unit(rng) * 47);
            c.height = 2 + int(unit(rng) * 35);
        }
        double cx, cy, w;
        switch (i % 5) {
        case 0: // a deep zoom at the boundary
        case 1: {
            std::tie(cx, cy) = boundaryPoint(unit(rng) * 2 * M_PI);
            w = std::pow(10.0, -0.5 - unit(rng) * 11.5);
            break;
        }
        case 2: // anywhere around the set, any scale
            cx = -2.5 + unit(rng) * 3.5;
            cy = -1.5 + unit(rng) * 3;
            w = std::pow(10.0, -3 + unit(rng) * 4);
            break;
        case 3: // inside the main region, where most pixels are filled
            cx = -0.3 + unit(rng) * 0.5;
            cy = -0.3 + unit(rng) * 0.6;
            w = std::pow(10.0, -2 + unit(rng) * 1.5);
            break;
        default: // far from the set, or a zero-width or zero-height view
            cx = unit(rng) < 0.5 ? 5 + unit(rng) * 10 : -0.75;
            cy = unit(rng) * 2 - 1;
            w = unit(rng) < 0.5 ? 0.0 : 1.5;
            break;
        }
        c.view = {cx - w / 2, cx + w / 2, cy - w * 3 / 8, cy + w * 3 / 8};
        if (i % 5 == 4 && w == 0.0 && unit(rng) < 0.5)
            c.view = {cx - 1, cx + 1, cy, cy}; // zero height instead
        // Mirrored views draw the same picture flipped.
        if (unit(rng) < 0.25)
            std::swap(c.view.xMin, c.view.xMax);
        if (unit(rng) < 0.25)
            std::swap(c.view.yMin, c.view.yMax);
        cases.push_back(c);
    }
    return cases;
}

TEST(FastPass, MatchesTheReferenceOnRandomViews)
{
    const std::vector<Case> cases = randomCases(400);
    int checked = 0, plotted = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        auto form = makeExplorer(c.width, c.height);
        setView(*form, c.view.xMin, c.view.xMax, c.view.yMin, c.view.yMax);
        // Every fourth case goes through "&Go" with its plotting and yields.
        const bool go = i % 4 == 0;
        tk::guarded([&] { go ? form->Command1_Click() : form->EvaluatePass(); });
        ASSERT_TRUE(testing_support::takeReports().empty()) << describe(c);
        const Diffs d = compare(*form, reference::render(c.view, c.width, c.height), go);
        ASSERT_TRUE(d.none()) << describe(c) << ": " << d.levels << " levels, " << d.done
                              << " done flags, " << d.pixels << " pixels differ";
        // Every level the pass asked for, the engine had worked out: a flood
        // that misses pixels would only cost speed, not exactness.
        ASSERT_EQ(form->Engine.stats().misses, 0) << describe(c);
        ++checked;
        plotted += go;
    }
    EXPECT_EQ(checked, 400);
    EXPECT_EQ(plotted, 100);
}

// The benchmark's views, on a canvas large enough for the cache to do most
// of the work: both the bare pass and the whole "&Go". On these views the
// flood, with its catch-up across the borders of its bands, has worked out
// every level the pass asks for.
TEST(FastPass, MatchesTheReferenceOnTheBenchmarkViews)
{
    for (const reference::NamedView& named : reference::BenchmarkViews) {
        const reference::View& v = named.view;
        const Case c{v, 192, 144};
        const reference::Picture ref = reference::render(v, c.width, c.height);
        auto form = makeExplorer(c.width, c.height);
        setView(*form, v.xMin, v.xMax, v.yMin, v.yMax);
        form->EvaluatePass();
        EXPECT_GT(form->Engine.stats().borderPixels + form->Engine.stats().blockPixels, 0)
            << describe(c);
        EXPECT_EQ(form->Engine.stats().misses, 0) << describe(c);
        EXPECT_TRUE(compare(*form, ref, false).none()) << describe(c);
        form->Command1_Click();
        EXPECT_TRUE(compare(*form, ref, true).none()) << describe(c);
    }
}

// Canvases large enough for bands flooded by helper threads (three threads
// in all, whatever this machine has), whose borders the flood catches up on.
TEST(FastPass, MatchesTheReferenceWithTheHelperThreads)
{
    // Widths that end in a part segment, and heights that split unevenly;
    // the first view puts the whole set between the sample rows of a band,
    // which is then swept row by row with pixels of the set in it.
    const Case cases[] = {{{-20, 18.4, -19.92, 8.88}, 400, 300},
                          {{-0.7454, -0.7452, 0.1130, 0.11315}, 480, 360},
                          {{-0.75, -0.73, 0.1, 0.115}, 512, 384},
                          {{0.25, 0.27, -0.0075, 0.0075}, 203, 149},
                          {{-4, 4, -3, 3}, 333, 250},
                          {{-0.75, -0.73, 0.1, 0.115}, 97, 191}};
    std::int64_t shared = 0;
    for (const Case& c : cases) {
        auto form = makeExplorer(c.width, c.height);
        setView(*form, c.view.xMin, c.view.xMax, c.view.yMin, c.view.yMax);
        form->Engine.setThreads(3);
        form->EvaluatePass();
        shared += form->Engine.stats().helperPixels;
        EXPECT_EQ(form->Engine.stats().misses, 0) << describe(c);
        EXPECT_TRUE(compare(*form, reference::render(c.view, c.width, c.height), false).none())
            << describe(c);
    }
    EXPECT_GT(shared, 0); // the helpers took part
}

// Runs a pass with and without the cache and expects the same error report
// and the same grids: an overflow must stop the pass at the pixel the
// one-at-a-time pass stops at, with exactly what it had stored.
void expectSameFailure(const Case& c)
{
    auto plain = makeExplorer(c.width, c.height);
    auto fast = makeExplorer(c.width, c.height);
    plain->Engine.setEnabled(false);
    for (Form1* form : {plain.get(), fast.get()}) {
        setView(*form, c.view.xMin, c.view.xMax, c.view.yMin, c.view.yMax);
        form->Command1->click();
    }
    const auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 2u) << describe(c);
    EXPECT_EQ(reports[0].number, tk::ErrOverflow);
    EXPECT_EQ(reports[1].number, tk::ErrOverflow);
    for (int col = 0; col < c.width; ++col)
        for (int row = 0; row < c.height; ++row) {
            ASSERT_EQ(fast->LevelGrid(col, row), plain->LevelGrid(col, row))
                << describe(c) << " at " << col << "," << row;
            ASSERT_EQ(fast->DoneGrid(col, row), plain->DoneGrid(col, row))
                << describe(c) << " at " << col << "," << row;
        }
    EXPECT_EQ(fast->Command1->Caption(), "&Go");
    EXPECT_EQ(fast->Running, explorer::False);
}

TEST(FastPass, OverflowStopsWhereThePlainPassStops)
{
    // The first pixel already overflows.
    expectSameFailure({{1e200, 2e200, -1, 1}, 20, 15});
    // Columns from the eighth on overflow; c = -1 at the first column of
    // row 0 is in the set, so the trace started there meets them.
    expectSameFailure({{-1, 3e154, -0.001, 0}, 16, 12});
    // Only the lower rows overflow, after several complete rows.
    expectSameFailure({{-2, 1, -3e154, 1.2}, 24, 18});
    // Rows and columns both, mirrored.
    expectSameFailure({{2.5e154, -2, 1, -2.5e154}, 30, 20});
}

// A pass that runs without the cache (the plain, one-pixel-at-a-time pass)
// agrees with the reference too, so the comparisons above compare like with
// like.
TEST(FastPass, PlainPassMatchesTheReference)
{
    const Case c{{-0.75, -0.73, 0.1, 0.115}, 80, 60};
    auto form = makeExplorer(c.width, c.height);
    form->Engine.setEnabled(false);
    setView(*form, c.view.xMin, c.view.xMax, c.view.yMin, c.view.yMax);
    form->EvaluatePass();
    EXPECT_EQ(form->Engine.stats().borderPixels + form->Engine.stats().blockPixels, 0);
    EXPECT_TRUE(compare(*form, reference::render(c.view, c.width, c.height), false).none());
}

// "Re&start" with a deep view from inside the yield of a deep pass: the
// inner pass re-creates the grids and the cache under the outer one, which
// must then only re-plot.
TEST(FastPass, RestartInsideAPassDrawsTheNewViewExactly)
{
    const Case inner{{-0.7454, -0.7452, 0.1130, 0.11315}, 96, 72};
    auto form = makeExplorer(96, 72);
    setView(*form, -0.75, -0.73, 0.1, 0.115);
    int rowsSeen = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, form.get(), [&] {
        if (++rowsSeen == 5) {
            timer.stop();
            setView(*form, inner.view.xMin, inner.view.xMax, inner.view.yMin, inner.view.yMax);
            form->Command1->click();
        }
    });
    timer.start(0);
    form->Command1->click();
    EXPECT_EQ(rowsSeen, 5);
    EXPECT_TRUE(testing_support::takeReports().empty());
    EXPECT_TRUE(compare(*form, reference::render(inner.view, 96, 72), true).none());
}

// The first row is painted, and events are handled, before the engine has
// worked out the rest of the canvas: it floods bands as the pass reaches
// them, not the whole canvas up front.
TEST(FastPass, FirstRowsArePaintedBeforeTheCanvasIsWorkedOut)
{
    // The whole set in view: its top is far below the first rows (a trace
    // asks for levels wherever the boundary it walks goes).
    const Case c{{-2.5, 1, -1.3125, 1.3125}, 200, 480};
    auto form = makeExplorer(c.width, c.height);
    setView(*form, c.view.xMin, c.view.xMax, c.view.yMin, c.view.yMax);
    std::vector<std::int32_t> readyAtTurn;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, form.get(),
                     [&] { readyAtTurn.push_back(form->Engine.readyRows()); });
    timer.start(0);
    form->Command1->click();
    timer.stop();
    ASSERT_GE(readyAtTurn.size(), 2u);
    EXPECT_GT(readyAtTurn.front(), 0);
    EXPECT_LT(readyAtTurn.front(), c.height / 2);
    EXPECT_EQ(form->Engine.stats().misses, 0);
    EXPECT_TRUE(compare(*form, reference::render(c.view, c.width, c.height), true).none());
}

// At the highest limit one row can take seconds: inside it the pass goes on
// answering the window system (a zero timer stands for its events here), and
// a close then ends the program at once.
TEST(FastPassDeathTest, AMillionIterationPassAnswersAndEndsAtAClose)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = makeExplorer(320, 240);
            setView(*form, -0.75, -0.73, 0.1, 0.115);
            form->MaxIter = 1000000;
            form->show();
            using Clock = std::chrono::steady_clock;
            using namespace std::chrono_literals;
            const Clock::time_point click = Clock::now();
            Clock::time_point last = click;
            QTimer turn;
            QObject::connect(&turn, &QTimer::timeout, form.get(), [&] {
                const Clock::time_point now = Clock::now();
                // Generous against a loaded machine; the bench measures it.
                if (now - last > 500ms)
                    std::_Exit(5); // half a second without an answer
                last = now;
                if (now - click >= 150ms) {
                    form->close();
                    std::_Exit(6); // the close did not end the program
                }
            });
            turn.start(0);
            form->Command1->click();
            std::_Exit(4); // the pass ended before the close: too short to test
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
