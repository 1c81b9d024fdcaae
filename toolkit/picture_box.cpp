// The canvas. Drawing marks a dirty rectangle; it reaches the screen either
// at Refresh or, queued, the next time events are handled, and each dirty
// area is painted once.
#include "picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <cstdlib>

#include "form.h"
#include "units.h"

namespace tk {

namespace {

int roundPixel(float v)
{
    return int(std::nearbyint(v));
}

std::int16_t buttonBits(Qt::MouseButtons buttons)
{
    return std::int16_t((buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
                        (buttons & Qt::MiddleButton ? 4 : 0));
}

std::int16_t shiftBits(Qt::KeyboardModifiers mods)
{
    return std::int16_t((mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0) |
                        (mods & Qt::AltModifier ? 4 : 0));
}

// Dashes of six pixels with gaps of four, restarting with every line.
constexpr int DashOn = 6;
constexpr int DashPeriod = 10;

} // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    const QColor base = palette().color(QPalette::Base);
    backColor_ = base.red() + 256 * base.green() + 65536 * base.blue();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resizeImage(1, 1);
}

int PictureBox::Left() const
{
    return toDevice(x());
}

int PictureBox::Top() const
{
    return toDevice(y());
}

void PictureBox::setLeft(int px)
{
    move(toLogical(px), y());
}

void PictureBox::setTop(int px)
{
    move(x(), toLogical(px));
}

void PictureBox::setWidth(int px)
{
    resizeImage(px, image_.height());
}

void PictureBox::setHeight(int px)
{
    resizeImage(image_.width(), px);
}

void PictureBox::resizeImage(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (!image_.isNull() && image_.width() == width && image_.height() == height)
        return;
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(toRgb(backColor_));
    if (!image_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = next;
    const double dpr = devicePixelRatio();
    image_.setDevicePixelRatio(dpr);
    resize(toLogical(width), toLogical(height));
    dirty_ = QRect();
    update();
}

void PictureBox::setMousePointer(int shape)
{
    applyMousePointer(this, shape);
}

void PictureBox::erase()
{
    image_.fill(toRgb(backColor_));
    if (!picture_.isNull()) {
        QPainter p(&image_);
        p.drawImage(QPointF(0, 0), picture_);
    }
}

void PictureBox::Cls()
{
    erase();
    markDirty(image_.rect());
}

void PictureBox::ClsUntilRefresh()
{
    erase();
    dirty_ |= image_.rect();
}

void PictureBox::setPicture(const QImage& picture)
{
    picture_ = picture.convertToFormat(QImage::Format_RGB32);
    picture_.setDevicePixelRatio(image_.devicePixelRatio());
    Cls();
}

void PictureBox::Line(float x1f, float y1f, float x2f, float y2f)
{
    int x = roundPixel(x1f), y = roundPixel(y1f);
    const int x2 = roundPixel(x2f), y2 = roundPixel(y2f);
    const int dx = std::abs(x2 - x), dy = -std::abs(y2 - y);
    const int sx = x < x2 ? 1 : -1, sy = y < y2 ? 1 : -1;
    const QRgb pen = toRgb(foreColor_) & 0xffffff;
    const int w = image_.width(), h = image_.height();
    int err = dx + dy;
    int minX = w, minY = h, maxX = -1, maxY = -1;
    for (int step = 0; !(x == x2 && y == y2); ++step) {
        const bool ink = drawStyle_ != Dashed || step % DashPeriod < DashOn;
        if (ink && unsigned(x) < unsigned(w) && unsigned(y) < unsigned(h)) {
            QRgb& px = reinterpret_cast<QRgb*>(image_.scanLine(y))[x];
            px = drawMode_ == XorPen ? (px ^ pen) | 0xff000000u : pen | 0xff000000u;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    if (maxX >= 0)
        markDirty(QRect(QPoint(minX, minY), QPoint(maxX, maxY)));
}

QRgb* PictureBox::RowForRefresh(int y, int& n)
{
    n = std::min(n, image_.width());
    if (unsigned(y) >= unsigned(image_.height()) || n <= 0)
        return nullptr;
    dirty_ |= QRect(0, y, n, 1);
    return reinterpret_cast<QRgb*>(image_.scanLine(y));
}

std::int32_t PictureBox::Point(int x, int y) const
{
    if (unsigned(x) >= unsigned(image_.width()) || unsigned(y) >= unsigned(image_.height()))
        return -1;
    const QRgb c = image_.pixel(x, y);
    return qRed(c) + 256 * qGreen(c) + 65536 * qBlue(c);
}

void PictureBox::Refresh()
{
    if (dirty_.isEmpty())
        return;
    const QRect r = toLogicalRect(dirty_);
    dirty_ = QRect();
    repaint(r);
}

void PictureBox::scheduleFlush()
{
    if (flushPending_)
        return;
    flushPending_ = true;
    QMetaObject::invokeMethod(this, &PictureBox::flushDirty, Qt::QueuedConnection);
}

void PictureBox::flushDirty()
{
    flushPending_ = false;
    if (dirty_.isEmpty())
        return;
    update(toLogicalRect(dirty_));
    dirty_ = QRect();
}

QRect PictureBox::toLogicalRect(const QRect& r) const
{
    const double dpr = image_.devicePixelRatio();
    if (dpr == 1.0)
        return r;
    return QRectF(r.x() / dpr, r.y() / dpr, r.width() / dpr, r.height() / dpr).toAlignedRect();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect r = event->rect();
    const double dpr = image_.devicePixelRatio();
    // The image is opaque: only what it does not cover needs the background.
    const QRect covered = toLogicalRect(image_.rect());
    if (!covered.contains(r))
        p.fillRect(r, palette().color(QPalette::Window));
    const QRectF source(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr);
    p.drawImage(QRectF(r), image_, source);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    const QPointF pos = event->position() * devicePixelRatio();
    emit MouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), float(pos.x()),
                   float(pos.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position() * devicePixelRatio();
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(pos.x()),
                   float(pos.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF pos = event->position() * devicePixelRatio();
    emit MouseUp(buttonBits(event->button()), shiftBits(event->modifiers()), float(pos.x()),
                 float(pos.y()));
}

} // namespace tk
