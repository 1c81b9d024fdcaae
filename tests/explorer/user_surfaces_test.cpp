// The explorer as a new user meets it: wheel bursts faster than passes end,
// Enter in a field, Back and Forward with the iteration limit, the
// Iterations dialog's refusals, file names offered and completed by Save
// and Export, and the status line (start hint, progress, pause-free pass
// time, the pointer's point only while it is over the canvas).
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "dialog_answers.h"
#include "explorer/explorer_features.h"
#include "explorer/iteration_dialog.h"
#include "explorer/status_line.h"
#include "explorer/view_export.h"
#include "explorer/view_history.h"
#include "interaction.h"
#include "support/test_support.h"

using explorer::Form1;
using explorer::PlaneView;
using namespace testing_support;

namespace {

PlaneView viewOf(const Form1& f)
{
    return {f.XMin, f.XMax, f.YMin, f.YMax};
}

// One wheel event of `angle` eighths of a degree at canvas position pos.
void wheel(Form1& f, QPointF pos, int angle)
{
    QWheelEvent event(pos, f.Picture1->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.Picture1, &event);
}

// A burst of notches faster than passes end: each notch nests a pass inside
// the running one's yield until passes are nested as deep as they may be;
// the rest of the burst then arrives within one yield, where each is merged
// into a restart. Every notch counts, each building on the one before.
TEST(WheelBurst, EveryNotchOfABurstCounts)
{
    for (const int notches : {20, 30}) {
        SCOPED_TRACE(notches);
        auto f = makeExplorer(64, 48);
        const QPointF pos(20, 30);
        int sent = 0;
        std::function<void()> next = [&] {
            if (f->Passes.depth() < explorer::PassNesting::MaxDepth && sent + 1 < notches) {
                atNextYield(*f, next);
                ++sent;
                wheel(*f, pos, 120);
                return;
            }
            while (sent < notches) {
                ++sent;
                wheel(*f, pos, 120);
            }
        };
        next();
        EXPECT_EQ(sent, notches);
        EXPECT_EQ(f->Running, explorer::False);
        const double zoom = 8.0 / (f->XMax - f->XMin);
        EXPECT_NEAR(std::log2(zoom), notches, 1e-6);
        EXPECT_EQ(*f->Features->drawnView(), viewOf(*f)) << "the last view is the one drawn";
        EXPECT_TRUE(takeReports().empty());
    }
}

// Enter in a field rewrites the six fields as leaving it does, then draws.
TEST(FieldEnter, EnterRewritesTheFieldsAndDraws)
{
    auto f = makeExplorer(64, 48);
    typeInto(f->Text1, QStringLiteral("-2"));
    ASSERT_EQ(f->FieldsStale, explorer::True);
    QTest::keyClick(f->Text1, Qt::Key_Return);
    EXPECT_EQ(f->FieldsStale, explorer::False);
    EXPECT_EQ(fieldTexts(*f), explorer::FieldsFromBounds(viewOf(*f)));
    ASSERT_TRUE(f->Features->drawnView().has_value()) << "nothing was drawn";
    EXPECT_EQ(f->Features->drawnView()->xMin, -2);
    EXPECT_EQ(f->Running, explorer::False);
    EXPECT_TRUE(takeReports().empty());
}

// Back and Forward draw each view at the limit it was drawn with; the same
// view at another limit is a step of its own.
TEST(HistoryLimit, BackAndForwardRestoreTheIterationLimit)
{
    auto f = makeExplorer(64, 48);
    f->MaxIter = 256;
    f->Command1_Click();
    f->MaxIter = 1000;
    f->Command1_Click();
    setView(*f, -1, 0, -0.375, 0.375);
    f->MaxIter = 50;
    f->Command1_Click();
    const auto& history = *f->Features->History;
    ASSERT_EQ(history.views().size(), 3u);
    history.BackMenu->trigger();
    EXPECT_EQ(f->MaxIter, 1000);
    EXPECT_EQ(f->Features->drawnMaxIter(), 1000);
    history.BackMenu->trigger();
    EXPECT_EQ(f->MaxIter, 256);
    history.ForwardMenu->trigger();
    history.ForwardMenu->trigger();
    EXPECT_EQ(f->MaxIter, 50);
    EXPECT_EQ(viewOf(*f), (PlaneView{-1, 0, -0.375, 0.375}));
    EXPECT_TRUE(takeReports().empty());
}

// The dialog refuses what it cannot take, naming the range, and stays open;
// nothing typed is changed into another number.
TEST(IterationsDialog, RefusesWhatItCannotTakeAndNamesTheRange)
{
    auto f = makeExplorer(32, 24);
    for (const char* typed : {"1e9", "2147483648", "1,000,001", "5", "15", "abc", "", "-300"}) {
        SCOPED_TRACE(typed);
        bool stayedOpen = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<explorer::IterationDialog*>(w); d && d->isVisible()) {
                    d->lineEdit()->setText(QString::fromLatin1(typed));
                    d->accept();
                    stayedOpen = d->isVisible();
                    EXPECT_EQ(d->lineEdit()->text(), QString::fromLatin1(typed));
                    d->reject();
                }
        });
        f->Features->IterationsMenu->trigger();
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(f->MaxIter, 256);
        const auto reports = takeReports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].number, tk::ErrBadInput);
        EXPECT_TRUE(reports[0].description.contains(QStringLiteral("16 to 1,000,000")))
            << reports[0].description.toStdString();
    }
    for (const auto& [typed, limit] :
         {std::pair{"16", 16}, {" 4096 ", 4096}, {"1000000", 1000000}}) {
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<explorer::IterationDialog*>(w); d && d->isVisible()) {
                    d->lineEdit()->setText(QString::fromLatin1(typed));
                    d->accept();
                }
        });
        f->Features->IterationsMenu->trigger();
        EXPECT_EQ(f->MaxIter, limit);
    }
    EXPECT_TRUE(takeReports().empty());
}

