// The explorer's features beyond its designed controls, on the real window:
// the iteration limit (and the fast pass's exactness at other limits), the
// view history, wheel zoom, Escape during a drag, PNG export and Open View,
// and the status line.
#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

#include "explorer/explorer_features.h"
#include "explorer/field_labels.h"
#include "explorer/iteration_dialog.h"
#include "explorer/status_line.h"
#include "explorer/view_export.h"
#include "explorer/view_history.h"
#include "explorer/wheel_zoom.h"
#include "explorer_fixture.h"
#include "interaction.h"
#include "support/test_support.h"
#include "toolkit/numbers.h"

using explorer::Form1;
using explorer::PlaneView;
using namespace testing_support;

namespace {

constexpr PlaneView Seahorse{-0.7454, -0.7452, 0.1130, 0.11315};

PlaneView viewOf(const Form1& f)
{
    return {f.XMin, f.XMax, f.YMin, f.YMax};
}

void setPlaneView(Form1& f, const PlaneView& v)
{
    setView(f, v.xMin, v.xMax, v.yMin, v.yMax);
}

std::vector<std::uint8_t> levelsOf(const Form1& f)
{
    return f.LevelGrid.data;
}

// Sends one wheel event of `angle` eighths of a degree at canvas position pos.
void wheel(Form1& f, QPointF pos, int angle)
{
    QWheelEvent event(pos, f.Picture1->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.Picture1, &event);
}

void pressKey(QWidget* w, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// Answers the next modal IterationDialog with `limit` (or cancels it).
void answerIterations(int limit, bool accept = true)
{
    QTimer::singleShot(0, [=] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<explorer::IterationDialog*>(w); d && d->isVisible()) {
                d->lineEdit()->setText(QString::number(limit));
                accept ? d->accept() : d->reject();
                return;
            }
        ADD_FAILURE() << "no iteration dialog open";
    });
}

class Answers {
public:
    explicit Answers(std::optional<QString> name)
    {
        previous_ = tk::CommonDialog::setAnswerer(
            [name](const tk::CommonDialog::Request&) { return name; });
    }
    ~Answers() { tk::CommonDialog::setAnswerer(previous_); }

private:
    tk::CommonDialog::Answerer previous_;
};

} // namespace

// The limit goes through the dialog into MaxIter (shown as the current
// value, untouched on Cancel), and a deeper limit changes the picture.
TEST(Iterations, DialogSetsTheLimitOfTheNextPass)
{
    auto f = makeExplorer(64, 48);
    setPlaneView(*f, Seahorse);
    f->Command1_Click();
    const auto at256 = levelsOf(*f);

    answerIterations(40, false);
    f->Features->IterationsMenu->trigger();
    EXPECT_EQ(f->MaxIter, 256);

    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<explorer::IterationDialog*>(w); d && d->isVisible()) {
                EXPECT_EQ(d->lineEdit()->text(), QStringLiteral("256"));
                d->lineEdit()->setText(QStringLiteral("4096"));
                d->accept();
            }
    });
    f->Features->IterationsMenu->trigger();
    EXPECT_EQ(f->MaxIter, 4096);
    f->Command1_Click();
    EXPECT_NE(levelsOf(*f), at256);
    EXPECT_EQ(f->Features->drawnMaxIter(), 4096);
    EXPECT_TRUE(takeReports().empty());
}

// The pass with the render engine gives exactly the grids and canvas of the
// plain one-pixel-at-a-time pass, at limits below, around and far above the
// palette's cycle, on views where deep counts matter.
TEST(Iterations, FastPassEqualsThePlainPassAtEveryLimit)
{
    const PlaneView views[] = {Seahorse,
                               {-0.75, -0.73, 0.1, 0.115},
                               {-0.7436447860, -0.7436438870, 0.1318252536, 0.1318259278},
                               {-2.5, 1, -1.3125, 1.3125}};
    for (int limit : {16, 64, 1000, 20000}) {
        for (const PlaneView& v : views) {
            auto fast = makeExplorer(96, 72);
            auto plain = makeExplorer(96, 72);
            plain->Engine.setEnabled(false);
            for (Form1* f : {fast.get(), plain.get()}) {
                f->MaxIter = limit;
                setPlaneView(*f, v);
                f->Command1_Click();
            }
            EXPECT_GT(fast->Engine.stats().borderPixels, 0) << "engine not armed at " << limit;
            EXPECT_EQ(fast->Engine.stats().misses, 0) << limit;
            EXPECT_EQ(fast->LevelGrid.data, plain->LevelGrid.data) << "limit " << limit;
            EXPECT_EQ(fast->DoneGrid.data, plain->DoneGrid.data) << "limit " << limit;
            EXPECT_EQ(fast->Picture1->image(), plain->Picture1->image()) << "limit " << limit;
        }
    }
}

