// The perturbation kernels against each other and against the plain
// double pass: vector lanes and the scalar path give the same counts, the
// extended exponent the same as doubles, and perturbation forced on views
// that doubles resolve gives the plain picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>

#include "explorer/engine/deep/deep_levels.h"
#include "explorer/engine/deep/perturb_kernels.h"
#include "explorer/engine/deep/pixel_perturbation.h"
#include "direct_reference.h"
#include "exactness.h"
#include "reference_render.h"
#include "traced_pass.h"

namespace deep = explorer::deep;
using deep::Complex;
using deep::FloatExp;
using explorer::engine::Isa;

namespace {

constexpr Isa AllIsas[] = {Isa::Portable, Isa::Avx2, Isa::Avx512};

TEST(FloatExp, ArithmeticMatchesLongDoubleWhereBothHold)
{
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> mantissa(-2, 2);
    std::uniform_int_distribution<int> exponent(-300, 300);
    for (int i = 0; i < 10000; ++i) {
        const double a = std::ldexp(mantissa(rng), exponent(rng));
        const double b = std::ldexp(mantissa(rng), exponent(rng));
        const long double la = a, lb = b;
        const double relative = 0x1p-52;
        auto near = [&](FloatExp got, long double want) {
            const long double g = std::ldexp((long double)got.mantissa, int(got.exponent));
            return std::fabs((long double)(g - want)) <= relative * std::fabs(want) + 1e-4000L;
        };
        EXPECT_TRUE(near(FloatExp(a) * FloatExp(b), la * lb)) << a << " * " << b;
        EXPECT_TRUE(near(FloatExp(a) + FloatExp(b), la + lb)) << a << " + " << b;
        EXPECT_TRUE(near(FloatExp(a) - FloatExp(b), la - lb)) << a << " - " << b;
        EXPECT_EQ(FloatExp(std::fabs(a)) < FloatExp(std::fabs(b)), std::fabs(a) < std::fabs(b));
        EXPECT_EQ((FloatExp(a) * FloatExp(b)).toDouble(), a * b);
    }
    // Far beyond the double range both ways, and back.
    const FloatExp tiny = FloatExp(1.5, -5000), huge = FloatExp(1.25, 4000);
    EXPECT_EQ((tiny * huge).toDouble(), std::ldexp(1.875, -1000));
    EXPECT_EQ(tiny.toDouble(), 0.0);
    EXPECT_TRUE(std::isinf(huge.toDouble()));
    EXPECT_EQ((tiny + FloatExp(1.0)).toDouble(), 1.0);
}

// The benchmark views on a small canvas, with the reference's plain double
// pass and the deep levels through the same plain pass.
struct Picture {
    std::vector<std::uint8_t> levels;
    long different(const Picture& o) const
    {
        long n = 0;
        for (std::size_t i = 0; i < levels.size(); ++i)
            n += levels[i] != o.levels[i];
        return n;
    }
};

constexpr int Width = 160, Height = 120;

Picture plainPicture(const reference::View& v)
{
    const reference::Picture ref = reference::render(v, Width, Height);
    Picture p;
    for (int r = 0; r < Height; ++r)
        for (int c = 0; c < Width; ++c)
            p.levels.push_back(ref.level[std::size_t(c)][std::size_t(r)]);
    return p;
}

Picture deepPicture(const reference::View& v, const deep::DeepOptions& options,
                    deep::DeepLevels* out = nullptr)
{
    const deep::DeepView view = deep::DeepView::fromDoubles(v.xMin, v.xMax, v.yMin, v.yMax);
    std::atomic<bool> cancel{false};
    deep::DeepLevels levels = deep::computeDeepLevels(view, Width, Height, options, cancel);
    EXPECT_TRUE(levels.error.empty()) << levels.error;
    const deeptest::PassResult pass =
        deeptest::tracedPass(Width, Height, [&](int c, int r) { return levels.level(c, r); });
    if (out)
        *out = std::move(levels);
    return Picture{pass.level};
}

TEST(DeepKernels, ForcedPerturbationDrawsTheBenchmarkViewsAsThePlainPass)
{
    for (const reference::NamedView& named : reference::BenchmarkViews) {
        const Picture plain = plainPicture(named.view);
        for (const bool bla : {false, true}) {
            deep::DeepOptions options;
            options.useBla = bla;
            const long different = plain.different(deepPicture(named.view, options));
            std::printf("%-9s %s: %ld of %d pixels differ\n", named.name, bla ? "table" : "lanes",
                        different, Width * Height);
            EXPECT_LE(different * 1000, long(Width) * Height)
                << named.name << (bla ? " with the table" : " in lanes");
        }
    }
}

TEST(DeepKernels, WhereDoublesStopResolvingPerturbationIsExact)
{
    // Views 1e-11 and 1e-12 wide beside c = i (a Misiurewicz point), where
    // the explorer switches to perturbation: its picture must be the direct
    // MPFR iteration's. (The plain double pass is not: its rounding grows
    // with the orbit near i; the share it gets wrong is printed.)
    for (const double width : {1e-11, 1e-12}) {
        const double x = 0.173 * width, y = 1 - 0.291 * width;
        const reference::View v{x - width / 2, x + width / 2, y - width * 3 / 8, y + width * 3 / 8};
        deep::DeepOptions options;
        options.maxIter = 256;
        const Picture perturbed = deepPicture(v, options);
        const deeptest::DirectPicture direct = deeptest::directPicture(
            deep::DeepView::fromDoubles(v.xMin, v.xMax, v.yMin, v.yMax), Width, Height, 256);
        const std::set<std::uint8_t> shown(direct.pass.level.begin(), direct.pass.level.end());
        EXPECT_GE(shown.size(), 10u) << "width " << width << " shows too little to compare";
        const deeptest::Exactness e = deeptest::compare(Width, Height, perturbed.levels,
                                                        direct.pass.level, direct.counts, 256);
        EXPECT_GE(e.equalShare(), 0.999) << "width " << width << ": " << e.describe();
        EXPECT_EQ(e.differentEarly, 0) << "width " << width << ": " << e.describe();
        const long plainWrong = plainPicture(v).different(Picture{direct.pass.level});
        std::printf("width %g: perturbation %s; the plain double pass differs in %ld pixels\n",
                    width, e.describe().c_str(), plainWrong);
    }
}

TEST(DeepKernels, EveryInstructionSetCountsAsTheScalarPath)
{
    // The lanes look for the limit and the reference's end only in batches
    // where some lane could reach them: views where every pixel keeps
    // rebasing and the end comes often, and where the reference runs to a
    // limit that is no multiple of the lanes' batch.
    struct Case {
        const char* name;
        reference::View view;
        std::int32_t maxIter;
        bool referenceEscapes;
    };
    const Case cases[] = {
        {"seahorse valley, reference escaping early",
         {-0.7454, -0.7452, 0.1130, 0.11315},
         5000,
         true},
        {"cardioid edge, reference in the set", {-0.1300, -0.1100, 0.6350, 0.6500}, 2999, false},
    };
    for (const Case& c : cases) {
        deep::DeepOptions scalar;
        scalar.useBla = false;
        scalar.useLanes = false;
        scalar.maxIter = c.maxIter;
        deep::DeepLevels expected;
        deepPicture(c.view, scalar, &expected);
        EXPECT_EQ(expected.referenceEscaped, c.referenceEscapes) << c.name;
        long inSet = 0;
        for (std::int64_t n : expected.counts)
            inSet += n == c.maxIter;
        EXPECT_GT(inSet, 0) << c.name << ": no pixel reaches the limit";
        EXPECT_LT(inSet, long(expected.counts.size())) << c.name << ": no pixel escapes";
        for (Isa isa : AllIsas) {
            if (!explorer::escape::supported(isa)) {
                std::printf("NOT TESTED: %s kernel (this processor lacks it)\n",
                            explorer::escape::name(isa));
                continue;
            }
            deep::DeepOptions lanes = scalar;
            lanes.useLanes = true;
            lanes.isa = isa;
            deep::DeepLevels got;
            deepPicture(c.view, lanes, &got);
            EXPECT_EQ(got.counts, expected.counts) << c.name << ", " << explorer::escape::name(isa);
        }
    }
}

TEST(DeepKernels, TheExtendedExponentCountsAsDoubles)
{
    // Where both hold the differences, the extended exponent (scalar, with
    // its switch to doubles and back, and scaled lanes on every instruction
    // set) must give what doubles give.
    for (const reference::NamedView& named : reference::BenchmarkViews) {
        deep::DeepOptions plain;
        plain.useBla = false;
        plain.useLanes = false;
        deep::DeepLevels a;
        deepPicture(named.view, plain, &a);
        for (const int variant : {0, 1, 2, 3}) {
            deep::DeepOptions wide = plain;
            wide.forceExtended = true;
            wide.useLanes = variant > 0;
            wide.isa = AllIsas[variant > 0 ? variant - 1 : 0];
            if (!explorer::escape::supported(wide.isa))
                continue; // said once by the test above
            deep::DeepLevels b;
            deepPicture(named.view, wide, &b);
            EXPECT_TRUE(b.extended);
            long different = 0;
            for (std::size_t i = 0; i < a.counts.size(); ++i)
                different += a.counts[i] != b.counts[i];
            EXPECT_LE(different * 1000, long(Width) * Height)
                << named.name << (variant ? " in scaled lanes " : " scalar")
                << (variant ? explorer::escape::name(wide.isa) : "");
        }
    }
}

TEST(DeepKernels, ScaledLanesCountAlikeOnEveryInstructionSet)
{
    // At 1e300 near c = i with differences far below the double range.
    const deep::DeepView view =
        deep::DeepView::fromText(
            "1e-300", "2.3e-300",
            "0.9999999999999999999999999999999999999999999999999999999999"
            "9999999999999999999999999999999999999999999999999999999999999999"
            "9999999999999999999999999999999999999999999999999999999999999999"
            "9999999999999999999999999999999999999999999999999999999999999999"
            "9999999999999999999999999999999999999999999999999999999999999999"
            "9999999999999999999999999999999999999999999999999999",
            "1.000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            "000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            "000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
            "0000000000000000000000000000000000000000000000000001")
            .value();
    std::atomic<bool> cancel{false};
    deep::DeepOptions o;
    o.useBla = false;
    o.maxIter = 3000;
    o.isa = Isa::Portable;
    const deep::DeepLevels expected = deep::computeDeepLevels(view, 64, 48, o, cancel);
    ASSERT_TRUE(expected.extended);
    for (Isa isa : {Isa::Avx2, Isa::Avx512}) {
        if (!explorer::escape::supported(isa))
            continue;
        o.isa = isa;
        EXPECT_EQ(deep::computeDeepLevels(view, 64, 48, o, cancel).counts, expected.counts)
            << explorer::escape::name(isa);
    }
    // And as the scalar extended path, within a level boundary's rounding.
    o.useLanes = false;
    const deep::DeepLevels scalar = deep::computeDeepLevels(view, 64, 48, o, cancel);
    long different = 0;
    for (std::size_t i = 0; i < scalar.counts.size(); ++i)
        different += scalar.counts[i] != expected.counts[i];
    EXPECT_LE(different * 1000, long(scalar.counts.size()));
}

TEST(DeepKernels, LanesFollowTheScalarPathWhereTheirReferenceIndicesDiverge)
{
    // Lanes rebase at different steps and so read the orbit at different
    // indices; a lane that rebased reads Z_1 next, one at the reference's
    // end rebases there, whatever the batch. References that end at once,
    // come back to 0, escape early or stay in the set, with limits that are
    // no multiple of a batch, and fewer pixels than lanes.
    struct Case {
        const char* name;
        double cx, cy;         // the reference
        double x0, x1, y0, y1; // where the pixels lie
        std::int64_t maxIter;
        int pixels;
        bool referenceInSet; // then the limit is what the case must reach
    };
    const Case cases[] = {
        {"reference c = 3, escaping at Z_1", 3, 0, -2, 0.5, -1.2, 1.2, 300, 1000, false},
        {"reference c = -1, back at 0 after two steps", -1, 0, -2, 0.5, -1.2, 1.2, 301, 1000,
         false},
        {"seahorse valley, escaping early", -0.7453, 0.113075, -0.7553, -0.7353, 0.103, 0.123, 1001,
         1000, false},
        {"in the set, few pixels", -0.122, 0.745, -0.2, 0, 0.6, 0.9, 777, 13, true},
    };
    std::mt19937_64 rng(3);
    for (const Case& c : cases) {
        deep::ReferenceOrbit orbit;
        std::atomic<bool> cancel{false};
        deep::Mpfr cx(64), cy(64);
        mpfr_set_d(cx.get(), c.cx, MPFR_RNDN);
        mpfr_set_d(cy.get(), c.cy, MPFR_RNDN);
        ASSERT_TRUE(deep::computeReferenceOrbit(cx, cy, 64, c.maxIter, false, cancel, {}, orbit));
        // Nothing after the orbit's end, so that the sanitizer run sees a
        // load past it.
        orbit.values.shrink_to_fit();
        std::uniform_real_distribution<double> x(c.x0, c.x1), y(c.y0, c.y1);
        std::vector<double> dcRe, dcIm;
        std::vector<std::int64_t> expected;
        const deep::PixelContext<double> ctx{&orbit, nullptr, c.maxIter};
        for (int i = 0; i < c.pixels; ++i) {
            dcRe.push_back(x(rng) - c.cx);
            dcIm.push_back(y(rng) - c.cy);
            expected.push_back(deep::perturbedCount<double>(ctx, {dcRe.back(), dcIm.back()}));
        }
        // The case must make pixels outlive a short orbit (so that they
        // rebase) or reach the limit, and stop at different counts (so that
        // the lanes part).
        const auto [fewest, most] = std::minmax_element(expected.begin(), expected.end());
        if (c.referenceInSet)
            EXPECT_EQ(*most, c.maxIter) << c.name << ": no pixel reaches the limit";
        else
            EXPECT_GT(*most, orbit.size()) << c.name << ": no pixel rebases";
        EXPECT_LT(*fewest, *most) << c.name << ": every pixel stops alike";
        for (Isa isa : AllIsas) {
            if (!explorer::escape::supported(isa))
                continue; // said once by the test above
            std::vector<std::int64_t> got(expected.size(), -2);
            deep::perturbCounts(isa, orbit, dcRe.data(), dcIm.data(), c.pixels, c.maxIter,
                                got.data());
            EXPECT_EQ(got, expected) << c.name << ", " << explorer::escape::name(isa);
        }
    }
}

TEST(DeepKernels, RebasingKeepsAPixelOnItsOwnOrbit)
{
    // A reference that escapes at once (c = 3) serves every pixel by
    // rebasing alone: the counts must be those of direct iteration.
    deep::ReferenceOrbit orbit;
    std::atomic<bool> cancel{false};
    deep::Mpfr cx(64), cy(64);
    mpfr_set_d(cx.get(), 3.0, MPFR_RNDN);
    ASSERT_TRUE(deep::computeReferenceOrbit(cx, cy, 64, 1000, false, cancel, {}, orbit));
    ASSERT_EQ(orbit.size(), 2); // 0, then 3
    const deep::PixelContext<double> ctx{&orbit, nullptr, 1000};
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> x(-2, 0.5), y(-1.2, 1.2);
    for (int i = 0; i < 2000; ++i) {
        const double px = x(rng), py = y(rng);
        const std::int64_t direct = explorer::escape::scalarCount(px, py, 1000);
        const std::int64_t perturbed = deep::perturbedCount<double>(ctx, {px - 3.0, py});
        // Rounding differs (z = Z + dz), so a count may move by one step at
        // a level boundary, never more.
        EXPECT_LE(std::llabs(direct - perturbed), 1) << px << " " << py;
    }
}

} // namespace
