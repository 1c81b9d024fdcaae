// How far down the boundary traces a row of a deep pass starts may walk, as
// far as the rows whose levels are ready tell: the pass waits for those rows
// before the row, answering every event, rather than inside the trace, where
// it answers only the window system. Window thread only; pure reads.
#pragma once

#include <cstdint>
#include <vector>

namespace explorer {

struct ByteGrid;

class DeepTraceReach {
public:
    // No pending pixel of `row` is of the set: the row starts no trace.
    static constexpr std::int32_t NoTrace = -1;

    // The last row the traces of `row` may read: the lowest row of the
    // regions of the set (8-connected, as the trace walks them: a done pixel
    // by its grid level, a pending one by its deep level) that hold a pending
    // pixel of `row`, plus one for the boundary's neighbours. A region that
    // reaches the last ready row may go on below: then the answer is
    // readyRows or more. `levels` holds the deep levels of rows
    // 0 .. readyRows - 1, `width` to a row.
    std::int32_t lastRowNeeded(const ByteGrid& done, const ByteGrid& level,
                               const std::uint8_t* levels, std::int32_t width,
                               std::int32_t readyRows, std::int32_t row);

private:
    // Pixels met in this call carry its stamp: no clearing between calls.
    std::vector<std::uint32_t> seen_;
    std::uint32_t stamp_ = 0;
    std::vector<std::int32_t> stack_;
};

} // namespace explorer
