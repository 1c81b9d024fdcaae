// Mouse-wheel zoom about the pointer, and Escape to cancel a rubber-band
// drag. Both act on events the canvas and the application receive, so they
// may run nested in a pass's or a pause's yield; a zoom starts its pass there.
#pragma once

#include <QObject>
#include <QPointF>

namespace explorer {

class Form1;
class ExplorerFeatures;

class WheelZoom : public QObject {
    Q_OBJECT
public:
    // One notch of the wheel halves or doubles the view's extent.
    static constexpr double NotchFactor = 2.0;

    WheelZoom(Form1& form, const ExplorerFeatures& features);

    // Zooms in by `notches` (out when negative) about canvas position `pos`:
    // the plane point there stays there, the fields are rewritten and the
    // view is drawn at once.
    void zoomAt(QPointF pos, int notches);
    // Ends a drag in progress as if it had never begun: the rubber band is
    // erased and the bounds and fields show the canvas's view again.
    // Returns whether there was a drag to cancel.
    bool cancelDrag();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form1& form_;
    // The canvas, kept here: the filters see events also while the window
    // is being torn down, when the window's members are gone.
    QWidget* canvas_;
    const ExplorerFeatures& features_;
    int pendingAngle_ = 0; // eighths of a degree not yet a whole notch
};

} // namespace explorer
