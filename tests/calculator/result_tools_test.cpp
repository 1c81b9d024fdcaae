// The calculator's result tools through the real window: the status line
// (totals after Compute, reading hints while typing), Edit > Copy Result,
// and the amortization schedule window with its export and copy.
#include <QAbstractItemModel>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QStatusBar>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QTableView>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <optional>

#include "calculator/reading_hint.h"
#include "calculator/result_tools.h"
#include "calculator/schedule_window.h"
#include "calculator/loan_schedule.h"
#include "calculator/status_line.h"
#include "calculator_fixture.h"
#include "toolkit/common_dialog.h"
#include "toolkit/numbers.h"
#include "toolkit/units.h"

namespace {

using calculator::ResultTools;
using calculator::ScheduleWindow;

class ResultToolsTest : public CalculatorTest {
protected:
    void SetUp() override
    {
        // Money texts follow the default locale; the expectations are US.
        previousLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        CalculatorTest::SetUp();
        tools = form->findChild<ResultTools*>();
        ASSERT_NE(tools, nullptr);
    }

    void TearDown() override
    {
        CalculatorTest::TearDown();
        QLocale::setDefault(previousLocale);
    }

    QString status() const { return tools->statusLine()->message(); }

    ScheduleWindow* openSchedule()
    {
        EXPECT_TRUE(tools->scheduleAction->isEnabled())
            << tools->scheduleAction->toolTip().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
        ScheduleWindow* window = tools->scheduleWindow();
        EXPECT_NE(window, nullptr);
        if (window) {
            EXPECT_TRUE(window->isVisible());
            QApplication::setActiveWindow(window);
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        }
        return window;
    }

