// The counts of a row of pixels with the bilinear table: each pixel runs in
// the scalar path until it comes back to Z_1 with the table's run over the
// whole orbit valid for it, then crosses whole periods in vector lanes with
// others, and goes back to the scalar path for whatever the lanes cannot
// take. Counts are exactly perturbedCount<double>'s. Pure; any number of
// threads may call it.
#pragma once

#include <atomic>
#include <cstdint>

#include "explorer/engine/deep/pixel_perturbation.h"
#include "explorer/engine/escape.h"

namespace explorer::deep {

// counts[i] = perturbedCount<double>(ctx, {dcRe[i], dcIm}) for i < n.
// Returns false, with some counts not written, when `cancel` became true.
bool countRowWithTable(engine::Isa isa, const PixelContext<double>& ctx, const double* dcRe,
                       double dcIm, std::int32_t n, std::int64_t* counts,
                       const std::atomic<bool>& cancel);

} // namespace explorer::deep