// Back and Forward walk the drawn views and draw them; a new view after
// going back drops the views ahead; Home draws the start view; the items
// are disabled when there is nowhere to go.
TEST(History, BackForwardHomeAndTheDroppedForwardViews)
{
    auto f = makeExplorer(64, 48);
    explorer::ViewHistory& h = *f->Features->History;
    EXPECT_FALSE(h.BackMenu->isEnabled());
    EXPECT_FALSE(h.ForwardMenu->isEnabled());

    f->Command1_Click(); // the start view
    const QStringList startFields = fieldTexts(*f);
    drag(*f, Qt::LeftButton, {10, 10}, {{40, 30}});
    const QStringList secondFields = fieldTexts(*f);
    const PlaneView second = viewOf(*f);
    f->Command1_Click();
    drag(*f, Qt::LeftButton, {5, 5}, {{20, 17}});
    f->Command1_Click();
    const PlaneView third = viewOf(*f);
    ASSERT_EQ(h.views().size(), 3u);
    EXPECT_TRUE(h.BackMenu->isEnabled());
    EXPECT_FALSE(h.ForwardMenu->isEnabled());

    h.BackMenu->trigger();
    EXPECT_EQ(fieldTexts(*f), secondFields);
    EXPECT_EQ(f->Features->drawnView(), second);
    EXPECT_EQ(f->Running, 0);
    h.BackMenu->trigger();
    EXPECT_EQ(fieldTexts(*f), startFields);
    EXPECT_FALSE(h.BackMenu->isEnabled());
    h.BackMenu->trigger(); // nothing further back: nothing changes
    EXPECT_EQ(fieldTexts(*f), startFields);
    h.ForwardMenu->trigger();
    h.ForwardMenu->trigger();
    EXPECT_EQ(f->Features->drawnView(), third);
    EXPECT_FALSE(h.ForwardMenu->isEnabled());

    // Back twice, then a new view: the two views ahead are gone.
    h.BackMenu->trigger();
    h.BackMenu->trigger();
    f->Features->Wheel->zoomAt({32, 24}, 1);
    EXPECT_EQ(h.views().size(), 2u);
    EXPECT_FALSE(h.ForwardMenu->isEnabled());

    h.HomeMenu->trigger();
    EXPECT_EQ(f->Features->drawnView(), explorer::StartView);
    EXPECT_EQ(h.views().size(), 3u);
    EXPECT_TRUE(takeReports().empty());
}

// One notch about the pointer: the plane point under it stays within a
// pixel, the view halves (or doubles) and keeps its 4:3 shape, the fields
// show it, and it is drawn at once.
TEST(WheelZoom, NotchKeepsThePointUnderThePointerAndDraws)
{
    auto f = makeExplorer(64, 48);
    f->Command1_Click();
    const QPointF pos(17, 30);
    const double re = f->XValues[17], im = f->YValues[30];
    const double width = f->XMax - f->XMin, height = f->YMax - f->YMin;

    wheel(*f, pos, 120);
    EXPECT_NEAR(f->XMax - f->XMin, width / 2, width * 1e-12);
    EXPECT_NEAR(f->YMax - f->YMin, height / 2, height * 1e-12);
    const double pixel = (f->XMax - f->XMin) / f->LastCol;
    EXPECT_NEAR(f->XValues[17], re, pixel);
    EXPECT_NEAR(f->YValues[30], im, pixel);
    EXPECT_EQ(f->Features->drawnView(), viewOf(*f));
    EXPECT_EQ(f->Text5->Text(), tk::Str(f->XMax - f->XMin));
    EXPECT_TRUE(
        showsReference(*f, reference::render({f->XMin, f->XMax, f->YMin, f->YMax}, 64, 48)));

    // Out again: back to the same extent about the same point.
    wheel(*f, pos, -120);
    EXPECT_NEAR(f->XMax - f->XMin, width, width * 1e-12);
    EXPECT_NEAR(f->XValues[17], re, (f->XMax - f->XMin) / f->LastCol);

    // Half a notch (a smooth wheel) waits for the other half.
    const PlaneView before = viewOf(*f);
    wheel(*f, pos, 60);
    EXPECT_EQ(viewOf(*f), before);
    wheel(*f, pos, 60);
    EXPECT_NEAR(f->XMax - f->XMin, width / 2, width * 1e-12);
    EXPECT_TRUE(takeReports().empty());
}

