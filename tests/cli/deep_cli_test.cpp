// Deep views on the command line: a deep --render draws what the window's
// deep pass draws and writes the chunks Export View writes; every digit
// survives --render and --open-view; a zoom sequence goes from doubles into
// deep frames worked out in MPFR, its double frames drawn as always; a deep
// render stops on SIGINT while its levels are being worked out.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "explorer/engine/deep/deep_view.h"
#include "explorer/explorer_features.h"
#include "explorer/headless/deep_sequence.h"
#include "explorer/headless/headless_render.h"
#include "explorer/headless/zoom_sequence.h"
#include "explorer/view_export.h"
#include "explorer_fixture.h"
#include "run_zelmar.h"
#include "support/test_support.h"

namespace {

using explorer::deep::DeepView;
using explorer::deep::Mpfr;
using namespace explorer::headless;

QString firstDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xffffff) != (b.pixel(x, y) & 0xffffff))
                return QStringLiteral("pixel (%1, %2)").arg(x).arg(y);
    return QString();
}

std::size_t colours(const QImage& image)
{
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y));
    return seen.size();
}

QStringList args(std::initializer_list<const char*> fixed, const BoundTexts& view = {})
{
    QStringList list;
    for (const char* a : fixed)
        list << QString::fromLatin1(a);
    for (const std::string& t : view)
        if (!t.empty())
            list << QString::fromStdString(t);
    return list;
}

// About the Misiurewicz point i, where the boundary has detail at every
// scale: 4e-30 wide, 3e-30 high.
const BoundTexts At1e30{"-2e-30", "2e-30", "0.9999999999999999999999999999985",
                        "1.0000000000000000000000000000015"};

TEST(DeepRender, DrawsTheWindowsDeepPassAndWritesItsChunks)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("deep.png"));
    const auto run = cli_test::runZelmar(
        args({"--render"})
        << out << args({"--size", "160x120", "--iterations", "2000", "--quiet", "--view"}, At1e30));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage fromCommandLine(out);

    auto form = testing_support::makeExplorer(160, 120);
    form->MaxIter = 2000;
    const auto view = DeepView::fromText(At1e30[0], At1e30[1], At1e30[2], At1e30[3]);
    ASSERT_TRUE(view);
    explorer::ShowAndDraw(*form, *view);
    ASSERT_TRUE(testing_support::takeReports().empty());
    const explorer::ExplorerFeatures& features = *form->Features;
    ASSERT_TRUE(features.drawnDeepView().has_value()) << "the window did not draw a deep view";
    const QImage fromWindow =
        explorer::ViewImage(*form, {*features.drawnView(), features.drawnMaxIter(),
                                    features.drawnFields(), features.drawnDeepView()});

    EXPECT_GE(colours(fromWindow), 8u) << "a picture without detail tells little";
    const QString difference = firstDifference(fromCommandLine, fromWindow);
    EXPECT_TRUE(difference.isEmpty()) << "the pictures differ at " << difference.toStdString();
    // Every chunk as Export View writes it, the deep ones among them.
    EXPECT_TRUE(fromCommandLine.textKeys().contains(QStringLiteral("ZelmarDeepYMax")));
    EXPECT_EQ(fromCommandLine.textKeys(), fromWindow.textKeys());
    for (const QString& key : fromWindow.textKeys())
        EXPECT_EQ(fromCommandLine.text(key), fromWindow.text(key)) << key.toStdString();
}

// Bounds of 300 and more significant digits, 1e-300 apart.
BoundTexts at1e300()
{
    std::string tail;
    for (unsigned seed = 11; tail.size() < 320; seed = seed * 1103515245u + 12345u)
        tail += char('0' + (seed >> 16) % 10);
    return {"-2." + tail.substr(0, 305) + "e-300", "2." + tail.substr(5, 305) + "e-300",
            "0." + std::string(299, '9') + "8" + tail.substr(10, 10),
            "1." + std::string(299, '0') + "1" + tail.substr(20, 10)};
}

TEST(DeepRender, EveryDigitSurvivesRenderAndOpenView)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.png"));
    const QString second = dir.filePath(QStringLiteral("second.png"));
    const BoundTexts texts = at1e300();
    auto run = cli_test::runZelmar(
        args({"--render"}) << first
                           << args({"--size", "40x30", "--iterations", "3000", "--quiet", "--view"},
                                   texts));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    run = cli_test::runZelmar(args({"--render"})
                              << second << args({"--quiet", "--open-view"}) << first);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const auto typed = DeepView::fromText(texts[0], texts[1], texts[2], texts[3]);
    ASSERT_TRUE(typed);
    for (const QString& file : {first, second}) {
        const auto saved = explorer::ReadSavedView(file);
        ASSERT_TRUE(saved && saved->deep) << file.toStdString() << " holds no deep view";
        EXPECT_EQ(saved->maxIter, 3000);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(saved->deep->boundText(i), typed->boundText(i)) << "bound " << i;
            EXPECT_GE(explorer::deep::significantDigits(saved->deep->boundText(i)), 305);
        }
    }
    EXPECT_GE(colours(QImage(first)), 4u);
    EXPECT_TRUE(firstDifference(QImage(first), QImage(second)).isEmpty());
}

