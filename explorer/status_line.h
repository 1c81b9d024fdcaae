// The status line below the canvas: the plane point under the pointer, the
// last pass's time and iteration limit, the magnification of the drawn view
// and a warning where doubles run out of precision. Updated from pass
// signals (which may come nested in yields) and pointer movement.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "plane_view.h"

class QLabel;

namespace explorer {

class Form1;
class ExplorerFeatures;

class StatusLine : public QObject {
    Q_OBJECT
public:
    StatusLine(Form1& form, const ExplorerFeatures& features);

    // Pixel spacing below this fraction of the view's largest coordinate
    // leaves neighbouring pixels with equal plane values.
    static constexpr double PrecisionLimit = 1e-15;
    static QString precisionWarning()
    {
        return QStringLiteral("precision limit: rows of equal values");
    }

    // The texts the line shows; a pass's report is empty before the first
    // pass has ended.
    static QString pointText(double re, double im);
    static QString viewText(const PlaneView& view, int lastCol, int lastRow);
    static bool beyondPrecision(const PlaneView& view, int lastCol, int lastRow);

    QLabel* label() const { return label_; }
    QString text() const;

    void passStarting();
    void passEnded();
    void viewDrawn();
    void pointerAt(float x, float y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void refresh();

    Form1& form_;
    const ExplorerFeatures& features_;
    QLabel* label_;
    // The canvas, kept here: the filter sees its events also while the
    // window is being torn down, when the window's members are gone.
    QWidget* canvas_;
    QString point_, pass_, view_;
    // One timer per pass on the stack (passes nest); only the newest pass's
    // time is reported, an outer pass that re-plots after it is not.
    struct Timing {
        QElapsedTimer timer;
        std::uint64_t id;
    };
    std::vector<Timing> timings_;
    std::uint64_t lastStarted_ = 0;
    // Where the pointer last was over the canvas: a new picture under a
    // still pointer gets its point shown too.
    std::optional<std::pair<float, float>> pointer_;
};

} // namespace explorer