// A notch while paused: the pass resumes with the new view and completes it.
TEST(WheelZoom, NotchWhilePausedResumesWithTheNewView)
{
    auto f = makeExplorer(64, 48);
    bool paused = false;
    PlaneView zoomed{};
    atNextYield(*f, [&] {
        f->Command2_Click(); // pause; the notch below runs inside the wait
    });
    QTimer::singleShot(5, [&] {
        paused = f->Command2->Caption() == QLatin1String("&Resume");
        wheel(*f, {32, 24}, 120);
        zoomed = viewOf(*f);
    });
    f->Command1_Click();
    EXPECT_TRUE(paused);
    EXPECT_EQ(f->Command2->Caption(), QLatin1String("&Pause"));
    EXPECT_EQ(f->Running, 0);
    EXPECT_EQ(f->Features->drawnView(), zoomed);
    EXPECT_TRUE(showsReference(
        *f, reference::render({zoomed.xMin, zoomed.xMax, zoomed.yMin, zoomed.yMax}, 64, 48)));
    EXPECT_TRUE(takeReports().empty());
}

// A notch while a pass runs restarts it with the new view: when everything
// has returned, the canvas shows the new view and the window is idle.
TEST(WheelZoom, NotchWhileRunningRestartsWithTheNewView)
{
    auto f = makeExplorer(64, 48);
    PlaneView zoomed{};
    bool wasRunning = false;
    atNextYield(*f, [&] {
        wasRunning = f->Running == explorer::True;
        wheel(*f, {20, 10}, 120);
        zoomed = viewOf(*f);
    });
    f->Command1_Click();
    EXPECT_TRUE(wasRunning);
    EXPECT_EQ(f->Running, 0);
    EXPECT_EQ(f->Command1->Caption(), QLatin1String("&Go"));
    EXPECT_EQ(f->Features->drawnView(), zoomed);
    EXPECT_TRUE(showsReference(
        *f, reference::render({zoomed.xMin, zoomed.xMax, zoomed.yMin, zoomed.yMax}, 64, 48)));
    EXPECT_TRUE(takeReports().empty());
}

// Escape in the middle of a drag: the band is gone from the canvas, the
// bounds and fields are those of the canvas's view, later movement draws
// nothing and the release selects nothing.
TEST(WheelZoom, EscapeCancelsADrag)
{
    auto f = makeExplorer(64, 48);
    f->Command1_Click();
    const QImage canvas = f->Picture1->image();
    const QStringList fields = fieldTexts(*f);
    const PlaneView view = viewOf(*f);
    press(*f, Qt::LeftButton, {10, 10});
    move(*f, Qt::LeftButton, {40, 30});
    ASSERT_NE(f->Picture1->image(), canvas);
    pressKey(f->Picture1, Qt::Key_Escape);
    EXPECT_EQ(f->CornerDrag, 0);
    EXPECT_EQ(f->CornerBox, 0);
    EXPECT_EQ(f->Picture1->image(), canvas);
    move(*f, Qt::LeftButton, {50, 40});
    release(*f, Qt::LeftButton, {50, 40});
    EXPECT_EQ(f->Picture1->image(), canvas);
    EXPECT_EQ(viewOf(*f), view);
    EXPECT_EQ(fieldTexts(*f), fields);
    // The next drag works as ever.
    drag(*f, Qt::LeftButton, {10, 10}, {{40, 30}});
    EXPECT_NE(viewOf(*f), view);
    EXPECT_TRUE(takeReports().empty());
}

