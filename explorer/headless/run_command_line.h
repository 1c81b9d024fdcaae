// Zelmar without a window: runs what the command line asks (a picture, a zoom
// sequence or a share of one, the help, the version) and answers with the
// exit status. Creates no window and needs no display.
#pragma once

#include <string>
#include <vector>

namespace explorer::headless {

// Exit statuses: 0 done, 1 a view that overflows, an unreadable view file or
// a failed write, 2 bad arguments, 128 + the signal when interrupted.
int RunCommandLine(const std::vector<std::string>& args);

} // namespace explorer::headless
