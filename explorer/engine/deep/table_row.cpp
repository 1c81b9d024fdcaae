// Rows of pixels with the table, whole periods in vector lanes; see
// table_row.h.
#include "explorer/engine/deep/table_row.h"

#include <bit>

#include "explorer/engine/deep/period_kernels.h"

namespace explorer::deep {

namespace {

// Looks a kernel call may take before the row checks for cancellation.
constexpr int LooksPerCall = 1024;

class PeriodRow {
public:
    PeriodRow(engine::Isa isa, const PixelContext<double>& ctx, const BlaStep<double>& whole,
              std::int64_t wholeSteps, const double* dcRe, double dcIm, std::int32_t n,
              std::int64_t* counts)
        : isa_(isa), ctx_(ctx), whole_(whole), period_(wholeSteps + 1), dcRe_(dcRe), dcIm_(dcIm),
          n_(n), counts_(counts)
    {
        const ReferenceOrbit& o = *ctx.orbit;
        const std::int64_t last = o.size() - 1;
        constants_ = {o.re(1),    o.im(1),    o.re(last),   o.im(last),
                      whole.a.re, whole.a.im, whole.radius2};
    }

    bool run(const std::atomic<bool>& cancel)
    {
        const int laneCount = periodLaneCount(isa_);
        for (int lane = 0; lane < laneCount; ++lane)
            if (!refill(lane, cancel))
                return false;
        while (live_) {
            std::uint64_t stopped = crossPeriods(isa_, constants_, lanes_, live_, LooksPerCall);
            if (cancel.load(std::memory_order_relaxed))
                return false;
            for (; stopped; stopped &= stopped - 1) {
                const int lane = std::countr_zero(stopped);
                const std::int64_t n = start_[lane] + std::int64_t(lanes_.periods[lane]) * period_;
                const PixelStart<double> at{{lanes_.dzRe[lane], lanes_.dzIm[lane]}, 1, n};
                if (!settle(lane, pixel_[lane], at) && !refill(lane, cancel))
                    return false;
            }
        }
        return true;
    }

private:
    // Runs the pixel in the scalar path from `at` until it has its count or
    // parks; a parked pixel takes the lane. Returns whether it did.
    bool settle(int lane, std::int32_t pixel, const PixelStart<double>& at)
    {
        const Complex<double> dc{dcRe_[pixel], dcIm_};
        PixelStart<double> parked;
        const std::int64_t count = perturbedCount<double>(ctx_, dc, at, &parked);
        const std::uint64_t bit = std::uint64_t(1) << lane;
        if (count >= 0) {
            counts_[pixel] = count;
            live_ &= ~bit;
            return false;
        }
        const Complex<double> bdc = whole_.b * dc;
        lanes_.dzRe[lane] = parked.dz.re;
        lanes_.dzIm[lane] = parked.dz.im;
        lanes_.dcRe[lane] = dc.re;
        lanes_.dcIm[lane] = dc.im;
        lanes_.bdcRe[lane] = bdc.re;
        lanes_.bdcIm[lane] = bdc.im;
        lanes_.periods[lane] = 0;
        // Periods the lane may cross while a whole one more stays below the
        // limit (at least one, or the pixel would not have parked).
        lanes_.periodLimit[lane] = double((ctx_.maxIter - 1 - parked.n) / period_);
        start_[lane] = parked.n;
        pixel_[lane] = pixel;
        live_ |= bit;
        return true;
    }

    // Gives the lane the next pixel that parks; false when cancelled.
    bool refill(int lane, const std::atomic<bool>& cancel)
    {
        while (next_ < n_) {
            if (cancel.load(std::memory_order_relaxed))
                return false;
            if (settle(lane, next_++, PixelStart<double>{}))
                return true;
        }
        return true;
    }

    engine::Isa isa_;
    const PixelContext<double>& ctx_;
    const BlaStep<double>& whole_;
    std::int64_t period_;
    const double* dcRe_;
    double dcIm_;
    std::int32_t n_;
    std::int64_t* counts_;
    PeriodConstants constants_{};
    PeriodLanes lanes_{};
    std::int64_t start_[PeriodLanes::Max] = {};
    std::int32_t pixel_[PeriodLanes::Max] = {};
    std::uint64_t live_ = 0;
    std::int32_t next_ = 0;
};

} // namespace

bool countRowWithTable(engine::Isa isa, const PixelContext<double>& ctx, const double* dcRe,
                       double dcIm, std::int32_t n, std::int64_t* counts,
                       const std::atomic<bool>& cancel)
{
    std::int64_t wholeSteps = 0;
    const BlaStep<double>* whole = ctx.bla ? ctx.bla->wholeRun(wholeSteps) : nullptr;
    if (!whole || wholeSteps + 1 != ctx.orbit->size() - 1) {
        for (std::int32_t i = 0; i < n; ++i) {
            if (cancel.load(std::memory_order_relaxed))
                return false;
            counts[i] = perturbedCount<double>(ctx, {dcRe[i], dcIm});
        }
        return true;
    }
    PeriodRow row(isa, ctx, *whole, wholeSteps, dcRe, dcIm, n, counts);
    return row.run(cancel);
}

} // namespace explorer::deep
