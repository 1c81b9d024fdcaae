// Standard controls of the forms layer: command button, text box, label and
// menu item, with geometry in device pixels and events as Qt signals that the
// window connects to its handlers through tk::Handle (see form.h).
#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdint>

#include "units.h"

namespace tk {

// Left/Top/Width/Height of a control in device pixels.
template <class Base> class Placed : public Base {
public:
    using Base::Base;
    int Left() const { return toDevice(this->x()); }
    int Top() const { return toDevice(this->y()); }
    int Width() const { return toDevice(this->width()); }
    int Height() const { return toDevice(this->height()); }
    void setLeft(int px) { this->move(toLogical(px), this->y()); }
    void setTop(int px) { this->move(this->x(), toLogical(px)); }
    void setWidth(int px) { this->resize(toLogical(px), this->height()); }
    void setHeight(int px) { this->resize(this->width(), toLogical(px)); }
    // Places the control from design-time twips.
    void placeTwips(int left, int top, int width, int height);
};

class CommandButton : public Placed<QPushButton> {
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption, QWidget* parent);
    // Read back exactly as set, '&' included; the '&' marks the Alt mnemonic.
    QString Caption() const { return text(); }
    void setCaption(const QString& caption);

signals:
    void Click();

protected:
    bool event(QEvent* event) override;
};

// A text box. Besides the events, it keeps a narrow box readable: a text
// written by the program, and any text once the focus has left, is shown
// from its start; a tooltip shows the whole text when it does not fit.
// The click that moves the focus into the box only enters it, so that what
// the focus handler selected stays selected; later clicks place the caret.
class TextBox : public Placed<QLineEdit> {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent);
    QString Text() const { return text(); }
    // Writing the text runs the Change handler inside the write, also when
    // the text is the one already shown.
    void setText(const QString& text);
    // Whether the whole text fits into the box without scrolling.
    bool textFits() const;
    void setSelStart(int start);
    void setSelLength(int length);
    // Selects the whole text, so that the first key typed replaces it (what
    // both programs do when a field takes the focus).
    void selectAllText();
    bool Enabled() const { return isEnabled(); }
    void setEnabled(bool enabled) { QLineEdit::setEnabled(enabled); }

signals:
    void Change();
    void GotFocus();
    void LostFocus();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where the click that brought the focus is: expected (the focus came
    // from a mouse press about to be delivered), being held (its press was
    // taken, the move and release that follow are taken too), or none.
    enum class FocusClick { None, Expected, Held };

    int selStart_ = 0;
    FocusClick focusClick_ = FocusClick::None;
};

class Label : public Placed<QLabel> {
    Q_OBJECT
public:
    Label(const QString& caption, QWidget* parent);
};

// A menu item. The check mark is the program's to set: choosing the item
// does not toggle it by itself.
class MenuItem : public QAction {
    Q_OBJECT
public:
    MenuItem(const QString& caption, const QKeySequence& shortcut, std::int16_t index,
             QObject* parent);
    bool Checked() const { return isChecked(); }
    void setChecked(bool checked);
    std::int16_t Index() const { return index_; }

signals:
    void Click(std::int16_t Index);

private:
    std::int16_t index_;
};

} // namespace tk
