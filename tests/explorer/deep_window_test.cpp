// Deep zoom on the real window: views deeper than doubles resolve keep every
// digit through the fields, the history and exported PNGs; the wheel zooms on
// past the doubles' limit; the pass over a deep view draws what the deep
// library computes; and such a pass pauses, restarts and cancels.
#include <QApplication>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>

#include "explorer/engine/deep/deep_levels.h"
#include "explorer/explorer_features.h"
#include "explorer/status_line.h"
#include "explorer/view_export.h"
#include "explorer/view_history.h"
#include "explorer/wheel_zoom.h"
#include "explorer_fixture.h"
#include "deep_views.h"
#include "interaction.h"
#include "support/test_support.h"
#include "toolkit/common_dialog.h"

using explorer::Form1;
using explorer::deep::DeepView;
using explorer::deep::Mpfr;
using namespace testing_support;

namespace {

// Whether two decimal texts are the same number (read far beyond their digits).
bool sameNumber(const QString& a, const std::string& b)
{
    const auto bits = mpfr_prec_t(std::max<qsizetype>(a.size(), qsizetype(b.size()))) * 4 + 64;
    Mpfr x(bits), y(bits);
    if (mpfr_set_str(x.get(), a.toStdString().c_str(), 10, MPFR_RNDN) != 0 ||
        mpfr_set_str(y.get(), b.c_str(), 10, MPFR_RNDN) != 0)
        return false;
    return mpfr_equal_p(x.get(), y.get()) != 0;
}

bool sameBounds(const DeepView& a, const DeepView& b)
{
    return mpfr_equal_p(a.xMin().get(), b.xMin().get()) &&
           mpfr_equal_p(a.xMax().get(), b.xMax().get()) &&
           mpfr_equal_p(a.yMin().get(), b.yMin().get()) &&
           mpfr_equal_p(a.yMax().get(), b.yMax().get());
}

const DeepView& currentDeep(const Form1& f)
{
    const DeepView* v = f.Deep.current(f);
    if (!v)
        throw std::runtime_error("the window holds no deep view");
    return *v;
}

// Share of the canvas whose level equals the deep library's for the same view.
double agreement(const Form1& f, const DeepView& view)
{
    const std::atomic<bool> cancel{false};
    explorer::deep::DeepOptions options;
    options.maxIter = f.MaxIter;
    options.colorCycle = f.ColorCycle;
    const auto levels =
        explorer::deep::computeDeepLevels(view, f.LastCol + 1, f.LastRow + 1, options, cancel);
    EXPECT_TRUE(levels.error.empty()) << levels.error;
    int same = 0;
    for (int row = 0; row <= f.LastRow; ++row)
        for (int col = 0; col <= f.LastCol; ++col)
            same += f.LevelGrid(col, row) == levels.level(col, row);
    return double(same) / double((f.LastCol + 1) * (f.LastRow + 1));
}

std::size_t distinctLevels(const Form1& f)
{
    return std::set<std::uint8_t>(f.LevelGrid.data.begin(), f.LevelGrid.data.end()).size();
}

void wheelAt(Form1& f, QPointF pos, int notches)
{
    QWheelEvent event(pos, f.Picture1->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.Picture1, &event);
}

} // namespace

// 70 digits typed into each bound read back to the last digit, after the
// fields are rewritten from the view; the lock reshapes in MPFR.
TEST(DeepFields, SeventyTypedDigitsReadBack)
{
    auto f = makeExplorer(40, 30);
    f->KeepRatio = explorer::False;
    const DeepView typed = longView(60, 70);
    tk::TextBox* boxes[] = {f->Text1, f->Text2, f->Text3, f->Text4};
    // Width first, so that the order of typing loses nothing either way.
    for (int i : {1, 0, 3, 2})
        boxes[i]->setText(QString::fromStdString(typed.boundText(i)));
    f->Text4_LostFocus();
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(explorer::deep::significantDigits(boxes[i]->Text().toStdString()), 70) << i;
        EXPECT_TRUE(sameNumber(boxes[i]->Text(), typed.boundText(i)))
            << boxes[i]->Text().toStdString();
    }
    EXPECT_TRUE(sameBounds(currentDeep(*f), typed));

    // With the lock on, a width typed into a deep view sets the height to
    // three quarters of it (to the digits the fields show, far below a
    // pixel).
    f->KeepRatio = explorer::True;
    f->Text5->setText(QStringLiteral("8e-61"));
    const DeepView& locked = currentDeep(*f);
    Mpfr h(600), w(600);
    mpfr_sub(h.get(), locked.yMax().get(), locked.yMin().get(), MPFR_RNDN);
    mpfr_sub(w.get(), locked.xMax().get(), locked.xMin().get(), MPFR_RNDN);
    mpfr_mul_ui(h.get(), h.get(), 4, MPFR_RNDN);
    mpfr_mul_ui(w.get(), w.get(), 3, MPFR_RNDN);
    mpfr_sub(h.get(), h.get(), w.get(), MPFR_RNDN);
    mpfr_div(h.get(), h.get(), w.get(), MPFR_RNDN);
    EXPECT_LT(std::fabs(mpfr_get_d(h.get(), MPFR_RNDN)), 1e-20);
}

