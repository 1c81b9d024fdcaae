// The six coordinate fields: showing the view in them (UpdateXY) and their
// eighteen handlers. Each text write in UpdateXY runs that field's change
// handler before the next line, and every handler here may also run nested
// in a render pass's or a pause's yield.
#include "form1.h"

#include <algorithm>
#include <cmath>

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace explorer {

void Form1::UpdateXY()
{
    if (FieldsStale == False)
        return;
    if (Deep.writeFields(*this)) { // a deep view: every digit it needs
        FieldsStale = False;
        return;
    }
    const DeepViewState::PlainWrite plain(Deep);
    Text1->setText(tk::Str(XMin));
    Text2->setText(tk::Str(XMax));
    Text3->setText(tk::Str(YMin));
    Text4->setText(tk::Str(YMax));
    // The extents are read only now, after the handlers of the bound fields
    // have had their say.
    Text5->setText(tk::Str(tk::CheckFloat(XMax - XMin)));
    Text6->setText(tk::Str(tk::CheckFloat(YMax - YMin)));
    FieldsStale = False;
}

bool Form1::ViewFitsCanvas(const PlaneView& view) const
{
    // The arithmetic of the pass's coordinates: extents, then steps.
    const double width = view.xMax - view.xMin, height = view.yMin - view.yMax;
    const int cols = std::max(LastCol, 1), rows = std::max(LastRow, 1);
    return std::isfinite(width) && std::isfinite(height) && std::isfinite(width / cols) &&
           std::isfinite(height / rows);
}

// A field typed over a deep view, or typed into one, is the deep view's to
// take (in MPFR, with the lock); a double view keeps the handlers below.
bool Form1::takenDeep(int field, const tk::TextBox* box)
{
    if (!Deep.fieldTyped(*this, field, box->Text().toStdString()))
        return false;
    FieldsStale = True;
    return true;
}

// Bound fields: the typed value replaces the bound at every keystroke, and
// with the lock on the other axis follows at once.

void Form1::Text1_change()
{
    if (takenDeep(0, Text1))
        return;
    XMin = tk::Val(Text1->Text());
    if (KeepRatio == True)
        AdjustY();
    FieldsStale = True;
}

void Form1::Text2_Change()
{
    if (takenDeep(1, Text2))
        return;
    XMax = tk::Val(Text2->Text());
    if (KeepRatio == True)
        AdjustY();
    FieldsStale = True;
}

void Form1::Text3_Change()
{
    if (takenDeep(2, Text3))
        return;
    YMin = tk::Val(Text3->Text());
    if (KeepRatio == True)
        AdjustX();
    FieldsStale = True;
}

void Form1::Text4_Change()
{
    if (takenDeep(3, Text4))
        return;
    YMax = tk::Val(Text4->Text());
    if (KeepRatio == True)
        AdjustX();
    FieldsStale = True;
}

// Extent fields: the axis keeps its centre and takes the typed extent. The
// centre and the new bounds are stored before they are checked, the half
// extent after; a failure skips the follow-up and leaves FieldsStale alone.

void Form1::Text5_Change()
{
    if (takenDeep(4, Text5))
        return;
    MidPoint = (XMax - XMin) / 2 + XMin;
    tk::CheckFloat(MidPoint);
    HalfSize = tk::CheckFloat(tk::Val(Text5->Text()) / 2);
    XMin = MidPoint - HalfSize;
    tk::CheckFloat(XMin);
    XMax = MidPoint + HalfSize;
    tk::CheckFloat(XMax);
    if (KeepRatio == True)
        AdjustY();
    FieldsStale = True;
}

void Form1::Text6_Change()
{
    if (takenDeep(5, Text6))
        return;
    MidPoint = (YMax - YMin) / 2 + YMin;
    tk::CheckFloat(MidPoint);
    HalfSize = tk::CheckFloat(tk::Val(Text6->Text()) / 2);
    YMin = MidPoint - HalfSize;
    tk::CheckFloat(YMin);
    YMax = MidPoint + HalfSize;
    tk::CheckFloat(YMax);
    if (KeepRatio == True)
        AdjustX();
    FieldsStale = True;
}

// Entering a field selects its whole text, so the first key replaces it.
void Form1::Text1_GotFocus()
{
    Text1->selectAllText();
}

void Form1::Text2_GotFocus()
{
    Text2->selectAllText();
}

void Form1::Text3_GotFocus()
{
    Text3->selectAllText();
}

void Form1::Text4_GotFocus()
{
    Text4->selectAllText();
}

void Form1::Text5_GotFocus()
{
    Text5->selectAllText();
}

void Form1::Text6_GotFocus()
{
    Text6->selectAllText();
}

// Leaving a field rewrites all six from the bounds, if anything changed.

void Form1::Text1_LostFocus()
{
    UpdateXY();
}

void Form1::Text2_LostFocus()
{
    UpdateXY();
}

void Form1::Text3_LostFocus()
{
    UpdateXY();
}

void Form1::Text4_LostFocus()
{
    UpdateXY();
}

void Form1::Text5_LostFocus()
{
    UpdateXY();
}

void Form1::Text6_LostFocus()
{
    UpdateXY();
}

} // namespace explorer
