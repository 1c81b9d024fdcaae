// Run-time errors: construction, the replaceable reporter and the handler guard.
// runHandler re-enters freely: a handler may yield and so run others inside it.
#include "runtime_error.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

#include <utility>

namespace tk {

namespace {

int depth = 0;

// The window a message box belongs to. Right after a file dialog closes no
// window is active until the window manager activates the program's window
// again: the box then still goes to that window, the program's one visible
// main window, for its title and to be modal to it.
QWidget* messageBoxParent()
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(top) && top->isVisible())
            return top;
    return nullptr;
}

void showMessageBox(const RuntimeError& error)
{
    QWidget* parent = messageBoxParent();
    const QString title = parent ? parent->windowTitle() : QApplication::applicationName();
    if (error.number() == ErrBadInput) {
        QMessageBox::warning(parent, title, error.description());
        return;
    }
    QMessageBox::critical(
        parent, title,
        QStringLiteral("Run-time error '%1':\n\n%2").arg(error.number()).arg(error.description()));
}

ErrorReporter& reporterSlot()
{
    static ErrorReporter reporter = showMessageBox;
    return reporter;
}

} // namespace

RuntimeError::RuntimeError(int number, QString description)
    : number_(number), description_(std::move(description)), what_(description_.toStdString())
{
}

void raiseOverflow()
{
    throw RuntimeError(ErrOverflow, QStringLiteral("Overflow"));
}

void raiseDivisionByZero()
{
    throw RuntimeError(ErrDivisionByZero, QStringLiteral("Division by zero"));
}

ErrorReporter setErrorReporter(ErrorReporter reporter)
{
    ErrorReporter previous = std::move(reporterSlot());
    reporterSlot() = reporter ? std::move(reporter) : ErrorReporter(showMessageBox);
    return previous;
}

void reportError(const RuntimeError& error)
{
    reporterSlot()(error);
}

int handlerDepth()
{
    return depth;
}

void runHandler(const std::function<void()>& handler)
{
    struct DepthScope {
        DepthScope() { ++depth; }
        ~DepthScope() { --depth; }
    } scope;
    try {
        handler();
    } catch (const RuntimeError& error) {
        reportError(error);
    } catch (const std::bad_alloc&) {
        reportError(RuntimeError(ErrOutOfMemory, QStringLiteral("Out of memory")));
    } catch (const std::exception& e) {
        reportError(RuntimeError(ErrInternal, QStringLiteral("Internal error: %1").arg(e.what())));
    }
}

} // namespace tk
