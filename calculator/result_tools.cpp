// The result tools: status line, copy, and the schedule. The result of a
// Compute is recognised by its write into the shut field (the only write into
// a disabled field that is not "Press Compute"), which a solver makes only
// when it has succeeded, after every member it computes is stored.
#include "result_tools.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>

#include "form1.h"
#include "reading_hint.h"
#include "schedule_window.h"
#include "status_line.h"

namespace calculator {

namespace {

const QString PressCompute = QStringLiteral("Press Compute");

QString problemText(ScheduleProblem problem)
{
    switch (problem) {
    case ScheduleProblem::NoMonths:
        return QStringLiteral("No schedule: the number of months is less than 1.");
    case ScheduleProblem::TooManyMonths:
        return QStringLiteral("No schedule: it would have more than %1 months.")
            .arg(moneyLocale().toString(MaxScheduleMonths));
    case ScheduleProblem::LoanNotPositive:
        return QStringLiteral("No schedule: the loan amount is not above 0.");
    case ScheduleProblem::PaymentNotPositive:
        return QStringLiteral("No schedule: the monthly payment is not above 0.");
    case ScheduleProblem::NotFinite:
        return QStringLiteral("No schedule: the amounts grow beyond what can be computed.");
    case ScheduleProblem::None:
        break;
    }
    return {};
}

} // namespace

ResultTools::ResultTools(Form1* form)
    : QObject(form),
      form_(form), fields_{{{form->Text1, form->Label1->text(), &Form1::LoanSet},
                            {form->Text2, form->Label2->text(), &Form1::APRSet},
                            {form->Text3, form->Label3->text(), &Form1::MonthsSet},
                            {form->Text4, form->Label4->text(), &Form1::PaymentSet}}},
      status_(new StatusLine(form))
{
    QMenu* edit = form->addMenu(QStringLiteral("&Edit"));
    CopyResultMenu = edit->addAction(QStringLiteral("&Copy Result"));
    CopyResultMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    edit->setToolTipsVisible(true);
    QMenu* view = form->addMenu(QStringLiteral("&View"));
    ScheduleMenu = view->addAction(QStringLiteral("&Amortization Schedule..."));
    ScheduleMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // A disabled item says why in its tooltip, which a menu shows only when
    // asked to.
    view->setToolTipsVisible(true);
    connect(CopyResultMenu, &QAction::triggered, this,
            [this] { tk::guarded([this] { CopyResultMenu_Click(); }); });
    connect(ScheduleMenu, &QAction::triggered, this,
            [this] { tk::guarded([this] { ScheduleMenu_Click(); }); });

    form->setStatusBar(status_);
    status_->setLeftInset(form->Text1->x());
    form->adjustSize();

    for (int i = 0; i < 4; ++i)
        connect(fields_[std::size_t(i)].box, &tk::TextBox::Change, this,
                [this, i] { fieldChanged(i); });
    updateCommands();
}

ResultTools::~ResultTools() = default;

ScheduleWindow* ResultTools::scheduleWindow() const
{
    return window_;
}

void ResultTools::fieldChanged(int index)
{
    const Field& field = fields_[std::size_t(index)];
    if (!field.box->isEnabled()) {
        // KillOne's "Press Compute", or a solver's result.
        if (field.box->text() != PressCompute)
            resultWritten(index);
    } else {
        // Typed, or Reset's writes (which leave the field not given, so
        // they show no hint). The edited field's reading comes first.
        status_->setMessage(firstHint(index));
    }
    if (window_)
        window_->setCurrent(!windowBehind_ && computedIsOnScreen());
    updateCommands();
}

void ResultTools::resultWritten(int index)
{
    Computed computed;
    computed.terms = {tk::CurrencyToDouble(form_->Loan), form_->APR, form_->Months, form_->Payment};
    for (std::size_t i = 0; i < 4; ++i)
        computed.texts[i] = fields_[i].box->text();
    computed.missing = index;
    computed_ = computed;

    ScheduleProblem problem = ScheduleProblem::None;
    const LoanSchedule schedule = amortize(computed.terms, &problem);
    if (problem == ScheduleProblem::None)
        status_->setMessage(loanSummary(schedule));
    else if (problem == ScheduleProblem::TooManyMonths)
        status_->setMessage(longLoanSummary(computed.terms));
    else
        status_->setMessage(problemText(problem));
    windowBehind_ = problem != ScheduleProblem::None;
    if (window_ && !windowBehind_)
        window_->setSchedule(schedule);
}

QString ResultTools::hintFor(int index) const
{
    const Field& field = fields_[std::size_t(index)];
    if (!field.box->isEnabled() || form_->*field.given == False)
        return {};
    // The value as the field's handler stored it, in the text form the
    // calculator writes such a value.
    QString value;
    switch (index) {
    case 0:
        value = tk::CurrencyText(form_->Loan);
        break;
    case 1:
        value = tk::DoubleText(form_->APR);
        break;
    case 2:
        value = tk::IntegerText(form_->Months);
        break;
    default:
        value = tk::DoubleText(form_->Payment);
        break;
    }
    return readingHint(field.label, field.box->text(), value);
}

QString ResultTools::firstHint(int first) const
{
    QString hint = hintFor(first);
    for (int i = 0; i < 4 && hint.isEmpty(); ++i)
        if (i != first)
            hint = hintFor(i);
    return hint;
}

int ResultTools::missingField() const
{
    // Exactly one field not given: Reset's writes, made with the count at 3
    // and no field given, do not count.
    if (form_->FilledCount != 3)
        return -1;
    int missing = -1;
    for (int i = 0; i < 4; ++i) {
        if (form_->*fields_[std::size_t(i)].given == False) {
            if (missing >= 0)
                return -1;
            missing = i;
        }
    }
    return missing;
}

bool ResultTools::computedIsOnScreen() const
{
    if (!computed_ || missingField() != computed_->missing)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (fields_[i].box->text() != computed_->texts[i])
            return false;
    return !fields_[std::size_t(computed_->missing)].box->isEnabled();
}

void ResultTools::updateCommands()
{
    const int missing = missingField();
    const tk::TextBox* result = missing < 0 ? nullptr : fields_[std::size_t(missing)].box;
    const bool resultShown = result && !result->isEnabled() && result->text() != PressCompute;
    CopyResultMenu->setEnabled(resultShown);
    CopyResultMenu->setToolTip(
        resultShown
            ? QStringLiteral("Copies the computed %1").arg(fields_[std::size_t(missing)].label)
            : QStringLiteral("Nothing computed yet: type three of the four terms and "
                             "press Compute."));

    QString why;
    if (missing < 0)
        why = QStringLiteral("Type three of the four terms and press Compute: the schedule "
                             "needs a complete loan.");
    else if (!computed_ || computed_->missing != missing || !resultShown)
        why = QStringLiteral("Press Compute first: the schedule needs the computed %1.")
                  .arg(fields_[std::size_t(missing)].label);
    else if (!computedIsOnScreen())
        why = QStringLiteral("The terms have changed since the last Compute: press Compute "
                             "again.");
    else
        why = problemText(checkTerms(computed_->terms));
    ScheduleMenu->setEnabled(why.isEmpty());
    ScheduleMenu->setToolTip(why.isEmpty()
                                 ? QStringLiteral("Month by month: payment, interest, principal "
                                                  "and balance")
                                 : why);
}

void ResultTools::CopyResultMenu_Click()
{
    const int missing = missingField();
    if (missing < 0)
        return;
    const tk::TextBox* result = fields_[std::size_t(missing)].box;
    if (result->isEnabled() || result->text() == PressCompute)
        return;
    QGuiApplication::clipboard()->setText(result->text());
}

void ResultTools::ScheduleMenu_Click()
{
    if (!computedIsOnScreen())
        return;
    ScheduleProblem problem = ScheduleProblem::None;
    const LoanSchedule schedule = amortize(computed_->terms, &problem);
    if (problem != ScheduleProblem::None)
        return;
    if (!window_)
        window_ = new ScheduleWindow(form_);
    window_->setSchedule(schedule);
    windowBehind_ = false;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace calculator