    // Makes the calculator the active window again, as a click on it does.
    void backToCalculator()
    {
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    ResultTools* tools = nullptr;
    QLocale previousLocale;
};

// Answers the export's file dialog with one path.
class ExportTo {
public:
    explicit ExportTo(QString path)
    {
        previous_ = tk::CommonDialog::setAnswerer(
            [path](const tk::CommonDialog::Request&) { return std::optional<QString>(path); });
    }
    ~ExportTo() { tk::CommonDialog::setAnswerer(previous_); }

private:
    tk::CommonDialog::Answerer previous_;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(ResultToolsTest, MenuBarAboveAndStatusLineBelowLeaveTheClientAreaAsDesigned)
{
    // The client area sits in the window's central frame (which would scroll
    // it in a window too small for it), shown whole at its design size of
    // 6480 x 4095 twips.
    const QWidget* frame = form->centralWidget();
    const QWidget* area = form->client();
    EXPECT_LE(form->menuBar()->geometry().bottom(), frame->geometry().top());
    EXPECT_GE(tools->statusLine()->geometry().top(), frame->geometry().bottom());
    EXPECT_EQ(area->size(), frame->size()) << "nothing to scroll";
    EXPECT_EQ(area->size(), QSize(tk::toLogical(int(std::lround(tk::ScaleX(6480)))),
                                  tk::toLogical(int(std::lround(tk::ScaleY(4095))))));
    // The window is the client area plus the two bars, no wider.
    EXPECT_EQ(form->width(), frame->width());
    EXPECT_EQ(form->height(),
              form->menuBar()->height() + frame->height() + tools->statusLine()->height());
    EXPECT_TRUE(status().isEmpty());
}

TEST_F(ResultToolsTest, ComputeShowsPaymentMonthsAndTotalsInTheLocalesMoney)
{
    EXPECT_EQ(solve("250000", "6.5", "360", ""), "1580.1700587324");
    // The described result text is untouched; the lender's cents are beside
    // it: 359 payments of 1,580.17 and a last one that ends at 0.00.
    EXPECT_EQ(status(), QStringLiteral("Payment $1,580.17 · 360 months · total paid $568,861.58 "
                                       "· interest $318,861.58 · last payment $1,580.55"));

    reset();
    EXPECT_TRUE(status().isEmpty());
    EXPECT_EQ(solve("100000", "7", "", "665.30"), "360");
    EXPECT_EQ(status(), QStringLiteral("Payment $665.30 · 360 months · total paid $239,510.98 "
                                       "· interest $139,510.98 · last payment $668.28"));

    // Too many months for a table still get their totals, in cents.
    reset();
    EXPECT_EQ(solve("1000", "0", "", "0.01"), "100000");
    EXPECT_EQ(status(), QStringLiteral("Payment $0.01 · 100,000 months · total paid $1,000.00 · "
                                       "interest $0.00"));

    // A payment that to the cent never covers the interest says so rather
    // than adding up money that does not exist.
    reset();
    solve("100000", "7", "12000", "");
    EXPECT_TRUE(status().contains("does not cover the first month's interest of $583.33"))
        << status().toStdString();
    reset();
    solve("100000", "12", "3000", "");
    EXPECT_TRUE(status().contains("does not cover")) << status().toStdString();

    // Another locale's grouping, decimal comma and currency sign.
    reset();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    solve("250000", "6.5", "360", "");
    EXPECT_TRUE(status().startsWith(QString::fromUtf8("Payment 1.580,17\u00a0€ · 360 months")))
        << status().toStdString();
}

TEST_F(ResultToolsTest, MoneyAsTypedComputesAsMeant)
{
    EXPECT_EQ(solve("$250,000", "6.5", "360", ""), "1580.1700587324");
    EXPECT_TRUE(status().startsWith("Payment $1,580.17")) << status().toStdString();
    reset();
    EXPECT_EQ(solve("$250,000", "", "360", "$1,580.17"), "6.49999964277443");
}

TEST_F(ResultToolsTest, StatusLineSaysHowATextThatIsNotEntirelyANumberWasRead)
{
    type(form->Text1, "$250,000");
    EXPECT_TRUE(status().isEmpty()) << status().toStdString();
    type(form->Text1, "250 000");
    EXPECT_EQ(status(), "Loan Amount read as 250: a space ends the number");
    EXPECT_EQ(form->Loan, 2500000); // the described parse is unchanged

    // The misread loan stays in view while another field is typed into.
    type(form->Text2, " 7.5");
    EXPECT_EQ(status(), "Loan Amount read as 250: a space ends the number");
    type(form->Text1, "250000");
    EXPECT_TRUE(status().isEmpty()) << status().toStdString();

    type(form->Text3, "1,5");
    EXPECT_EQ(status(), "# of Months read as 1: a comma ends the number");
    type(form->Text3, "360");
    EXPECT_TRUE(status().isEmpty()) << status().toStdString();

    // " 7.5" (the blank is skipped) and "250000" are numbers through and through.
    EXPECT_EQ(form->Text2->text(), " 7.5");
    EXPECT_EQ(form->APR, 7.5);

    // After a Compute that used such a reading, it stays beside the result.
    reset();
    solve("1000", "12%", "12", "");
    EXPECT_TRUE(status().startsWith("Interest Rate read as 12: \"%\" ends the number · Payment"))
        << status().toStdString();
}

TEST(ReadingHint, NamesWhatEndedTheNumberWhereTheParseStops)
{
    const std::pair<const char*, const char*> hints[] = {
        {"7.5%", "Rate read as 7: \"%\" ends the number"},
        {"1.2.3", "Rate read as 7: a second point ends the number"},
        {"12 34", "Rate read as 7: a space ends the number"},
        {"1e", "Rate read as 7: \"e\" ends the number"},
        {",5", "Rate read as 7: no number before a comma"},
        {"-", "Rate read as 7: there are no digits"},
        {" ", "Rate read as 7: the field is empty"},
        {"1e5", ""},
        {"-.5E-1 ", ""}};
    for (const auto& [text, hint] : hints)
        EXPECT_EQ(calculator::readingHint("Rate", QString::fromUtf8(text), "7"), hint) << text;

    // The parse reads exactly the part the scan marks, and without a digit
    // it reads 0.
    const char* texts[] = {"$250,000", "1,5", "+",   ".",   "-.5e-3,", "1e+",  "1e+5x",
                           "0x10",     "١٢",  "+-1", "..5", "5..",     "1e5e5"};
    for (const char* t : texts) {
        const QString text = QString::fromUtf8(t);
        const tk::LeadingNumber n = tk::ScanLeadingNumber(text);
        EXPECT_EQ(tk::Val(text.left(n.end)), tk::Val(text)) << t;
        EXPECT_TRUE(n.hasDigits || tk::Val(text) == 0.0) << t;
    }
    const std::pair<const char*, qsizetype> ends[] = {{"1e+5x", 4},   {"1e+", 1}, {"-.5e-3,", 6},
                                                      {"  12 34", 4}, {"..5", 1}, {"1e5e5", 3}};
    for (const auto& [t, end] : ends)
        EXPECT_EQ(tk::ScanLeadingNumber(QString::fromUtf8(t)).end, end) << t;
}

TEST_F(ResultToolsTest, CopyResultCopiesTheComputedFieldsText)
{
    EXPECT_FALSE(tools->copyResultAction->isEnabled());
    EXPECT_FALSE(tools->copyResultAction->toolTip().isEmpty());
    type(form->Text1, "1000");
    type(form->Text2, "12");
    type(form->Text4, "100");
    EXPECT_FALSE(tools->copyResultAction->isEnabled()); // "Press Compute" is no result
    compute();
    ASSERT_EQ(form->Text3->text(), "11");
    ASSERT_TRUE(tools->copyResultAction->isEnabled());

    QGuiApplication::clipboard()->setText("before");
    form->Text1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->Text1, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "11");
    // The key went to the menu item, not into the field.
    EXPECT_EQ(form->Text1->text(), "1000");

