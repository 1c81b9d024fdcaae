// The window of a program: a main window whose client area holds controls at
// fixed positions, with the form-level settings the programs use, and
// tk::Handle, which connects a control's event to a handler under the guard.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>

#include <type_traits>

#include "mouse_pointer.h"
#include "runtime_error.h"

class QMenu;
class QTimer;

namespace tk {

class ClientArea;

class Form : public QMainWindow {
    Q_OBJECT
public:
    explicit Form(const QString& caption);

    // The client area, parent of every control. It scrolls when the window
    // is too small to show all of the controls.
    QWidget* client() const;

    // 2 maximises the window (takes effect when it is shown), 0 restores it.
    void setWindowState(int state);
    void Refresh();
    // The window's outer size in twips. While maximised only the size to
    // restore to changes.
    void setWidth(float twips);
    void setHeight(float twips);
    // Sizes the window for a client area of this many design-time twips (at
    // most two thirds of the screen); the user may make it smaller.
    void setClientSizeTwips(int width, int height);
    // A busy shape (anything but PointerDefault) is shown at once, so that the
    // hourglass shows while a handler that does not yield (a boundary trace)
    // is still running. The way back to the default shape is shown once no
    // busy shape has been asked for during PointerHoldMs: a render pass
    // traces many small regions in quick succession, and telling the window
    // system about each one would cost more than the traces themselves and
    // make the pointer flicker.
    void setMousePointer(int shape);
    static constexpr int PointerHoldMs = 200;
    int MousePointer() const { return mousePointer_; }

    QMenu* addMenu(const QString& caption);

    // Takes the controls' final places into the window's minimum size before
    // the window is first mapped (a control moved while the window is hidden
    // reports its move only when shown).
    void setVisible(bool visible) override;

protected:
    // Closing the window while a handler is on the stack (a render pass, a
    // pause, a dialog) ends the program at once rather than leaving that
    // handler running for a window that is gone.
    void closeEvent(QCloseEvent* event) override;

private:
    void showHeldMousePointer();

    ClientArea* clientArea_;
    int mousePointer_ = PointerDefault;
    int shownMousePointer_ = PointerDefault;
    QTimer* pointerHold_;
    QElapsedTimer sinceBusyPointer_;
};

// Pointer shape from its number: 0 default, 2 crosshair, 11 hourglass,
// 12 no-drop, 13 arrow with hourglass.
void applyMousePointer(QWidget* widget, int shape);

// Connects `signal` of `sender` to `handler` of `form`: every call runs
// inside the guard, so an error ends the handler and is reported there.
template <class Sender, class Signal, class Receiver, class... Args>
void Handle(Sender* sender, Signal signal, Receiver* form, void (Receiver::*handler)(Args...))
{
    QObject::connect(sender, signal, form, [form, handler](Args... args) {
        guarded([&] { (form->*handler)(args...); });
    });
}

} // namespace tk
