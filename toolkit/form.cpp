// The window of a program.
#include "form.h"

#include <QCloseEvent>
#include <QMenuBar>

#include <cmath>

#include "events.h"
#include "units.h"

namespace tk {

Form::Form(const QString& caption) : client_(new QWidget(this))
{
    setWindowTitle(caption);
    setCentralWidget(client_);
}

void Form::setWindowState(int state)
{
    QMainWindow::setWindowState(state == 2 ? Qt::WindowMaximized : Qt::WindowNoState);
}

void Form::Refresh()
{
    repaint();
}

void Form::setWidth(float twips)
{
    const int w = toLogical(int(std::lround(twips / TwipsPerPixelX())));
    if (!isMaximized())
        resize(std::max(w, 1), height());
}

void Form::setHeight(float twips)
{
    const int h = toLogical(int(std::lround(twips / TwipsPerPixelY())));
    if (!isMaximized())
        resize(width(), std::max(h, 1));
}

void Form::setClientSizeTwips(int width, int height)
{
    client_->setMinimumSize(toLogical(int(std::lround(ScaleX(float(width))))),
                            toLogical(int(std::lround(ScaleY(float(height))))));
    adjustSize();
}

void Form::setMousePointer(int shape)
{
    mousePointer_ = shape;
    if (shape == shownMousePointer_ || showPosted_)
        return;
    showPosted_ = true;
    QMetaObject::invokeMethod(this, &Form::showMousePointer, Qt::QueuedConnection);
}

void Form::showMousePointer()
{
    showPosted_ = false;
    if (mousePointer_ == shownMousePointer_)
        return;
    shownMousePointer_ = mousePointer_;
    applyMousePointer(this, mousePointer_);
}

QMenu* Form::addMenu(const QString& caption)
{
    return menuBar()->addMenu(caption);
}

void Form::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (handlerDepth() > 0)
        End();
}

void applyMousePointer(QWidget* widget, int shape)
{
    switch (shape) {
    case 2:
        widget->setCursor(Qt::CrossCursor);
        break;
    case 11:
        widget->setCursor(Qt::WaitCursor);
        break;
    case 12:
        widget->setCursor(Qt::ForbiddenCursor);
        break;
    case 13:
        widget->setCursor(Qt::BusyCursor);
        break;
    default:
        widget->unsetCursor();
        break;
    }
}

} // namespace tk
