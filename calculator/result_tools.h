// What the calculator offers around its fields beyond computing: the status
// line (totals after a Compute, how a typed text was read while typing), Edit
// > Copy Result, and View > Amortization Schedule. Compute tells it what it
// computed; it watches the four fields' change events after the window's own
// handlers have run, so it sees every member as those handlers left it, and
// never writes a field.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <optional>

#include "loan_schedule.h"

class QAction;

namespace tk {
class TextBox;
}

namespace calculator {

class Form1;
class ScheduleWindow;
class StatusLine;

class ResultTools : public QObject {
    Q_OBJECT
public:
    // Adds the menu bar and the status line to `form` (the window grows by
    // their heights; the client area and its controls stay as they are).
    // Owned by the form.
    explicit ResultTools(Form1* form);
    ~ResultTools() override;

    StatusLine* statusLine() const { return status_; }
    QAction* copyResultAction;
    QAction* scheduleAction;
    // The schedule window once it has been opened, else null.
    ScheduleWindow* scheduleWindow() const;

private:
    struct Field {
        tk::TextBox* box;
        QString label;
        std::int16_t Form1::*given;
    };

    // The terms of the last Compute and the texts the four fields showed
    // right after it: the loan is still the one on screen while they do.
    struct Computed {
        LoanTerms terms;
        std::array<QString, 4> texts;
        int missing = -1;
        ScheduleProblem problem = ScheduleProblem::None;
    };

    bool eventFilter(QObject* watched, QEvent* event) override;
    void fieldChanged(int index);
    void termComputed(int index);
    void resultFieldClicked(int index);
    QString hintFor(int index) const;
    // The first given field whose text is not entirely a number, from
    // `first` on and then the rest in order, or an empty text.
    QString firstHint(int first) const;
    bool computedIsOnScreen() const;
    // The missing field shows the result of the last Compute.
    bool resultShown() const;
    int missingField() const;
    void updateCommands();
    void copyResult();
    void showSchedule();

    Form1* form_;
    std::array<Field, 4> fields_;
    StatusLine* status_;
    std::optional<Computed> computed_;
    QPointer<ScheduleWindow> window_;
    // The last Compute gave terms without a schedule, so the open window
    // still shows an earlier loan.
    bool windowBehind_ = false;
};

} // namespace calculator
