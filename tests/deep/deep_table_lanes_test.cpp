// Rows counted with the table, whole periods crossed in vector lanes,
// against the scalar path pixel by pixel: the same counts on every
// instruction set, at limits that end a lane's run anywhere in a period.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "direct_reference.h"
#include "explorer/engine/deep/bla_table.h"
#include "explorer/engine/deep/period_kernels.h"
#include "explorer/engine/deep/table_row.h"

namespace deep = explorer::deep;
using explorer::engine::Isa;

namespace {

constexpr Isa AllIsas[] = {Isa::Portable, Isa::Avx2, Isa::Avx512};

// A reference orbit and its table, with pixels in a box of half-width
// `half` around the reference.
struct OrbitAndTable {
    deep::ReferenceOrbit orbit;
    deep::BlaTable<double> table;
    double half = 0;

    OrbitAndTable(const std::string& re, const std::string& im, mpfr_prec_t bits, double boxHalf,
                  std::int64_t maxIter)
        : half(boxHalf)
    {
        std::atomic<bool> cancel{false};
        deep::Mpfr cx(bits), cy(bits);
        mpfr_set_str(cx.get(), re.c_str(), 10, MPFR_RNDN);
        mpfr_set_str(cy.get(), im.c_str(), 10, MPFR_RNDN);
        EXPECT_TRUE(deep::computeReferenceOrbit(cx, cy, bits, maxIter, false, cancel, {}, orbit));
        EXPECT_TRUE(
            table.build(orbit, half * 1.5, deep::BlaTable<double>::DefaultEpsilon, cancel, {}));
    }
};

// A small copy of period 83 about 1e-60 across beside c = i, its nucleus
// the reference: its orbit comes back near 0 after each period, and pixels
// around it cross period after period, many to the limit. (A copy this deep
// for its period, so that one run of the table crosses all of it.)
OrbitAndTable& smallCopy()
{
    static OrbitAndTable copy = [] {
        const std::string nearI = "1." + std::string(80, '0') + "3";
        const deeptest::SmallCopy found = deeptest::findSmallCopy("1e-30", nearI, -31, 330, 1000);
        EXPECT_EQ(found.period, 83);
        return OrbitAndTable(found.re, found.im, 330, 2 * std::pow(10.0, found.log10Size), 4000);
    }();
    return copy;
}

struct RowCase {
    const char* name;
    OrbitAndTable* setup;
    std::int64_t maxIter;
};

// Counts `rows` rows of `width` pixels both ways; returns how many pixels
// parked in lanes at least once (so that the caller knows the lanes ran).
long compareRows(const RowCase& c, int width, int rows)
{
    const OrbitAndTable& s = *c.setup;
    const deep::PixelContext<double> ctx{&s.orbit, &s.table, c.maxIter};
    std::vector<double> dcRe(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i)
        dcRe[std::size_t(i)] = -s.half + 2 * s.half * i / (width - 1);
    long parked = 0;
    std::vector<std::int64_t> expected(static_cast<std::size_t>(width)), got(expected);
    for (int r = 0; r < rows; ++r) {
        const double dcIm = -s.half * 0.75 + 1.5 * s.half * r / (rows - 1);
        for (int i = 0; i < width; ++i) {
            const deep::Complex<double> dc{dcRe[std::size_t(i)], dcIm};
            expected[std::size_t(i)] = deep::perturbedCount<double>(ctx, dc);
            deep::PixelStart<double> park;
            parked += deep::perturbedCount<double>(ctx, dc, {}, &park) < 0;
        }
        for (Isa isa : AllIsas) {
            if (!explorer::escape::supported(isa)) {
                std::printf("%s lanes not tested: this processor lacks them\n",
                            explorer::escape::name(isa));
                continue;
            }
            std::fill(got.begin(), got.end(), -2);
            std::atomic<bool> cancel{false};
            EXPECT_TRUE(
                deep::countRowWithTable(isa, ctx, dcRe.data(), dcIm, width, got.data(), cancel));
            EXPECT_EQ(got, expected) << c.name << ", limit " << c.maxIter << ", row " << r << ", "
                                     << explorer::escape::name(isa);
        }
    }
    return parked;
}

TEST(TableLanes, CrossWholePeriodsAsTheScalarPathDoes)
{
    OrbitAndTable& nucleus = smallCopy();
    ASSERT_TRUE(nucleus.orbit.periodic);
    ASSERT_EQ(nucleus.orbit.size(), 84);
    // The centre of the bulb of period 2, -1: an orbit of two steps, a run
    // of one step, pixels close enough for it.
    OrbitAndTable twoSteps("-1", "0", 64, 1e-18, 1000);
    ASSERT_EQ(twoSteps.orbit.size(), 3);

    // Limits that stop a lane's last period at each of its ends and in it.
    for (const std::int64_t maxIter : {4000, 83 * 30 + 1, 83 * 30 + 2, 83 * 30 + 82, 83 * 31}) {
        const long parked = compareRows({"small copy", &nucleus, maxIter}, 160, 12);
        EXPECT_GT(parked, 160 * 12 / 4) << "too few pixels crossed periods in lanes";
    }
    for (const std::int64_t maxIter : {1000, 999, 3}) {
        const long parked = compareRows({"c = -1", &twoSteps, maxIter}, 200, 8);
        if (maxIter > 3) {
            EXPECT_GT(parked, 0) << "no pixel crossed periods in lanes";
        }
    }
}

TEST(TableLanes, APeriodInLanesRoundsAsTheScalarPath)
{
    // Random states at Z_1 within the run's radius: one period in lanes
    // must leave dz bit for bit where the scalar path parks after it.
    const OrbitAndTable& s = smallCopy();
    std::int64_t wholeSteps = 0;
    const deep::BlaStep<double>* whole = s.table.wholeRun(wholeSteps);
    ASSERT_NE(whole, nullptr);
    const std::int64_t last = s.orbit.size() - 1, maxIter = 4000;
    const deep::PeriodConstants k{s.orbit.re(1), s.orbit.im(1), s.orbit.re(last), s.orbit.im(last),
                                  whole->a.re,   whole->a.im,   whole->radius2};
    const deep::PixelContext<double> ctx{&s.orbit, &s.table, maxIter};
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unit(-1, 1);
    const double reach = std::sqrt(whole->radius2) * 0.7;
    for (Isa isa : AllIsas) {
        if (!explorer::escape::supported(isa))
            continue; // said by the test above
        const int lanes = deep::periodLaneCount(isa);
        int compared = 0;
        for (int round = 0; round < 20; ++round) {
            deep::PeriodLanes p{};
            std::vector<deep::Complex<double>> want(static_cast<std::size_t>(lanes));
            std::uint64_t live = 0;
            for (int i = 0; i < lanes; ++i) {
                const deep::Complex<double> dc{unit(rng) * s.half, unit(rng) * s.half};
                // From tiny to the edge of the radius.
                const double scale = reach * std::pow(2.0, -40 * (unit(rng) + 1));
                const deep::Complex<double> dz{unit(rng) * scale, unit(rng) * scale};
                deep::PixelStart<double> park;
                if (deep::perturbedCount<double>(ctx, dc, {dz, 1, 7}, &park) >= 0)
                    continue; // escaped: nothing to compare
                EXPECT_EQ(park.n, 7 + wholeSteps + 1);
                const deep::Complex<double> bdc = whole->b * dc;
                p.dzRe[i] = dz.re, p.dzIm[i] = dz.im, p.dcRe[i] = dc.re, p.dcIm[i] = dc.im;
                p.bdcRe[i] = bdc.re, p.bdcIm[i] = bdc.im, p.periodLimit[i] = 1;
                want[std::size_t(i)] = park.dz;
                live |= std::uint64_t(1) << i;
            }
            ASSERT_EQ(deep::crossPeriods(isa, k, p, live, 100), live);
            for (int i = 0; i < lanes; ++i) {
                if (!(live >> i & 1))
                    continue;
                ++compared;
                EXPECT_EQ(p.periods[i], 1.0);
                EXPECT_EQ(std::memcmp(&p.dzRe[i], &want[std::size_t(i)].re, 8), 0)
                    << explorer::escape::name(isa) << " lane " << i;
                EXPECT_EQ(std::memcmp(&p.dzIm[i], &want[std::size_t(i)].im, 8), 0)
                    << explorer::escape::name(isa) << " lane " << i;
            }
        }
        EXPECT_GT(compared, lanes * 20 / 2) << "too few states stayed in the set to compare";
    }
}

TEST(TableLanes, WithoutAWholeRunTheRowIsTheScalarPathsAndCancelStopsIt)
{
    // c = 3 escapes at Z_1: no table to cross periods with.
    OrbitAndTable escaping("3", "0", 64, 1.0, 1000);
    ASSERT_EQ(escaping.orbit.size(), 2);
    compareRows({"c = 3", &escaping, 1000}, 64, 4);

    OrbitAndTable twoSteps("-1", "0", 64, 0.01, 100000);
    const deep::PixelContext<double> ctx{&twoSteps.orbit, &twoSteps.table, 100000};
    std::vector<double> dcRe(64, 0.001);
    std::vector<std::int64_t> counts(64, -2);
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(
        deep::countRowWithTable(Isa::Portable, ctx, dcRe.data(), 0.0, 64, counts.data(), cancel));
}

} // namespace
