// A part's levels, worked out level by level of its splits: each round
// gathers the pixels every live block needs (split lines, or the inside of
// the smallest blocks) and iterates them in one call of the lane kernel, so
// the lanes see hundreds of points at a time rather than a dozen.
#include "part_job.h"

#include <algorithm>

#include "escape.h"

namespace explorer::engine {

namespace {

constexpr std::int32_t TileSide = 16;
// Blocks at most this wide and high are iterated whole rather than split.
constexpr std::int32_t SmallSide = 4;
// Pixel-iterations between looks at the stop flag, about.
constexpr std::int64_t IterationsPerLook = std::int64_t(1) << 24;

std::size_t at(const PartCanvas& c, std::int32_t col, std::int32_t row)
{
    return std::size_t(row) * std::size_t(c.width) + std::size_t(col);
}

void addRow(const PartCanvas& c, std::vector<std::uint32_t>& out, std::int32_t row,
            std::int32_t x0, std::int32_t x1)
{
    for (std::int32_t x = x0; x < x1; ++x)
        out.push_back(std::uint32_t(at(c, x, row)));
}

void addColumn(const PartCanvas& c, std::vector<std::uint32_t>& out, std::int32_t col,
               std::int32_t y0, std::int32_t y1)
{
    for (std::int32_t y = y0; y < y1; ++y)
        out.push_back(std::uint32_t(at(c, col, y)));
}

// The pixels on the border of r (each once).
void addRing(const PartCanvas& c, std::vector<std::uint32_t>& out, const PartRect& r)
{
    addRow(c, out, r.y0, r.x0, r.x1);
    if (r.y1 - r.y0 > 1)
        addRow(c, out, r.y1 - 1, r.x0, r.x1);
    for (std::int32_t x : {r.x0, r.x1 - 1}) {
        addColumn(c, out, x, r.y0 + 1, r.y1 - 1);
        if (r.x1 - r.x0 == 1)
            break;
    }
}

bool ringAllInSet(const PartCanvas& c, const PartRect& r)
{
    const std::uint8_t* top = c.levels + at(c, 0, r.y0);
    const std::uint8_t* bottom = c.levels + at(c, 0, r.y1 - 1);
    for (std::int32_t x = r.x0; x < r.x1; ++x)
        if (top[x] | bottom[x])
            return false;
    for (std::int32_t y = r.y0 + 1; y < r.y1 - 1; ++y)
        if (c.levels[at(c, r.x0, y)] | c.levels[at(c, r.x1 - 1, y)])
            return false;
    return true;
}

// Where a side from a to b is split: on a tile border near its middle while
// it spans tiles, else at its middle; so that both split lines lie inside.
std::int32_t splitAt(std::int32_t a, std::int32_t b)
{
    std::int32_t m = a + (b - a) / 2;
    if (b - a > TileSide)
        m = (m + TileSide / 2) / TileSide * TileSide;
    return std::clamp(m, a + 2, b - 2);
}

// Iterates the gathered pixels and stores their levels.
bool iterate(const PartCanvas& c, PartScratch& s)
{
    const std::size_t n = s.pixels.size();
    s.cx.resize(n);
    s.cy.resize(n);
    s.counts.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = s.pixels[i];
        s.cx[i] = c.xs[p % std::uint32_t(c.width)];
        s.cy[i] = c.ys[p / std::uint32_t(c.width)];
    }
    const std::size_t chunk =
        std::size_t(std::max<std::int64_t>(64, IterationsPerLook / std::max(1, c.maxIter)));
    for (std::size_t first = 0; first < n; first += chunk) {
        if (c.stop->load(std::memory_order_relaxed))
            return false;
        const std::size_t m = std::min(chunk, n - first);
        escape::counts(c.isa, s.cx.data() + first, s.cy.data() + first, m, c.maxIter,
                       s.counts.data() + first);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = s.pixels[i];
        c.levels[p] = c.levelOfCount[std::size_t(s.counts[i])];
        c.known[p] = 1;
    }
    return true;
}

} // namespace

bool workOutPart(const PartCanvas& c, PartRect rect, PartScratch& s, PartJobCounts& counts)
{
    s.pixels.clear();
    addRing(c, s.pixels, rect);
    counts.borderPixels += std::int64_t(s.pixels.size());
    if (!iterate(c, s))
        return false;
    s.blocks.assign(1, rect);
    while (!s.blocks.empty()) {
        s.next.clear();
        s.pixels.clear();
        std::int64_t inside = 0;
        for (const PartRect& b : s.blocks) {
            const std::int32_t w = b.x1 - b.x0, h = b.y1 - b.y0;
            if (w <= 2 || h <= 2 || ringAllInSet(c, b))
                continue; // nothing inside, or left for the pass to fill
            if (w <= SmallSide && h <= SmallSide) {
                const std::size_t before = s.pixels.size();
                for (std::int32_t y = b.y0 + 1; y < b.y1 - 1; ++y)
                    addRow(c, s.pixels, y, b.x0 + 1, b.x1 - 1);
                inside += std::int64_t(s.pixels.size() - before);
                continue;
            }
            const bool splitX = w > SmallSide, splitY = h > SmallSide;
            const std::int32_t xm = splitX ? splitAt(b.x0, b.x1) : b.x1;
            const std::int32_t ym = splitY ? splitAt(b.y0, b.y1) : b.y1;
            if (splitY) {
                addRow(c, s.pixels, ym - 1, b.x0 + 1, b.x1 - 1);
                addRow(c, s.pixels, ym, b.x0 + 1, b.x1 - 1);
            }
            if (splitX)
                for (std::int32_t x : {xm - 1, xm})
                    for (std::int32_t y = b.y0 + 1; y < b.y1 - 1; ++y)
                        if (!splitY || (y != ym - 1 && y != ym))
                            s.pixels.push_back(std::uint32_t(at(c, x, y)));
            s.next.push_back({b.x0, b.y0, xm, ym});
            if (splitX)
                s.next.push_back({xm, b.y0, b.x1, ym});
            if (splitY)
                s.next.push_back({b.x0, ym, xm, b.y1});
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
