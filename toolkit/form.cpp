// The window of a program.
#include "form.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>

#include <cmath>

#include "client_area.h"
#include "events.h"
#include "units.h"

namespace tk {

Form::Form(const QString& caption)
    : clientArea_(new ClientArea(this)), pointerHold_(new QTimer(this))
{
    setWindowTitle(caption);
    setCentralWidget(clientArea_);
    pointerHold_->setSingleShot(true);
    connect(pointerHold_, &QTimer::timeout, this, &Form::showHeldMousePointer);
}

QWidget* Form::client() const
{
    return clientArea_->client();
}

void Form::setVisible(bool visible)
{
    if (visible && !isVisible())
        clientArea_->refreshExtent();
    QMainWindow::setVisible(visible);
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
    clientArea_->setDesignSize(QSize(toLogical(int(std::lround(ScaleX(float(width))))),
                                     toLogical(int(std::lround(ScaleY(float(height)))))));
    adjustSize();
}

void Form::setMousePointer(int shape)
{
    mousePointer_ = shape;
    if (shape != PointerDefault) {
        sinceBusyPointer_.start();
        if (shape != shownMousePointer_) {
            shownMousePointer_ = shape;
            applyMousePointer(this, shape);
        }
    } else if (shownMousePointer_ != PointerDefault && !pointerHold_->isActive()) {
        pointerHold_->start(PointerHoldMs);
    }
}

void Form::showHeldMousePointer()
{
    if (mousePointer_ != PointerDefault || shownMousePointer_ == PointerDefault)
        return;
    const qint64 left = PointerHoldMs - sinceBusyPointer_.elapsed();
    if (left > 0) {
        pointerHold_->start(int(left));
        return;
    }
    shownMousePointer_ = PointerDefault;
    applyMousePointer(this, PointerDefault);
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
    case PointerCross:
        widget->setCursor(Qt::CrossCursor);
        break;
    case PointerHourglass:
        widget->setCursor(Qt::WaitCursor);
        break;
    case PointerNoDrop:
        widget->setCursor(Qt::ForbiddenCursor);
        break;
    case PointerArrowHourglass:
        widget->setCursor(Qt::BusyCursor);
        break;
    default:
        widget->unsetCursor();
        break;
    }
}

} // namespace tk
