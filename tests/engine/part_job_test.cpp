// One part worked out alone, without threads or a pass: what it leaves
// unknown must be enclosed by pixels of the set it did iterate (else the
// pass's fill, which stops at escaping pixels, would reach a pixel the part
// skipped on a guess), and which parts a view's sample puts first.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "explorer/engine/escape.h"
#include "explorer/engine/part_job.h"
#include "reference_render.h"

namespace escape = explorer::escape;
using namespace explorer::engine;

namespace {

struct PartFaults {
    long wrong = 0;          // known, with a level other than the iteration's
    long openToEscaping = 0; // unknown, next to a known pixel that escapes
    long unknown = 0;
};

PartFaults workOut(const reference::View& v, int width, int height, PartRect rect)
{
    const reference::Picture ref = reference::render(v, width, height);
    constexpr std::int32_t MaxIter = 256;
    std::vector<std::uint8_t> levelOfCount(MaxIter + 1);
    for (int n = 0; n <= MaxIter; ++n)
        levelOfCount[std::size_t(n)] = std::uint8_t(n >= MaxIter ? 0 : n % 255 + 1);
    // Stale levels from "an earlier pass" where nothing is iterated: a ring
    // read before it is iterated would see them.
    std::vector<std::uint8_t> levels(std::size_t(width) * std::size_t(height), 7);
    std::vector<std::uint8_t> known(levels.size(), 1);
    std::atomic<bool> stop{false};
    const PartCanvas canvas{.xs = ref.xs.data(),
                            .ys = ref.ys.data(),
                            .width = width,
                            .height = height,
                            .maxIter = MaxIter,
                            .levelOfCount = levelOfCount.data(),
                            .levels = levels.data(),
                            .known = known.data(),
                            .isa = escape::bestIsa(),
                            .stop = &stop};
    PartScratch scratch;
    PartJobCounts counts;
    EXPECT_TRUE(workOutPart(canvas, rect, scratch, counts));
    PartFaults f;
    auto at = [&](int c, int r) { return std::size_t(r) * std::size_t(width) + std::size_t(c); };
    for (int r = rect.y0; r < rect.y1; ++r)
        for (int c = rect.x0; c < rect.x1; ++c) {
            if (known[at(c, r)]) {
                f.wrong += levels[at(c, r)] != reference::level(ref.xs[c], ref.ys[r]);
                continue;
            }
            ++f.unknown;
            for (auto [dc, dr] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int nc = c + dc, nr = r + dr;
                if (nc < rect.x0 || nc >= rect.x1 || nr < rect.y0 || nr >= rect.y1)
                    ADD_FAILURE() << "a pixel on the part's own ring is unknown: " << c << ", "
                                  << r;
                else if (known[at(nc, nr)] && levels[at(nc, nr)] != 0)
                    ++f.openToEscaping;
            }
        }
    return f;
}

TEST(PartJob, LeavesUnknownOnlyWhatPixelsOfTheSetEnclose)
{
    // Whole canvases as one part, and parts off the canvas's corner, of
    // sizes that split evenly and unevenly down to the smallest blocks.
    struct Case {
        const char* view;
        int width, height;
        PartRect rect;
    };
    const Case cases[] = {
        {"seahorse", 128, 128, {0, 0, 128, 128}}, {"elephant", 128, 128, {0, 0, 128, 128}},
        {"spiral", 200, 150, {37, 21, 165, 149}}, {"full", 129, 97, {0, 0, 129, 97}},
        {"interior", 64, 48, {0, 0, 64, 48}},     {"seahorse", 300, 225, {130, 90, 197, 141}},
        {"elephant", 100, 75, {3, 5, 10, 12}},    {"seahorse", 40, 30, {0, 0, 6, 30}},
    };
    long unknownInAll = 0;
    for (const Case& k : cases) {
        const reference::View* view = nullptr;
        for (const reference::NamedView& named : reference::BenchmarkViews)
            if (std::string(named.name) == k.view)
                view = &named.view;
        ASSERT_NE(view, nullptr) << k.view;
        const PartFaults f = workOut(*view, k.width, k.height, k.rect);
        const std::string what =
            std::string(k.view) + " " + std::to_string(k.width) + "x" + std::to_string(k.height);
        EXPECT_EQ(f.wrong, 0) << what;
        EXPECT_EQ(f.openToEscaping, 0) << what;
        unknownInAll += f.unknown;
    }
    // The regions of the set were indeed left alone somewhere.
    EXPECT_GT(unknownInAll, 1000);
}

TEST(PartJob, EdgePartsAreThoseWhoseSampleHoldsBothKinds)
{
    constexpr std::int32_t Limit = 100;
    struct Case {
        std::vector<std::uint32_t> partOfSample;
        std::vector<std::int32_t> counts;
        std::size_t parts;
        std::vector<std::size_t> edge;
    };
    const Case cases[] = {
        // Part 1 mixed, part 0 all escaping, part 2 all of the set, part 3
        // without a sample.
        {{0, 0, 1, 1, 2, 2}, {3, 99, Limit, 5, Limit, Limit}, 4, {1}},
        // In row order, whatever order the samples come in; a count past
        // the limit is of the set.
        {{5, 2, 5, 2, 0}, {1, Limit + 1, Limit, 0, 7}, 6, {2, 5}},
        // No sample (as with the flood), or one that does not fit.
        {{}, {}, 4, {}},
        {{0, 1}, {Limit}, 4, {}},
        {{0, 9, 0}, {1, 2, Limit}, 4, {0}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(edgeParts(k.partOfSample, k.counts, Limit, k.parts), k.edge);
}

TEST(PartJob, InnerPartsAreThoseWellInsideTheSampledSet)
{
    // Four parts to a row, three rows; two samples each way in every part,
    // so eight to a sample row. Only parts 5 and 6 are off the canvas's edge.
    constexpr std::int32_t Limit = 50;
    constexpr std::size_t Columns = 8, PartsPerRow = 4, Parts = 12;
    std::vector<std::uint32_t> partOf;
    for (std::size_t row = 0; row < 6; ++row)
        for (std::size_t col = 0; col < Columns; ++col)
            partOf.push_back(std::uint32_t(row / 2 * PartsPerRow + col / 2));
    auto innerWith = [&](std::vector<std::size_t> escaping) {
        std::vector<std::int32_t> counts(partOf.size(), Limit);
        for (std::size_t i : escaping)
            counts[i] = 3;
        const std::vector<std::uint8_t> flags =
            innerParts(partOf, counts, Columns, Limit, PartsPerRow, Parts);
        std::vector<std::size_t> inner;
        for (std::size_t part = 0; part < flags.size(); ++part)
            if (flags[part])
                inner.push_back(part);
        return inner;
    };
    using Parts_ = std::vector<std::size_t>;
    EXPECT_EQ(innerWith({}), (Parts_{5, 6}));
    // An escaping sample in a corner part, next to none of part 5's samples.
    EXPECT_EQ(innerWith({0}), (Parts_{5, 6}));
    // Part 0's sample next to part 5's first one (diagonally): 5 is out.
    EXPECT_EQ(innerWith({1 * Columns + 1}), (Parts_{6}));
    // An escaping sample inside part 6, or just right of it in part 7.
    EXPECT_EQ(innerWith({3 * Columns + 5}), (Parts_{5}));
    EXPECT_EQ(innerWith({2 * Columns + 6}), (Parts_{5}));
    // A sample that does not fit the parts, and no sample at all.
    EXPECT_EQ(
        innerParts(partOf, std::vector<std::int32_t>(3, Limit), Columns, Limit, PartsPerRow, Parts),
        std::vector<std::uint8_t>(Parts, 0));
    EXPECT_EQ(innerParts({}, {}, 0, Limit, PartsPerRow, Parts),
              std::vector<std::uint8_t>(Parts, 0));
}

} // namespace
