// Holding user input through an application-wide event filter while the
// window system is answered. Input enters a Qt program through its windows
// (the QWindow under each widget window), so holding what reaches a window
// holds clicks, keys, wheel turns and the pointer's entering and leaving
// before the widgets get them; a key that matches a shortcut never reaches a
// window but is turned into a shortcut event, and text from an input method
// goes to the focus widget: both are held where they arrive.
#include "held_input.h"

#include "scope_exit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QPointingDevice>
#include <QThread>
#include <QWheelEvent>

#include <deque>
#include <functional>
#include <memory>

namespace tk {
namespace {

// A held event, ready to be delivered. Pointer events (mouse, wheel, the
// pointer entering) are made anew at delivery from what they said: Qt shares
// the state of a pointer's point between the events made for it, so a kept
// copy of a press reads as released by the time it is delivered.
using Delivery = std::function<void()>;

// The device an event came from, kept so that one unplugged meanwhile is
// not used: its events then come from the primary pointing device.
class KeptDevice {
public:
    explicit KeptDevice(const QPointingDevice* device) : device_(device) {}
    const QPointingDevice* get() const
    {
        return device_ ? device_.data() : QPointingDevice::primaryPointingDevice();
    }

private:
    QPointer<const QPointingDevice> device_;
};

Delivery deliveryOf(QObject* receiver, const QEvent* event)
{
    const QPointer<QObject> to(receiver);
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
        event->type() == QEvent::MouseMove) {
        const auto* m = static_cast<const QMouseEvent*>(event);
        return [to, type = m->type(), local = m->position(), scene = m->scenePosition(),
                global = m->globalPosition(), button = m->button(), buttons = m->buttons(),
                modifiers = m->modifiers(), device = KeptDevice(m->pointingDevice()),
                time = m->timestamp()] {
            QMouseEvent again(type, local, scene, global, button, buttons, modifiers, device.get());
            again.setTimestamp(time);
            if (to)
                QCoreApplication::sendEvent(to, &again);
        };
    }
    if (event->type() == QEvent::Wheel) {
        const auto* w = static_cast<const QWheelEvent*>(event);
        return [to, local = w->position(), global = w->globalPosition(), pixels = w->pixelDelta(),
                angle = w->angleDelta(), buttons = w->buttons(), modifiers = w->modifiers(),
                phase = w->phase(), inverted = w->inverted(),
                device = KeptDevice(w->pointingDevice()), time = w->timestamp()] {
            QWheelEvent again(local, global, pixels, angle, buttons, modifiers, phase, inverted,
                              Qt::MouseEventNotSynthesized, device.get());
            again.setTimestamp(time);
            if (to)
                QCoreApplication::sendEvent(to, &again);
        };
    }
    if (event->type() == QEvent::Enter) {
        const auto* e = static_cast<const QEnterEvent*>(event);
        return [to, local = e->position(), scene = e->scenePosition(), global = e->globalPosition(),
                device = KeptDevice(e->pointingDevice())] {
            QEnterEvent again(local, scene, global, device.get());
            if (to)
                QCoreApplication::sendEvent(to, &again);
        };
    }
    // Keys, shortcuts and input-method text share no state: a copy keeps the
    // original's mark of coming from the window system, which delivery
    // through notify keeps too (sendEvent would clear it). Tablet events, of
    // no use to these programs, are kept as copies too.
    const bool shortcut = event->type() == QEvent::Shortcut;
    return [to, shortcut, copy = std::shared_ptr<QEvent>(event->clone())] {
        // A shortcut is matched while no dialog is open over the window; one
        // opened meanwhile (by a held click, say) would have kept it from
        // matching, as it keeps the held clicks and keys from their window.
        if (shortcut && QGuiApplication::modalWindow())
            return;
        if (to)
            QCoreApplication::instance()->notify(to, copy.get());
    };
}

class InputHolder final : public QObject {
public:
    explicit InputHolder(QCoreApplication* app) : QObject(app) { app->installEventFilter(this); }

    // The event loop's level while the window system is answered, -1 when
    // not: a dialog that something answered there opens (its own loop, one
    // level deeper) takes its input as usual.
    int holdLevel = -1;
    bool deliveryPosted = false;
    std::deque<Delivery> held;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (holdLevel != QThread::currentThread()->loopLevel() || !isUserInput(receiver, event))
            return false;
        if (isTouch(event)) {
            // Left unaccepted, a touch comes back as the mouse events made
            // from it, which are held.
            event->setAccepted(false);
            return true;
        }
        // The second press of a double click is held as a press: made anew
        // it is passed on as one, and a window passes the double click on
        // to a widget only in its place (a widget without a use for double
        // clicks takes it for a press), so the double click itself goes.
        if (event->type() != QEvent::MouseButtonDblClick)
            held.push_back(deliveryOf(receiver, event));
        return true;
    }

private:
    static bool isTouch(const QEvent* event)
    {
        return event->type() == QEvent::TouchBegin || event->type() == QEvent::TouchUpdate ||
               event->type() == QEvent::TouchEnd || event->type() == QEvent::TouchCancel;
    }

    static bool isUserInput(QObject* receiver, QEvent* event)
    {
        if (event->type() == QEvent::Shortcut || event->type() == QEvent::InputMethod)
            return true;
        if (!receiver->isWindowType())
            return false; // what a window passes on to its widgets was held already
        // The shortcut override only asks whether the focus widget takes the
        // key itself, which the widgets answer without running a handler.
        // Answered now, the key then arrives either as a shortcut or as a key
        // press, both held.
        if (event->type() == QEvent::ShortcutOverride)
            return false;
        return event->isInputEvent() || event->type() == QEvent::Leave;
    }
};

QPointer<InputHolder>& holderSlot()
{
    static QPointer<InputHolder> slot;
    return slot;
}

InputHolder* holder()
{
    QPointer<InputHolder>& slot = holderSlot();
    if (!slot && QCoreApplication::instance())
        slot = new InputHolder(QCoreApplication::instance());
    return slot.data();
}

} // namespace

void AnswerWindowSystem()
{
    InputHolder* h = holder();
    if (!h)
        return;
    {
        // First among the application's event filters (installing again
        // moves it to the front), so that no filter installed later (one
        // that acts on a key, say) sees held input before it is delivered.
        QCoreApplication::instance()->installEventFilter(h);
        const int wasLevel = h->holdLevel;
        h->holdLevel = QThread::currentThread()->loopLevel();
        const ScopeExit restore{[&] { h->holdLevel = wasLevel; }};
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    // Input held by work that then ends without yielding again (an error
    // leaving the handler, say) is delivered from the event loop.
    if (!h->held.empty() && !h->deliveryPosted) {
        h->deliveryPosted = true;
        QMetaObject::invokeMethod(
            h,
            [h] {
                h->deliveryPosted = false;
                DeliverHeldInput();
            },
            Qt::QueuedConnection);
    }
}

void DeliverHeldInput()
{
    InputHolder* h = holderSlot().data();
    if (!h || h->holdLevel >= 0)
        return;
    // Taken off the queue before delivery: a handler it runs may yield, and
    // that yield delivers the next one.
    while (!h->held.empty()) {
        const Delivery next = std::move(h->held.front());
        h->held.pop_front();
        next();
    }
}

} // namespace tk
