// Standard controls: how Qt's widgets are made to behave as the handlers
// expect (captions kept verbatim, Change inside every write, focus events
// only for real focus moves, menu checks left to the program).
#include "controls.h"

#include <QFocusEvent>

#include <cmath>

namespace tk {

template <class Base> void Placed<Base>::placeTwips(int left, int top, int width, int height)
{
    const auto px = [](float v) { return int(std::lround(v)); };
    this->setGeometry(toLogical(px(ScaleX(float(left)))), toLogical(px(ScaleY(float(top)))),
                      toLogical(px(ScaleX(float(width)))), toLogical(px(ScaleY(float(height)))));
}

template class Placed<QPushButton>;
template class Placed<QLineEdit>;
template class Placed<QLabel>;

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : Placed<QPushButton>(caption, parent)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

void CommandButton::setCaption(const QString& caption)
{
    setText(caption);
}

TextBox::TextBox(QWidget* parent) : Placed<QLineEdit>(parent)
{
    connect(this, &QLineEdit::textChanged, this, &TextBox::Change);
}

void TextBox::setText(const QString& text)
{
    if (text == QLineEdit::text())
        emit Change();
    else
        QLineEdit::setText(text);
    // A written text is shown from its start: in a narrow box, the tail of
    // a long number is its least telling part.
    setCursorPosition(0);
}

void TextBox::setSelStart(int start)
{
    selStart_ = qBound(0, start, int(text().size()));
    setCursorPosition(selStart_);
}

void TextBox::setSelLength(int length)
{
    const int len = qBound(0, length, int(text().size()) - selStart_);
    if (len == 0)
        setCursorPosition(selStart_);
    else
        setSelection(selStart_, len);
}

// Switching to another application or opening a menu moves Qt's focus
// too, but the field has not been left: those reasons raise no event.
static bool isRealFocusMove(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason &&
           event->reason() != Qt::PopupFocusReason;
}

void TextBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (isRealFocusMove(event))
        emit GotFocus();
}

void TextBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (isRealFocusMove(event))
        emit LostFocus();
}

Label::Label(const QString& caption, QWidget* parent) : Placed<QLabel>(caption, parent) {}

MenuItem::MenuItem(const QString& caption, const QKeySequence& shortcut, std::int16_t index,
                   QObject* parent)
    : QAction(caption, parent), index_(index)
{
    setShortcut(shortcut);
    connect(this, &QAction::triggered, this, [this] {
        // A checkable action has already flipped its own mark; undo that so
        // that only the handler decides.
        if (isCheckable()) {
            const QSignalBlocker block(this);
            QAction::setChecked(!isChecked());
        }
        emit Click(index_);
    });
}

void MenuItem::setChecked(bool checked)
{
    setCheckable(true);
    QAction::setChecked(checked);
}

} // namespace tk
