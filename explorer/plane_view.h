// A rectangle of the complex plane as the explorer's bounds give it, and the
// view the window starts with. Plain values; nothing here touches a window.
#pragma once

#include <cmath>

namespace explorer {

struct PlaneView {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    friend bool operator==(const PlaneView&, const PlaneView&) = default;

    // The plane point at canvas position (x, y) of a canvas whose last column
    // and row are lastCol and lastRow: column 0 is xMin, row 0 (the top) yMax.
    double realAt(double x, int lastCol) const { return xMin + x * ((xMax - xMin) / lastCol); }
    double imagAt(double y, int lastRow) const { return yMax + y * ((yMin - yMax) / lastRow); }

    // This view scaled by `factor` about the plane point (re, im): that
    // point keeps its place on the canvas, and the shape stays.
    PlaneView scaledAbout(double re, double im, double factor) const
    {
        return {re - (re - xMin) * factor, re + (xMax - re) * factor, im - (im - yMin) * factor,
                im + (yMax - im) * factor};
    }
};

inline constexpr PlaneView StartView{-4, 4, -3, 3};

} // namespace explorer
