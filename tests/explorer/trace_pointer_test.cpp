// The hourglass while a boundary is traced: on the window, and told to the
// window system, before the trace does its work, with no turn of event
// processing in between (a trace never yields to user input); and a long
// trace's answers to the window system.
#include <QApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "explorer_fixture.h"

using namespace testing_support;

namespace {

// Records, at every pointer change of the window, the shape it shows then
// and how many pixels were done at that moment.
class PointerLog : public QObject {
public:
    PointerLog(explorer::Form1& form) : form_(form) { form.installEventFilter(this); }

    struct Entry {
        Qt::CursorShape shape, platformShape;
        long done;
    };
    std::vector<Entry> entries;

    long done() const
    {
        return std::accumulate(form_.DoneGrid.data.begin(), form_.DoneGrid.data.end(), 0L);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &form_ && event->type() == QEvent::CursorChange)
            entries.push_back(
                {form_.cursor().shape(), form_.windowHandle()->cursor().shape(), done()});
        return false;
    }

private:
    explorer::Form1& form_;
};

TEST(TracePointer, HourglassShowsFromTheStartOfATrace)
{
    auto form = makeExplorer(40, 30);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->PrepareGrids();
    form->ComputeCoordinates();

    // The first pixel of the set in the order of the pass.
    int startX = -1, startY = -1;
    for (int row = 0; row <= form->LastRow && startX < 0; ++row)
        for (int col = 0; col <= form->LastCol && startX < 0; ++col)
            if (form->GetFlag(col, row) == 0 && form->ZelmarPoint(col, row) == 0) {
                startX = col;
                startY = row;
            }
    ASSERT_GE(startX, 0) << "the start view holds the set";

    PointerLog log(*form);
    const long before = log.done();
    form->TraceSet(startX, startY);
    ASSERT_FALSE(log.entries.empty()) << "no pointer change inside the trace";
    EXPECT_EQ(log.entries[0].shape, Qt::WaitCursor);
    EXPECT_EQ(log.entries[0].platformShape, Qt::WaitCursor);
    EXPECT_EQ(log.entries[0].done, before) << "the hourglass came before the trace's work";
    EXPECT_GT(log.done(), before + 10) << "the trace walked and filled a region";
    EXPECT_EQ(form->MousePointer(), 0) << "the trace is over";

    // The default pointer returns shortly after, once no trace follows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return form->windowHandle()->cursor().shape() == Qt::ArrowCursor; }, 5000));
}

// A whole pass of the start view shows the hourglass and ends with the
// default pointer on the window and the crosshair on the canvas.
TEST(TracePointer, APassShowsTheHourglassAndEndsWithTheDefault)
{
    auto form = makeExplorer(40, 30);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    PointerLog log(*form);
    form->Command1->click();
    ASSERT_FALSE(log.entries.empty());
    EXPECT_EQ(log.entries.front().shape, Qt::WaitCursor);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->cursor().shape() == Qt::ArrowCursor; }, 5000));
    EXPECT_EQ(form->Picture1->cursor().shape(), Qt::CrossCursor);
}

} // namespace

namespace {

// A long walk inside a window's pass answers the window system through the
// engine's wait hook (the only caller of the hook here, with the engine off),
// and what the pass draws does not depend on the answers: the whole set at a
// limit of 50,000, every level iterated on the spot, where walking the
// border of the main region takes far longer than a slice.
TEST(TraceAnswers, ALongWalkCallsTheWaitHookAndDrawsTheSame)
{
    auto drawn = [](bool hooked, int& calls) {
        auto form = makeExplorer(320, 240);
        form->MaxIter = 50000;
        form->XMin = -2.5;
        form->XMax = 1;
        form->YMin = -1.3125;
        form->YMax = 1.3125;
        form->Engine.setEnabled(false);
        if (hooked)
            form->Engine.setWaitHook([&calls] { ++calls; });
        form->EvaluatePass();
        return std::pair{form->LevelGrid.data, form->DoneGrid.data};
    };
    int calls = 0, unused = 0;
    const auto hooked = drawn(true, calls);
    const auto plain = drawn(false, unused);
    EXPECT_GE(calls, 2) << "the walks answered too seldom";
    EXPECT_EQ(unused, 0);
    EXPECT_TRUE(hooked == plain) << "the answers changed what the pass drew";
}

} // namespace