// Save and Export offer a name with its extension and add the extension to
// a name typed without one.
TEST(FileNames, SaveAndExportOfferANameAndAddTheExtension)
{
    QTemporaryDir dir;
    auto f = makeWindow();
    f->Command1_Click();
    DialogAnswers answers({dir.filePath(QStringLiteral("pic")),
                           dir.filePath(QStringLiteral("exp1")),
                           dir.filePath(QStringLiteral("keep.me"))});
    f->SaveMenu->trigger();
    f->Features->Export->ExportMenu->trigger();
    f->Features->Export->ExportMenu->trigger();
    EXPECT_TRUE(takeReports().empty());
    ASSERT_EQ(answers.requests.size(), 3u);
    EXPECT_EQ(answers.requests[0].fileName, QStringLiteral("picture.bmp"));
    EXPECT_EQ(answers.requests[1].fileName, QStringLiteral("view.png"));
    EXPECT_EQ(answers.requests[2].fileName, dir.filePath(QStringLiteral("exp1.png")));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("pic.bmp"))).left(2), "BM");
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("exp1.png"))).mid(1, 3), "PNG");
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("keep.me"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("pic"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("exp1"))));
}

QString firstLine(const Form1& f)
{
    return f.Features->Status->text().section(QLatin1Char('\n'), 0, 0);
}

