// The views of a zoom sequence and the names of its frames. Pure functions:
// every process of a split sequence works out the same views and names.
#pragma once

#include <cstdint>
#include <string>

#include "traced_pass.h"

namespace explorer::headless {

// Frame `index` of `frames` (0 to frames - 1) from `from` to `to`: width and
// height move geometrically (shrink or grow by one factor per frame) and the
// centre moves with them, so the sequence is a zoom about the one point that
// keeps its place in the picture. The first frame is `from` and the last is
// `to`, exactly. Widths and heights must be non-zero and of one sign.
PlaneRect FrameView(const PlaneRect& from, const PlaneRect& to, std::int32_t frames,
                    std::int32_t index);

// The file name of frame `index`: `pattern` with its one %d conversion (as
// command_line.cpp checks) replaced by the number.
std::string FrameName(const std::string& pattern, std::int32_t index);

} // namespace explorer::headless
