// Picture agreement; see exactness.h.
#include "exactness.h"

#include <algorithm>
#include <cstdio>

namespace deeptest {

std::string Exactness::describe() const
{
    char text[200];
    std::snprintf(text, sizeof text,
                  "%.3f %% equal (%ld of %ld differ), worst 4x4 block %d, %ld early differences",
                  100.0 * equalShare(), different, pixels, worstBlock, differentEarly);
    return text;
}

Exactness compare(int width, int height, const std::vector<std::uint8_t>& levels,
                  const std::vector<std::uint8_t>& reference,
                  const std::vector<std::int64_t>& counts, std::int64_t maxIter)
{
    Exactness e;
    e.pixels = long(width) * height;
    auto at = [&](int c, int r) { return std::size_t(r) * std::size_t(width) + std::size_t(c); };
    auto wrong = [&](int c, int r) { return levels[at(c, r)] != reference[at(c, r)]; };
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            if (!wrong(c, r))
                continue;
            ++e.different;
            bool early = true;
            for (int y = std::max(r - 1, 0); y <= std::min(r + 1, height - 1); ++y)
                for (int x = std::max(c - 1, 0); x <= std::min(c + 1, width - 1); ++x) {
                    const std::int64_t n = counts[at(x, y)];
                    early = early && n >= 0 && n < 1000 && n < maxIter;
                }
            e.differentEarly += early;
        }
    // Every 4x4 window, not only aligned ones.
    for (int r = 0; r + 4 <= height; ++r)
        for (int c = 0; c + 4 <= width; ++c) {
            int n = 0;
            for (int y = r; y < r + 4; ++y)
                for (int x = c; x < c + 4; ++x)
                    n += wrong(x, y);
            e.worstBlock = std::max(e.worstBlock, n);
        }
    return e;
}

} // namespace deeptest
