// The iteration-limit dialog: a text field showing the current limit. What
// is typed is read whole when the user presses OK: a text that is not a
// whole number in the range is refused with a message naming the range, and
// the dialog stays open with the text as typed; nothing is dropped or
// rounded silently.
#include "iteration_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>

#include "toolkit/runtime_error.h"

namespace explorer {

IterationDialog::IterationDialog(std::int32_t current, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Iterations"));
    edit_ = new QLineEdit(QString::number(current), this);
    edit_->setAccessibleName(QStringLiteral("Iteration limit"));
    edit_->setToolTip(rangeText());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Iteration &limit:"), edit_);
    form->addRow(buttons);
    edit_->selectAll();
}

QString IterationDialog::rangeText()
{
    // Grouped with commas, as the limit is written in the menus and README.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("a whole number from %1 to %2")
        .arg(english.toString(Lowest), english.toString(Highest));
}

std::optional<std::int32_t> IterationDialog::parse(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    // Digits, with the group separators of the user's language or commas.
    qlonglong value = QLocale().toLongLong(t, &ok);
    if (!ok)
        value = QLocale::c().toLongLong(t, &ok);
    if (!ok || value < Lowest || value > Highest)
        return std::nullopt;
    return std::int32_t(value);
}

void IterationDialog::accept()
{
    if (!parse(edit_->text())) {
        tk::reportError(tk::RuntimeError(
            tk::ErrBadInput, QStringLiteral("The iteration limit must be %1; '%2' is not.")
                                 .arg(rangeText(), edit_->text())));
        edit_->setFocus();
        edit_->selectAll();
        return;
    }
    QDialog::accept();
}

std::optional<std::int32_t> IterationDialog::ask(std::int32_t current, QWidget* parent)
{
    IterationDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return parse(dialog.edit_->text());
}

} // namespace explorer
