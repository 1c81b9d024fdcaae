// The render pass of the explorer written plainly over any level function:
// rows from the top, pending pixels evaluated, a boundary walk from every
// pixel of the set met and the fill of its interior. Only for the deep
// tests and bench; the window has its own pass.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace deeptest {

struct PassResult {
    int width = 0, height = 0;
    std::vector<std::uint8_t> level;     // row-major
    std::vector<std::uint8_t> evaluated; // 1 where the level function was asked
};

// level(col, row) gives a pixel's level (0: in the set); asked at most once
// per pixel.
PassResult tracedPass(int width, int height, const std::function<std::uint8_t(int, int)>& level);

} // namespace deeptest
