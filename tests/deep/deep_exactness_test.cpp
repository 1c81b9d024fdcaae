// Deep views at magnifications 1e20 to 1e1000, centred near the Misiurewicz
// point c = i and on small copies of the set: the perturbed levels, through
// the plain pass, against every pixel iterated directly in MPFR.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>

#include "direct_reference.h"
#include "exactness.h"
#include "explorer/engine/deep/deep_levels.h"

namespace deep = explorer::deep;
using deeptest::DeepView;

namespace {

struct DeepCase {
    const char* name;
    DeepView (*view)();
    int width, height;
    std::int64_t maxIter;
    bool extended; // whether the view needs the extended exponent
};

// i with a tail of digits, so that the bounds have many of them.
const char* const NearI = "1.0000000000000000000000000000000000000000000000000000000000000000"
                          "00000000000000000000000000000000000000000000000000000000000000003";

DeepView smallCopy(double log10Offset, double log10Width, int period, const char* im = NearI,
                   double zoomOut = 0.6)
{
    const std::string offset = "1e" + std::to_string(int(log10Offset));
    const deeptest::SmallCopy copy = deeptest::findSmallCopy(
        offset, im, log10Offset - 1, mpfr_prec_t(-log10Width * 3.33) + 128, 1000);
    EXPECT_EQ(copy.period, period) << "the small copy searched for is not the one the test names";
    // The copy and the spiral around it, the nucleus off centre.
    return deeptest::viewAround(copy.re, copy.im, copy.log10Size + zoomOut, 0.11, 0.07);
}

const DeepCase Cases[] = {
    {"copy_1e20", [] { return smallCopy(-10, -20, 30); }, 96, 72, 3000, false},
    {"copy_1e60", [] { return smallCopy(-30, -60, 83); }, 64, 48, 3000, false},
    {"copy_1e300", [] { return smallCopy(-150, -301, 403, "1", 1.0); }, 48, 36, 6000, true},
    {"misiurewicz_1e300", [] { return deeptest::viewAround("0", "1", -300, 0.173, -0.291); }, 48,
     36, 2000, true},
    {"misiurewicz_1e1000", [] { return deeptest::viewAround("0", "1", -1000, 0.173, -0.291); }, 24,
     18, 3000, true},
};

class DeepExactness : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepExactness, PerturbationMatchesDirectIteration)
{
    const DeepCase& k = GetParam();
    const DeepView view = k.view();
    const deeptest::DirectPicture direct =
        deeptest::directPicture(view, k.width, k.height, k.maxIter);

    // With the bilinear table and without it (every step iterated, in vector
    // lanes where the differences fit a double).
    for (const bool bla : {true, false}) {
        SCOPED_TRACE(bla ? "with the bilinear table" : "every step iterated");
        std::atomic<bool> cancel{false};
        deep::DeepOptions options;
        options.maxIter = std::int32_t(k.maxIter);
        options.useBla = bla;
        const deep::DeepLevels levels =
            deep::computeDeepLevels(view, k.width, k.height, options, cancel);
        ASSERT_TRUE(levels.error.empty()) << levels.error;
        ASSERT_FALSE(levels.cancelled);
        EXPECT_EQ(levels.extended, k.extended);
        const deeptest::PassResult pass = deeptest::tracedPass(
            k.width, k.height, [&](int c, int r) { return levels.level(c, r); });
        const deeptest::Exactness e = deeptest::compare(
            k.width, k.height, pass.level, direct.pass.level, direct.counts, k.maxIter);
        long interior = 0, escaped = 0;
        std::set<std::uint8_t> shown;
        for (std::size_t i = 0; i < direct.counts.size(); ++i) {
            const std::int64_t n = direct.counts[i];
            n >= k.maxIter ? ++interior : n > 0 ? ++escaped : 0;
            shown.insert(direct.pass.level[i]);
        }
        std::printf(
            "%s%s: magnification 1e%.1f, %ld bits, reference %lld iterations, %ld escaped and "
            "%ld interior pixels iterated, %zu levels: %s\n",
            k.name, bla ? "" : " (no table)", view.log10Magnification(), long(levels.bits),
            (long long)levels.referenceIterations, escaped, interior, shown.size(),
            e.describe().c_str());
        // The view must show something: escaped pixels and some of the set.
        EXPECT_GT(escaped, e.pixels / 4);
        EXPECT_GE(shown.size(), 12u) << "the view shows too few levels to tell anything";
        EXPECT_GE(e.equalShare(), 0.995) << e.describe();
        EXPECT_LE(e.worstBlock, 4) << e.describe();
        EXPECT_EQ(e.differentEarly, 0) << e.describe();
    }
}

INSTANTIATE_TEST_SUITE_P(Views, DeepExactness, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
