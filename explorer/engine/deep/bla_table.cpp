// Building the bilinear approximation table; see bla_table.h.
#include "explorer/engine/deep/bla_table.h"

#include <cmath>

namespace explorer::deep {

namespace {

template <class T> Complex<T> referenceAt(const ReferenceOrbit& o, std::size_t m)
{
    if constexpr (std::is_same_v<T, double>)
        return {o.re(std::int64_t(m)), o.im(std::int64_t(m))};
    else
        return o.wide[m];
}

template <class T> bool finiteValue(T v)
{
    if constexpr (std::is_same_v<T, double>)
        return std::isfinite(v);
    else
        return std::isfinite(v.mantissa);
}

// Run x, then run y.
template <class T> BlaStep<T> merged(const BlaStep<T>& x, const BlaStep<T>& y, T dcMax)
{
    BlaStep<T> s;
    s.a = y.a * x.a;
    s.b = y.a * x.b + y.b;
    // Valid for dz when x is, and x's result lies within y's radius:
    // |A_x| |dz| + |B_x| |dc| < r_y.
    const T spare = sqrtOf(y.radius2) - magnitude(x.b) * dcMax;
    const T ax = magnitude(x.a);
    T r = T(0.0);
    if (T(0.0) < spare && T(0.0) < ax)
        r = minOf(sqrtOf(x.radius2), spare * reciprocal(ax));
    s.radius2 = finiteValue(s.a.re) && finiteValue(s.b.re) && finiteValue(r) ? r * r : T(0.0);
    return s;
}

} // namespace

template <class T>
bool BlaTable<T>::build(const ReferenceOrbit& orbit, T dcMax, double epsilon,
                        const std::atomic<bool>& cancel, const ProgressFunction& progress)
{
    levels_.clear();
    const std::int64_t size = orbit.size();
    if (size < 3)
        return true;
    // Single steps from m = 1 .. size - 2 (the step to the last value).
    std::vector<BlaStep<T>> level(std::size_t(size - 2));
    const T eps2 = T(epsilon * epsilon);
    for (std::int64_t m = 1; m <= size - 2; ++m) {
        const Complex<T> z = referenceAt<T>(orbit, std::size_t(m));
        BlaStep<T>& s = level[std::size_t(m - 1)];
        s.a = {twice(z.re), twice(z.im)};
        s.b = {T(1.0), T(0.0)};
        // Near the escape radius the skipped escape tests could matter.
        const double n = orbit.re(m) * orbit.re(m) + orbit.im(m) * orbit.im(m);
        s.radius2 = n < 3.99 ? norm(z) * eps2 : T(0.0);
        if ((m & 0xffff) == 0 && cancel.load(std::memory_order_relaxed))
            return false;
    }
    const double total = double(size);
    double done = double(level.size());
    levels_.push_back(std::move(level));
    while (levels_.back().size() >= 2) {
        const std::vector<BlaStep<T>>& lower = levels_.back();
        std::vector<BlaStep<T>> upper(lower.size() / 2);
        for (std::size_t j = 0; j < upper.size(); ++j) {
            upper[j] = merged(lower[2 * j], lower[2 * j + 1], dcMax);
            if ((j & 0xffff) == 0 && cancel.load(std::memory_order_relaxed)) {
                levels_.clear();
                return false;
            }
        }
        done += double(upper.size());
        levels_.push_back(std::move(upper));
        if (progress)
            progress(std::min(1.0, done / total));
    }
    // The chain from index 1 to the end, as the search would take it.
    wholeSteps_ = 0;
    std::int64_t m = 1;
    const std::int64_t end = size - 1;
    for (int k = int(levels_.size()) - 1; k >= 0; --k) {
        const std::int64_t len = std::int64_t(1) << k;
        if (m + len > end || ((m - 1) & (len - 1)) != 0)
            continue;
        const BlaStep<T>& s = levels_[std::size_t(k)][std::size_t((m - 1) >> k)];
        whole_ = wholeSteps_ ? merged(whole_, s, dcMax) : s;
        wholeSteps_ += len;
        m += len;
    }
    if (m != end)
        wholeSteps_ = 0; // (cannot happen: every length has a chain)
    return true;
}
template <class T> std::size_t BlaTable<T>::bytes() const
{
    std::size_t n = 0;
    for (const auto& l : levels_)
        n += l.capacity() * sizeof(BlaStep<T>);
    return n;
}

template class BlaTable<double>;
template class BlaTable<FloatExp>;

} // namespace explorer::deep
