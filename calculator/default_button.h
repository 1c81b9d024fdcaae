// Enter presses buttons as in a dialog: the focused button when a button has
// the focus, and the window's default button from any of the fields given.
// A plain window has no such behaviour of its own. The press runs the
// button's Click handler.
#pragma once

#include <initializer_list>

class QLineEdit;
class QPushButton;

namespace calculator {

// Marks `button` as the default one (drawn with the default frame) and has
// Enter in `fields` press it.
void makeDefaultButton(QPushButton* button, std::initializer_list<QLineEdit*> fields);

// Has Enter (Return or the keypad's Enter) press each of `buttons` while it
// has the focus, as the space bar does.
void pressOnEnter(std::initializer_list<QPushButton*> buttons);

} // namespace calculator
