// Views and names of a zoom sequence (see zoom_sequence.h).
#include "zoom_sequence.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace explorer::headless {

namespace {

struct Axis {
    double low, high;
};

// One axis of frame t (0 to 1): the extent is e0 * (e1 / e0)^t, and the
// centre lies between the two centres as far as the extent has gone from e1
// towards e0, which keeps the zoom's fixed point in place.
Axis between(Axis a, Axis b, double t)
{
    const double e0 = a.high - a.low, e1 = b.high - b.low;
    const double extent = e0 * std::pow(e1 / e0, t);
    // Halves first: the sum of two bounds near the double range's end
    // would overflow.
    const double c0 = a.low / 2 + a.high / 2, c1 = b.low / 2 + b.high / 2;
    const double s = e0 != e1 ? (extent - e1) / (e0 - e1) : 1 - t;
    const double centre = c1 + (c0 - c1) * s;
    return {centre - extent / 2, centre + extent / 2};
}

} // namespace

PlaneRect FrameView(const PlaneRect& from, const PlaneRect& to, std::int32_t frames,
                    std::int32_t index)
{
    if (index <= 0 || frames <= 1)
        return from;
    if (index >= frames - 1)
        return to;
    const double t = double(index) / double(frames - 1);
    const Axis x = between({from.xMin, from.xMax}, {to.xMin, to.xMax}, t);
    const Axis y = between({from.yMin, from.yMax}, {to.yMin, to.yMax}, t);
    return {x.low, x.high, y.low, y.high};
}

std::string FrameName(const std::string& pattern, std::int32_t index)
{
    const int n = std::snprintf(nullptr, 0, pattern.c_str(), int(index));
    std::vector<char> name(std::size_t(n > 0 ? n : 0) + 1);
    std::snprintf(name.data(), name.size(), pattern.c_str(), int(index));
    return std::string(name.data());
}

} // namespace explorer::headless
