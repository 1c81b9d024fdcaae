// The six coordinate fields: showing the view in them (UpdateXY). Each text
// write below runs that field's change handler before the next line.
#include "form1.h"

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace explorer {

void Form1::UpdateXY()
{
    if (FieldsStale == False)
        return;
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

} // namespace explorer
