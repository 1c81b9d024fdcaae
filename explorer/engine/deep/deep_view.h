// The view of the plane at any depth: its four bounds as arbitrary-precision
// numbers, read from and written to decimal text without loss, the plane
// value of every pixel, and the precision a render of it needs. Immutable
// once made; copies may be read from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "explorer/engine/deep/mpfr_number.h"

namespace explorer::deep {

// Views deeper than this (an extent below 10^-MaxDepthDecades) are refused:
// beyond it the reference orbit alone would take minutes.
constexpr int MaxDepthDecades = 100000;
// Fields longer than this are refused as input.
constexpr std::size_t MaxFieldCharacters = 200000;

// The six coordinate fields: XMin, XMax, YMin, YMax, width, height.
using FieldTexts = std::array<std::string, 6>;

class DeepView {
public:
    // Reads the four bounds from decimal text ("-1.25", "3e-400", any number
    // of digits). Returns nothing, and a message in `error`, for text that
    // is not a number, a view of zero extent or deeper than MaxDepthDecades.
    static std::optional<DeepView> fromText(const std::string& xMin, const std::string& xMax,
                                            const std::string& yMin, const std::string& yMax,
                                            std::string* error = nullptr);
    // From the six fields: the bounds are the first four; the width and
    // height are derived from them and not read.
    static std::optional<DeepView> fromFields(const FieldTexts& fields,
                                              std::string* error = nullptr);
    // From bounds worked out elsewhere (a zoom of another view): kept as
    // they are, and shown with the digits the view needs.
    static std::optional<DeepView> fromBounds(const Mpfr& xMin, const Mpfr& xMax, const Mpfr& yMin,
                                              const Mpfr& yMax, std::string* error = nullptr);
    // From double bounds (a view doubles resolve), exactly.
    static DeepView fromDoubles(double xMin, double xMax, double yMin, double yMax);

    // The six fields with as many significant digits as the view needs to
    // tell its edges apart, and at least as many as each bound was typed with.
    FieldTexts fields() const;
    // One bound in that form: 0 XMin, 1 XMax, 2 YMin, 3 YMax.
    std::string boundText(int which) const;

    const Mpfr& xMin() const { return bounds_[0]; }
    const Mpfr& xMax() const { return bounds_[1]; }
    const Mpfr& yMin() const { return bounds_[2]; }
    const Mpfr& yMax() const { return bounds_[3]; }

    // log10 of the magnification: 3 over the smaller of |width| and |height|
    // (the start-up view, 6 high, has magnification 0.5).
    double log10Magnification() const;
    // Bits a render on a canvas `canvasHeight` rows high needs: about
    // log2(magnification * canvasHeight) + 64, and at least 64.
    mpfr_prec_t precisionFor(std::int32_t canvasWidth, std::int32_t canvasHeight) const;

    // The plane value of column `col` of a canvas with last column lastCol:
    // XMin + col * (XMax - XMin) / lastCol, rounded once to `bits`; and of row
    // `row`: YMax + row * (YMin - YMax) / lastRow.
    Mpfr column(std::int32_t col, std::int32_t lastCol, mpfr_prec_t bits) const;
    Mpfr row(std::int32_t row, std::int32_t lastRow, mpfr_prec_t bits) const;
    // The centre ((XMin + XMax) / 2, (YMin + YMax) / 2), exact.
    Mpfr centreX() const;
    Mpfr centreY() const;

private:
    DeepView() = default;
    // The refusals common to every way of making a view.
    static bool checked(const DeepView& v, std::string* error);
    // Bits that keep the bounds' last shown digit clear of binary noise.
    mpfr_prec_t boundBits() const;
    std::array<Mpfr, 4> bounds_;
    std::array<int, 4> typedDigits_{}; // significant digits each bound was given with
};

// Whether a canvas with this last column and row needs more than doubles to
// tell the pixels of `view` apart: per axis, the pixel spacing against the
// axis's largest coordinate below 1e-15. False when a bound or an extent is
// beyond the doubles' range (an overflow, not a deep view). The window and
// the command line both decide by it which pass draws a view.
bool beyondDoubles(const DeepView& view, int lastCol, int lastRow);

// Significant decimal digits of a number written as text (the digits of its
// mantissa, leading zeros not counted); 0 when the text is not a number.
int significantDigits(const std::string& text);

} // namespace explorer::deep