// A view of about 1e-300 keeps every digit through Back and through a PNG
// written by Export View and read by Open View.
TEST(DeepFields, HistoryAndPngKeepEveryDigitAt1e300)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("deep.png"));
    auto f = makeExplorer(24, 18);
    f->MaxIter = 60;
    const DeepView deepView = longView(300, 310);
    explorer::ShowAndDraw(*f, deepView);
    ASSERT_TRUE(takeReports().empty());
    ASSERT_TRUE(f->Features->drawnDeepView().has_value());
    EXPECT_TRUE(sameBounds(*f->Features->drawnDeepView(), deepView));
    EXPECT_TRUE(sameNumber(f->Text1->Text(), deepView.boundText(0)));

    const auto previous = tk::CommonDialog::setAnswerer(
        [&](const tk::CommonDialog::Request&) { return std::optional<QString>(file); });
    f->Features->Export->ExportMenu->trigger();
    EXPECT_EQ(QImageReader(file).text(QStringLiteral("ZelmarDeepXMin")).toStdString(),
              deepView.boundText(0));

    f->Features->History->HomeMenu->trigger();
    EXPECT_EQ(f->Deep.current(*f), nullptr);
    EXPECT_EQ(f->shownView(), explorer::StartView);
    f->Features->History->BackMenu->trigger();
    EXPECT_TRUE(sameBounds(currentDeep(*f), deepView));

    f->Features->History->HomeMenu->trigger();
    f->Features->Export->OpenViewMenu->trigger();
    tk::CommonDialog::setAnswerer(previous);
    EXPECT_TRUE(takeReports().empty());
    EXPECT_TRUE(sameBounds(currentDeep(*f), deepView));
    EXPECT_TRUE(sameNumber(f->Text4->Text(), deepView.boundText(3)));
}

// The pixel a user follows the boundary by: one of the set next to an
// escaped one, nearest the centre (else the slowest to escape).
QPointF boundaryPixel(const Form1& f)
{
    QPointF best(f.LastCol / 2.0, f.LastRow / 2.0);
    double bestDistance = 1e300;
    int slowest = -1;
    for (int row = 1; row < f.LastRow; ++row)
        for (int col = 1; col < f.LastCol; ++col) {
            const double d = std::hypot(col - f.LastCol / 2.0, row - f.LastRow / 2.0);
            const bool edge = f.LevelGrid(col, row) == 0 &&
                              (f.LevelGrid(col + 1, row) || f.LevelGrid(col - 1, row) ||
                               f.LevelGrid(col, row + 1) || f.LevelGrid(col, row - 1));
            const int level = edge ? 1000 : f.LevelGrid(col, row);
            if (level > slowest || (level == slowest && d < bestDistance)) {
                slowest = level;
                bestDistance = d;
                best = QPointF(col, row);
            }
        }
    return best;
}