// At start the line says to press Go; a pass too short to read a progress
// line from leaves the line alone until it ends, but paused it shows the
// rows done of the total; the pass's time leaves out the time it was paused.
TEST(StatusProgress, HintProgressAndPassTimeWithoutPauses)
{
    auto f = makeExplorer(64, 48);
    EXPECT_TRUE(f->Features->Status->text().contains(explorer::StatusLine::startHint()));
    QString atFirstRow, paused;
    atNextYield(*f, [&] {
        atFirstRow = f->Features->Status->text();
        f->Command2_Click(); // pause; resumed 400 ms later
    });
    QTimer::singleShot(400, f.get(), [&] {
        paused = f->Features->Status->text();
        f->Command2_Click();
    });
    f->Command1_Click();
    EXPECT_TRUE(atFirstRow.contains(explorer::StatusLine::startHint())) << atFirstRow.toStdString();
    EXPECT_TRUE(paused.contains(explorer::StatusLine::progressText(1, 48, 0.0).section(',', 0, 0)))
        << paused.toStdString();
    const QString text = f->Features->Status->text();
    EXPECT_FALSE(text.contains(explorer::StatusLine::startHint()));
    const qsizetype at = text.indexOf(QStringLiteral("last pass "));
    ASSERT_GE(at, 0) << text.toStdString();
    const double seconds = text.mid(at + 10).section(' ', 0, 0).toDouble();
    // The pause alone was 0.4 s; the pass of 64 x 48 pixels takes a small
    // fraction of that.
    EXPECT_LT(seconds, 0.3) << text.toStdString();
    EXPECT_TRUE(takeReports().empty());
}

// A pass that waits long inside a row tells the row under way, once it has
// run a tenth of a second, rather than leaving the last pass's time up; not
// sooner, and never for a pass on the stack under a newer one.
TEST(StatusProgress, ALongWaitInsideARowShowsTheRowUnderWay)
{
    auto f = makeExplorer(64, 48);
    f->Command1_Click(); // the line now holds a last pass's time
    explorer::StatusLine& status = *f->Features->Status;
    const QString before = status.text();
    ASSERT_TRUE(before.contains(QStringLiteral("last pass "))) << before.toStdString();
    // The signals a pass sends, without its rows: its first row waits.
    emit f->passStarting();
    emit f->passWaiting();
    EXPECT_EQ(status.text(), before) << "progress after less than the interval";
    QTest::qWait(150);
    emit f->passWaiting();
    const QString waiting = status.text();
    EXPECT_TRUE(waiting.contains(explorer::StatusLine::progressText(1, 48, 0.0).section(',', 0, 0)))
        << waiting.toStdString();
    // A newer pass nested inside: the outer one's waits say nothing more.
    emit f->passStarting();
    emit f->passEnded();
    const QString afterNested = status.text();
    QTest::qWait(150);
    emit f->passWaiting();
    EXPECT_EQ(status.text(), afterNested);
    emit f->passEnded();
    EXPECT_TRUE(takeReports().empty());
}

// The point is cleared when the pointer leaves the canvas, and after a new
// view it is worked out from where the pointer is, not where it last moved.
TEST(StatusPointer, ClearedOnLeavingAndRecomputedFromThePointersPlace)
{
    auto f = makeExplorer(64, 48);
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.get()));
    f->Command1_Click();
    QCursor::setPos(f->Picture1->mapToGlobal(QPoint(16, 12)));
    move(*f, Qt::NoButton, {16, 12});
    EXPECT_TRUE(firstLine(*f).contains(QString::number(f->XValues[16], 'g', 15)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f->Picture1, &leave);
    EXPECT_TRUE(firstLine(*f).isEmpty()) << firstLine(*f).toStdString();

    // Back over the canvas; then the pointer moves without the canvas
    // hearing of it (a pass held the events), and a new view is drawn.
    move(*f, Qt::NoButton, {16, 12});
    QCursor::setPos(f->Picture1->mapToGlobal(QPoint(40, 30)));
    f->Features->History->HomeMenu->trigger();
    EXPECT_EQ(firstLine(*f), explorer::StatusLine::pointText(f->XValues[40], f->YValues[30]));
    QCursor::setPos(f->Picture1->mapToGlobal(QPoint(500, 500)));
    f->Command1_Click();
    EXPECT_TRUE(firstLine(*f).isEmpty()) << firstLine(*f).toStdString();
    EXPECT_TRUE(takeReports().empty());
}

} // namespace
