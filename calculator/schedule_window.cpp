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
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "conversions.h"
#include "money_text.h"
#include "schedule_texts.h"
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
    return index.column() == PaymentColumn && index.row() == int(schedule_.rows.size()) - 1 &&
           (schedule_.summary.lastPaymentDiffers() ||
            schedule_.summary.payments < schedule_.terms.months);
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bool totals = isTotalsRow(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        if (totals) {
            const ScheduleTotals& t = schedule_.summary.totals;
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
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
        return {};
    case Qt::ToolTipRole:
        if (isFlagged(index))
            return lastPaymentNote(schedule_.summary, schedule_.terms.months);
        return {};
    default:
        return {};
    }
}

QVariant ScheduleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section >= 0 && section < ColumnCount
               ? QString::fromLatin1(ScheduleColumnTitles[std::size_t(section)])
               : QVariant();
}

QString ScheduleModel::tabSeparatedText() const
{
    // To the cent, without grouping: a pasted "1,234.56" is text to some
    // spreadsheets, "1234.56" a number to all that share the decimal point.
    QStringList titles;
    for (const char* title : ScheduleColumnTitles)
        titles << QString::fromLatin1(title);
    QStringList lines{titles.join(u'\t')};
    if (schedule_.rows.empty())
        return lines.join(u'\n') + u'\n';
    for (const ScheduleRow& r : schedule_.rows)
        lines << QStringList{QString::number(r.month), plainAmountText(r.payment),
                             plainAmountText(r.interest), plainAmountText(r.principal),
                             plainAmountText(r.balance)}
                     .join(u'\t');
    const ScheduleTotals& t = schedule_.summary.totals;
    lines << QStringList{QStringLiteral("Total"), plainAmountText(t.payment),
                         plainAmountText(t.interest), plainAmountText(t.principal), QString()}
                 .join(u'\t');
    return lines.join(u'\n') + u'\n';
}

ScheduleWindow::ScheduleWindow(QWidget* owner)
    : QMainWindow(owner, Qt::Window), model_(new ScheduleModel(this)), table_(new QTableView(this)),
      heading_(new QLabel(this)), note_(new QLabel(this)), dialog_(this)
{
    setWindowTitle(QStringLiteral("Amortization Schedule"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    exportAction = file->addAction(QStringLiteral("&Export as CSV..."));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    closeAction = file->addAction(QStringLiteral("&Close"));
    closeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    copyAction = edit->addAction(QStringLiteral("&Copy"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setToolTip(QStringLiteral("The whole table as tab-separated text"));
    edit->setToolTipsVisible(true);
    connect(exportAction, &QAction::triggered, this,
            [this] { tk::guarded([this] { exportTable(); }); });
    connect(copyAction, &QAction::triggered, this,
            [this] { tk::guarded([this] { copyTable(); }); });
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

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

void ScheduleWindow::placeBeside(const QWidget* calculator)
{
    const QScreen* screen = calculator->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect beside = calculator->frameGeometry();
    // The frame the window manager adds, as the calculator has it; before
    // the first show the window's own frame is not known yet.
    const int frameWidth = beside.width() - calculator->width();
    const int frameHeight = beside.height() - calculator->height();
    const int width = std::min(560, area.width() - frameWidth);
    const int height = std::min(600, area.height() - frameHeight);
    resize(width, height);
    const int outerWidth = width + frameWidth;
    const int outerHeight = height + frameHeight;
    // To the right when it fits, else to the left, else as far right as
    // the screen allows; level with the calculator's top where it can be.
    int x = beside.right() + 1;
    if (x + outerWidth > area.right() + 1)
        x = beside.left() - outerWidth >= area.left() ? beside.left() - outerWidth
                                                      : area.right() + 1 - outerWidth;
    x = std::max(area.left(), x);
    const int y = std::clamp(beside.top(), area.top(), area.bottom() + 1 - outerHeight);
    move(x, std::max(area.top(), y));
}

void ScheduleWindow::setSchedule(const LoanSchedule& schedule)
{
    model_->setSchedule(schedule);
    current_ = true;
    showHeading();
    const QString note = lastPaymentNote(schedule.summary, schedule.terms.months);
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
    const ScheduleSummary& summary = model_->schedule().summary;
    QString text = QStringLiteral("Loan %1 at %2% a year: %3 monthly payments of %4")
                       .arg(moneyText(summary.loan), DoubleText(t.apr),
                            moneyLocale().toString(t.months), moneyText(summary.payment));
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

void ScheduleWindow::exportTable()
{
    if (!dialog_.ShowSave())
        return;
    // An earlier success must not stand beside a failure reported now.
    statusBar()->clearMessage();
    exportCsv(dialog_.FileName());
    statusBar()->showMessage(QStringLiteral("Exported %1 months to %2")
                                 .arg(model_->schedule().rows.size())
                                 .arg(dialog_.FileName()));
}

void ScheduleWindow::copyTable()
{
    QGuiApplication::clipboard()->setText(model_->tabSeparatedText());
    statusBar()->showMessage(QStringLiteral("Copied the table as tab-separated text"));
}

} // namespace calculator
