// Event pump over Qt's event dispatcher.
#include "events.h"

#include "held_input.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <cstdlib>

namespace tk {

void DoEvents()
{
    DeliverHeldInput();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitEvents()
{
    DeliverHeldInput();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void End()
{
    std::fflush(nullptr);
    // _Exit, not exit: the windows are still on the stack, and destroying
    // Qt's globals under them is exactly what must not happen.
    std::_Exit(0);
}

} // namespace tk
