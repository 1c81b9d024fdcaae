// The result tools: status line, copy, and the schedule. Compute tells them
// which term it solved (Form1::termComputed), after every member it computes
// is stored and its field written; the texts the fields show then are kept,
// so that a later edit is seen by comparing texts, never by reading what a
// shut field says.
#include "result_tools.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>

#include "form1.h"
#include "reading_hint.h"
#include "schedule_texts.h"
#include "schedule_window.h"
#include "status_line.h"
#include "typed_money.h"

namespace calculator {

ResultTools::ResultTools(Form1* form)
    : QObject(form),
      form_(form), fields_{{{form->Text1, form->Label1->text(), &Form1::LoanSet},
                            {form->Text2, form->Label2->text(), &Form1::APRSet},
                            {form->Text3, form->Label3->text(), &Form1::MonthsSet},
                            {form->Text4, form->Label4->text(), &Form1::PaymentSet}}},
      status_(new StatusLine(form))
{
    QMenu* edit = form->addMenu(QStringLiteral("&Edit"));
    copyResultAction = edit->addAction(QStringLiteral("&Copy Result"));
    copyResultAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    edit->setToolTipsVisible(true);
    QMenu* view = form->addMenu(QStringLiteral("&View"));
    scheduleAction = view->addAction(QStringLiteral("&Amortization Schedule..."));
    scheduleAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // A disabled item says why in its tooltip, which a menu shows only when
    // asked to.
    view->setToolTipsVisible(true);
    connect(copyResultAction, &QAction::triggered, this,
            [this] { tk::guarded([this] { copyResult(); }); });
    connect(scheduleAction, &QAction::triggered, this,
            [this] { tk::guarded([this] { showSchedule(); }); });

    form->setStatusBar(status_);
    status_->setLeftInset(form->Text1->x());
    form->adjustSize();

    for (int i = 0; i < 4; ++i) {
        tk::TextBox* box = fields_[std::size_t(i)].box;
        connect(box, &tk::TextBox::Change, this, [this, i] { fieldChanged(i); });
        box->installEventFilter(this);
    }
    connect(form, &Form1::termComputed, this, &ResultTools::termComputed);
    updateCommands();
}

ResultTools::~ResultTools() = default;

ScheduleWindow* ResultTools::scheduleWindow() const
{
    return window_;
}

bool ResultTools::eventFilter(QObject* watched, QEvent* event)
{
    // A shut field takes no focus: a click on it would leave the keys going
    // to whichever field had them. It says instead how to choose another
    // term, and takes the focus from that field. (A disabled widget's event
    // filters still see the press, which its own handler would drop.)
    if (event->type() == QEvent::MouseButtonPress) {
        for (int i = 0; i < 4; ++i) {
            const Field& field = fields_[std::size_t(i)];
            if (watched == field.box && !field.box->isEnabled()) {
                resultFieldClicked(i);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void ResultTools::resultFieldClicked(int index)
{
    if (QWidget* focused = QApplication::focusWidget(); focused && form_->isAncestorOf(focused))
        focused->clearFocus();
    status_->setMessage(QStringLiteral("%1 is the term being computed. To compute another term "
                                       "instead, press Reset and type the other three.")
                            .arg(fields_[std::size_t(index)].label));
}

void ResultTools::fieldChanged(int index)
{
    // A shut field is written only by KillOne and by a solver, whose Compute
    // then says what it computed; the others are typed, or Reset's writes
    // (which leave the field not given, so they show no hint). The edited
    // field's reading comes first.
    if (fields_[std::size_t(index)].box->isEnabled())
        status_->setMessage(firstHint(index));
    if (window_)
        window_->setCurrent(!windowBehind_ && computedIsOnScreen());
    updateCommands();
}

void ResultTools::termComputed(int index)
{
    Computed computed;
    computed.terms = {CurrencyToDouble(form_->Loan), form_->APR, form_->Months, form_->Payment};
    for (std::size_t i = 0; i < 4; ++i)
        computed.texts[i] = fields_[i].box->text();
    computed.missing = index;

    const LoanSchedule schedule = amortize(computed.terms, &computed.problem);
    computed_ = computed;
    QString message = loanSummary(computed.terms);
    // A given text read in a way the user may not have meant stays in view
    // with the result it led to.
    if (const QString hint = firstHint(index); !hint.isEmpty())
        message = hint + QStringLiteral(" · ") + message;
    status_->setMessage(message);
    windowBehind_ = computed.problem != ScheduleProblem::None;
    if (window_ && !windowBehind_)
        window_->setSchedule(schedule);
    else if (window_)
        window_->setCurrent(false);
    updateCommands();
}

QString ResultTools::hintFor(int index) const
{
    const Field& field = fields_[std::size_t(index)];
    if (!field.box->isEnabled() || form_->*field.given == False)
        return {};
    // Money as people type it is read as meant.
    if ((index == 0 || index == 3) && moneyAsTyped(field.box->text()))
        return {};
    // The value as the field's handler stored it, in the text form the
    // calculator writes such a value.
    QString value;
    switch (index) {
    case 0:
        value = CurrencyText(form_->Loan);
        break;
    case 1:
        value = DoubleText(form_->APR);
        break;
    case 2:
        value = IntegerText(form_->Months);
        break;
    default:
        value = DoubleText(form_->Payment);
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

bool ResultTools::resultShown() const
{
    const int missing = missingField();
    if (missing < 0 || !computed_ || computed_->missing != missing)
        return false;
    const tk::TextBox* box = fields_[std::size_t(missing)].box;
    return !box->isEnabled() && box->text() == computed_->texts[std::size_t(missing)];
}

bool ResultTools::computedIsOnScreen() const
{
    if (!resultShown())
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (fields_[i].box->text() != computed_->texts[i])
            return false;
    return true;
}

void ResultTools::updateCommands()
{
    const int missing = missingField();
    const bool shown = resultShown();
    copyResultAction->setEnabled(shown);
    copyResultAction->setToolTip(
        shown ? QStringLiteral("Copies the computed %1").arg(fields_[std::size_t(missing)].label)
              : QStringLiteral("Nothing computed yet: type three of the four terms and "
                               "press Compute."));

    QString why;
    if (missing < 0)
        why = QStringLiteral("Type three of the four terms and press Compute: the schedule "
                             "needs a complete loan.");
    else if (!shown)
        why = QStringLiteral("Press Compute first: the schedule needs the computed %1.")
                  .arg(fields_[std::size_t(missing)].label);
    else if (!computedIsOnScreen())
        why = QStringLiteral("The terms have changed since the last Compute: press Compute "
                             "again.");
    else
        why = problemText(computed_->problem, computed_->terms);
    scheduleAction->setEnabled(why.isEmpty());
    scheduleAction->setToolTip(why.isEmpty() ? QStringLiteral("Month by month: payment, interest, "
                                                              "principal and balance")
                                             : why);
}

void ResultTools::copyResult()
{
    if (!resultShown())
        return;
    QGuiApplication::clipboard()->setText(fields_[std::size_t(computed_->missing)].box->text());
}

void ResultTools::showSchedule()
{
    if (!computedIsOnScreen() || computed_->problem != ScheduleProblem::None)
        return;
    const LoanSchedule schedule = amortize(computed_->terms);
    if (!window_) {
        window_ = new ScheduleWindow(form_);
        window_->placeBeside(form_);
    }
    window_->setSchedule(schedule);
    windowBehind_ = false;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace calculator