    reset();
    EXPECT_FALSE(tools->copyResultAction->isEnabled());
    QGuiApplication::clipboard()->setText("before");
    QTest::keyClick(form->Text1, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
}

TEST_F(ResultToolsTest, ScheduleIsAvailableOnlyForTheLoanOfTheLastCompute)
{
    const QAction* item = tools->scheduleAction;
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().contains("three")) << item->toolTip().toStdString();
    type(form->Text1, "100000");
    type(form->Text2, "7");
    type(form->Text3, "360");
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().contains("Press Compute")) << item->toolTip().toStdString();
    // Ctrl+T does nothing while the item is off.
    QTest::keyClick(form->Text3, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(tools->scheduleWindow(), nullptr);

    compute();
    EXPECT_TRUE(item->isEnabled()) << item->toolTip().toStdString();
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    // The payment as computed, not rounded to the cent.
    EXPECT_EQ(window->schedule().terms.payment, form->Payment);
    EXPECT_EQ(window->schedule().terms.loan, 100000.0);
    EXPECT_FALSE(window->heading()->text().contains("changed"));

    // An edit makes the loan on screen another one until the next Compute.
    backToCalculator();
    type(form->Text2, "8");
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().contains("changed")) << item->toolTip().toStdString();
    EXPECT_TRUE(window->heading()->text().contains("changed"));
    compute();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_EQ(window->schedule().terms.apr, 8.0); // the open window follows
    EXPECT_EQ(window->schedule().terms.payment, form->Payment);
    EXPECT_FALSE(window->heading()->text().contains("changed"));

    // A computed loan of 0 has no schedule, and says why.
    reset();
    EXPECT_FALSE(item->isEnabled());
    solve("0", "7", "360", "");
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->toolTip().contains("loan amount")) << item->toolTip().toStdString();
    // The open window keeps the last loan that had a schedule, marked as such.
    EXPECT_EQ(window->schedule().terms.apr, 8.0);
    EXPECT_TRUE(window->heading()->text().contains("changed"));
    EXPECT_TRUE(testing_support::takeReports().empty());
}

TEST_F(ResultToolsTest, ScheduleWindowShowsTheWorkedLoanWithTotals)
{
    ASSERT_EQ(solve("100000", "7", "360", ""), "665.302495179187");
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    const QAbstractItemModel* model = window->table()->model();
    ASSERT_EQ(model->rowCount(), 361); // 360 months and the totals
    ASSERT_EQ(model->columnCount(), 5);
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString(), "Balance");
    const auto cell = [&](int row, int column) {
        return model->data(model->index(row, column)).toString();
    };
    EXPECT_EQ(QStringList({cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3), cell(0, 4)}),
              QStringList({"1", "665.30", "583.33", "81.97", "99,918.03"}));
    EXPECT_EQ(cell(359, 1), "668.28");
    EXPECT_EQ(cell(359, 4), "0.00");
    EXPECT_EQ(QStringList({cell(360, 0), cell(360, 1), cell(360, 3), cell(360, 4)}),
              QStringList({"Total", "239,510.98", "100,000.00", ""}));
    // The heading's payment in the money form, and the status line's totals
    // the table's own.
    EXPECT_EQ(window->heading()->text(),
              "Loan $100,000.00 at 7% a year: 360 monthly payments of $665.30");
    EXPECT_TRUE(status().contains("total paid $239,510.98 · interest $139,510.98"))
        << status().toStdString();
    EXPECT_EQ(cell(360, 2), "139,510.98");
    // Beside the calculator, whole on the screen.
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
}

