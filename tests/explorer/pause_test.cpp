// Pause, resume and exit, clicked from inside the render pass's yields: the
// run states, restarts while paused, nesting of waits, and the wait's
// sleeping between events.
#include <QCursor>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

struct RunState {
    explorer::Flag running;
    QString command1, command2;
    Qt::CursorShape canvasPointer;
};

RunState runState(const explorer::Form1& form)
{
    return {form.Running, form.Command1->Caption(), form.Command2->Caption(),
            form.Picture1->cursor().shape()};
}

void expectState(const RunState& s, explorer::Flag running, const char* command1,
                 const char* command2, Qt::CursorShape pointer, const char* where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(s.running, running);
    EXPECT_EQ(s.command1, command1);
    EXPECT_EQ(s.command2, command2);
    EXPECT_EQ(s.canvasPointer, pointer);
}

// Should a wait never end, this ends it after a while so the test fails
// instead of hanging.
void watchdog(explorer::Form1& form, bool& fired)
{
    QTimer::singleShot(10000, &form, [&form, &fired] {
        fired = true;
        form.Command2->setCaption(QStringLiteral("&Pause"));
    });
}

TEST(Pause, WhileIdleDoesNothing)
{
    auto form = makeExplorer(40, 30);
    bool inClick = false, ranInsideClick = false;
    atNextYield(*form, [&] {
        ranInsideClick = inClick;
        form->Command2->setCaption(QStringLiteral("&Pause")); // ends a wait, if any
    });
    inClick = true;
    form->Command2->click();
    inClick = false;
    QCoreApplication::processEvents();
    EXPECT_FALSE(ranInsideClick) << "the click waited for events";
    EXPECT_EQ(form->Command2->Caption(), "&Pause");
    EXPECT_EQ(form->Picture1->cursor().shape(), Qt::CrossCursor) << "the start-up pointer stays";
}

TEST(Pause, ResumeGoesOnWithTheNextRowAndDrawsTheWholeView)
{
    auto form = makeExplorer(40, 30);
    const reference::Picture ref = reference::render({-4, 4, -3, 3}, 40, 30);
    const QStringList fieldsBefore = fieldTexts(*form);
    bool stuck = false;
    watchdog(*form, stuck);

    RunState paused{};
    int rowsAtPause = -1, rowsWhilePaused = -1, yieldsWhilePaused = 0, rowsAfterResume = -1;
    bool pauseReturned = false, resumeReturnedFirst = false;
    atNextYield(*form, [&] {
        rowsAtPause = plottedRows(*form, ref);
        // Inside the wait: the window keeps handling events for a few
        // rounds, the pass does not move, then the user resumes.
        std::function<void()> whilePaused = [&] {
            paused = runState(*form);
            rowsWhilePaused = plottedRows(*form, ref);
            if (++yieldsWhilePaused < 3) {
                atNextYield(*form, whilePaused);
                return;
            }
            form->Command2->click();
            resumeReturnedFirst = !pauseReturned;
            atNextYield(*form, [&] { rowsAfterResume = plottedRows(*form, ref); });
        };
        atNextYield(*form, whilePaused);
        form->Command2->click();
        pauseReturned = true;
    });
    form->Command1->click();

    EXPECT_FALSE(stuck);
    EXPECT_EQ(rowsAtPause, 1);
    EXPECT_EQ(yieldsWhilePaused, 3);
    EXPECT_EQ(rowsWhilePaused, 1);
    expectState(paused, explorer::True, "Re&start", "&Resume", Qt::CrossCursor, "paused");
    EXPECT_TRUE(resumeReturnedFirst);
    EXPECT_EQ(rowsAfterResume, 2);
    EXPECT_TRUE(showsReference(*form, ref));
    expectState(runState(*form), explorer::False, "&Go", "&Pause", Qt::CrossCursor, "after");
    EXPECT_EQ((Bounds{-4, 4, -3, 3}), bounds(*form));
    EXPECT_EQ(fieldTexts(*form), fieldsBefore);
}

// "Re&start" while paused runs a complete pass of the view at that moment
// inside the wait; the wait then ends, and the suspended pass re-plots its
// remaining rows with Running already cleared, where "&Pause" does nothing.
TEST(Pause, RestartWhilePausedRunsANewPassThenTheSuspendedOneFinishes)
{
    auto form = makeExplorer(40, 30);
    const reference::View newView{-2.5, 1, -1.3125, 1.3125};
    const reference::Picture ref = reference::render(newView, 40, 30);
    bool stuck = false;
    watchdog(*form, stuck);

    RunState afterNewPass{}, continuing{};
    bool newPassShowsView = false, waitEnded = false, pauseWaited = false, inClick = false;
    atNextYield(*form, [&] {
        atNextYield(*form, [&] {
            setView(*form, newView.xMin, newView.xMax, newView.yMin, newView.yMax);
            form->Command1->click();
            afterNewPass = runState(*form);
            newPassShowsView = showsReference(*form, ref);
            atNextYield(*form, [&] {
                continuing = runState(*form);
                inClick = true;
                atNextYield(*form, [&] { pauseWaited = inClick; });
                form->Command2->click();
                inClick = false;
            });
        });
        form->Command2->click();
        waitEnded = true;
    });
    form->Command1->click();

    EXPECT_FALSE(stuck);
    EXPECT_TRUE(waitEnded);
    EXPECT_TRUE(newPassShowsView);
    expectState(afterNewPass, explorer::False, "&Go", "&Pause", Qt::CrossCursor, "new pass");
    expectState(continuing, explorer::False, "&Go", "&Pause", Qt::CrossCursor, "suspended");
    EXPECT_FALSE(pauseWaited) << "\"&Pause\" waited while Running was cleared";
    EXPECT_TRUE(showsReference(*form, ref));
    expectState(runState(*form), explorer::False, "&Go", "&Pause", Qt::CrossCursor, "after");
}

