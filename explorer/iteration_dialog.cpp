// The iteration-limit dialog: a spin box over the limits the render engine
// and the plain pass both handle, showing the current limit.
#include "iteration_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace explorer {

IterationDialog::IterationDialog(std::int32_t current, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Iterations"));
    spin_ = new QSpinBox(this);
    spin_->setRange(Lowest, Highest);
    spin_->setValue(current);
    spin_->setAccessibleName(QStringLiteral("Iteration limit"));
    spin_->setGroupSeparatorShown(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Iteration &limit:"), spin_);
    form->addRow(buttons);
    spin_->selectAll();
}

std::optional<std::int32_t> IterationDialog::ask(std::int32_t current, QWidget* parent)
{
    IterationDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    // A text typed but not yet taken by the spin box counts as chosen.
    dialog.spin_->interpretText();
    return dialog.spin_->value();
}

} // namespace explorer
