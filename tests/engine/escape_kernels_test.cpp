// The escape kernels against the defining iteration, point by point: every
// instruction set this processor runs, on points chosen to sit exactly at the
// radius, at the last point of a count, near overflow, and at random.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "explorer/engine/escape.h"
#include "explorer/engine/pixels.h"
#include "reference_render.h"

namespace escape = explorer::escape;
using reference::boundaryPoint;

namespace {

std::vector<escape::Isa> isas()
{
    std::vector<escape::Isa> out;
    for (escape::Isa isa : {escape::Isa::Portable, escape::Isa::Avx2, escape::Isa::Avx512})
        if (escape::supported(isa))
            out.push_back(isa);
    return out;
}

// The largest x in (0.25, 0.26) whose count on the real axis is at least
// `count`, and the next double: the last point of each count.
std::pair<double, double> lastWithCount(int count)
{
    double at = 0.25, below = 0.26;
    while (true) {
        const double mid = at + (below - at) / 2;
        if (mid == at || mid == below)
            return {at, below};
        (escape::scalarCount(mid, 0, 256) >= count ? at : below) = mid;
    }
}

struct Points {
    std::vector<double> cx, cy;
    void add(double x, double y)
    {
        cx.push_back(x);
        cy.push_back(y);
    }
};

Points hardPoints()
{
    Points p;
    // |z|^2 exactly 4 after the first step, and exactly at the radius on
    // the axes.
    p.add(-2, 0);
    p.add(2, 0);
    p.add(0, 2);
    p.add(0, -2);
    p.add(-2, 1e-300);
    p.add(0, 0);
    p.add(0.25, 0);
    p.add(-1, 0);
    p.add(0, 1);
    // The last points with counts 253 to 256 and their neighbours.
    for (int count = 253; count <= 256; ++count) {
        const auto [at, below] = lastWithCount(count);
        p.add(at, 0);
        p.add(below, 0);
        p.add(at, 1e-17);
    }
    // Near and beyond the double range: finite squares, and overflow.
    p.add(1e150, 0);
    p.add(1.3e154, 0);
    p.add(1.2e154, 1.2e154);
    p.add(-1e200, 3);
    p.add(0, 1e300);
    p.add(1e155, -1e155);
    p.add(std::nextafter(1e150, 0.0), 1e149);
    return p;
}

TEST(EscapeKernels, CountsMatchTheScalarIterationOnHardPoints)
{
    const Points hard = hardPoints();
    // The hard cases really are hard: counts 255 and 256 and an overflow.
    EXPECT_EQ(escape::scalarCount(lastWithCount(256).first, 0, 256), 256);
    EXPECT_EQ(escape::scalarCount(lastWithCount(256).second, 0, 256), 255);
    EXPECT_EQ(escape::scalarCount(-2, 0, 256), 2);
    EXPECT_EQ(escape::scalarCount(1.2e154, 1.2e154, 256), escape::Overflow);
    EXPECT_EQ(escape::scalarCount(1.3e154, 0, 256), 2);
    for (escape::Isa isa : isas())
        for (int maxIter : {1, 2, 3, 31, 32, 33, 254, 255, 256, 1000}) {
            std::vector<std::int32_t> out(hard.cx.size(), -7);
            escape::counts(isa, hard.cx.data(), hard.cy.data(), hard.cx.size(), maxIter,
                           out.data());
            for (std::size_t i = 0; i < hard.cx.size(); ++i)
                EXPECT_EQ(out[i], escape::scalarCount(hard.cx[i], hard.cy[i], maxIter))
                    << escape::name(isa) << " maxIter " << maxIter << " at " << hard.cx[i] << " + "
                    << hard.cy[i] << "i";
        }
}

TEST(EscapeKernels, CountsMatchTheScalarIterationOnRandomPoints)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(0, 1);
    Points p;
    for (int i = 0; i < 20000; ++i) {
        if (i % 2) {
            p.add(-2.5 + 3.5 * unit(rng), -1.5 + 3 * unit(rng));
        } else {
            const auto [x, y] = boundaryPoint(unit(rng) * 2 * M_PI);
            const double r = std::pow(10.0, -1 - 12 * unit(rng));
            p.add(x + r * (unit(rng) - 0.5), y + r * (unit(rng) - 0.5));
        }
    }
    std::vector<std::int32_t> expected(p.cx.size());
    for (std::size_t i = 0; i < p.cx.size(); ++i)
        expected[i] = escape::scalarCount(p.cx[i], p.cy[i], 256);
    for (escape::Isa isa : isas()) {
        std::vector<std::int32_t> out(p.cx.size(), -7);
        escape::counts(isa, p.cx.data(), p.cy.data(), p.cx.size(), 256, out.data());
        int wrong = 0;
        for (std::size_t i = 0; i < p.cx.size(); ++i)
            wrong += out[i] != expected[i];
        EXPECT_EQ(wrong, 0) << escape::name(isa);
    }
}

