// The mouse-pointer shapes the windows and the canvas show, with the numbers
// the form layer has always used for them (tests and saved state compare
// these numbers).
#pragma once

namespace tk {

enum MousePointerShape : int {
    PointerDefault = 0,
    PointerCross = 2,
    PointerHourglass = 11,
    PointerNoDrop = 12,
    PointerArrowHourglass = 13,
};

} // namespace tk