// Sixty notches along the boundary, as a user follows it: the zoom goes on
// past the doubles' limit (about 46 notches here) with every halving exact
// once deep, and the pictures are the deep library's, not bands.
TEST(DeepWheel, SixtyNotchesZoomOnAndDrawTheLibrarysPicture)
{
    auto f = makeExplorer(33, 25);
    f->MaxIter = 600;
    setView(*f, -2, 2, -0.5, 2.5);
    f->FieldsStale = explorer::True;
    f->UpdateXY();
    f->Command1_Click();
    std::optional<Mpfr> widthAt50;
    for (int notch = 1; notch <= 60; ++notch) {
        wheelAt(*f, boundaryPixel(*f), 1);
        if (notch == 50) {
            const DeepView& v = currentDeep(*f);
            widthAt50.emplace(400);
            mpfr_sub(widthAt50->get(), v.xMax().get(), v.xMin().get(), MPFR_RNDN);
        }
        if (notch >= 50) {
            SCOPED_TRACE(notch);
            EXPECT_GE(agreement(*f, currentDeep(*f)), 0.995);
            EXPECT_GE(distinctLevels(*f), 4u);
        }
    }
    ASSERT_TRUE(takeReports().empty());
    const DeepView& v = currentDeep(*f);
    Mpfr w(400);
    mpfr_sub(w.get(), v.xMax().get(), v.xMin().get(), MPFR_RNDN);
    mpfr_mul_2si(w.get(), w.get(), 10, MPFR_RNDN);
    EXPECT_TRUE(mpfr_equal_p(w.get(), widthAt50->get()));
    EXPECT_TRUE(f->Features->Status->text().contains(QStringLiteral("deep zoom")))
        << f->Features->Status->text().toStdString();
    EXPECT_GE(f->Features->History->views().size(), 60u);
}

// Just above the switch the double pass draws; just below it the deep one:
// both agree with the deep library's levels of their views.
TEST(DeepWheel, PicturesAgreeAcrossTheSwitch)
{
    auto f = makeExplorer(41, 31);
    f->MaxIter = 400;
    for (const double halfWidth : {80e-15, 40e-15, 4e-15, 1e-15}) {
        SCOPED_TRACE(halfWidth);
        const explorer::PlaneView view{-halfWidth, halfWidth, 1 - halfWidth * 0.75,
                                       1 + halfWidth * 0.75};
        const auto deepView = explorer::DeepViewState::ofDoubles(view);
        ASSERT_TRUE(deepView);
        const bool deepPass = explorer::DeepViewState::beyondDoubles(*deepView, 40, 30);
        if (deepPass)
            explorer::ShowAndDraw(*f, *deepView);
        else
            explorer::ShowAndDraw(*f, view);
        EXPECT_EQ(f->Deep.current(*f) != nullptr, deepPass);
        // Doubles this close to their limit round a little in the orbits.
        // (against the view the window drew: a double view's fields rewrite
        // may move its last digits)
        const auto drawn = explorer::DeepViewState::ofDoubles(f->shownView());
        ASSERT_TRUE(drawn);
        EXPECT_GE(agreement(*f, deepPass ? *deepView : *drawn), deepPass ? 0.995 : 0.98);
    }
}

// A deep pass far too costly to finish (1,000,000 iterations at 1e-1000,
// no table) is paused while its levels are worked out, and a Home pressed
// in the pause cancels it: the window draws the start view and the deep
// levels never arrive.
TEST(DeepPass, PauseThenRestartCancelsTheDeepComputation)
{
    auto f = makeExplorer(24, 18);
    f->MaxIter = 1000000;
    f->DeepPass.options.useBla = false;
    int levelsArrived = 0;
    const auto toStatus = f->DeepPass.onLevels;
    f->DeepPass.onLevels = [&](const explorer::deep::DeepLevels& l) {
        ++levelsArrived;
        toStatus(l);
    };
    bool paused = false, homePressed = false;
    atNextYield(*f, [&] {
        // The orbit's progress, in iterations of the limit.
        EXPECT_TRUE(f->Features->Status->text().contains(
            QRegularExpression(QStringLiteral("deep zoom: reference orbit \\d+ of 1000000"))))
            << f->Features->Status->text().toStdString();
        atNextYield(*f, [&] {
            paused = f->Command2->Caption() == QLatin1String("&Resume");
            homePressed = true;
            f->MaxIter = 100;
            f->Features->History->HomeMenu->trigger();
        });
        f->Command2_Click(); // waits here until the restart's pass sets "&Pause"
    });
    explorer::ShowAndDraw(*f, interiorView(1000));
    EXPECT_TRUE(paused);
    EXPECT_TRUE(homePressed);
    EXPECT_EQ(levelsArrived, 0);
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(f->shownView(), explorer::StartView);
    EXPECT_EQ(f->Running, explorer::False);
    EXPECT_EQ(f->Command1->Caption(), QStringLiteral("&Go"));
    // What is on the canvas is the start view's picture.
    auto fresh = makeExplorer(24, 18);
    fresh->MaxIter = 100;
    fresh->Command1_Click();
    EXPECT_EQ(f->LevelGrid.data, fresh->LevelGrid.data);
}

