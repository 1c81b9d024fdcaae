// The six coordinate fields sized to the room beside them, and Enter in a
// field. Set up once by the window; Enter runs as a handler and may start
// a pass (nested in a running pass's yield when one runs).
#pragma once

#include <QObject>

namespace explorer {

class Form1;

// Widens each field from its designed width up to what its longest text
// needs (a full 15-digit number with sign and exponent), as far as the
// screen leaves room to the right of it; where even that is too narrow the
// field takes a smaller font, so that the whole text, exponent included,
// shows. Positions stay as placed. Called by Form_Load once the fields are
// placed.
void FitFieldsToRoom(Form1& form);

// The longest texts UpdateXY writes, in positional and exponent form.
QString LongestFieldText(bool exponent);

// Enter (or the keypad's Enter) in one of the six fields rewrites the six
// from the bounds as leaving the field does, then draws the view as "&Go"
// does.
class FieldEnter : public QObject {
    Q_OBJECT
public:
    explicit FieldEnter(Form1& form);

private:
    Form1& form_;
};

} // namespace explorer
