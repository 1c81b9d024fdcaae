// The command line's picture of each benchmark view against the reference
// pass and against the window's own pass, pixel for pixel; its PNG chunks read
// back by Open View; a view that overflows.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <csignal>

#include "explorer/headless/headless_render.h"
#include "explorer/headless/start_palette.h"
#include "explorer/view_export.h"
#include "explorer_fixture.h"
#include "reference_render.h"
#include "run_zelmar.h"
#include "toolkit/picture_box.h"
#include "toolkit/runtime_error.h"

namespace {

using explorer::headless::PlaneRect;
using explorer::headless::RenderRequest;

constexpr int Width = 72, Height = 54;

PlaneRect rect(const reference::View& v)
{
    return {v.xMin, v.xMax, v.yMin, v.yMax};
}

// First differing pixel as text, or empty when the pictures agree.
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

QImage referencePicture(const reference::View& view)
{
    const reference::Picture pic = reference::render(view, Width, Height);
    QImage image(Width, Height, QImage::Format_RGB32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            image.setPixel(x, y, tk::PictureBox::toRgb(pic.colour[std::size_t(y) * Width + x]));
    return image;
}

// The window's own pass ("Go") on a canvas of the same size, as Export View
// writes it.
QImage windowPicture(const reference::View& view)
{
    auto form = testing_support::makeExplorer(Width, Height);
    testing_support::setView(*form, view.xMin, view.xMax, view.yMin, view.yMax);
    tk::guarded([&] { form->Command1_Click(); });
    return explorer::ViewImage(*form, {{view.xMin, view.xMax, view.yMin, view.yMax}, 256, {}});
}

class BenchmarkViewTest : public ::testing::TestWithParam<reference::NamedView> {};

TEST_P(BenchmarkViewTest, ProgramWithoutDisplayDrawsTheWindowsPicture)
{
    const reference::NamedView& named = GetParam();
    const QImage expected = referencePicture(named.view);
    const QString fromWindow = firstDifference(windowPicture(named.view), expected);
    ASSERT_TRUE(fromWindow.isEmpty())
        << "the window's pass and the reference differ at " << fromWindow.toStdString();
    QTemporaryDir dir;
    for (const QString& threads : {QStringLiteral("1"), QString()}) {
        const QString out = dir.filePath(QStringLiteral("view%1.png").arg(threads));
        QStringList args{QStringLiteral("--render"), out,
                         QStringLiteral("--size"),   QStringLiteral("%1x%2").arg(Width).arg(Height),
                         QStringLiteral("--quiet"),  QStringLiteral("--view")};
        for (double v : {named.view.xMin, named.view.xMax, named.view.yMin, named.view.yMax})
            args << QString::number(v, 'g', 17);
        if (!threads.isEmpty())
            args << QStringLiteral("--threads") << threads;
        const cli_test::Run run = cli_test::runZelmar(args);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QImage written(out, "png");
        ASSERT_FALSE(written.isNull());
        EXPECT_EQ(firstDifference(written, expected), QString())
            << named.name << (threads.isEmpty() ? " (every thread)" : " (--threads 1)");
        const auto saved = explorer::ReadSavedView(out);
        ASSERT_TRUE(saved.has_value()) << "Open View cannot read the view back";
        EXPECT_EQ(saved->view, (explorer::PlaneView{named.view.xMin, named.view.xMax,
                                                    named.view.yMin, named.view.yMax}));
        EXPECT_EQ(saved->maxIter, 256);
        EXPECT_EQ(saved->fields.size(), 6);
    }
}

INSTANTIATE_TEST_SUITE_P(Views, BenchmarkViewTest, ::testing::ValuesIn(reference::BenchmarkViews),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeadlessRender, PaletteIsTheWindowsStartPalette)
{
    auto form = testing_support::makeExplorer(8, 6);
    const auto palette = explorer::headless::StartPalette();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(palette[std::size_t(i)], form->Palette[i]) << "level " << i;
}

TEST(HeadlessRender, HigherLimitMatchesTheWindowAtThatLimit)
{
    // The reference knows only 256; the window's pass is the peer here.
    const reference::View view{-0.7454, -0.7452, 0.1130, 0.11315};
    auto form = testing_support::makeExplorer(Width, Height);
    testing_support::setView(*form, view.xMin, view.xMax, view.yMin, view.yMax);
    form->MaxIter = 3000;
    tk::guarded([&] { form->Command1_Click(); });
    const QImage window = explorer::ViewImage(*form, {{}, 3000, {}});
    for (int threads : {1, 2}) {
        const QImage headless = explorer::headless::RenderViewPicture(
            RenderRequest{rect(view), Width, Height, 3000, threads}, {});
        EXPECT_EQ(firstDifference(headless, window), QString()) << threads << " thread(s)";
    }
}

TEST(HeadlessRender, OverflowingViewFailsWithStatusOneAndNoFile)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("far.png"));
    const cli_test::Run run = cli_test::runZelmar(
        {QStringLiteral("--render"), out, QStringLiteral("--size"), QStringLiteral("16x12"),
         QStringLiteral("--view"), QStringLiteral("-1e308"), QStringLiteral("1e308"),
         QStringLiteral("-1"), QStringLiteral("1")});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("overflow"))) << run.err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST(HeadlessRender, OpenViewDrawsTheSameViewAndLimitAgain)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.png"));
    const QString second = dir.filePath(QStringLiteral("second.png"));
    const QStringList size{QStringLiteral("--size"), QStringLiteral("40x30"),
                           QStringLiteral("--quiet")};
    ASSERT_EQ(cli_test::runZelmar(QStringList{QStringLiteral("--render"), first,
                                              QStringLiteral("--iterations"), QStringLiteral("700"),
                                              QStringLiteral("--view"), QStringLiteral("0.25"),
                                              QStringLiteral("0.27"), QStringLiteral("-0.0075"),
                                              QStringLiteral("0.0075")} +
                                  size)
                  .status,
              0);
    // No --size: the opened picture's own size.
    ASSERT_EQ(cli_test::runZelmar({QStringLiteral("--render"), second,
                                   QStringLiteral("--open-view"), first, QStringLiteral("--quiet")})
                  .status,
              0);
    EXPECT_EQ(firstDifference(QImage(first), QImage(second)), QString());
    EXPECT_EQ(explorer::ReadSavedView(second)->maxIter, 700);
}

