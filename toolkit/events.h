// The event pump as handlers see it: one yield to pending events, a yield that
// sleeps until something arrives, and ending the program at once.
// Every call here re-enters: the handlers of pending events run inside it.
#pragma once

namespace tk {

// Runs the handlers of all pending events, then returns.
void DoEvents();

// Like DoEvents, but when nothing is pending it sleeps until the next event
// arrives instead of returning at once, so a loop around it uses no CPU.
void WaitEvents();

// Ends the program at once: no handler further up the stack resumes, nothing
// is asked or saved. Exit status 0.
[[noreturn]] void End();

} // namespace tk
