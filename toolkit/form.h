// The window of a program: a main window whose client area holds controls at
// fixed positions, with the form-level settings the programs use, and
// tk::Handle, which connects a control's event to a handler under the guard.
#pragma once

#include <QMainWindow>

#include <type_traits>

#include "runtime_error.h"

class QMenu;

namespace tk {

class Form : public QMainWindow {
    Q_OBJECT
public:
    explicit Form(const QString& caption);

    // The client area, parent of every control.
    QWidget* client() const { return client_; }

    // 2 maximises the window (takes effect when it is shown), 0 restores it.
    void setWindowState(int state);
    void Refresh();
    // The window's outer size in twips. While maximised only the size to
    // restore to changes.
    void setWidth(float twips);
    void setHeight(float twips);
    // Sets the client area's size from design-time twips.
    void setClientSizeTwips(int width, int height);
    // 0 default, 11 hourglass. The window system is told at the next turn
    // of event processing, once, whatever the shape went through meanwhile:
    // it shows nothing before then anyway, and a render pass switches to the
    // hourglass and back for every trace, thousands of times per row.
    void setMousePointer(int shape);
    int MousePointer() const { return mousePointer_; }

    QMenu* addMenu(const QString& caption);

protected:
    // Closing the window while a handler is on the stack (a render pass, a
    // pause, a dialog) ends the program at once rather than leaving that
    // handler running for a window that is gone.
    void closeEvent(QCloseEvent* event) override;

private:
    void showMousePointer();

    QWidget* client_;
    int mousePointer_ = 0;
    int shownMousePointer_ = 0;
    bool showPosted_ = false;
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
