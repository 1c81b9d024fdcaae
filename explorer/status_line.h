// The status line below the canvas: the plane point under the pointer
// (nothing once it leaves the canvas), a running pass's progress, the last
// pass's time without its pauses and its iteration limit, the magnification
// of the drawn view and a warning where doubles run out of precision; before
// the first pass, a hint to press Go. Updated from pass signals (which may
// come nested in yields) and pointer movement.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "deep_render.h"
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
    static QString startHint() { return QStringLiteral("Press Go to draw the view."); }
    static QString progressText(int rowsDone, int rows, double seconds);
    // A deep view: its magnification and the precision its pass works at.
    static QString deepViewText(const deep::DeepView& view, int lastCol, int lastRow);
    // The stage a deep pass's levels are at: the reference orbit's
    // iterations so far, the table's share done, then the share of rows
    // whose levels are ready beside the rows drawn.
    static QString deepProgressText(const DeepRender::Progress& progress);
    static QString deepRowsText(int rowsReady, int rowsDrawn, int rows, double seconds);
    static QString referenceText(std::int64_t iterations, bool extended);
    // The plane point at canvas position (x, y) of a deep view, with the
    // digits that tell neighbouring pixels apart.
    static QString deepPointText(const deep::DeepView& view, float x, float y, int lastCol,
                                 int lastRow);

    QLabel* label() const { return label_; }
    QString text() const;

    void passStarting();
    void passEnded();
    void viewDrawn();
    void pointerAt(float x, float y);
    void rowDrawn(std::int32_t row);
    void passWaiting();
    void passPaused();
    void passResumed();
    // A deep pass's levels: their progress, then what they took.
    void deepProgress(const DeepRender::Progress& progress);
    void deepLevelsDone(const deep::DeepLevels& levels);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void refresh();
    // The point under the pointer worked out again from where the pointer
    // is now (a new view under a still pointer), or cleared when it is not
    // over the canvas.
    void pointerAgain();
    void endPause();
    bool newestPassRuns() const;
    // Whether the newest pass has gone an interval without a progress
    // report (or, before its first, since it started).
    bool progressDue() const;
    // The newest pass's progress, now: `rows` of its rows drawn or being
    // drawn.
    void showProgress(int rows);

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
        qint64 pausedNs = 0; // time spent paused while this pass ran
    };
    double activeSeconds(const Timing& timing) const;
    std::vector<Timing> timings_;
    std::uint64_t lastStarted_ = 0;
    // Since when the passes are paused; a new pass or the end of the
    // pause's wait ends it.
    std::optional<QElapsedTimer> pausedSince_;
    // The progress is written at most this often (milliseconds), the first
    // time when a pass has run this long: a row takes far less than a
    // label's repaint.
    static constexpr qint64 ProgressInterval = 100;
    QElapsedTimer lastProgress_;
    // The newest pass's rows drawn, and the reference length the line shows
    // for it (-1: none yet).
    int rowsDrawn_ = 0;
    std::int64_t referenceShown_ = -1;
    void showReference(std::int64_t iterations, bool extended);
    double newestPassSeconds() const;
    // Where the pointer last was over the canvas (nothing once it left): a
    // new picture under a still pointer gets its point shown too.
    std::optional<std::pair<float, float>> pointer_;
};

} // namespace explorer
