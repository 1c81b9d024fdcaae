// The levels of a canvas for a deep view: the reference orbit at the view's
// centre (MPFR), the bilinear table over it, then every pixel by
// perturbation on all cores, row by row in order. Cancellable through an
// atomic flag, with progress reported on the calling thread. Knows nothing
// of windows; each call owns everything it computes, but for what a row feed
// lets a reader see while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "explorer/engine/deep/bla_table.h"
#include "explorer/engine/deep/deep_rows.h"
#include "explorer/engine/deep/deep_view.h"
#include "explorer/engine/deep/perturb_kernels.h"

namespace explorer::deep {

struct DeepOptions {
    std::int32_t maxIter = 256;
    std::int32_t colorCycle = 255;
    bool useBla = true;
    // Views whose differences fit a double run in vector lanes (every step
    // without the table; whole periods with it); off, they take the scalar
    // path (the same counts).
    bool useLanes = true;
    // Force the extended exponent even where doubles would do.
    bool forceExtended = false;
    unsigned threads = 0; // 0: every core
    Isa isa = escape::bestIsa();
    double blaEpsilon = BlaTable<double>::DefaultEpsilon;
    // Only rows 0, rowStride, 2 rowStride ... are computed (the others keep
    // count 0), for sampling a large canvas.
    std::int32_t rowStride = 1;
};

enum class DeepStage { ReferenceOrbit, BlaTable, Pixels };
// Progress: the stage and the fraction of it done. Called on the thread
// that called computeDeepLevels, a few times a second at most.
using DeepProgress = std::function<void(DeepStage, double)>;

struct DeepLevels {
    std::int32_t width = 0, height = 0;
    // Row-major: level 0 for points taken as in the set, else count mod
    // colorCycle + 1; and the escape count (maxIter: in the set).
    std::vector<std::uint8_t> levels;
    std::vector<std::int64_t> counts;
    bool cancelled = false;
    std::string error; // a refusal, when non-empty; nothing was computed
    // What was done, for the status line and the bench.
    mpfr_prec_t bits = 0;
    bool extended = false;
    std::int64_t referenceIterations = 0;
    bool referenceEscaped = false;
    std::size_t tableBytes = 0, orbitBytes = 0;
    double referenceSeconds = 0, tableSeconds = 0, pixelSeconds = 0;

    std::uint8_t level(std::int32_t col, std::int32_t row) const
    {
        return levels[std::size_t(row) * std::size_t(width) + std::size_t(col)];
    }
};

// Whether a canvas of this size on this view needs the extended exponent
// (pixel differences below what doubles hold with room to spare).
bool needsExtendedExponent(const DeepView& view, std::int32_t width, std::int32_t height);

DeepLevels computeDeepLevels(const DeepView& view, std::int32_t width, std::int32_t height,
                             const DeepOptions& options, const std::atomic<bool>& cancel,
                             const DeepProgress& progress = {});

// The same levels into `out`, its rows handed to the threads and published
// through `feed` (row indices: with a row stride, index i is row i stride),
// and the reference's length published once the orbit is done. `out`'s
// levels are sized before the orbit and never move: a reader may read a
// row's levels once the feed has published it, and the rest of `out` once
// the feed has finished. A cancelled run keeps the rows it published.
void computeDeepLevelsInRows(const DeepView& view, std::int32_t width, std::int32_t height,
                             const DeepOptions& options, const std::atomic<bool>& cancel,
                             const DeepProgress& progress, DeepRowFeed& feed, DeepLevels& out);

} // namespace explorer::deep
