// The 4:3 lock: the Options menu's check item, and the two procedures that
// reshape one axis of the view from the other, keeping its centre. The field
// handlers call AdjustX and AdjustY while the lock is on.
#include "form1.h"

#include "toolkit/runtime_error.h"

namespace explorer {

void Form1::AdjustY()
{
    // Each step is checked before it is stored, so a failing step leaves the
    // members of the steps before it written and its own untouched.
    MidPoint = tk::CheckFloat(YMin + tk::CheckFloat(YMax - YMin) / 2);
    HalfSize = tk::CheckFloat(tk::CheckFloat(XMax - XMin) * (3.0 / 4.0) / 2);
    YMin = tk::CheckFloat(MidPoint - HalfSize);
    YMax = tk::CheckFloat(HalfSize + MidPoint);
}

void Form1::AdjustX()
{
    MidPoint = tk::CheckFloat(XMin + tk::CheckFloat(XMax - XMin) / 2);
    HalfSize = tk::CheckFloat(tk::CheckFloat(tk::CheckFloat(YMax - YMin) * (4.0 / 3.0)) / 2);
    XMin = tk::CheckFloat(MidPoint - HalfSize);
    XMax = tk::CheckFloat(HalfSize + MidPoint);
}

void Form1::RatioCheck_Click(std::int16_t /*Index*/)
{
    KeepRatio = Flag(~KeepRatio);
    RatioCheck->setChecked(KeepRatio != False);
    if (KeepRatio == False)
        return;
    if (Deep.lockRatio(*this)) { // a deep view reshaped in MPFR
        FieldsStale = True;
        UpdateXY();
        return;
    }
    // Widen whichever side is too narrow; a view already 4:3 (as the
    // start-up view is, exactly, in doubles) goes through AdjustX unchanged.
    if (tk::CheckFloat(XMax - XMin) > tk::CheckFloat(tk::CheckFloat(YMax - YMin) * (4.0 / 3.0)))
        AdjustY();
    else
        AdjustX();
    FieldsStale = True;
    UpdateXY();
}

} // namespace explorer
