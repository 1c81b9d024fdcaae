// The scrolling frame around a window's client area: the controls keep the
// places the program gives them, the window is never forced larger than the
// screen, and whatever a small window cannot show is reached by scrolling.
#pragma once

#include <QScrollArea>
#include <QSize>

namespace tk {

class ClientArea : public QScrollArea {
    Q_OBJECT
public:
    // Creates the client area (the parent of every control) inside the
    // frame; the frame takes no focus of its own.
    explicit ClientArea(QWidget* parent);

    QWidget* client() const { return widget(); }

    // The size the client area asks for when the window is laid out: the
    // design-time size. Nothing makes it a minimum.
    void setDesignSize(QSize size);
    QSize sizeHint() const override;
    // The least the window may be shrunk to: all of the controls, but never
    // more than half the screen, which leaves room for the frame, the menu
    // bar and the desktop's panels on any screen. The window's first size
    // (at most two thirds of the screen) is never below it, so that nothing
    // resizes a window that the window manager has maximised.
    QSize minimumSizeHint() const override;

    // The bottom-right corner of the controls that are not hidden, in the
    // client area's coordinates: how far it must scroll.
    QSize controlsExtent() const;
    // Makes the frame and the window take a new extent into account.
    void refreshExtent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSize designSize_;
};

} // namespace tk
