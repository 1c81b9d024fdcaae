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
struct PerturbJob {
    const double* ref;    // real and imaginary parts interleaved
    std::int64_t refLast; // index of the reference's last value
    const double* dcRe;
    const double* dcIm;
    std::int32_t n;
    std::int64_t maxIter;
    std::int64_t* counts;
};

// counts[i] = the count of the pixel at reference + (dcRe[i], dcIm[i]),
// exactly as perturbedCount<double> without a table gives it.
void perturbCounts(Isa isa, const ReferenceOrbit& orbit, const double* dcRe, const double* dcIm,
                   std::int32_t n, std::int64_t maxIter, std::int64_t* counts);

} // namespace explorer::deep
