// The default button and Enter on a focused button. The filter lives as long
// as the button it watches.
#include "default_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace calculator {

namespace {

class EnterPresses : public QObject {
public:
    explicit EnterPresses(QPushButton* button) : QObject(button), button_(button) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == button_ && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !key->isAutoRepeat() && button_->isEnabled()) {
                button_->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPushButton* button_;
};

} // namespace

void makeDefaultButton(QPushButton* button, std::initializer_list<QLineEdit*> fields)
{
    button->setDefault(true);
    // A disabled field takes no keys, so the missing term's field never
    // sends one; Compute itself ignores a press before three terms are in.
    for (QLineEdit* field : fields)
        QObject::connect(field, &QLineEdit::returnPressed, button, &QPushButton::click);
}

void pressOnEnter(std::initializer_list<QPushButton*> buttons)
{
    for (QPushButton* button : buttons)
        button->installEventFilter(new EnterPresses(button));
}

} // namespace calculator
