// Input that arrives while a long computation answers the window system from
// inside its work: repaints, exposes and the window manager's close are
// handled at once, while clicks, keys, wheel turns and shortcuts are held and
// delivered, oldest first, at the next yield that lets input through
// (DoEvents, WaitEvents). Qt's own way of holding input holds the window
// manager's close request with it, so a close would wait for the work.
// Single-threaded: everything here runs on the user-interface thread, and
// delivering held input re-enters (a held click may start a nested pass
// whose first yield delivers the next one).
#pragma once

namespace tk {

// Runs the handlers of pending events, holding user input back.
void AnswerWindowSystem();

// Delivers the input AnswerWindowSystem held back, oldest first; returns at
// once when there is none, or when called from inside AnswerWindowSystem.
void DeliverHeldInput();

} // namespace tk