TEST_F(ResultToolsTest, LastPaymentThatDiffersIsFlaggedInTheTable)
{
    ASSERT_EQ(solve("100000", "7", "", "665.30"), "360");
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    const QAbstractItemModel* model = window->table()->model();
    const QModelIndex last = model->index(359, 1);
    EXPECT_EQ(model->data(last).toString(), "668.28");
    EXPECT_TRUE(model->data(last, Qt::BackgroundRole).isValid());
    EXPECT_TRUE(model->data(last, Qt::ToolTipRole).toString().contains("$2.98 more"))
        << model->data(last, Qt::ToolTipRole).toString().toStdString();
    EXPECT_FALSE(model->data(model->index(358, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(window->note()->isHidden());
    EXPECT_TRUE(window->note()->text().contains("$668.28")) << window->note()->text().toStdString();
}

TEST_F(ResultToolsTest, CopyPutsTheWholeTableOnTheClipboardAsTabSeparatedText)
{
    solve("1000", "12", "12", ""); // a payment of 88.8487886783417
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(window->table(), Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 14); // header, 12 months, totals
    EXPECT_EQ(lines[0], "Month\tPayment\tInterest\tPrincipal\tBalance");
    EXPECT_EQ(lines[1], "1\t88.85\t10.00\t78.85\t921.15");
    EXPECT_EQ(lines[12], "12\t88.84\t0.88\t87.96\t0.00");
    EXPECT_EQ(lines[13], "Total\t1066.19\t66.19\t1000.00\t");
}

TEST_F(ResultToolsTest, CsvExportReadsBackToTheScheduleShown)
{
    solve("250000", "6.5", "360", "");
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    QTemporaryDir dir;
    const QString target = dir.filePath("loan.csv");
    {
        ExportTo answer(target);
        window->exportAction->trigger();
    }
    EXPECT_TRUE(testing_support::takeReports().empty());
    const QStringList lines = QString::fromUtf8(readAll(target)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 361);
    EXPECT_EQ(lines[0], "Month,Payment,Interest,Principal,Balance");
    const auto& rows = window->schedule().rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QStringList cells = lines[qsizetype(i) + 1].split(u',');
        ASSERT_EQ(cells.size(), 5);
        EXPECT_EQ(cells[0].toInt(), rows[i].month);
        const auto cents = [](calculator::Cents v) {
            return QString::fromStdString(calculator::centsText(v));
        };
        EXPECT_EQ(cells[1], cents(rows[i].payment));
        EXPECT_EQ(cells[2], cents(rows[i].interest));
        EXPECT_EQ(cells[3], cents(rows[i].principal));
        EXPECT_EQ(cells[4], cents(rows[i].balance));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"loan.csv"});
}

TEST_F(ResultToolsTest, FailedCsvExportLeavesTheExistingFileIntact)
{
    solve("250000", "6.5", "360", "");
    ScheduleWindow* window = openSchedule();
    ASSERT_NE(window, nullptr);
    QTemporaryDir dir;
    const QString target = dir.filePath("keep.csv");
    const QByteArray precious("precious bytes");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(precious);
    }
    ExportTo answer(target);

    // A file size limit far below the 360 months' 20 KB: the write is cut
    // short. The signal starts at its default action, which would end the
    // test program: the export itself must keep it from doing so.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_DFL);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    window->exportAction->trigger();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    auto reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);
    EXPECT_EQ(readAll(target), precious);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.csv"})
        << "the temporary file was left behind";

    // A folder is refused before anything is written.
    {
        ExportTo toFolder(dir.path());
        window->exportAction->trigger();
    }
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);

    // Without the limit the same export replaces the file.
    window->exportAction->trigger();
    EXPECT_TRUE(testing_support::takeReports().empty());
    EXPECT_TRUE(readAll(target).startsWith("Month,Payment,Interest,Principal,Balance\n1,"));
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Exported"));

    // A link that loops is refused and left as it was; the earlier success
    // no longer shows.
    const QString loop = dir.filePath("loop.csv");
    ASSERT_TRUE(QFile::link(loop, loop));
    {
        ExportTo toLoop(loop);
        window->exportAction->trigger();
    }
    reports = testing_support::takeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].number, tk::ErrPathFileAccess);
    EXPECT_TRUE(QFileInfo(loop).isSymLink());
    EXPECT_EQ(QFileInfo(loop).symLinkTarget(), loop);
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty())
        << window->statusBar()->currentMessage().toStdString();
}

} // namespace
