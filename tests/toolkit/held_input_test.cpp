// Input held while the window system is answered: delivered oldest first at
// the next yield, one at a time so that a handler's own yield delivers the
// next, and from the event loop when no yield follows. Clicks are sent
// through the window system's queue, as a platform sends them.
#include <QCoreApplication>
#include <QPushButton>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <string>

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

TEST(HeldInput, ADoubleClickComesAsTwoClicks)
{
    TwoButtons w;
    int presses = 0;
    QObject::connect(w.left, &QPushButton::pressed, [&] { ++presses; });
    w.sendClick(w.left);
    w.sendClick(w.left); // at once, on the same spot: a double click
    tk::AnswerWindowSystem();
    tk::DoEvents();
    EXPECT_EQ(w.clicks, "LL");
    EXPECT_EQ(presses, 2) << "the double click came as a press of its own";
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
