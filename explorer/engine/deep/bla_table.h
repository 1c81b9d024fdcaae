// Bilinear approximation of runs of perturbation steps: for a run of l
// steps from reference index m, dz_{m+l} = A dz_m + B dc holds to about
// double precision while |dz_m| < r. One entry per index for single steps,
// merged pairwise in levels (level k: runs of 2^k steps from indices
// 1 + j 2^k). Built once per view on one thread; read-only afterwards.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "explorer/engine/deep/float_exp.h"
#include "explorer/engine/deep/reference_orbit.h"

namespace explorer::deep {

template <class T> struct BlaStep {
    Complex<T> a, b;
    T radius2; // |dz|^2 must be below this
};

template <class T> class BlaTable {
public:
    // How close a single step's neglected term dz^2 must stay to nothing,
    // relative to the step's linear term.
    static constexpr double DefaultEpsilon = 0x1p-53;

    // Builds the table over `orbit` for pixels whose |dc| is at most dcMax.
    // Returns false when `cancel` became true (the table is then empty).
    bool build(const ReferenceOrbit& orbit, T dcMax, double epsilon,
               const std::atomic<bool>& cancel, const ProgressFunction& progress);

    std::int32_t levels() const { return std::int32_t(levels_.size()); }
    // The longest run starting at reference index m (m >= 1) that is valid
    // for dz and no longer than maxSteps; nullptr when none is. `steps` gets
    // its length.
    const BlaStep<T>* find(std::int64_t m, T dzNorm, std::int64_t maxSteps,
                           std::int64_t& steps) const
    {
        if (m < 1 || levels_.empty())
            return nullptr;
        // From the start (after a rebase): the whole orbit in one run.
        if (m == 1 && wholeSteps_ <= maxSteps && dzNorm < whole_.radius2) {
            steps = wholeSteps_;
            return &whole_;
        }
        const std::uint64_t offset = std::uint64_t(m - 1);
        int top = offset ? __builtin_ctzll(offset) : 63;
        if (top >= int(levels_.size()))
            top = int(levels_.size()) - 1;
        // A run's radius is at most that of its first half, so the valid
        // levels at m are 0 up to some k: climb until one is not.
        const BlaStep<T>* found = nullptr;
        for (int k = 0; k <= top && (std::int64_t(1) << k) <= maxSteps; ++k) {
            const std::uint64_t j = offset >> k;
            const std::vector<BlaStep<T>>& level = levels_[std::size_t(k)];
            if (j >= level.size() || !(dzNorm < level[j].radius2))
                break;
            found = &level[j];
            steps = std::int64_t(1) << k;
        }
        return found;
    }
    // The run over the whole orbit from index 1 to its end, or nullptr when
    // there is none; `steps` gets its length.
    const BlaStep<T>* wholeRun(std::int64_t& steps) const
    {
        steps = wholeSteps_;
        return wholeSteps_ > 0 && !levels_.empty() ? &whole_ : nullptr;
    }
    std::size_t bytes() const;

private:
    std::vector<std::vector<BlaStep<T>>> levels_;
    // The runs the search would chain from index 1 to the orbit's end,
    // merged into one: a pixel that rebases every period (inside a small
    // copy whose nucleus is the reference) crosses each period in one step.
    BlaStep<T> whole_{};
    std::int64_t wholeSteps_ = 0;
};

extern template class BlaTable<double>;
extern template class BlaTable<FloatExp>;

} // namespace explorer::deep
