// Visible labels for the six coordinate fields, in the space left of each
// field, following the fields wherever the layout puts them.
#pragma once

#include <QObject>

#include <array>

class QLabel;

namespace explorer {

class Form1;

class FieldLabels : public QObject {
    Q_OBJECT
public:
    explicit FieldLabels(Form1& form);
    const std::array<QLabel*, 6>& labels() const { return labels_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    // The widgets, kept here: the filter sees their events also while the
    // window is being torn down, when the window's members are gone.
    QWidget* canvas_;
    std::array<QWidget*, 6> fields_{};
    std::array<QLabel*, 6> labels_{};
};

} // namespace explorer
