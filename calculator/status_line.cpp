// The status line: a wrapping label that never widens the window.
#include "status_line.h"

#include <QLabel>
#include <QSizePolicy>
#include <QStringList>

#include <algorithm>

namespace calculator {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this))
{
    setSizeGripEnabled(false);
    // The message quotes what the user typed, which is never markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setWordWrap(true);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Never widen the window for a long message: it wraps instead.
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Three lines: a reading hint and the totals after a Compute.
    label_->setFixedHeight(3 * label_->fontMetrics().lineSpacing() + 4);
    // No accessible name of its own: a screen reader reads the message as
    // the label's name.
    addWidget(label_, 1);
}

void StatusLine::setMessage(const QString& text)
{
    message_ = text;
    // A message of several parts wraps only between them, so that no amount
    // is torn from its words.
    const QString separator = QStringLiteral(" · ");
    QStringList parts = text.split(separator);
    if (parts.size() > 1)
        for (QString& part : parts)
            part.replace(u' ', QChar(0x00A0));
    label_->setText(parts.join(separator));
}

void StatusLine::setLeftInset(int pixels)
{
    // The status bar's own layout already keeps its edge margin.
    const int edge = 2;
    label_->setContentsMargins(std::max(0, pixels - edge), 0, 0, 0);
}

} // namespace calculator
