// The direct MPFR reference and the small copies; see direct_reference.h.
#include "direct_reference.h"

#include <cmath>
#include <thread>

namespace deeptest {

using explorer::deep::Mpfr;

std::int64_t directCount(const Mpfr& x, const Mpfr& y, mpfr_prec_t bits, std::int64_t maxIter)
{
    Mpfr zr(bits), zi(bits), zr2(bits), zi2(bits), sum(bits);
    std::int64_t count = 0;
    for (;;) {
        mpfr_sqr(zr2.get(), zr.get(), MPFR_RNDN);
        mpfr_sqr(zi2.get(), zi.get(), MPFR_RNDN);
        mpfr_add(sum.get(), zr2.get(), zi2.get(), MPFR_RNDN);
        ++count;
        if (count >= maxIter)
            return maxIter;
        if (mpfr_cmp_ui(sum.get(), 4) >= 0)
            return count;
        mpfr_mul(zi.get(), zi.get(), zr.get(), MPFR_RNDN);
        mpfr_mul_2ui(zi.get(), zi.get(), 1, MPFR_RNDN);
        mpfr_add(zi.get(), zi.get(), y.get(), MPFR_RNDN);
        mpfr_sub(zr.get(), zr2.get(), zi2.get(), MPFR_RNDN);
        mpfr_add(zr.get(), zr.get(), x.get(), MPFR_RNDN);
    }
}

DirectPicture directPicture(const DeepView& view, int width, int height, std::int64_t maxIter,
                            unsigned threads)
{
    // Full precision: the precision rule's, and 32 bits more.
    const mpfr_prec_t bits = view.precisionFor(width, height) + 32;
    std::vector<Mpfr> xs, ys;
    for (int c = 0; c < width; ++c)
        xs.push_back(view.column(c, width - 1, bits));
    for (int r = 0; r < height; ++r)
        ys.push_back(view.row(r, height - 1, bits));
    DirectPicture out;
    out.counts.assign(std::size_t(width) * std::size_t(height), -1);
    // Rows ahead of the pass on helper threads: every pixel not filled is
    // evaluated anyway, so the pass finds most of them done.
    std::vector<std::int64_t> ahead(out.counts.size(), -1);
    std::vector<std::atomic<int>> state(out.counts.size()); // 0 free, 1 busy, 2 done
    std::atomic<bool> finished{false};
    std::atomic<int> nextPixel{0};
    auto count = [&](int c, int r) -> std::int64_t {
        const std::size_t i = std::size_t(r) * std::size_t(width) + std::size_t(c);
        int expected = 0;
        if (state[i].compare_exchange_strong(expected, 1)) {
            ahead[i] = directCount(xs[std::size_t(c)], ys[std::size_t(r)], bits, maxIter);
            state[i].store(2);
            return ahead[i];
        }
        while (state[i].load() != 2)
            std::this_thread::yield();
        return ahead[i];
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back([&] {
            while (!finished) {
                // Work from the bottom up, where the pass arrives last.
                const int k = nextPixel.fetch_add(1);
                if (k >= width * height)
                    return;
                const int i = width * height - 1 - k;
                count(i % width, i / width);
            }
        });
    out.pass = tracedPass(width, height, [&](int c, int r) {
        const std::int64_t n = count(c, r);
        out.counts[std::size_t(r) * std::size_t(width) + std::size_t(c)] = n;
        return n >= maxIter ? std::uint8_t(0) : std::uint8_t(n % 255 + 1);
    });
    finished = true;
    for (std::thread& t : helpers)
        t.join();
    return out;
}

namespace {

// A complex MPFR number.
struct C {
    Mpfr re, im;
    explicit C(mpfr_prec_t bits) : re(bits), im(bits) {}
};

} // namespace

SmallCopy findSmallCopy(const std::string& reText, const std::string& imText, double log10Radius,
                        mpfr_prec_t bits, int maxPeriod)
{
    SmallCopy out;
    C c(bits), z(bits), dz(bits), t(bits);
    mpfr_set_str(c.re.get(), reText.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(c.im.get(), imText.c_str(), 10, MPFR_RNDN);
    // The period: the first iterate of the disc around c that contains 0,
    // its radius grown by the derivative (r <- 2 |z| r + r^2 + r0), kept as
    // log10 so that it needs no extended range.
    const double r0 = log10Radius;
    double logR = r0;
    int period = 0;
    {
        Mpfr zr(bits), zi(bits), zr2(bits), zi2(bits);
        for (int n = 1; n <= maxPeriod; ++n) {
            // z <- z^2 + c
            mpfr_sqr(zr2.get(), zr.get(), MPFR_RNDN);
            mpfr_sqr(zi2.get(), zi.get(), MPFR_RNDN);
            mpfr_mul(zi.get(), zi.get(), zr.get(), MPFR_RNDN);
            mpfr_mul_2ui(zi.get(), zi.get(), 1, MPFR_RNDN);
            mpfr_add(zi.get(), zi.get(), c.im.get(), MPFR_RNDN);
            const double absZ =
                std::hypot(mpfr_get_d(zr.get(), MPFR_RNDN), mpfr_get_d(zi.get(), MPFR_RNDN));
            mpfr_sub(zr.get(), zr2.get(), zi2.get(), MPFR_RNDN);
            mpfr_add(zr.get(), zr.get(), c.re.get(), MPFR_RNDN);
            // Radius of the n-th image: 2 |z_{n-1}| r + r^2 + r0 (log10).
            const double a = std::log10(2 * std::max(absZ, 1e-300)) + logR;
            const double b = 2 * logR;
            const double hi = std::max({a, b, r0});
            logR = hi +
                   std::log10(std::pow(10, a - hi) + std::pow(10, b - hi) + std::pow(10, r0 - hi));
            long e;
            const double mr = mpfr_get_d_2exp(&e, zr.get(), MPFR_RNDN);
            long f;
            const double mi = mpfr_get_d_2exp(&f, zi.get(), MPFR_RNDN);
            const double logAbs =
                std::max(mpfr_zero_p(zr.get()) ? -1e9 : std::log10(std::fabs(mr)) + e * 0.30103,
                         mpfr_zero_p(zi.get()) ? -1e9 : std::log10(std::fabs(mi)) + f * 0.30103);
            if (logAbs < logR) {
                period = n;
                break;
            }
        }
    }
    out.period = period;
    if (period == 0)
        return out;
    // Newton's method on z_p(c) = 0: c <- c - z_p / z_p'.
    Mpfr a(bits), b(bits), q(bits);
    for (int step = 0; step < 200; ++step) {
        mpfr_set_zero(z.re.get(), 1);
        mpfr_set_zero(z.im.get(), 1);
        mpfr_set_zero(dz.re.get(), 1);
        mpfr_set_zero(dz.im.get(), 1);
        for (int n = 0; n < period; ++n) {
            // dz <- 2 z dz + 1
            mpfr_mul(a.get(), z.re.get(), dz.re.get(), MPFR_RNDN);
            mpfr_mul(b.get(), z.im.get(), dz.im.get(), MPFR_RNDN);
            mpfr_sub(t.re.get(), a.get(), b.get(), MPFR_RNDN);
            mpfr_mul(a.get(), z.re.get(), dz.im.get(), MPFR_RNDN);
            mpfr_mul(b.get(), z.im.get(), dz.re.get(), MPFR_RNDN);
            mpfr_add(t.im.get(), a.get(), b.get(), MPFR_RNDN);
            mpfr_mul_2ui(dz.re.get(), t.re.get(), 1, MPFR_RNDN);
            mpfr_add_ui(dz.re.get(), dz.re.get(), 1, MPFR_RNDN);
            mpfr_mul_2ui(dz.im.get(), t.im.get(), 1, MPFR_RNDN);
            // z <- z^2 + c
            mpfr_sqr(a.get(), z.re.get(), MPFR_RNDN);
            mpfr_sqr(b.get(), z.im.get(), MPFR_RNDN);
            mpfr_mul(z.im.get(), z.im.get(), z.re.get(), MPFR_RNDN);
            mpfr_mul_2ui(z.im.get(), z.im.get(), 1, MPFR_RNDN);
            mpfr_add(z.im.get(), z.im.get(), c.im.get(), MPFR_RNDN);
            mpfr_sub(z.re.get(), a.get(), b.get(), MPFR_RNDN);
            mpfr_add(z.re.get(), z.re.get(), c.re.get(), MPFR_RNDN);
        }
        // step = z / dz
        mpfr_sqr(a.get(), dz.re.get(), MPFR_RNDN);
        mpfr_sqr(b.get(), dz.im.get(), MPFR_RNDN);
        mpfr_add(q.get(), a.get(), b.get(), MPFR_RNDN);
        mpfr_mul(a.get(), z.re.get(), dz.re.get(), MPFR_RNDN);
        mpfr_mul(b.get(), z.im.get(), dz.im.get(), MPFR_RNDN);
        mpfr_add(t.re.get(), a.get(), b.get(), MPFR_RNDN);
        mpfr_mul(a.get(), z.im.get(), dz.re.get(), MPFR_RNDN);
        mpfr_mul(b.get(), z.re.get(), dz.im.get(), MPFR_RNDN);
        mpfr_sub(t.im.get(), a.get(), b.get(), MPFR_RNDN);
        mpfr_div(t.re.get(), t.re.get(), q.get(), MPFR_RNDN);
        mpfr_div(t.im.get(), t.im.get(), q.get(), MPFR_RNDN);
        mpfr_sub(c.re.get(), c.re.get(), t.re.get(), MPFR_RNDN);
        mpfr_sub(c.im.get(), c.im.get(), t.im.get(), MPFR_RNDN);
        // Converged when the step is below the last bits of c.
        long e1, e2;
        mpfr_get_d_2exp(&e1, t.re.get(), MPFR_RNDN);
        mpfr_get_d_2exp(&e2, t.im.get(), MPFR_RNDN);
        if ((mpfr_zero_p(t.re.get()) || e1 < -long(bits) + 8) &&
            (mpfr_zero_p(t.im.get()) || e2 < -long(bits) + 8))
            break;
    }
    // Size estimate: 1 / (beta lambda^2), lambda the product of 2 z_n over
    // the period, beta the sum of the reciprocals of its partial products.
    {
        double lr = 1, li = 0, br = 1, bi = 0;
        long lexp = 0; // lambda = (lr + i li) 2^lexp, kept in range
        Mpfr zr(bits), zi(bits), zr2(bits), zi2(bits);
        double logL = 0;
        for (int n = 1; n < period; ++n) {
            mpfr_sqr(zr2.get(), zr.get(), MPFR_RNDN);
            mpfr_sqr(zi2.get(), zi.get(), MPFR_RNDN);
            mpfr_mul(zi.get(), zi.get(), zr.get(), MPFR_RNDN);
            mpfr_mul_2ui(zi.get(), zi.get(), 1, MPFR_RNDN);
            mpfr_add(zi.get(), zi.get(), c.im.get(), MPFR_RNDN);
            mpfr_sub(zr.get(), zr2.get(), zi2.get(), MPFR_RNDN);
            mpfr_add(zr.get(), zr.get(), c.re.get(), MPFR_RNDN);
            const double xr = 2 * mpfr_get_d(zr.get(), MPFR_RNDN);
            const double xi = 2 * mpfr_get_d(zi.get(), MPFR_RNDN);
            const double nr = lr * xr - li * xi, ni = lr * xi + li * xr;
            lr = nr;
            li = ni;
            int e;
            const double m = std::frexp(std::hypot(lr, li), &e);
            (void)m;
            lr = std::ldexp(lr, -e);
            li = std::ldexp(li, -e);
            lexp += e;
            // beta += 1 / lambda, negligible once lambda is large.
            if (lexp < 900) {
                const double sr = std::ldexp(lr, int(lexp)), si = std::ldexp(li, int(lexp));
                const double d = sr * sr + si * si;
                br += sr / d;
                bi += -si / d;
            }
        }
        logL = std::log10(std::hypot(lr, li)) + double(lexp) * 0.30103;
        out.log10Size = -(std::log10(std::hypot(br, bi)) + 2 * logL);
    }
    const int digits = int(double(bits) * 0.30103) + 2;
    auto text = [&](const Mpfr& v) {
        mpfr_exp_t e;
        char* s = mpfr_get_str(nullptr, &e, 10, std::size_t(digits), v.get(), MPFR_RNDN);
        std::string d(s);
        mpfr_free_str(s);
        std::string sign;
        if (d[0] == '-') {
            sign = "-";
            d.erase(0, 1);
        }
        return sign + "0." + d + "e" + std::to_string(long(e));
    };
    out.re = text(c.re);
    out.im = text(c.im);
    return out;
}

DeepView viewAround(const std::string& re, const std::string& im, double log10Width, double dx,
                    double dy)
{
    const int digits = int(-log10Width) + 30;
    const mpfr_prec_t bits = mpfr_prec_t(digits * 3.33) + 64;
    Mpfr cx(bits), cy(bits), w(bits), h(bits), t(bits);
    mpfr_set_str(cx.get(), re.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(cy.get(), im.c_str(), 10, MPFR_RNDN);
    // w = 10^log10Width, h = 3/4 w.
    const double whole = std::floor(log10Width);
    mpfr_set_d(w.get(), std::pow(10.0, log10Width - whole), MPFR_RNDN);
    mpfr_set_ui(t.get(), 10, MPFR_RNDN);
    mpfr_pow_si(t.get(), t.get(), long(whole), MPFR_RNDN);
    mpfr_mul(w.get(), w.get(), t.get(), MPFR_RNDN);
    mpfr_mul_d(h.get(), w.get(), 0.75, MPFR_RNDN);
    // Centre moved by (dx, dy) widths.
    mpfr_mul_d(t.get(), w.get(), dx, MPFR_RNDN);
    mpfr_add(cx.get(), cx.get(), t.get(), MPFR_RNDN);
    mpfr_mul_d(t.get(), w.get(), dy, MPFR_RNDN);
    mpfr_add(cy.get(), cy.get(), t.get(), MPFR_RNDN);
    auto text = [&](mpfr_srcptr centre, mpfr_srcptr extent, int sign) {
        Mpfr v(bits);
        mpfr_div_2ui(v.get(), extent, 1, MPFR_RNDN);
        if (sign < 0)
            mpfr_sub(v.get(), centre, v.get(), MPFR_RNDN);
        else
            mpfr_add(v.get(), centre, v.get(), MPFR_RNDN);
        mpfr_exp_t e;
        char* s = mpfr_get_str(nullptr, &e, 10, std::size_t(digits), v.get(), MPFR_RNDN);
        std::string d(s);
        mpfr_free_str(s);
        std::string sg;
        if (d[0] == '-') {
            sg = "-";
            d.erase(0, 1);
        }
        return sg + "0." + d + "e" + std::to_string(long(e));
    };
    return *DeepView::fromText(text(cx.get(), w.get(), -1), text(cx.get(), w.get(), 1),
                               text(cy.get(), h.get(), -1), text(cy.get(), h.get(), 1));
}

} // namespace deeptest