// The cheap tier: a row of points given at most `cap` steps.
TEST(EscapeKernels, CappedCountsStopAtTheCap)
{
    const Points hard = hardPoints();
    std::vector<double> row = hard.cx;
    for (double x = -2.2; x < 0.6; x += 0.0123)
        row.push_back(x);
    for (double cy : {0.0, 1e-17, 0.1, 0.65, 1.0}) {
        for (escape::Isa isa : isas())
            for (int cap : {1, 2, 5, 32, 64, 256}) {
                for (int maxIter : {3, 32, 256}) {
                    std::vector<std::int32_t> out(row.size(), -7);
                    escape::cappedCounts(isa, row.data(), cy, row.size(), maxIter, cap, out.data());
                    for (std::size_t i = 0; i < row.size(); ++i) {
                        const bool safe = std::fabs(row[i]) < escape::SafeCoordinate &&
                                          std::fabs(cy) < escape::SafeCoordinate;
                        const std::int32_t count = escape::scalarCount(row[i], cy, maxIter);
                        const std::int32_t want = safe && count <= cap ? count : 0;
                        ASSERT_EQ(out[i], want)
                            << escape::name(isa) << " cap " << cap << " maxIter " << maxIter
                            << " at " << row[i] << " + " << cy << "i";
                    }
                }
            }
    }
}

// The lock-step batches whose survivors go on in refilled lanes: every
// count as the defining iteration's, whatever share of a batch survives
// (none, a few, all), for batches cut short at the end, and at limits where
// survivors run long.
TEST(EscapeKernels, BatchCountsMatchTheScalarIteration)
{
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(0, 1);
    Points p;
    const Points hard = hardPoints();
    for (std::size_t i = 0; i < hard.cx.size(); ++i)
        if (std::fabs(hard.cx[i]) < escape::SafeCoordinate &&
            std::fabs(hard.cy[i]) < escape::SafeCoordinate)
            p.add(hard.cx[i], hard.cy[i]);
    for (int i = 0; i < 3000; ++i) {
        if (i % 300 < 40) { // a run inside the set: whole batches survive
            p.add(-0.1 + 0.1 * unit(rng), 0.1 * unit(rng));
        } else if (i % 300 < 80) { // far out: whole batches stop at once
            p.add(3 + unit(rng), unit(rng));
        } else { // along the boundary: a few of each batch go on
            const auto [x, y] = boundaryPoint(unit(rng) * 2 * M_PI);
            const double r = std::pow(10.0, -2 - 8 * unit(rng));
            p.add(x + r * (unit(rng) - 0.5), y + r * (unit(rng) - 0.5));
        }
    }
    for (escape::Isa isa : isas())
        // Limits on both sides of the kernels' steps between looks (8), where
        // a limit looked at too late would let a count run past it.
        for (int maxIter : {1, 7, 8, 9, 16, 17, 256, 5000})
            for (std::size_t n : {std::size_t(1), std::size_t(31), std::size_t(33), p.cx.size()}) {
                std::vector<std::int32_t> out(n, -7);
                escape::BatchBuffers buffers;
                escape::BatchScratch scratch = buffers.room(n);
                escape::batchCounts(isa, p.cx.data(), p.cy.data(), n, maxIter, out.data(), scratch);
                int wrong = 0;
                for (std::size_t i = 0; i < n; ++i)
                    wrong += out[i] != escape::scalarCount(p.cx[i], p.cy[i], maxIter);
                EXPECT_EQ(wrong, 0)
                    << escape::name(isa) << " maxIter " << maxIter << ", " << n << " points";
            }
}

// Rows of levels to pixels: runs of one level of every length, at every
// place against the vectors' edges, and mixed stretches, as the table gives
// them one by one (on the widest instruction set this processor runs).
TEST(LevelsToPixels, RunsAndMixedStretchesTakeTheTablesColours)
{
    std::printf("levels to pixels in %s lanes\n", escape::name(escape::bestIsa()));
    std::mt19937 rng(11);
    std::vector<std::uint32_t> table(256);
    for (std::uint32_t& c : table)
        c = rng();
    for (int round = 0; round < 400; ++round) {
        const std::size_t n = round < 100 ? std::size_t(round) : 1080;
        std::vector<std::uint8_t> levels(n);
        for (std::size_t i = 0; i < n;) {
            const std::size_t run = std::min<std::size_t>(n - i, 1 + rng() % 40);
            const auto level = std::uint8_t(rng());
            const bool mixed = rng() % 3 == 0;
            for (std::size_t k = 0; k < run; ++k)
                levels[i + k] = mixed ? std::uint8_t(rng()) : level;
            i += run;
        }
        std::vector<std::uint32_t> got(n + 1, 0xdeadbeef);
        explorer::engine::levelsToPixels(levels.data(), table.data(), got.data(), n);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(got[i], table[levels[i]]) << "pixel " << i << " of " << n;
        EXPECT_EQ(got[n], 0xdeadbeefu) << "written past the row's end";
    }
}

} // namespace
