// The calculator's status line under its fields: one message, which the
// window's result tools decide. Nothing here re-enters.
#pragma once

#include <QStatusBar>
#include <QString>

class QLabel;

namespace calculator {

// Lines of text below the client area. The window grows by its height
// once, and longer messages wrap rather than widen the window.
class StatusLine : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent);
    void setMessage(const QString& text);
    QString message() const { return message_; }
    // Starts the text `pixels` (logical) from the window's left edge, under
    // the fields.
    void setLeftInset(int pixels);

private:
    QLabel* label_;
    QString message_;
};

} // namespace calculator