// Export writes the canvas's pixels (not the rubber band) with the view's
// chunks; Open View brings the six fields and the limit back exactly and
// draws the view; a PNG without chunks is refused.
TEST(ViewExport, ExportedPngHasTheCanvasAndOpenViewRestoresIt)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("view.png"));
    auto f = makeExplorer(64, 48);
    f->MaxIter = 1000;
    setPlaneView(*f, Seahorse);
    f->FieldsStale = explorer::True;
    f->UpdateXY();
    f->Command1_Click();
    const QImage canvas = f->Picture1->image().convertToFormat(QImage::Format_RGB32);
    const QStringList fields = fieldTexts(*f);
    const PlaneView drawn = *f->Features->drawnView();
    drag(*f, Qt::LeftButton, {10, 10}, {{40, 30}}); // a band that must not be exported
    {
        Answers a(file);
        f->Features->Export->ExportMenu->trigger();
    }
    ASSERT_TRUE(takeReports().empty());
    QImageReader reader(file);
    ASSERT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.text(QStringLiteral("ZelmarMaxIter")), QStringLiteral("1000"));
    EXPECT_EQ(reader.text(QStringLiteral("ZelmarXMin")).toDouble(), drawn.xMin);
    const QImage written = reader.read().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(written, canvas);

    f->MaxIter = 256;
    f->Features->History->HomeMenu->trigger();
    {
        Answers a(file);
        f->Features->Export->OpenViewMenu->trigger();
    }
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(f->MaxIter, 1000);
    EXPECT_EQ(fieldTexts(*f), fields);
    EXPECT_EQ(f->Picture1->image().convertToFormat(QImage::Format_RGB32), canvas);

    // A PNG that carries no view.
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    ASSERT_TRUE(canvas.save(plain, "png"));
    {
        Answers a(plain);
        f->Features->Export->OpenViewMenu->trigger();
    }
    const auto reports = takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].description.contains(QStringLiteral("holds no view")));
    EXPECT_EQ(fieldTexts(*f), fields);
}

TEST(ViewExport, NothingDrawnIsRefusedAndNoFileWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("view.png"));
    auto f = makeExplorer(32, 24);
    Answers a(file);
    f->Features->Export->ExportMenu->trigger();
    EXPECT_EQ(takeReports().size(), 1u);
    EXPECT_FALSE(QFile::exists(file));
}

// The status line: the pointer's plane point to 15 digits, the pass's
// limit, the magnification, and the precision warning on a view too deep
// for doubles.
TEST(StatusLine, ShowsPointPassMagnificationAndPrecision)
{
    auto f = makeExplorer(64, 48);
    f->MaxIter = 512;
    f->Command1_Click();
    move(*f, Qt::NoButton, {16, 12});
    const QString text = f->Features->Status->text();
    EXPECT_TRUE(text.contains(QString::number(f->XValues[16], 'g', 15))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("at 512 iterations"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("magnification 1"))) << text.toStdString();
    EXPECT_FALSE(text.contains(explorer::StatusLine::precisionWarning()));

    // 0.3 wide at a pixel spacing of about 1e-17: past the limit.
    setView(*f, 0.3, 0.3 + 64e-17, 0.1, 0.1 + 48e-17);
    f->Command1_Click();
    EXPECT_TRUE(f->Features->Status->text().contains(explorer::StatusLine::precisionWarning()));
    // 1e-12 wide about 0.3: still fine.
    EXPECT_FALSE(explorer::StatusLine::beyondPrecision({0.3, 0.3 + 1e-12, 0, 0.75e-12}, 63, 47));

    // The line lies below the canvas, inside the window, and the labels
    // name their fields.
    const QLabel* line = f->Features->Status->label();
    EXPECT_GE(line->y(), f->Picture1->y() + f->Picture1->height());
    const auto& labels = f->Features->Labels->labels();
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Left"));
    EXPECT_EQ(labels[5]->buddy(), f->Text6);
    EXPECT_TRUE(takeReports().empty());
}

// File > Open takes a PNG picture as the background too (an exported view,
// say); the view, the fields and the canvas's size stay as they were.
TEST(ViewExport, OpenTakesAPngAsTheBackgroundPicture)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("background.png"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    picture.setPixel(3, 4, qRgb(255, 0, 0));
    ASSERT_TRUE(picture.save(file, "png"));
    auto f = makeExplorer(64, 48);
    const QStringList fields = fieldTexts(*f);
    {
        Answers a(file);
        f->OpenMenu->trigger();
    }
    EXPECT_TRUE(takeReports().empty());
    EXPECT_EQ(f->Picture1->Picture().convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(f->Picture1->Point(3, 4), 255);
    EXPECT_EQ(fieldTexts(*f), fields);

    // A file that only starts like a PNG is refused, the picture kept.
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    QFile out(broken);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("\x89PNG\r\n\x1a\n garbage");
    out.close();
    {
        Answers a(broken);
        f->OpenMenu->trigger();
    }
    EXPECT_EQ(takeReports().size(), 1u);
    EXPECT_EQ(f->Picture1->Picture().convertToFormat(QImage::Format_RGB32), picture);
}
