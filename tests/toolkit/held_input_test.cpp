// Input held while the window system is answered: delivered oldest first at
// the next yield, one at a time so that a handler's own yield delivers the
// next, and from the event loop when no yield follows. Clicks are sent
// through the window system's queue, as a platform sends them.
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/events.h"
#include "toolkit/held_input.h"

namespace {

// A window with two buttons side by side, and the clicks they took.
struct TwoButtons {
    QWidget window;
    QPushButton* left = new QPushButton("left", &window);
    QPushButton* right = new QPushButton("right", &window);
    std::string clicks;

    TwoButtons()
    {
        window.resize(220, 60);
        left->setGeometry(10, 10, 90, 40);
        right->setGeometry(120, 10, 90, 40);
        window.show();
        tk::DoEvents();
        QObject::connect(left, &QPushButton::clicked, [this] { clicks += 'L'; });
        QObject::connect(right, &QPushButton::clicked, [this] { clicks += 'R'; });
    }

    // Queues a press and a release on the button, as the window system does.
    void sendClick(QPushButton* button)
    {
        QWindow* handle = window.windowHandle();
        const QPointF at(button->geometry().center());
        const QPointF global = handle->mapToGlobal(at);
        QWindowSystemInterface::handleMouseEvent(handle, at, global, Qt::LeftButton, Qt::LeftButton,
                                                 QEvent::MouseButtonPress);
        QWindowSystemInterface::handleMouseEvent(handle, at, global, Qt::NoButton, Qt::LeftButton,
                                                 QEvent::MouseButtonRelease);
    }
};

TEST(HeldInput, ClicksWaitForTheNextYieldAndKeepTheirOrder)
{
    TwoButtons w;
    w.sendClick(w.right);
    w.sendClick(w.left);
    tk::AnswerWindowSystem();
    tk::AnswerWindowSystem();
    EXPECT_EQ(w.clicks, "") << "a click ran its handler while the window system was answered";
    tk::DoEvents();
    EXPECT_EQ(w.clicks, "RL");
    tk::DoEvents();
    EXPECT_EQ(w.clicks, "RL") << "a held click was delivered twice";
}

// Counts the double clicks a widget is given.
struct DoubleClicks : QObject {
    int seen = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        seen += event->type() == QEvent::MouseButtonDblClick;
        return false;
    }
};

TEST(HeldInput, ADoubleClickComesAsTwoClicks)
{
    TwoButtons w;
    DoubleClicks doubles;
    w.left->installEventFilter(&doubles);
    int presses = 0;
    QObject::connect(w.left, &QPushButton::pressed, [&] { ++presses; });
    // Two clicks at once on the same spot, after one elsewhere so that the
    // first pairs with nothing before it: unheld, a double click.
    w.sendClick(w.right);
    w.sendClick(w.left);
    w.sendClick(w.left);
    tk::DoEvents();
    ASSERT_EQ(doubles.seen, 1) << "the clicks sent do not make a double click";
    w.clicks.clear();
    presses = 0;
    w.sendClick(w.right);
    w.sendClick(w.left);
    w.sendClick(w.left);
    tk::AnswerWindowSystem();
    EXPECT_EQ(w.clicks, "");
    tk::DoEvents();
    EXPECT_EQ(w.clicks, "RLL");
    EXPECT_EQ(presses, 2) << "the double click came as a press of its own";
}

TEST(HeldInput, ADialogOpenedWhileAnsweringTakesItsInput)
{
    TwoButtons dialog;
    // A timer that fires while the window system is answered opens a dialog
    // (a nested event loop, as exec() runs), which is clicked.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = true;
        QEventLoop loop;
        QObject::connect(dialog.left, &QPushButton::clicked, &loop, &QEventLoop::quit);
        dialog.sendClick(dialog.left);
        QTimer::singleShot(2000, &loop, &QEventLoop::quit); // the way out if the click is held
        loop.exec();
    });
    tk::AnswerWindowSystem();
    ASSERT_TRUE(opened) << "the timer did not fire while the window system was answered";
    EXPECT_EQ(dialog.clicks, "L") << "the dialog's click was held until it closed";
}

// The wheel turns a widget is given, in order.
struct WheelTurns : QObject {
    std::vector<int> deltas;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            deltas.push_back(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return false;
    }
};

TEST(HeldInput, WheelTurnsComeWithTheirDeltasInOrder)
{
    TwoButtons w;
    WheelTurns turns;
    w.left->installEventFilter(&turns);
    QWindow* handle = w.window.windowHandle();
    const QPointF at(w.left->geometry().center());
    for (int notch : {120, 240, -360})
        QWindowSystemInterface::handleWheelEvent(handle, at, handle->mapToGlobal(at), QPoint(),
                                                 QPoint(0, notch));
    tk::AnswerWindowSystem();
    EXPECT_TRUE(turns.deltas.empty()) << "a wheel turn reached the widget while holding";
    tk::DoEvents();
    EXPECT_EQ(turns.deltas, (std::vector<int>{120, 240, -360}));
}

TEST(HeldInput, AHandlersOwnYieldDeliversTheNextClick)
{
    TwoButtons w;
    std::string insideLeft;
    QObject::disconnect(w.left, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(w.left, &QPushButton::clicked, [&] {
        w.clicks += 'L';
        tk::DoEvents(); // as a pass started by the click yields after its first row
        insideLeft = w.clicks;
    });
    w.sendClick(w.left);
    w.sendClick(w.right);
    tk::AnswerWindowSystem();
    tk::DoEvents();
    EXPECT_EQ(insideLeft, "LR") << "the second click waited for the first handler to return";
    EXPECT_EQ(w.clicks, "LR");
}

TEST(HeldInput, WithoutAnotherYieldTheEventLoopDeliversIt)
{
    TwoButtons w;
    w.sendClick(w.right);
    tk::AnswerWindowSystem(); // the work ends here, say by an error, without yielding again
    EXPECT_EQ(w.clicks, "");
    // The event loop's own turn, as after the handler returns.
    QCoreApplication::processEvents();
    EXPECT_EQ(w.clicks, "R");
}

} // namespace
