// The amortization schedule window and its table model.
#include "schedule_window.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

#include "status_line.h"
#include "toolkit/conversions.h"
#include "toolkit/file_save.h"
#include "toolkit/runtime_error.h"

namespace calculator {

void ScheduleModel::setSchedule(LoanSchedule schedule)
{
    beginResetModel();
    schedule_ = std::move(schedule);
    endResetModel();
}

int ScheduleModel::rowCount(const QModelIndex& parent) const
{
    // The totals row follows the months; an empty schedule has neither.
    if (parent.isValid() || schedule_.rows.empty())
        return 0;
    return int(schedule_.rows.size()) + 1;
}

int ScheduleModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool ScheduleModel::isFlagged(const QModelIndex& index) const
{
    return index.column() == BalanceColumn && index.row() == int(schedule_.rows.size()) - 1 &&
           schedule_.finalPaymentDiffers();
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bool totals = isTotalsRow(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        if (totals) {
            const ScheduleTotals& t = schedule_.totals;
            switch (index.column()) {
            case MonthColumn:
                return QStringLiteral("Total");
            case PaymentColumn:
                return amountText(t.payment);
            case InterestColumn:
                return amountText(t.interest);
            case PrincipalColumn:
                return amountText(t.principal);
            default:
                return {};
            }
        }
        const ScheduleRow& r = schedule_.rows[std::size_t(index.row())];
        switch (index.column()) {
        case MonthColumn:
            return moneyLocale().toString(r.month);
        case PaymentColumn:
            return amountText(r.payment);
        case InterestColumn:
            return amountText(r.interest);
        case PrincipalColumn:
            return amountText(r.principal);
        default:
            return amountText(r.balance);
        }
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    case Qt::FontRole:
        if (totals) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        if (isFlagged(index))
            return QBrush(QColor(255, 224, 160));
        return {};
    case Qt::DecorationRole:
        if (isFlagged(index))
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ToolTipRole:
        if (isFlagged(index))
            return finalPaymentNote(schedule_);
        return {};
    default:
        return {};
    }
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[ColumnCount] = {"Month", "Payment", "Interest", "Principal",
                                                    "Balance"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

QString ScheduleModel::tabSeparatedText() const
{
    const QLocale locale = moneyLocale();
    // To the cent, without grouping: a pasted "1,234.56" is text to some
    // spreadsheets, "1234.56" a number to all that share the decimal point.
    const auto cell = [&](double v) {
        const double cents = std::round(v * 100.0) / 100.0;
        QString s = locale.toString(cents == 0.0 ? 0.0 : cents, 'f', 2);
        return s.remove(locale.groupSeparator());
    };
    QStringList lines;
    lines << QStringLiteral("Month\tPayment\tInterest\tPrincipal\tBalance");
    if (schedule_.rows.empty())
        return lines.join(u'\n') + u'\n';
    for (const ScheduleRow& r : schedule_.rows)
        lines << QStringList{QString::number(r.month), cell(r.payment), cell(r.interest),
                             cell(r.principal), cell(r.balance)}
                     .join(u'\t');
    const ScheduleTotals& t = schedule_.totals;
    lines << QStringList{QStringLiteral("Total"), cell(t.payment), cell(t.interest),
                         cell(t.principal), QString()}
                 .join(u'\t');
    return lines.join(u'\n') + u'\n';
}

ScheduleWindow::ScheduleWindow(QWidget* owner)
    : QMainWindow(owner, Qt::Window), model_(new ScheduleModel(this)), table_(new QTableView(this)),
      heading_(new QLabel(this)), note_(new QLabel(this)), dialog_(this)
{
    setWindowTitle(QStringLiteral("Amortization Schedule"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    ExportMenu = file->addAction(QStringLiteral("&Export as CSV..."));
    ExportMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    CloseMenu = file->addAction(QStringLiteral("&Close"));
    CloseMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    CopyMenu = edit->addAction(QStringLiteral("&Copy"));
    CopyMenu->setShortcut(QKeySequence::Copy);
    CopyMenu->setToolTip(QStringLiteral("The whole table as tab-separated text"));
    edit->setToolTipsVisible(true);
    connect(ExportMenu, &QAction::triggered, this,
            [this] { tk::guarded([this] { ExportMenu_Click(); }); });
    connect(CopyMenu, &QAction::triggered, this,
            [this] { tk::guarded([this] { CopyMenu_Click(); }); });
    connect(CloseMenu, &QAction::triggered, this, &QWidget::close);

    heading_->setTextFormat(Qt::PlainText);
    heading_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);
    note_->hide();

    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setAccessibleName(QStringLiteral("Amortization schedule"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(heading_);
    layout->addWidget(table_, 1);
    layout->addWidget(note_);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);

    dialog_.setFilter(QStringLiteral("CSV files (*.csv)|*.csv"));
    dialog_.setFileName(QStringLiteral("amortization-schedule.csv"));
    resize(560, 600);
}

void ScheduleWindow::setSchedule(const LoanSchedule& schedule)
{
    model_->setSchedule(schedule);
    current_ = true;
    showHeading();
    const QString note = finalPaymentNote(schedule);
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    statusBar()->clearMessage();
}

void ScheduleWindow::setCurrent(bool current)
{
    if (current == current_)
        return;
    current_ = current;
    showHeading();
}

void ScheduleWindow::showHeading()
{
    const LoanTerms& t = model_->schedule().terms;
    QString text = QStringLiteral("Loan %1 at %2% a year: %3 monthly payments of %4")
                       .arg(moneyText(t.loan), tk::DoubleText(t.apr),
                            moneyLocale().toString(t.months), tk::DoubleText(t.payment));
    if (!current_)
        text += QStringLiteral(" (the calculator's terms have changed since: press Compute "
                               "there to bring this table up to date)");
    heading_->setText(text);
}

void ScheduleWindow::exportCsv(const QString& fileName)
{
    const std::string csv = scheduleCsv(model_->schedule());
    tk::SaveFileContents(QByteArray(csv.data(), qsizetype(csv.size())), fileName);
}

void ScheduleWindow::ExportMenu_Click()
{
    if (!dialog_.ShowSave())
        return;
    exportCsv(dialog_.FileName());
    statusBar()->showMessage(QStringLiteral("Exported %1 months to %2")
                                 .arg(model_->schedule().rows.size())
                                 .arg(dialog_.FileName()));
}

void ScheduleWindow::CopyMenu_Click()
{
    QGuiApplication::clipboard()->setText(model_->tabSeparatedText());
    statusBar()->showMessage(QStringLiteral("Copied the table as tab-separated text"));
}

} // namespace calculator