// Inside the main cardioid every pixel runs to a limit of a million: the
// levels take far longer than the signal takes to come.
TEST(DeepRender, StopsOnInterruptWhileItsLevelsAreWorkedOut)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("stopped.png"));
    const BoundTexts inside{"-0.1000000000000000000000000000000000000002",
                            "-0.0999999999999999999999999999999999999998",
                            "0.0999999999999999999999999999999999999998",
                            "0.1000000000000000000000000000000000000001"};
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    // Not quiet: the first line of the deep stage says the levels are being
    // worked out, with the stop signals caught.
    process.start(QStringLiteral(ZELMAR_BINARY),
                  args({"--render"}) << out
                                     << args({"--size", "64x48", "--iterations", "1000000",
                                              "--threads", "1", "--view"},
                                             inside));
    process.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(process.waitForStarted());
    QString err;
    while (!err.contains(QStringLiteral("deep: ")) && process.waitForReadyRead(10000))
        err += QString::fromLocal8Bit(process.readAllStandardError());
    ASSERT_TRUE(err.contains(QStringLiteral("deep: ")) && !err.contains(QStringLiteral("rows")))
        << "the deep stage was not seen before the rows: the stop is untested\n"
        << err.toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(5000)) << "the render did not stop within 5 s";
    err += QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("interrupted"))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

// The width of a view exactly, from its deep bounds when it has them.
Mpfr widthOf(const explorer::SavedView& saved)
{
    const DeepView v = saved.deep ? *saved.deep
                                  : DeepView::fromDoubles(saved.view.xMin, saved.view.xMax,
                                                          saved.view.yMin, saved.view.yMax);
    Mpfr w(400);
    mpfr_sub(w.get(), v.xMax().get(), v.xMin().get(), MPFR_RNDN);
    return w;
}

TEST(DeepSequence, CrossesFromDoublesIntoDeepFrames)
{
    QTemporaryDir dir;
    constexpr int Frames = 8, Width = 48, Height = 36, Limit = 600;
    const BoundTexts to{"-2e-22", "2e-22", "0.99999999999999999999985",
                        "1.00000000000000000000015"};
    const QString pattern = dir.filePath(QStringLiteral("f-%02d.png"));
    const auto run =
        cli_test::runZelmar(args({"--frames", "8", "--size", "48x36", "--iterations", "600",
                                  "--quiet", "--from", "-2.5", "1", "-1.3125", "1.3125", "--to"},
                                 to)
                            << QStringLiteral("--render") << pattern);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    int deepFrames = 0, doubleFrames = 0;
    std::optional<Mpfr> previousWidth;
    const double step = std::log(4e-22 / 3.5) / (Frames - 1);
    for (int i = 0; i < Frames; ++i) {
        SCOPED_TRACE(i);
        const QString file = QString::fromStdString(FrameName(pattern.toStdString(), i));
        const auto saved = explorer::ReadSavedView(file);
        ASSERT_TRUE(saved.has_value());
        const PlaneRect doubles{saved->view.xMin, saved->view.xMax, saved->view.yMin,
                                saved->view.yMax};
        const bool deepPass =
            saved->deep && explorer::deep::beyondDoubles(*saved->deep, Width - 1, Height - 1);
        (deepPass ? deepFrames : doubleFrames) += 1;
        // A double frame is the picture of its doubles as always; a deep one
        // the deep library's levels through the same pass.
        const QImage expected = RenderViewPicture(
            {doubles, Width, Height, Limit, 1, deepPass ? saved->deep : std::nullopt}, {});
        const QString difference = firstDifference(QImage(file), expected);
        EXPECT_TRUE(difference.isEmpty()) << difference.toStdString();
        // One zoom factor from frame to frame, across the switch, to far
        // below what doubles would keep.
        const Mpfr width = widthOf(*saved);
        if (previousWidth) {
            Mpfr ratio(400);
            mpfr_div(ratio.get(), width.get(), previousWidth->get(), MPFR_RNDN);
            EXPECT_NEAR(std::log(mpfr_get_d(ratio.get(), MPFR_RNDN)), step, 1e-5);
        }
        previousWidth = width;
    }
    EXPECT_GE(doubleFrames, 2);
    EXPECT_GE(deepFrames, 2);
}

