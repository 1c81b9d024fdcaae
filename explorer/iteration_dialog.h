// Options > Iterations...: the small dialog that asks for the iteration limit
// of the next passes. Modal; other handlers may run while it is open. OK
// with a text it cannot take reports why and keeps it open.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QLineEdit;
class QString;

namespace explorer {

class IterationDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr std::int32_t Lowest = 16;
    static constexpr std::int32_t Highest = 1000000;

    IterationDialog(std::int32_t current, QWidget* parent);
    QLineEdit* lineEdit() const { return edit_; }

    // The limit a text gives: a whole number in the range, digits with
    // optional group separators; nothing for anything else.
    static std::optional<std::int32_t> parse(const QString& text);
    // "a whole number from 16 to 1,000,000"
    static QString rangeText();

    // OK: taken only when the text is a limit.
    void accept() override;

    // Shows the dialog and returns the limit chosen, or nothing when the
    // user cancels.
    static std::optional<std::int32_t> ask(std::int32_t current, QWidget* parent);

private:
    QLineEdit* edit_;
};

} // namespace explorer
