// Enter presses the window's default button, as in a dialog: from any of
// the fields given, and on the button itself. A plain window has no such
// behaviour of its own. The press runs the button's Click handler.
#pragma once

#include <initializer_list>

class QLineEdit;
class QPushButton;

namespace calculator {

void MakeDefaultButton(QPushButton* button, std::initializer_list<QLineEdit*> fields);

} // namespace calculator