// The zoom in MPFR: one factor per frame and the fixed point in place, at
// a depth where doubles hold neither.
TEST(DeepSequence, FramesInMpfrKeepTheFactorAndTheFixedPoint)
{
    const auto from = DeepView::fromText("-2.5", "1", "-1.3125", "1.3125");
    const auto to = DeepView::fromText(
        "-0.74364388703715870475219150611477e0", "-0.74364388703715870475219150611437e0",
        "0.13182590420531197049313205638510", "0.13182590420531197049313205638540");
    ASSERT_TRUE(from && to);
    constexpr int Frames = 13;
    const mpfr_prec_t p = 400;
    // The fixed point: xMin + f (xMax - xMin) at the same f in both ends.
    Mpfr w0(p), w1(p), fx(p), t(p);
    mpfr_sub(w0.get(), from->xMax().get(), from->xMin().get(), MPFR_RNDN);
    mpfr_sub(w1.get(), to->xMax().get(), to->xMin().get(), MPFR_RNDN);
    mpfr_mul(fx.get(), to->xMin().get(), w0.get(), MPFR_RNDN);
    mpfr_mul(t.get(), from->xMin().get(), w1.get(), MPFR_RNDN);
    mpfr_sub(fx.get(), fx.get(), t.get(), MPFR_RNDN);
    mpfr_sub(t.get(), w0.get(), w1.get(), MPFR_RNDN);
    mpfr_div(fx.get(), fx.get(), t.get(), MPFR_RNDN);
    Mpfr factor(p);
    mpfr_div(factor.get(), w1.get(), w0.get(), MPFR_RNDN);
    mpfr_rootn_ui(factor.get(), factor.get(), Frames - 1, MPFR_RNDN);
    std::optional<DeepView> previous;
    for (int i = 0; i < Frames; ++i) {
        SCOPED_TRACE(i);
        const auto frame = DeepFrameView(*from, *to, Frames, i, nullptr);
        ASSERT_TRUE(frame);
        Mpfr w(p), place(p), rel(p);
        mpfr_sub(w.get(), frame->xMax().get(), frame->xMin().get(), MPFR_RNDN);
        // Where the fixed point sits in the frame: the same in every one.
        mpfr_sub(place.get(), fx.get(), from->xMin().get(), MPFR_RNDN);
        mpfr_div(rel.get(), place.get(), w0.get(), MPFR_RNDN);
        Mpfr here(p);
        mpfr_sub(here.get(), fx.get(), frame->xMin().get(), MPFR_RNDN);
        mpfr_div(here.get(), here.get(), w.get(), MPFR_RNDN);
        mpfr_sub(here.get(), here.get(), rel.get(), MPFR_RNDN);
        EXPECT_LT(std::fabs(mpfr_get_d(here.get(), MPFR_RNDN)), 1e-25);
        if (previous) {
            Mpfr pw(p);
            mpfr_sub(pw.get(), previous->xMax().get(), previous->xMin().get(), MPFR_RNDN);
            mpfr_div(pw.get(), w.get(), pw.get(), MPFR_RNDN);
            mpfr_div(pw.get(), pw.get(), factor.get(), MPFR_RNDN);
            mpfr_sub_ui(pw.get(), pw.get(), 1, MPFR_RNDN);
            EXPECT_LT(std::fabs(mpfr_get_d(pw.get(), MPFR_RNDN)), 1e-25);
        }
        previous = frame;
    }
}

// Between two ends typed as doubles, frames doubles resolve are the double
// frames a sequence always had, bit for bit.
TEST(DeepSequence, DoubleEndsKeepTheirDoubleFrames)
{
    const BoundTexts fromTexts{"-2.5", "1", "-1.3125", "1.3125"};
    const BoundTexts toTexts{"-0.7454", "-0.7452", "0.1130", "0.11315"};
    const auto from = ChooseView(fromTexts, 240, 180, nullptr);
    const auto to = ChooseView(toTexts, 240, 180, nullptr);
    ASSERT_TRUE(from && to);
    EXPECT_FALSE(from->deep || to->deep);
    for (int i = 0; i < 12; ++i) {
        const auto frame = FrameOfSequence(*from, *to, 12, i, 240, 180, nullptr);
        ASSERT_TRUE(frame);
        const PlaneRect expected = FrameView(from->doubles, to->doubles, 12, i);
        EXPECT_FALSE(frame->deep.has_value()) << i;
        EXPECT_EQ(std::memcmp(&frame->doubles, &expected, sizeof expected), 0) << i;
    }
}

} // namespace
