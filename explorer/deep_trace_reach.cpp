// The regions of the set a row's traces walk, found by a flood over the ready
// rows; see deep_trace_reach.h.
#include "deep_trace_reach.h"

#include <algorithm>

#include "form1.h"

namespace explorer {

std::int32_t DeepTraceReach::lastRowNeeded(const ByteGrid& done, const ByteGrid& level,
                                           const std::uint8_t* levels, std::int32_t width,
                                           std::int32_t readyRows, std::int32_t row)
{
    if (row >= readyRows)
        return readyRows;
    const std::size_t w = std::size_t(width);
    // Of the set as the trace would see it.
    const auto ofSet = [&](std::size_t i) {
        return done.data[i] ? level.data[i] == 0 : levels[i] == 0;
    };
    stack_.clear();
    for (std::size_t c = 0; c < w; ++c) {
        const std::size_t i = std::size_t(row) * w + c;
        if (!done.data[i] && levels[i] == 0)
            stack_.push_back(std::int32_t(i));
    }
    if (stack_.empty())
        return NoTrace;
    if (seen_.size() < w * std::size_t(readyRows))
        seen_.resize(w * std::size_t(readyRows), 0);
    if (++stamp_ == 0) { // wrapped: stamps of long ago would read as this call's
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    for (const std::int32_t i : stack_)
        seen_[std::size_t(i)] = stamp_;
    std::int32_t lowest = row;
    while (!stack_.empty()) {
        const std::size_t i = std::size_t(stack_.back());
        stack_.pop_back();
        const std::int32_t r = std::int32_t(i / w), c = std::int32_t(i % w);
        lowest = std::max(lowest, r);
        for (std::int32_t dr = -1; dr <= 1; ++dr)
            for (std::int32_t dc = -1; dc <= 1; ++dc) {
                const std::int32_t nr = r + dr, nc = c + dc;
                if (nr < 0 || nr >= readyRows || nc < 0 || nc >= width)
                    continue;
                const std::size_t j = std::size_t(nr) * w + std::size_t(nc);
                if (seen_[j] != stamp_ && ofSet(j)) {
                    seen_[j] = stamp_;
                    stack_.push_back(std::int32_t(j));
                }
            }
    }
    return lowest + 1;
}

} // namespace explorer
