// A part's levels, worked out level by level of its splits: each round
// gathers the pixels every live block needs (split lines, or the inside of
// the smallest blocks) and iterates them in one call of the lane kernel, so
// the lanes see hundreds of points at a time rather than a dozen.
#include "part_job.h"

#include <algorithm>
#include <cstring>

#include "escape.h"

namespace explorer::engine {

namespace {

// Blocks at most this wide and high are iterated whole rather than split
// (a block of 5 would split into four of 3, each with one pixel inside).
constexpr std::int32_t SmallSide = 5;
// Pixel-iterations between looks at the stop flag, about.
constexpr std::int64_t IterationsPerLook = std::int64_t(1) << 24;

std::size_t at(const PartCanvas& c, std::int32_t col, std::int32_t row)
{
    return std::size_t(row) * std::size_t(c.width) + std::size_t(col);
}

// Room for k more points at the end of the gathered ones; returns the first.
std::size_t grow(PartScratch& s, std::size_t k)
{
    const std::size_t n = s.pixels.size();
    s.pixels.resize(n + k);
    s.cx.resize(n + k);
    s.cy.resize(n + k);
    return n;
}

void addRow(const PartCanvas& c, PartScratch& s, std::int32_t row, std::int32_t x0, std::int32_t x1)
{
    if (x1 <= x0)
        return;
    const std::size_t k = std::size_t(x1 - x0), n = grow(s, k), first = at(c, x0, row);
    std::uint32_t* pixels = s.pixels.data() + n;
    double* cx = s.cx.data() + n;
    double* cy = s.cy.data() + n;
    const double y = c.ys[std::size_t(row)];
    for (std::size_t i = 0; i < k; ++i) {
        pixels[i] = std::uint32_t(first + i);
        cx[i] = c.xs[std::size_t(x0) + i];
        cy[i] = y;
    }
}

void addColumn(const PartCanvas& c, PartScratch& s, std::int32_t col, std::int32_t y0,
               std::int32_t y1)
{
    if (y1 <= y0)
        return;
    const std::size_t k = std::size_t(y1 - y0), n = grow(s, k);
    const double x = c.xs[std::size_t(col)];
    for (std::size_t i = 0; i < k; ++i) {
        s.pixels[n + i] = std::uint32_t(at(c, col, y0 + std::int32_t(i)));
        s.cx[n + i] = x;
        s.cy[n + i] = c.ys[std::size_t(y0) + i];
    }
}

// The pixels on the border of r (each once).
void addRing(const PartCanvas& c, PartScratch& s, const PartRect& r)
{
    addRow(c, s, r.y0, r.x0, r.x1);
    if (r.y1 - r.y0 > 1)
        addRow(c, s, r.y1 - 1, r.x0, r.x1);
    addColumn(c, s, r.x0, r.y0 + 1, r.y1 - 1);
    if (r.x1 - r.x0 > 1)
        addColumn(c, s, r.x1 - 1, r.y0 + 1, r.y1 - 1);
}

// What a block's ring holds: only level 0 (all of the set), none of it, or
// both.
enum class Ring { AllInSet, NoneInSet, Mixed };

Ring ringOf(const PartCanvas& c, const PartRect& r)
{
    unsigned zeros = 0, others = 0;
    auto look = [&](std::uint8_t level) {
        zeros |= level == 0;
        others |= level != 0;
    };
    const std::uint8_t* top = c.levels + at(c, 0, r.y0);
    const std::uint8_t* bottom = c.levels + at(c, 0, r.y1 - 1);
    for (std::int32_t x = r.x0; x < r.x1; ++x) {
        look(top[x]);
        look(bottom[x]);
    }
    for (std::int32_t y = r.y0 + 1; y < r.y1 - 1; ++y) {
        look(c.levels[at(c, r.x0, y)]);
        look(c.levels[at(c, r.x1 - 1, y)]);
    }
    return !others ? Ring::AllInSet : !zeros ? Ring::NoneInSet : Ring::Mixed;
}

// Where a side from a to b (its ring at a and b - 1, b - a > 2) is split:
// the line in its middle, which both halves then share as part of their
// rings (a line each side of the split would iterate twice the pixels, of
// the set often enough, at the whole limit each).
std::int32_t splitAt(std::int32_t a, std::int32_t b)
{
    return a + (b - 1 - a) / 2;
}

// Iterates the gathered pixels and stores their levels.
bool iterate(const PartCanvas& c, PartScratch& s)
{
    const std::size_t n = s.pixels.size();
    s.counts.resize(n);
    escape::BatchScratch kept = s.kept.room(n);
    const std::size_t chunk =
        std::size_t(std::max<std::int64_t>(64, IterationsPerLook / std::max(1, c.maxIter)));
    for (std::size_t first = 0; first < n; first += chunk) {
        if (c.stop->load(std::memory_order_relaxed))
            return false;
        const std::size_t m = std::min(chunk, n - first);
        escape::batchCounts(c.isa, s.cx.data() + first, s.cy.data() + first, m, c.maxIter,
                            s.counts.data() + first, kept);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = s.pixels[i];
        c.levels[p] = c.levelOfCount[std::size_t(s.counts[i])];
        c.known[p] = 1;
    }
    return true;
}

} // namespace

namespace {

void clearGathered(PartScratch& s)
{
    s.pixels.clear();
    s.cx.clear();
    s.cy.clear();
}

} // namespace

bool workOutPart(const PartCanvas& c, PartRect rect, PartScratch& s, PartJobCounts& counts)
{
    for (std::int32_t y = rect.y0; y < rect.y1; ++y)
        std::memset(c.known + at(c, rect.x0, y), 0, std::size_t(rect.x1 - rect.x0));
    clearGathered(s);
    addRing(c, s, rect);
    counts.borderPixels += std::int64_t(s.pixels.size());
    if (!iterate(c, s))
        return false;
    s.blocks.assign(1, rect);
    while (!s.blocks.empty()) {
        s.next.clear();
        clearGathered(s);
        std::int64_t inside = 0;
        for (const PartRect& b : s.blocks) {
            const std::int32_t w = b.x1 - b.x0, h = b.y1 - b.y0;
            if (w <= 2 || h <= 2)
                continue; // all ring
            const Ring ring = ringOf(c, b);
            if (ring == Ring::AllInSet)
                continue; // left for the pass to fill
            // A ring with nothing of the set seldom holds any inside, and
            // splitting would only find that out at more cost: iterated
            // whole, as are the smallest blocks.
            if (ring == Ring::NoneInSet || (w <= SmallSide && h <= SmallSide)) {
                const std::size_t before = s.pixels.size();
                for (std::int32_t y = b.y0 + 1; y < b.y1 - 1; ++y)
                    addRow(c, s, y, b.x0 + 1, b.x1 - 1);
                inside += std::int64_t(s.pixels.size() - before);
                continue;
            }
            const bool splitX = w > SmallSide, splitY = h > SmallSide;
            const std::int32_t xm = splitX ? splitAt(b.x0, b.x1) : b.x1 - 1;
            const std::int32_t ym = splitY ? splitAt(b.y0, b.y1) : b.y1 - 1;
            if (splitY)
                addRow(c, s, ym, b.x0 + 1, b.x1 - 1);
            if (splitX) {
                if (splitY) {
                    addColumn(c, s, xm, b.y0 + 1, ym);
                    addColumn(c, s, xm, ym + 1, b.y1 - 1);
                } else {
                    addColumn(c, s, xm, b.y0 + 1, b.y1 - 1);
                }
            }
            s.next.push_back({b.x0, b.y0, xm + 1, ym + 1});
            if (splitX)
                s.next.push_back({xm, b.y0, b.x1, ym + 1});
            if (splitY)
                s.next.push_back({b.x0, ym, xm + 1, b.y1});
            if (splitX && splitY)
                s.next.push_back({xm, ym, b.x1, b.y1});
        }
        counts.blockPixels += inside;
        counts.borderPixels += std::int64_t(s.pixels.size()) - inside;
        if (!iterate(c, s))
            return false;
        s.blocks.swap(s.next);
    }
    return true;
}

std::vector<std::size_t> edgeParts(std::span<const std::uint32_t> partOfSample,
                                   std::span<const std::int32_t> counts, std::int32_t maxIter,
                                   std::size_t parts)
{
    std::vector<std::size_t> edge;
    if (partOfSample.size() != counts.size())
        return edge;
    constexpr std::uint8_t InSet = 1, Escaping = 2;
    std::vector<std::uint8_t> seen(parts, 0);
    for (std::size_t i = 0; i < counts.size(); ++i)
        if (partOfSample[i] < parts)
            seen[partOfSample[i]] |= counts[i] >= maxIter ? InSet : Escaping;
    for (std::size_t part = 0; part < parts; ++part)
        if (seen[part] == (InSet | Escaping))
            edge.push_back(part);
    return edge;
}

std::vector<std::uint8_t> innerParts(std::span<const std::uint32_t> partOfSample,
                                     std::span<const std::int32_t> counts,
                                     std::size_t sampleColumns, std::int32_t maxIter,
                                     std::size_t partsPerRow, std::size_t parts)
{
    std::vector<std::uint8_t> inner(parts, 0);
    const std::size_t n = counts.size();
    if (partOfSample.size() != n || sampleColumns == 0 || partsPerRow == 0 || n % sampleColumns)
        return inner;
    const std::size_t partRows = (parts + partsPerRow - 1) / partsPerRow;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t part = partOfSample[i];
        const std::size_t row = part / partsPerRow, col = part % partsPerRow;
        if (part < parts && row > 0 && row + 1 < partRows && col > 0 && col + 1 < partsPerRow)
            inner[part] = 1;
    }
    // Every part an escaping sample or one of its neighbours lies in is out.
    const std::size_t rows = n / sampleColumns;
    for (std::size_t i = 0; i < n; ++i) {
        if (counts[i] >= maxIter)
            continue;
        const std::size_t row = i / sampleColumns, col = i % sampleColumns;
        for (std::size_t r = row ? row - 1 : 0; r <= std::min(row + 1, rows - 1); ++r)
            for (std::size_t k = col ? col - 1 : 0; k <= std::min(col + 1, sampleColumns - 1); ++k)
                if (const std::size_t part = partOfSample[r * sampleColumns + k]; part < parts)
                    inner[part] = 0;
    }
    return inner;
}

std::uint8_t workOutPixel(const PartCanvas& c, std::int32_t col, std::int32_t row)
{
    const std::int32_t count =
        escape::scalarCount(c.xs[std::size_t(col)], c.ys[std::size_t(row)], c.maxIter);
    const std::size_t p = at(c, col, row);
    c.levels[p] = c.levelOfCount[std::size_t(count)];
    c.known[p] = 1;
    return c.levels[p];
}

} // namespace explorer::engine
