// A straightforward reference of the render pass, written independently of
// the window class with plain loops and nested vectors: escape levels,
// boundary walk and interior fill, and the colours of the plotted picture.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace reference {

struct View {
    double xMin, xMax, yMin, yMax;
};

// The views the benchmark times and the tests check most closely: the start
// view, the whole set, three deep boundary views, one inside the set and one
// far outside it.
struct NamedView {
    const char* name;
    View view;
};
inline constexpr NamedView BenchmarkViews[] = {
    {"start", {-4, 4, -3, 3}},
    {"full", {-2.5, 1, -1.3125, 1.3125}},
    {"seahorse", {-0.75, -0.73, 0.1, 0.115}},
    {"spiral", {-0.7454, -0.7452, 0.1130, 0.11315}},
    {"elephant", {0.25, 0.27, -0.0075, 0.0075}},
    {"interior", {-0.2, 0.2, -0.15, 0.15}},
    {"empty", {10, 11, -0.375, 0.375}},
};

struct Picture {
    int width = 0, height = 0;
    // Indexed [column][row], as the window's grids are.
    std::vector<std::vector<std::uint8_t>> level, done;
    // 1 where the pass iterated the pixel (rather than filling it).
    std::vector<std::vector<std::uint8_t>> evaluated;
    // The plane values of the columns and rows.
    std::vector<double> xs, ys;
    // Plotted colour per pixel (red + 256 green + 65536 blue), row-major.
    std::vector<std::int32_t> colour;
    long evaluations = 0; // pixels iterated
};

// The explorer's start-up palette.
std::vector<std::int32_t> palette();

// Escape level of c = cx + i cy with the limit 256 and 255 cycling levels.
int level(double cx, double cy);

// A point on the boundary of the set along the ray from 0 at angle a, found
// by bisection on level(): the last point of the ray still in the set.
std::pair<double, double> boundaryPoint(double a);

// Renders a view onto a canvas of width x height pixels.
Picture render(const View& view, int width, int height);

} // namespace reference
