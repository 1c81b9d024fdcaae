// The default button: marked as such (drawn with the default frame, and
// pressed by Enter while it has the focus), and pressed by Enter in the
// fields.
#include "default_button.h"

#include <QLineEdit>
#include <QPushButton>

namespace calculator {

void MakeDefaultButton(QPushButton* button, std::initializer_list<QLineEdit*> fields)
{
    button->setDefault(true);
    // A disabled field takes no keys, so the missing term's field never
    // sends one; Compute itself ignores a press before three terms are in.
    for (QLineEdit* field : fields)
        QObject::connect(field, &QLineEdit::returnPressed, button, &QPushButton::click);
}

} // namespace calculator
