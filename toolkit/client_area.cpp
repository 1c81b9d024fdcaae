// The scrolling client area. Controls are placed by the program at any time
// (the explorer places them for the screen at start-up), so the scrolled
// extent follows every move, resize, show and hide of a control.
#include "client_area.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>

namespace tk {

namespace {

// The client area itself: as large as the frame shows, and never smaller
// than its controls reach, so that the frame scrolls to every control.
class ClientWidget : public QWidget {
public:
    explicit ClientWidget(ClientArea* area) : area_(area) {}
    QSize minimumSizeHint() const override { return area_->controlsExtent(); }
    QSize sizeHint() const override { return area_->controlsExtent(); }

private:
    ClientArea* area_;
};

} // namespace

ClientArea::ClientArea(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    // Tab walks the controls only; the frame is no stop of its own.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    auto* client = new ClientWidget(this);
    setWidget(client);
    client->installEventFilter(this);
}

void ClientArea::setDesignSize(QSize size)
{
    designSize_ = size;
    updateGeometry();
}

QSize ClientArea::sizeHint() const
{
    return designSize_.isValid() ? designSize_ : controlsExtent();
}

QSize ClientArea::minimumSizeHint() const
{
    const QSize room = screen()->availableSize() / 2;
    return controlsExtent().boundedTo(room);
}

QSize ClientArea::controlsExtent() const
{
    QRect reach;
    if (!widget())
        return QSize(0, 0);
    for (const QObject* child : widget()->children()) {
        const auto* control = qobject_cast<const QWidget*>(child);
        if (control && !control->isWindow() && !control->isHidden())
            reach |= control->geometry();
    }
    return reach.isValid() ? QSize(std::max(0, reach.right() + 1), std::max(0, reach.bottom() + 1))
                           : QSize(0, 0);
}

void ClientArea::refreshExtent()
{
    widget()->updateGeometry();
    updateGeometry();
    // The frame takes the new extent when it lays itself out again.
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

bool ClientArea::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == widget())
            static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ChildRemoved:
        if (watched != widget() || event->type() == QEvent::ChildRemoved)
            refreshExtent();
        break;
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace tk