// Pause in the first pass, restart, pause the new pass: two waits on the
// stack. Resuming ends the inner one only; the outer wait ends once the
// new pass has returned to it.
TEST(Pause, NestedWaitsEndInnermostFirst)
{
    auto form = makeExplorer(40, 30);
    bool stuck = false;
    watchdog(*form, stuck);
    std::vector<std::string> log;
    atNextYield(*form, [&] {             // first pass, after row 0
        atNextYield(*form, [&] {         // inside the first wait
            atNextYield(*form, [&] {     // second pass, after row 0
                atNextYield(*form, [&] { // inside the second wait
                    log.push_back("resume");
                    form->Command2->click();
                    log.push_back("resume returned");
                });
                form->Command2->click();
                log.push_back("second wait ended");
            });
            form->Command1->click();
            log.push_back("second pass ended");
        });
        form->Command2->click();
        log.push_back("first wait ended");
    });
    form->Command1->click();
    log.push_back("first pass ended");

    EXPECT_FALSE(stuck);
    const std::vector<std::string> expected{
        "resume",           "resume returned", "second wait ended", "second pass ended",
        "first wait ended", "first pass ended"};
    EXPECT_EQ(log, expected);
}

// Sixteen passes nested, the innermost paused, then Restart: past the
// nesting limit the restart is not run inside the wait but taken up by the
// innermost pass. It still ends the pause at once, and that pass draws the
// new view from its first row.
TEST(Pause, RestartPastTheNestingLimitEndsThePauseAndDrawsTheNewView)
{
    auto form = makeExplorer(40, 30);
    bool stuck = false;
    watchdog(*form, stuck);
    const reference::View newView{-2.5, 1, -1.3125, 1.3125};
    int depthWhenPaused = 0;
    bool waitEnded = false;
    std::function<void()> nest = [&] {
        if (form->Passes.depth() < explorer::PassNesting::MaxDepth) {
            atNextYield(*form, nest);
            form->Command1->click();
            return;
        }
        depthWhenPaused = form->Passes.depth();
        atNextYield(*form, [&] { // inside the wait
            setView(*form, newView.xMin, newView.xMax, newView.yMin, newView.yMax);
            form->Command1->click();
        });
        form->Command2->click();
        waitEnded = true;
    };
    atNextYield(*form, nest);
    form->Command1->click();

    EXPECT_FALSE(stuck);
    EXPECT_TRUE(waitEnded);
    EXPECT_EQ(depthWhenPaused, explorer::PassNesting::MaxDepth);
    EXPECT_EQ(form->Passes.depth(), 0);
    EXPECT_TRUE(showsReference(*form, reference::render(newView, 40, 30)));
    expectState(runState(*form), explorer::False, "&Go", "&Pause", Qt::CrossCursor, "after");
}

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// A pause of a third of a second must not keep a core busy: the wait sleeps
// until the next event instead of polling.
TEST(Pause, WaitSleepsUntilTheNextEvent)
{
    auto form = makeExplorer(40, 30);
    double cpu = 0, wall = 0;
    atNextYield(*form, [&] {
        QTimer::singleShot(300, form.get(), [&] { form->Command2->click(); });
        const double cpu0 = threadCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        form->Command2->click();
        cpu = threadCpuSeconds() - cpu0;
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    });
    form->Command1->click();
    EXPECT_GE(wall, 0.25);
    EXPECT_LT(cpu, 0.25 * wall) << "the wait used " << cpu << " s of CPU in " << wall << " s";
}

TEST(ExitDeathTest, EndsTheProgramAtOnceWhileRendering)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = makeExplorer(40, 30);
            atNextYield(*form, [&] {
                form->Command3->click();
                std::_Exit(3); // not reached
            });
            form->Command1->click();
            std::_Exit(4); // not reached: the pass does not finish
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ExitDeathTest, EndsTheProgramAtOnceWhilePaused)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = makeExplorer(40, 30);
            atNextYield(*form, [&] {
                atNextYield(*form, [&] { form->Command3->click(); });
                form->Command2->click();
                std::_Exit(3); // not reached: the wait does not end
            });
            form->Command1->click();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
