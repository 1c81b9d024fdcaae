// Input that reaches the window while a pass is inside a long row, sent the
// way a platform sends it (through the window system queue, not straight to
// a widget): the window manager's close ends the program there and then,
// while a click or an access key waits for the end of the row in progress.
// Each case runs a 1,000,000-iteration pass near the set's boundary, whose
// first row takes far longer than the engine's waits.
#include <QTimer>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "explorer_fixture.h"
#include "toolkit/events.h"

using testing_support::makeExplorer;
using testing_support::setView;

namespace {

// Exit codes of the child process, so that a failure says what went wrong.
enum Outcome : int {
    PassEnded = 4,        // the pass ended first: too short to test anything
    HandledInsideRow = 5, // input ran its handler before the row ended
    CloseWaited = 6,      // the pass went on answering without ending
    RowEndedFirst = 7,    // the row ended before the close: nothing tested
    WrongRow = 8,         // the pause came at another row's end
    FocusNotMoved = 9,    // the button was clicked some other way than by the mouse
    NotDelivered = 10,    // the input was lost, or could not be sent
};

std::unique_ptr<explorer::Form1> slowPass()
{
    auto form = makeExplorer(320, 240);
    setView(*form, -0.75, -0.73, 0.1, 0.115);
    form->MaxIter = 1000000;
    form->show();
    // Access keys answer only in the active window.
    form->activateWindow();
    tk::DoEvents();
    return form;
}

// Window coordinates of the centre of a button, moved into the window first
// (the small test canvas leaves the buttons outside it).
QPointF centreOf(explorer::Form1& form, QWidget* button)
{
    button->move(40, 40);
    const QPoint at = button->mapTo(&form, button->rect().center());
    if (form.childAt(at) != button)
        std::_Exit(NotDelivered); // the click could not reach the button
    return QPointF(at);
}

TEST(HeldInputDeathTest, ACloseFromTheWindowSystemInsideARowEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = slowPass();
            int waitsSinceClose = -1;
            QObject::connect(form.get(), &explorer::Form1::passWaiting, [&] {
                if (waitsSinceClose < 0) {
                    QWindowSystemInterface::handleCloseEvent(form->windowHandle());
                    waitsSinceClose = 0;
                } else if (++waitsSinceClose == 3) {
                    std::_Exit(CloseWaited);
                }
            });
            QObject::connect(form.get(), &explorer::Form1::rowDrawn, [&] {
                if (waitsSinceClose >= 0)
                    std::_Exit(RowEndedFirst);
            });
            form->Command1->click();
            std::_Exit(PassEnded);
        },
        ::testing::ExitedWithCode(0), "");
}

// Runs a pass and, inside its first long row, sends input that pauses it, from
// a timer that fires while the pass answers the window system (where a
// platform reads what the user did). The pause must come at the end of that
// row, with the focus then on `focusAfter` when given. Ends the process.
[[noreturn]] void pauseInsideARow(explorer::Form1& form,
                                  const std::function<void(QWindow*)>& sendPause,
                                  QWidget* focusAfter)
{
    int lastRowDrawn = -1;
    int rowAtInput = -2;
    int waitsSinceRowEnd = 0;
    QObject::connect(&form, &explorer::Form1::rowDrawn, [&](std::int32_t row) {
        lastRowDrawn = row;
        waitsSinceRowEnd = 0;
    });
    QTimer send;
    send.setSingleShot(true);
    QObject::connect(&send, &QTimer::timeout, [&] {
        sendPause(form.windowHandle());
        rowAtInput = lastRowDrawn;
    });
    QObject::connect(&form, &explorer::Form1::passWaiting, [&] {
        ++waitsSinceRowEnd;
        if (rowAtInput == -2 && !send.isActive())
            send.start(0);
        else if (rowAtInput != -2 && form.Command2->Caption() != QLatin1String("&Pause"))
            std::_Exit(HandledInsideRow);
    });
    QObject::connect(&form, &explorer::Form1::passPaused, [&] {
        // At the end of the row that was in progress, not inside the next.
        if (lastRowDrawn != rowAtInput + 1 || waitsSinceRowEnd != 0)
            std::_Exit(WrongRow);
        if (focusAfter && form.focusWidget() != focusAfter)
            std::_Exit(FocusNotMoved);
        tk::End();
    });
    form.Command1->click();
    std::_Exit(rowAtInput == -2 ? PassEnded : NotDelivered);
}

TEST(HeldInputDeathTest, AClickInsideARowWaitsForTheRowsEndAndActsAsTheUsers)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = slowPass();
            const QPointF at = centreOf(*form, form->Command2);
            // Delivered as a mouse click, it moves the focus to the button
            // (the pass gave it to the canvas).
            pauseInsideARow(
                *form,
                [at](QWindow* window) {
                    const QPointF global = window->mapToGlobal(at);
                    QWindowSystemInterface::handleMouseEvent(window, at, global, Qt::LeftButton,
                                                             Qt::LeftButton,
                                                             QEvent::MouseButtonPress);
                    QWindowSystemInterface::handleMouseEvent(window, at, global, Qt::NoButton,
                                                             Qt::LeftButton,
                                                             QEvent::MouseButtonRelease);
                },
                form->Command2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HeldInputDeathTest, AnAccessKeyInsideARowWaitsForTheRowsEnd)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = slowPass();
            pauseInsideARow(
                *form,
                [](QWindow* window) {
                    // Turned into the Pause button's shortcut as it is read.
                    QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyPress, Qt::Key_P,
                                                           Qt::AltModifier, QStringLiteral("p"));
                    QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyRelease, Qt::Key_P,
                                                           Qt::AltModifier, QStringLiteral("p"));
                },
                nullptr);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
