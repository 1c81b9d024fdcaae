// The status line's texts for views deeper than doubles resolve: depth,
// precision, the reference orbit's length and the progress of its levels.
#include <QLabel>

#include <algorithm>
#include <cmath>

#include "explorer_features.h"
#include "form1.h"
#include "status_line.h"

namespace explorer {

namespace {

QString magnificationText(double log10Magnification)
{
    // 10^x as mantissa and exponent: far beyond what a double holds.
    const double exponent = std::floor(log10Magnification);
    const double mantissa = std::pow(10.0, log10Magnification - exponent);
    return QStringLiteral("magnification %1e%2")
        .arg(QString::number(mantissa, 'f', 2))
        .arg(QString::number(exponent, 'f', 0));
}

QString stageName(deep::DeepStage stage)
{
    switch (stage) {
    case deep::DeepStage::ReferenceOrbit:
        return QStringLiteral("reference orbit");
    case deep::DeepStage::BlaTable:
        return QStringLiteral("approximation table");
    case deep::DeepStage::Pixels:
        break;
    }
    return QStringLiteral("pixels");
}

} // namespace

QString StatusLine::deepViewText(const deep::DeepView& view, int lastCol, int lastRow)
{
    return magnificationText(view.log10Magnification()) +
           QStringLiteral("   deep zoom, %1 bits").arg(view.precisionFor(lastCol + 1, lastRow + 1));
}

QString StatusLine::deepProgressText(const DeepRender::Progress& p)
{
    // The magnification and the precision are beside it, in the view's part.
    if (p.stage == deep::DeepStage::ReferenceOrbit)
        return QStringLiteral("deep zoom: reference orbit %1 of %2 iterations")
            .arg(std::llround(p.fraction * double(p.iterationLimit)))
            .arg(p.iterationLimit);
    return QStringLiteral("deep zoom: %1 %2 %").arg(stageName(p.stage)).arg(int(p.fraction * 100));
}

QString StatusLine::deepRowsText(int rowsReady, int rowsDrawn, int rows, double seconds)
{
    return QStringLiteral("deep zoom: pixels %1 %, row %2 of %3, %4 s")
        .arg(int(100.0 * rowsReady / std::max(rows, 1)))
        .arg(rowsDrawn)
        .arg(rows)
        .arg(QString::number(seconds, 'f', 1));
}

QString StatusLine::referenceText(std::int64_t iterations, bool extended)
{
    return QStringLiteral(", reference %1 iterations%2")
        .arg(iterations)
        .arg(extended ? QStringLiteral(", extended exponent") : QString());
}

QString StatusLine::deepPointText(const deep::DeepView& view, float x, float y, int lastCol,
                                  int lastRow)
{
    lastCol = std::max(lastCol, 1);
    lastRow = std::max(lastRow, 1);
    const int col = std::clamp(int(std::lround(x)), 0, lastCol);
    const int row = std::clamp(int(std::lround(y)), 0, lastRow);
    const mpfr_prec_t bits = view.precisionFor(lastCol + 1, lastRow + 1);
    // Enough digits to tell a pixel from its neighbours, and a few more.
    const int digits = int(std::ceil(view.log10Magnification() + std::log10(lastCol + 1.0))) + 4;
    const auto text = [&](const deep::Mpfr& v) {
        char* s = nullptr;
        if (mpfr_asprintf(&s, "%.*Rg", std::max(digits, 15), v.get()) < 0)
            return QString();
        const QString t = QString::fromLatin1(s);
        mpfr_free_str(s);
        return t;
    };
    return QStringLiteral("x %1   y %2")
        .arg(text(view.column(col, lastCol, bits)), text(view.row(row, lastRow, bits)));
}

void StatusLine::deepProgress(const DeepRender::Progress& p)
{
    // The reference's length as soon as the orbit is done, unthrottled: it
    // stays for the rest of the pass.
    if (p.referenceIterations >= 0 && p.referenceIterations != referenceShown_)
        showReference(p.referenceIterations, p.extended);
    if (lastProgress_.isValid() && lastProgress_.elapsed() < ProgressInterval)
        return;
    lastProgress_.start();
    pass_ = p.stage == deep::DeepStage::Pixels
                ? deepRowsText(p.rowsReady, rowsDrawn_, p.rows, newestPassSeconds())
                : deepProgressText(p);
    refresh();
}

double StatusLine::newestPassSeconds() const
{
    return timings_.empty() ? 0.0 : activeSeconds(timings_.back());
}

void StatusLine::showReference(std::int64_t iterations, bool extended)
{
    const auto& v = features_.drawnDeepView();
    if (!v)
        return;
    referenceShown_ = iterations;
    view_ = deepViewText(*v, form_.LastCol, form_.LastRow) + referenceText(iterations, extended);
    refresh();
}

void StatusLine::deepLevelsDone(const deep::DeepLevels& levels)
{
    showReference(levels.referenceIterations, levels.extended);
}

} // namespace explorer
