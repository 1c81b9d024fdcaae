// Deep zoom frames in MPFR (see deep_sequence.h).
#include "deep_sequence.h"

#include <algorithm>
#include <cmath>

#include "zoom_sequence.h"

namespace explorer::headless {

namespace {

using deep::DeepView;
using deep::Mpfr;

struct Axis {
    Mpfr low, high;
};

// One axis of frame t (0 to 1), as zoom_sequence.cpp's between(): the
// extent is e0 (e1 / e0)^t and the centre lies between the two centres as
// far as the extent has gone from e1 towards e0.
Axis between(const Mpfr& a0, const Mpfr& a1, const Mpfr& b0, const Mpfr& b1, const Mpfr& t,
             mpfr_prec_t p)
{
    Mpfr e0(p), e1(p), extent(p), c0(p), c1(p), s(p), d(p), centre(p), half(p);
    mpfr_sub(e0.get(), a1.get(), a0.get(), MPFR_RNDN);
    mpfr_sub(e1.get(), b1.get(), b0.get(), MPFR_RNDN);
    // Both extents have one sign (checked with the arguments): their ratio
    // is positive and its power real.
    mpfr_div(extent.get(), e1.get(), e0.get(), MPFR_RNDN);
    mpfr_pow(extent.get(), extent.get(), t.get(), MPFR_RNDN);
    mpfr_mul(extent.get(), extent.get(), e0.get(), MPFR_RNDN);
    mpfr_add(c0.get(), a0.get(), a1.get(), MPFR_RNDN);
    mpfr_div_2ui(c0.get(), c0.get(), 1, MPFR_RNDN);
    mpfr_add(c1.get(), b0.get(), b1.get(), MPFR_RNDN);
    mpfr_div_2ui(c1.get(), c1.get(), 1, MPFR_RNDN);
    if (mpfr_equal_p(e0.get(), e1.get())) {
        mpfr_ui_sub(s.get(), 1, t.get(), MPFR_RNDN);
    } else {
        mpfr_sub(s.get(), extent.get(), e1.get(), MPFR_RNDN);
        mpfr_sub(d.get(), e0.get(), e1.get(), MPFR_RNDN);
        mpfr_div(s.get(), s.get(), d.get(), MPFR_RNDN);
    }
    mpfr_sub(centre.get(), c0.get(), c1.get(), MPFR_RNDN);
    mpfr_mul(centre.get(), centre.get(), s.get(), MPFR_RNDN);
    mpfr_add(centre.get(), centre.get(), c1.get(), MPFR_RNDN);
    mpfr_div_2ui(half.get(), extent.get(), 1, MPFR_RNDN);
    Axis out{Mpfr(p), Mpfr(p)};
    mpfr_sub(out.low.get(), centre.get(), half.get(), MPFR_RNDN);
    mpfr_add(out.high.get(), centre.get(), half.get(), MPFR_RNDN);
    return out;
}

mpfr_prec_t widestBits(const DeepView& v)
{
    return std::max({v.xMin().bits(), v.xMax().bits(), v.yMin().bits(), v.yMax().bits()});
}

DeepView deepOf(const ChosenView& v)
{
    return v.deep ? *v.deep
                  : DeepView::fromDoubles(v.doubles.xMin, v.doubles.xMax, v.doubles.yMin,
                                          v.doubles.yMax);
}

} // namespace

std::optional<DeepView> DeepFrameView(const DeepView& from, const DeepView& to, std::int32_t frames,
                                      std::int32_t index, std::string* error)
{
    if (index <= 0 || frames <= 1)
        return from;
    if (index >= frames - 1)
        return to;
    // Enough bits for the deeper end's pixels (its digits and a canvas of
    // the largest side) and for every digit of both ends, with guard bits
    // for the power's relative error growing with the depth.
    const mpfr_prec_t p = std::max({from.precisionFor(16384, 16384), to.precisionFor(16384, 16384),
                                    widestBits(from), widestBits(to)}) +
                          64;
    Mpfr t(p);
    mpfr_set_si(t.get(), index, MPFR_RNDN);
    mpfr_div_si(t.get(), t.get(), frames - 1, MPFR_RNDN);
    const Axis x = between(from.xMin(), from.xMax(), to.xMin(), to.xMax(), t, p);
    const Axis y = between(from.yMin(), from.yMax(), to.yMin(), to.yMax(), t, p);
    return DeepView::fromBounds(x.low, x.high, y.low, y.high, error);
}

std::optional<ChosenView> FrameOfSequence(const ChosenView& from, const ChosenView& to,
                                          std::int32_t frames, std::int32_t index,
                                          std::int32_t width, std::int32_t height,
                                          std::string* error)
{
    const bool ends = index <= 0 || frames <= 1 || index >= frames - 1;
    if (ends)
        return index <= 0 || frames <= 1 ? from : to;
    if (from.typedAsDoubles && to.typedAsDoubles) {
        const PlaneRect d = FrameView(from.doubles, to.doubles, frames, index);
        const DeepView exact = DeepView::fromDoubles(d.xMin, d.xMax, d.yMin, d.yMax);
        // A view doubles cannot even hold the extent of is the overflow the
        // pass reports, as it always was.
        const bool finite = std::isfinite(d.xMax - d.xMin) && std::isfinite(d.yMax - d.yMin);
        if (!finite || d.xMin == d.xMax || d.yMin == d.yMax ||
            !deep::beyondDoubles(exact, width - 1, height - 1))
            return ChosenView{d, std::nullopt};
    }
    const auto frame = DeepFrameView(deepOf(from), deepOf(to), frames, index, error);
    if (!frame)
        return std::nullopt;
    return ChooseView(*frame, width, height, error);
}

bool SameOrientation(const ChosenView& from, const ChosenView& to)
{
    const DeepView a = deepOf(from), b = deepOf(to);
    const auto sign = [](const Mpfr& lo, const Mpfr& hi) { return mpfr_cmp(hi.get(), lo.get()); };
    const int w0 = sign(a.xMin(), a.xMax()), w1 = sign(b.xMin(), b.xMax());
    const int h0 = sign(a.yMin(), a.yMax()), h1 = sign(b.yMin(), b.yMax());
    const auto same = [](int s, int t) { return (s > 0 && t > 0) || (s < 0 && t < 0); };
    return same(w0, w1) && same(h0, h1);
}

} // namespace explorer::headless
