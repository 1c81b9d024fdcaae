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

TEST(HeldInputDeathTest, AClickInsideARowWaitsForTheRowsEndAndActsAsTheUsers)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = slowPass();
            QWindow* window = form->windowHandle();
            const QPointF at = centreOf(*form, form->Command2);
            const QPointF global = window->mapToGlobal(at);
            int lastRowDrawn = -1;
            int rowAtClick = -2;
            QObject::connect(form.get(), &explorer::Form1::rowDrawn,
                             [&](std::int32_t row) { lastRowDrawn = row; });
            QObject::connect(form.get(), &explorer::Form1::passWaiting, [&] {
                if (rowAtClick == -2) {
                    QWindowSystemInterface::handleMouseEvent(window, at, global, Qt::LeftButton,
                                                             Qt::LeftButton,
                                                             QEvent::MouseButtonPress);
                    QWindowSystemInterface::handleMouseEvent(window, at, global, Qt::NoButton,
                                                             Qt::LeftButton,
                                                             QEvent::MouseButtonRelease);
                    rowAtClick = lastRowDrawn;
                } else if (form->Command2->Caption() != QLatin1String("&Pause")) {
                    std::_Exit(HandledInsideRow);
                }
            });
            QObject::connect(form.get(), &explorer::Form1::passPaused, [&] {
                // Paused at the end of the row that was in progress.
                if (lastRowDrawn != rowAtClick + 1)
                    std::_Exit(WrongRow);
                // Delivered as a mouse click, it moved the focus to the
                // button (the pass had given it to the canvas).
                if (form->focusWidget() != form->Command2)
                    std::_Exit(FocusNotMoved);
                tk::End();
            });
            form->Command1->click();
            std::_Exit(rowAtClick == -2 ? PassEnded : NotDelivered);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(HeldInputDeathTest, AnAccessKeyInsideARowWaitsForTheRowsEnd)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            auto form = slowPass();
            QWindow* window = form->windowHandle();
            int lastRowDrawn = -1;
            int rowAtKey = -2;
            QObject::connect(form.get(), &explorer::Form1::rowDrawn,
                             [&](std::int32_t row) { lastRowDrawn = row; });
            // A platform turns a key into a shortcut while it reads the key,
            // which is inside the pass's answers to the window system: the
            // key is sent from a timer that fires there.
            QTimer keyTimer;
            keyTimer.setSingleShot(true);
            QObject::connect(&keyTimer, &QTimer::timeout, [&] {
                QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyPress, Qt::Key_P,
                                                       Qt::AltModifier, QStringLiteral("p"));
                QWindowSystemInterface::handleKeyEvent(window, QEvent::KeyRelease, Qt::Key_P,
                                                       Qt::AltModifier, QStringLiteral("p"));
                rowAtKey = lastRowDrawn;
            });
            QObject::connect(form.get(), &explorer::Form1::passWaiting, [&] {
                if (rowAtKey == -2 && !keyTimer.isActive())
                    keyTimer.start(0);
                else if (rowAtKey != -2 && form->Command2->Caption() != QLatin1String("&Pause"))
                    std::_Exit(HandledInsideRow);
            });
            QObject::connect(form.get(), &explorer::Form1::passPaused, [&] {
                if (lastRowDrawn != rowAtKey + 1)
                    std::_Exit(WrongRow);
                tk::End();
            });
            form->Command1->click();
            std::_Exit(rowAtKey == -2 ? PassEnded : NotDelivered);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