TEST(HeadlessRender, ProgressIsALinePerTenthOffATerminalAndNothingWhenQuiet)
{
    QTemporaryDir dir;
    const QStringList base{QStringLiteral("--render"), dir.filePath(QStringLiteral("p.png")),
                           QStringLiteral("--size"), QStringLiteral("20x40")};
    const cli_test::Run loud = cli_test::runZelmar(base);
    ASSERT_EQ(loud.status, 0);
    EXPECT_EQ(loud.err.count(QStringLiteral(" %")), 10) << loud.err.toStdString();
    EXPECT_TRUE(loud.err.contains(QStringLiteral("100 % (40 of 40 rows")))
        << loud.err.toStdString();
    const cli_test::Run quiet = cli_test::runZelmar(base + QStringList{QStringLiteral("--quiet")});
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, QString());
}

TEST(HeadlessRender, InterruptedRenderLeavesNoFile)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        QTemporaryDir dir;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        // Slow enough to be caught part-way: one thread, a deep limit, and the
        // whole set, whose slow boundary rows come after the first tenth.
        process.start(QStringLiteral(ZELMAR_BINARY),
                      {QStringLiteral("--render"), dir.filePath(QStringLiteral("big.png")),
                       QStringLiteral("--size"), QStringLiteral("1600x1200"),
                       QStringLiteral("--iterations"), QStringLiteral("1000000"),
                       QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--view"),
                       QStringLiteral("-2.5"), QStringLiteral("1"), QStringLiteral("-1.3125"),
                       QStringLiteral("1.3125")});
        process.setReadChannel(QProcess::StandardError);
        ASSERT_TRUE(process.waitForStarted());
        // The first progress line says the render is under way.
        ASSERT_TRUE(process.waitForReadyRead(30000)) << "no progress line";
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 128 + signal)
            << "the render ended before the signal came: interruption untested";
        EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError())
                        .contains(QStringLiteral("interrupted")));
        EXPECT_TRUE(
            QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}

} // namespace
