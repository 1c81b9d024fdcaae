// The amortization schedule window: a table of the months of one computed
// loan with a totals row, CSV export and copying as tab-separated text. It
// shows the schedule it was last given; the calculator's result tools give
// it a new one after every Compute. The export's file dialog runs a nested
// event loop, so the calculator's handlers may run meanwhile.
#pragma once

#include <QAbstractTableModel>
#include <QMainWindow>

#include "loan_schedule.h"
#include "toolkit/common_dialog.h"

class QAction;
class QLabel;
class QTableView;

namespace calculator {

// The schedule's months as table rows, then one totals row. Amounts are
// shown to the cent in the locale's grouping; a last payment that differs
// from the others is flagged.
class ScheduleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { MonthColumn, PaymentColumn, InterestColumn, PrincipalColumn, BalanceColumn };
    static constexpr int ColumnCount = 5;

    explicit ScheduleModel(QObject* parent) : QAbstractTableModel(parent) {}
    void setSchedule(LoanSchedule schedule);
    const LoanSchedule& schedule() const { return schedule_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The whole table, header and totals included, one line per row and
    // cells separated by tabs, amounts to the cent with the locale's
    // decimal point and no grouping, as a spreadsheet takes it from a paste.
    QString tabSeparatedText() const;

private:
    bool isTotalsRow(int row) const { return row == int(schedule_.rows.size()); }
    bool isFlagged(const QModelIndex& index) const;

    LoanSchedule schedule_;
};

class ScheduleWindow : public QMainWindow {
    Q_OBJECT
public:
    // A window of its own, owned by `owner` and closed with it.
    explicit ScheduleWindow(QWidget* owner);

    void setSchedule(const LoanSchedule& schedule);
    const LoanSchedule& schedule() const { return model_->schedule(); }
    // Whether the calculator still shows the terms of this schedule; when
    // not, the heading says so.
    void setCurrent(bool current);
    // Places the window beside `calculator`, inside its screen's available
    // area, and no larger than that area.
    void placeBeside(const QWidget* calculator);

    // Writes the schedule as CSV to a temporary file beside `fileName` and
    // renames it over `fileName` only when complete, so that a failed export
    // leaves an existing file as it was. Raises the toolkit's file access
    // error when the file cannot be written.
    void exportCsv(const QString& fileName);

    ScheduleModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    QLabel* heading() const { return heading_; }
    QLabel* note() const { return note_; }
    tk::CommonDialog& exportDialog() { return dialog_; }

    QAction* exportAction;
    QAction* copyAction;
    QAction* closeAction;

private:
    void exportTable();
    void copyTable();
    void showHeading();

    ScheduleModel* model_;
    QTableView* table_;
    QLabel* heading_;
    QLabel* note_;
    tk::CommonDialog dialog_;
    bool current_ = true;
};

} // namespace calculator
