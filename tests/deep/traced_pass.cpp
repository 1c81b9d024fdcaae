// The plain render pass over a level function; see traced_pass.h.
#include "traced_pass.h"

namespace deeptest {

PassResult tracedPass(int width, int height, const std::function<std::uint8_t(int, int)>& levelOf)
{
    PassResult p;
    p.width = width;
    p.height = height;
    p.level.assign(std::size_t(width) * std::size_t(height), 0);
    p.evaluated.assign(p.level.size(), 0);
    std::vector<std::uint8_t> done(p.level.size(), 0);
    auto at = [&](int c, int r) { return std::size_t(r) * std::size_t(width) + std::size_t(c); };
    auto inside = [&](int c, int r) { return c >= 0 && r >= 0 && c < width && r < height; };
    auto flag = [&](int c, int r) -> int { return inside(c, r) ? done[at(c, r)] : 1; };
    auto pixel = [&](int c, int r) -> int { return inside(c, r) ? p.level[at(c, r)] : 1; };
    auto evaluate = [&](int c, int r) {
        const std::uint8_t v = levelOf(c, r);
        p.level[at(c, r)] = v;
        p.evaluated[at(c, r)] = 1;
        done[at(c, r)] = 1;
        return v;
    };
    static const int dirX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    static const int dirY[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    auto trace = [&](int startX, int startY) {
        int x = startX, y = startY, d = 7, left = startX, right = startX, lowest = startY;
        do {
            int nx = x, ny = y, found = 1;
            for (int tries = 0; tries < 8; ++tries) {
                d = (d + 1) & 7;
                nx = x + dirX[d];
                ny = y + dirY[d];
                if (flag(nx, ny) == 0)
                    evaluate(nx, ny);
                found = pixel(nx, ny);
                if (found == 0)
                    break;
            }
            if (found == 0) {
                x = nx < 0 ? 0 : nx >= width ? width - 1 : nx;
                y = ny < 0 ? 0 : ny >= height ? height - 1 : ny;
                lowest = y > lowest ? y : lowest;
                left = x < left ? x : left;
                right = x > right ? x : right;
                d = (d - 4) & 7;
            }
        } while (x != startX || y != startY);
        for (int r = startY; r <= lowest; ++r) {
            int k = left - 1;
            for (;;) {
                int t;
                do {
                    ++k;
                    t = flag(k, r) == 1 ? pixel(k, r) : 255;
                } while (t != 0 && k <= right);
                if (k > right)
                    break;
                int v;
                do {
                    ++k;
                    if (flag(k, r) == 0)
                        done[at(k, r)] = 1;
                    v = pixel(k, r);
                } while (!(v != 0 && flag(k, r) == 1) && k <= right);
                if (k > right)
                    break;
            }
        }
    };
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            if (!done[at(c, r)] && evaluate(c, r) == 0)
                trace(c, r);
    return p;
}

} // namespace deeptest
