// Standard controls: how Qt's widgets are made to behave as the handlers
// expect (captions kept verbatim, Change inside every write, focus events
// only for real focus moves, menu checks left to the program).
#include "controls.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

#include <algorithm>
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

bool CommandButton::event(QEvent* event)
{
    // The access key clicks where the key is handled, as a mouse click does.
    // Qt's own answer is an animated click that clicks from a timer 100 ms
    // later, wherever the program then is: inside a busy pass's answers to
    // the window system, say, where no handler may run.
    if (event->type() == QEvent::Shortcut && isEnabled() &&
        static_cast<QShortcutEvent*>(event)->key() == shortcut() &&
        !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        click();
        return true;
    }
    return Placed<QPushButton>::event(event);
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

void TextBox::selectAllText()
{
    setSelStart(0);
    setSelLength(int(text().size()));
}

void TextBox::setSelLength(int length)
{
    const int len = qBound(0, length, int(text().size()) - selStart_);
    // The caret goes to the start of the selection, so that a box too narrow
    // for its text shows where the selected text begins, not its tail.
    if (len == 0)
        setCursorPosition(selStart_);
    else
        setSelection(selStart_ + len, -len);
}

bool TextBox::textFits() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins());
    // The line edit keeps 2 pixels clear on either side of the text, one
    // more for the caret, and room for glyphs that overhang their advance.
    const QFontMetrics metrics = fontMetrics();
    const int overhang =
        std::max(0, -metrics.minLeftBearing()) * 2 + std::max(0, -metrics.minRightBearing());
    return metrics.horizontalAdvance(text()) + overhang + 1 <= contents.width() - 2 * 2;
}

bool TextBox::event(QEvent* event)
{
    // A text cut off at the edge is shown whole in the tooltip, under the
    // tooltip the box has of its own.
    if (event->type() == QEvent::ToolTip && !text().isEmpty() && !textFits()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTip().isEmpty() ? text() : toolTip() + QLatin1Char('\n') + text();
        QToolTip::showText(help->globalPos(), tip, this, rect());
        return true;
    }
    return Placed<QLineEdit>::event(event);
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
    if (event->reason() == Qt::MouseFocusReason) {
        // The press that moved the focus is delivered right after this
        // event. Should none come (the focus was moved for a mouse event
        // elsewhere), a later click must not be taken for it.
        focusClick_ = FocusClick::Expected;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (focusClick_ == FocusClick::Expected)
                    focusClick_ = FocusClick::None;
            },
            Qt::QueuedConnection);
    }
    if (isRealFocusMove(event))
        emit GotFocus();
}

void TextBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    focusClick_ = FocusClick::None;
    if (isRealFocusMove(event)) {
        // Left behind, a long number shows its sign and leading digits,
        // wherever the caret was.
        setCursorPosition(0);
        emit LostFocus();
    }
}

// The left click that brings the focus in is the user entering the box: the
// focus handler has selected the text for typing over, and placing the
// caret (or dragging a selection) at that click would undo it. Other
// buttons keep their use (the context menu, pasting the X selection).
void TextBox::mousePressEvent(QMouseEvent* event)
{
    if (focusClick_ == FocusClick::Expected && event->button() == Qt::LeftButton) {
        focusClick_ = FocusClick::Held;
        event->accept();
        return;
    }
    focusClick_ = FocusClick::None;
    QLineEdit::mousePressEvent(event);
}

void TextBox::mouseMoveEvent(QMouseEvent* event)
{
    if (focusClick_ == FocusClick::Held) {
        event->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(event);
}

void TextBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (focusClick_ == FocusClick::Held && event->button() == Qt::LeftButton) {
        focusClick_ = FocusClick::None;
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
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
