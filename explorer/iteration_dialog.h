// Options > Iterations...: the small dialog that asks for the iteration limit
// of the next passes. Modal; other handlers may run while it is open.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QSpinBox;

namespace explorer {

class IterationDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr std::int32_t Lowest = 16;
    static constexpr std::int32_t Highest = 1000000;

    IterationDialog(std::int32_t current, QWidget* parent);
    QSpinBox* spinBox() const { return spin_; }

    // Shows the dialog and returns the limit chosen, or nothing when the
    // user cancels.
    static std::optional<std::int32_t> ask(std::int32_t current, QWidget* parent);

private:
    QSpinBox* spin_;
};

} // namespace explorer
