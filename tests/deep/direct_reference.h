// What the deep tests hold the perturbation against: every pixel iterated
// directly in MPFR at the view's full precision, no perturbation and no
// shortcut, and the plain pass over those levels. Also small copies of the
// set found by Newton's method, to centre test views on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "explorer/engine/deep/deep_view.h"
#include "traced_pass.h"

namespace deeptest {

using explorer::deep::DeepView;

// The escape count of c = (x, y) iterated in MPFR at `bits` (maxIter: in the
// set), by the explorer's rule.
std::int64_t directCount(const explorer::deep::Mpfr& x, const explorer::deep::Mpfr& y,
                         mpfr_prec_t bits, std::int64_t maxIter);

struct DirectPicture {
    PassResult pass;
    std::vector<std::int64_t> counts; // per evaluated pixel, else -1
};

// The pass over directly iterated levels, the rows shared out over `threads`
// threads ahead of it.
DirectPicture directPicture(const DeepView& view, int width, int height, std::int64_t maxIter,
                            unsigned threads = 2);

// The nucleus of a small copy of the set: found from `centre` by the period
// of a disc of `radius` around it and Newton's method; its size estimate.
struct SmallCopy {
    std::string re, im; // decimal, as many digits as `bits` hold
    int period = 0;
    double log10Size = 0;
};
SmallCopy findSmallCopy(const std::string& re, const std::string& im, double log10Radius,
                        mpfr_prec_t bits, int maxPeriod);

// A view of the given width (as a power of ten) centred at (re + dx*width,
// im + dy*width), 4:3.
DeepView viewAround(const std::string& re, const std::string& im, double log10Width, double dx = 0,
                    double dy = 0);

} // namespace deeptest
