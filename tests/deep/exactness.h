// How closely two pictures of the same canvas agree, in the terms the deep
// render is held to: the share of equal pixels, the most wrong pixels in
// any 4x4 block (a glitch shows as a blob), and differences where every
// pixel around escapes early.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace deeptest {

struct Exactness {
    long pixels = 0, different = 0;
    int worstBlock = 0;      // most different pixels in one 4x4 block
    long differentEarly = 0; // different pixels whose 3x3 neighbourhood all escaped below 1000
    double equalShare() const { return pixels ? 1.0 - double(different) / double(pixels) : 0; }
    std::string describe() const;
};

// `counts` are the reference's counts per pixel (-1 where it filled the
// pixel without iterating), `maxIter` its limit.
Exactness compare(int width, int height, const std::vector<std::uint8_t>& levels,
                  const std::vector<std::uint8_t>& reference,
                  const std::vector<std::int64_t>& counts, std::int64_t maxIter);

} // namespace deeptest