// A deep pass restarted from its own wait (a Restart click) draws its view
// once, to the end, with the library's levels.
TEST(DeepPass, RestartDuringTheWaitDrawsTheView)
{
    auto f = makeExplorer(24, 18);
    f->MaxIter = 300;
    const DeepView v = longView(40, 50);
    atNextYield(*f, [&] { f->Command1_Click(); });
    explorer::ShowAndDraw(*f, v);
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(f->Running, explorer::False);
    EXPECT_GE(agreement(*f, v), 0.995);
}

// Input beyond what can be drawn: a message, and the window as it was.
TEST(DeepInput, TooDeepViewsAreRefusedInWords)
{
    auto f = makeExplorer(24, 18);
    // A width typed beyond a magnification of 1e100000.
    f->Text5->setText(QStringLiteral("1e-100002"));
    auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains(QStringLiteral("too deep")))
        << reports[0].description.toStdString();

    // The wheel at the deepest view there is goes no further.
    const DeepView deepest = longView(99999, 100002);
    f->Deep.show(*f, deepest);
    wheelAt(*f, {12, 9}, 20);
    reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(f->Features->drawnView().has_value()); // nothing was drawn
    EXPECT_TRUE(sameBounds(currentDeep(*f), deepest));

    // A field of 100,000 digits is taken whole and read back.
    f->Deep.show(*f, longView(99000, 100001));
    const std::string longText = currentDeep(*f).boundText(0) + std::string(100, '7');
    f->Text1->setText(QString::fromStdString(longText));
    f->Text1_LostFocus();
    EXPECT_TRUE(takeReports().empty());
    EXPECT_TRUE(sameNumber(f->Text1->Text(), longText));
}

// The rubber band over a deep view frames the pixels under it (to far
// below the new view's pixel spacing), and Escape during a drag puts the
// deep view back whole.
TEST(DeepSelection, BandFramesItsPixelsAndEscapeRestores)
{
    auto f = makeExplorer(24, 18);
    f->MaxIter = 100;
    const DeepView v = longView(40, 60);
    explorer::ShowAndDraw(*f, v);
    drag(*f, Qt::LeftButton, {4, 3}, {{12, 9}});
    const DeepView& framed = currentDeep(*f);
    const auto near = [](const Mpfr& got, const Mpfr& exact, const Mpfr& spacing) {
        Mpfr d(2000);
        mpfr_sub(d.get(), got.get(), exact.get(), MPFR_RNDN);
        mpfr_div(d.get(), d.get(), spacing.get(), MPFR_RNDN);
        return std::fabs(mpfr_get_d(d.get(), MPFR_RNDN)) < 1e-6;
    };
    Mpfr spacing(2000);
    mpfr_sub(spacing.get(), framed.xMax().get(), framed.xMin().get(), MPFR_RNDN);
    mpfr_div_ui(spacing.get(), spacing.get(), 23, MPFR_RNDN);
    EXPECT_TRUE(near(framed.xMin(), v.column(4, 23, 2000), spacing));
    EXPECT_TRUE(near(framed.xMax(), v.column(12, 23, 2000), spacing));
    EXPECT_TRUE(near(framed.yMax(), v.row(3, 17, 2000), spacing));
    EXPECT_TRUE(near(framed.yMin(), v.row(9, 17, 2000), spacing));
    EXPECT_GE(explorer::deep::significantDigits(f->Text1->Text().toStdString()), 40);

    // A new press measures against the canvas's view; Escape ends the drag.
    press(*f, Qt::LeftButton, {2, 2});
    move(*f, Qt::LeftButton, {8, 8});
    f->Features->Wheel->cancelDrag();
    EXPECT_TRUE(sameBounds(currentDeep(*f), v));
    EXPECT_TRUE(sameNumber(f->Text2->Text(), v.boundText(1)));
}
