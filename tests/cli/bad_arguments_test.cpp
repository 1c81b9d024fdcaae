// Arguments the command line cannot use: each gives its one-line reason, the
// usage line where the arguments are at fault, its exit status, and leaves no
// file behind. Also the views and names of a zoom sequence.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cmath>

#include "explorer/headless/command_line.h"
#include "explorer/headless/zoom_sequence.h"
#include "run_zelmar.h"

namespace {

struct BadCase {
    const char* name;
    QStringList args; // "OUT" stands for a file in the test's folder
    int status;
    const char* reason; // part of the one-line reason
};

const QStringList View{QStringLiteral("--view"), QStringLiteral("-2"), QStringLiteral("1"),
                       QStringLiteral("-1"), QStringLiteral("1")};

QStringList out(const QStringList& rest)
{
    return QStringList{QStringLiteral("--render"), QStringLiteral("OUT")} + rest;
}

const BadCase BadCases[] = {
    {"UnknownFlag", out({QStringLiteral("--zoom")}), 2, "unknown option '--zoom'"},
    {"SizeZero", out({QStringLiteral("--size"), QStringLiteral("0x0")}), 2, "--size: '0x0'"},
    {"SizeHuge", out({QStringLiteral("--size"), QStringLiteral("100000x100000")}), 2,
     "--size: '100000x100000'"},
    {"SizeNoHeight", out({QStringLiteral("--size"), QStringLiteral("640")}), 2, "--size"},
    {"IterationsZero", out({QStringLiteral("--iterations"), QStringLiteral("0")}), 2,
     "--iterations: '0'"},
    {"IterationsTooMany", out({QStringLiteral("--iterations"), QStringLiteral("1000001")}), 2,
     "--iterations"},
    {"ViewNotANumber",
     out({QStringLiteral("--view"), QStringLiteral("-2"), QStringLiteral("one"),
          QStringLiteral("-1"), QStringLiteral("1")}),
     2, "XMAX: 'one' is not a finite number"},
    {"ViewTooFewNumbers", out({QStringLiteral("--view"), QStringLiteral("-2")}), 2, "four numbers"},
    {"ShardOutOfRange",
     QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--from"),
                 QStringLiteral("-2"), QStringLiteral("1"), QStringLiteral("-1"),
                 QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("-1"),
                 QStringLiteral("0"), QStringLiteral("-0.5"), QStringLiteral("0.5"),
                 QStringLiteral("--render"), QStringLiteral("f-%03d.png"),
                 QStringLiteral("--shard"), QStringLiteral("3/3")},
     2, "--shard: '3/3'"},
    {"SequenceWithoutNumber",
     QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--from"),
                 QStringLiteral("-2"), QStringLiteral("1"), QStringLiteral("-1"),
                 QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("-1"),
                 QStringLiteral("0"), QStringLiteral("-0.5"), QStringLiteral("0.5"),
                 QStringLiteral("--render"), QStringLiteral("frame.png")},
     2, "exactly one %d"},
    {"ThreadsZero", out({QStringLiteral("--threads"), QStringLiteral("0")}), 2, "--threads"},
    {"NoRender", View, 2, "--render OUT is missing"},
    {"StrayArgument", out({QStringLiteral("extra")}), 2, "unexpected argument 'extra'"},
    {"FolderMissing", QStringList{QStringLiteral("--render"), QStringLiteral("missing/OUT")} + View,
     2, "does not exist"},
    {"OutIsANamedPipe", QStringList{QStringLiteral("--render"), QStringLiteral("pipe")} + View, 2,
     "is a named pipe, not a file"},
    {"OutIsAFolder", QStringList{QStringLiteral("--render"), QStringLiteral("folder")} + View, 2,
     "is a folder, not a file"},
    {"ViewTooDeep",
     out({QStringLiteral("--view"), QStringLiteral("0"), QStringLiteral("1e-100001"),
          QStringLiteral("0"), QStringLiteral("1e-100001")}),
     2, "--view: the view is deeper than a magnification of 1e100000"},
    {"ViewWithoutHeight",
     out({QStringLiteral("--view"), QStringLiteral("0"), QStringLiteral("1e-40"),
          QStringLiteral("0.5"), QStringLiteral("0.50000000000000000000000000000000000000000")}),
     2, "--view: the view has no width or no height"},
    {"SequenceEndTooDeep",
     QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--from"),
                 QStringLiteral("-2"), QStringLiteral("1"), QStringLiteral("-1"),
                 QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("0"),
                 QStringLiteral("1e-100001"), QStringLiteral("0"), QStringLiteral("1e-100001"),
                 QStringLiteral("--render"), QStringLiteral("f-%03d.png")},
     2, "--to: the view is deeper than a magnification of 1e100000"},
    {"SequenceDeepEndsOfOppositeWidths",
     QStringList{QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("--from"),
                 QStringLiteral("-2"), QStringLiteral("1"), QStringLiteral("-1"),
                 QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("2e-40"),
                 QStringLiteral("1e-40"), QStringLiteral("0"), QStringLiteral("1e-40"),
                 QStringLiteral("--render"), QStringLiteral("f-%03d.png")},
     2, "the same sign"},
    {"OpenViewUnreadable", out({QStringLiteral("--open-view"), QStringLiteral("nothing.png")}), 1,
     "'nothing.png' cannot be read as a view"},
};

class BadArgumentsTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadArgumentsTest, GivesItsReasonAndStatusAndLeavesNoFile)
{
    const BadCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600),
              0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    const QStringList before = entries();
    const cli_test::Run run = cli_test::runZelmar(c.args, dir.path());
    EXPECT_EQ(run.status, c.status) << run.err.toStdString();
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Zelmar: ")) &&
                lines[0].contains(QString::fromUtf8(c.reason)))
        << lines[0].toStdString();
    // The reason and, for bad arguments, the usage line: nothing else.
    ASSERT_EQ(lines.size(), c.status == 2 ? 2 : 1) << run.err.toStdString();
    if (c.status == 2) {
        EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Usage: Zelmar --render")));
    }
    EXPECT_EQ(entries(), before) << "a file was left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, BadArgumentsTest, ::testing::ValuesIn(BadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLine, HelpAndVersionNeedNothingElse)
{
    using explorer::headless::CommandLine;
    using explorer::headless::ParseCommandLine;
    EXPECT_EQ(ParseCommandLine({"--help"}).command->action, CommandLine::Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).command->action, CommandLine::Action::Version);
    EXPECT_EQ(ParseCommandLine({"-h"}).command->action, CommandLine::Action::Help);
    const cli_test::Run help = cli_test::runZelmar({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_FALSE(explorer::headless::WantsCommandLine({}));
    EXPECT_FALSE(explorer::headless::WantsCommandLine({"-platform", "xcb"}));
}

// Bounds longer than the fields take are refused as they are read (the
// system's argument limit would refuse them before the program runs).
TEST(CommandLine, BoundsLongerThanTheFieldsAreRefused)
{
    const std::string longest = "0." + std::string(199998, '1');
    const auto fits = explorer::headless::ParseCommandLine(
        {"--render", "o.png", "--view", longest, "1", "0", "1"});
    EXPECT_TRUE(fits.command.has_value()) << fits.error;
    const auto over = explorer::headless::ParseCommandLine(
        {"--render", "o.png", "--view", longest + "1", "1", "0", "1"});
    EXPECT_FALSE(over.command.has_value());
    EXPECT_NE(over.error.find("--view XMIN: more than 200000 characters"), std::string::npos)
        << over.error;
}

TEST(ZoomSequence, WidthShrinksByOneFactorAndTheFixedPointStays)
{
    using explorer::headless::FrameView;
    using explorer::headless::PlaneRect;
    const PlaneRect from{-2.5, 1, -1.3125, 1.3125}, to{-0.75, -0.73, 0.1, 0.115};
    const int frames = 9;
    EXPECT_EQ(FrameView(from, to, frames, 0).xMin, from.xMin);
    EXPECT_EQ(FrameView(from, to, frames, frames - 1).yMax, to.yMax);
    const double factor = (to.xMax - to.xMin) / (from.xMax - from.xMin);
    // The point that sits at the same place of every frame: fixed by the
    // first and last frames, it must hold for every frame between.
    const double px = (to.xMin * (from.xMax - from.xMin) - from.xMin * (to.xMax - to.xMin)) /
                      ((from.xMax - from.xMin) - (to.xMax - to.xMin));
    for (int i = 0; i + 1 < frames; ++i) {
        const PlaneRect a = FrameView(from, to, frames, i), b = FrameView(from, to, frames, i + 1);
        const double step = (b.xMax - b.xMin) / (a.xMax - a.xMin);
        EXPECT_NEAR(step, std::pow(factor, 1.0 / (frames - 1)), 1e-9) << "frame " << i;
        EXPECT_NEAR((px - a.xMin) / (a.xMax - a.xMin), (px - b.xMin) / (b.xMax - b.xMin), 1e-9);
        EXPECT_NEAR((b.yMax - b.yMin) / (a.yMax - a.yMin), step, 1e-9) << "same shape";
    }
}

TEST(ZoomSequence, FrameNamesCarryTheNumber)
{
    EXPECT_EQ(explorer::headless::FrameName("out/frame-%05d.png", 42), "out/frame-00042.png");
    EXPECT_EQ(explorer::headless::FrameName("%d%%.png", 7), "7%.png");
}

} // namespace
