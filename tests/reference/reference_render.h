// A straightforward reference of the render pass, written independently of
// the window class with plain loops and nested vectors: escape levels,
// boundary walk and interior fill, and the colours of the plotted picture.
#pragma once

#include <cstdint>
#include <vector>

namespace reference {

struct View {
    double xMin, xMax, yMin, yMax;
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

// Renders a view onto a canvas of width x height pixels.
Picture render(const View& view, int width, int height);

} // namespace reference
