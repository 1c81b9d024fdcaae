// "&Pause"/"&Resume" and "E&xit". The pause is re-entrancy, not blocking: the
// pausing click runs inside the render pass's yield and waits there, yielding
// in turn, so any handler (a resume, a restart, a zoom) may run inside it.
#include "form1.h"

#include "toolkit/events.h"

namespace explorer {

void Form1::Command2_Click()
{
    if (Running == False)
        return;
    if (Command2->Caption() == QLatin1String("&Pause")) {
        Command2->setCaption(QStringLiteral("&Resume"));
        // The rows drawn since the pass last repainted show while it waits.
        Picture1->Refresh();
        Picture1->setMousePointer(tk::PointerCross);
        emit passPaused();
    } else {
        // A resumed pass goes on with the view it was drawing, so a zoom
        // made meanwhile is dropped.
        CancelSelection();
        Command2->setCaption(QStringLiteral("&Pause"));
        Picture1->setMousePointer(tk::PointerNoDrop);
        CornerDrag = False;
        CenterDrag = False;
    }
    // Only a resume, or a new pass, turns the caption back to "&Pause". The
    // wait sleeps until an event arrives instead of spinning, and it looks at
    // the caption only when its yield returns, so nested waits end
    // innermost first.
    while (Command2->Caption() != QLatin1String("&Pause"))
        tk::WaitEvents();
    emit passResumed();
}

void Form1::Command3_Click()
{
    tk::End();
}

} // namespace explorer
