// Perturbation counts of many pixels at once in vector lanes (AVX-512, AVX2
// or portable code, chosen at run time), for views whose differences fit a
// double, every step iterated. Pure functions of their inputs.
#pragma once

#include <cstdint>

#include "explorer/engine/deep/reference_orbit.h"
#include "explorer/engine/escape.h"

namespace explorer::deep {

using engine::Isa;

// What the lanes work on: pixel i has the difference (dcRe[i], dcIm[i])
// from the reference; its count goes to counts[i].
// The state a scaled lane hands out for the scalar path to go on from:
// dz = (wr, wi) 2^e at reference index m, count n so far.
struct LaneExit {
    double wr, wi;
    std::int64_t e, m, n;
};

struct PerturbJob {
    const double* ref;    // real and imaginary parts interleaved
    std::int64_t refLast; // index of the reference's last value
    const double* dcRe;
    const double* dcIm;
    std::int32_t n;
    std::int64_t maxIter;
    std::int64_t* counts;
    // Scaled lanes only: the differences with an extended exponent, and
    // where a lane that stops early leaves its state (its count is then -1).
    const Complex<FloatExp>* dcWide = nullptr;
    LaneExit* exits = nullptr;
};

// counts[i] = the count of the pixel at reference + (dcRe[i], dcIm[i]),
// exactly as perturbedCount<double> without a table gives it.
void perturbCounts(Isa isa, const ReferenceOrbit& orbit, const double* dcRe, const double* dcIm,
                   std::int32_t n, std::int64_t maxIter, std::int64_t* counts);

// The same for differences with an extended exponent (dz kept as w 2^e in
// double lanes). counts[i] is -1 for a pixel the lanes could not finish;
// exits[i] then holds where the scalar path goes on from.
void perturbCountsScaled(Isa isa, const ReferenceOrbit& orbit, const Complex<FloatExp>* dc,
                         std::int32_t n, std::int64_t maxIter, std::int64_t* counts,
                         LaneExit* exits);

} // namespace explorer::deep
