// Reference render pass for the tests: deliberately plain, no shared code
// with the program beyond the language.
#include "reference_render.h"

#include <cmath>

namespace reference {

std::vector<std::int32_t> palette()
{
    std::vector<std::int32_t> p(256, 0);
    auto rgb = [](int r, int g, int b) { return r + 256 * g + 65536 * b; };
    for (int i = 0; i < 32; i++) {
        int s = 255 - 6 * i;
        p[1 + i] = rgb(0, 0, s);
        p[33 + i] = rgb(0, s, s);
        p[65 + i] = rgb(0, s, 0);
        p[97 + i] = rgb(s, s, 0);
        p[129 + i] = rgb(s, 0, 0);
        p[161 + i] = rgb(s, 0, s);
    }
    for (int i = 1; i < 64; i++)
        p[192 + i] = rgb(i, i, i);
    return p;
}

int level(double cx, double cy)
{
    double x = 0, y = 0;
    int n = 0;
    while (true) {
        double x2 = x * x;
        double y2 = y * y;
        double t = x * y;
        double ny = t * 2 + cy;
        double nx = (x2 - y2) + cx;
        n = n + 1;
        if (n >= 256)
            return 0;
        if (x2 + y2 >= 4.0)
            return n % 255 + 1;
        x = nx;
        y = ny;
    }
}

std::pair<double, double> boundaryPoint(double a)
{
    double in = 0, out = 2;
    for (int i = 0; i < 60; ++i) {
        const double mid = (in + out) / 2;
        (level(mid * std::cos(a), mid * std::sin(a)) == 0 ? in : out) = mid;
    }
    return {in * std::cos(a), in * std::sin(a)};
}

namespace {

struct Pass {
    int w, h;
    std::vector<double> xs, ys;
    Picture pic;

    bool inside(int c, int r) const { return c >= 0 && c < w && r >= 0 && r < h; }
    int flag(int c, int r) const { return inside(c, r) ? pic.done[c][r] : 1; }
    int lev(int c, int r) const { return inside(c, r) ? pic.level[c][r] : 1; }
    int evaluate(int c, int r)
    {
        int l = level(xs[c], ys[r]);
        pic.level[c][r] = std::uint8_t(l);
        pic.done[c][r] = 1;
        pic.evaluated[c][r] = 1;
        pic.evaluations++;
        return l;
    }

    void trace(int sx, int sy)
    {
        static const int stepX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
        static const int stepY[8] = {0, 1, 1, 1, 0, -1, -1, -1};
        int x = sx, y = sy, d = 7;
        int left = sx, right = sx, low = sy;
        do {
            int found = -1;
            for (int i = 0; i < 8; i++) {
                d = (d + 1) % 8;
                int nx = x + stepX[d], ny = y + stepY[d];
                if (flag(nx, ny) == 0)
                    evaluate(nx, ny);
                if (lev(nx, ny) == 0) {
                    found = d;
                    break;
                }
            }
            if (found >= 0) {
                x += stepX[found];
                y += stepY[found];
                if (x < 0)
                    x = 0;
                if (x >= w)
                    x = w - 1;
                if (y < 0)
                    y = 0;
                if (y >= h)
                    y = h - 1;
                if (y > low)
                    low = y;
                if (x < left)
                    left = x;
                if (x > right)
                    right = x;
                d = (found + 4) % 8;
            }
        } while (x != sx || y != sy);

        // Interior: from each done level-0 pixel, mark pending pixels up to
        // the next escaped one, never beyond the rightmost column walked.
        for (int r = sy; r <= low; r++) {
            int k = left;
            while (k <= right) {
                if (!(flag(k, r) == 1 && lev(k, r) == 0)) {
                    k++;
                    continue;
                }
                k++;
                while (k <= right) {
                    if (flag(k, r) == 0)
                        pic.done[k][r] = 1;
                    if (lev(k, r) != 0)
                        break;
                    k++;
                }
                k++;
            }
        }
    }
};

} // namespace

Picture render(const View& view, int width, int height)
{
    Pass p{width, height, {}, {}, {}};
    p.pic.width = width;
    p.pic.height = height;
    p.pic.level.assign(width, std::vector<std::uint8_t>(height, 0));
    p.pic.done.assign(width, std::vector<std::uint8_t>(height, 0));
    p.pic.evaluated.assign(width, std::vector<std::uint8_t>(height, 0));
    double dx = (view.xMax - view.xMin) / (width - 1);
    double dy = (view.yMin - view.yMax) / (height - 1);
    double t = view.yMax;
    for (int r = 0; r < height; r++) {
        p.ys.push_back(t);
        t = t + dy;
    }
    double u = view.xMin;
    for (int c = 0; c < width; c++) {
        p.xs.push_back(u);
        u = u + dx;
    }
    for (int r = 0; r < height; r++)
        for (int c = 0; c < width; c++)
            if (p.pic.done[c][r] == 0 && p.evaluate(c, r) == 0)
                p.trace(c, r);

    p.pic.xs = p.xs;
    p.pic.ys = p.ys;
    const std::vector<std::int32_t> pal = palette();
    p.pic.colour.resize(std::size_t(width) * height);
    for (int r = 0; r < height; r++)
        for (int c = 0; c < width; c++)
            p.pic.colour[std::size_t(r) * width + c] = pal[p.pic.level[c][r]];
    return p.pic;
}

} // namespace reference
