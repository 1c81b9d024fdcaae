// The deep view: decimal text in and out, pixel values and the precision
// rule. Every operation works on its own numbers.
#include "explorer/engine/deep/deep_view.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace explorer::deep {

namespace {

constexpr double Log2Of10 = 3.321928094887362;

// log2 |x|, for a non-zero number.
double log2Magnitude(mpfr_srcptr x)
{
    long exp;
    const double m = mpfr_get_d_2exp(&exp, x, MPFR_RNDN);
    return std::log2(std::fabs(m)) + double(exp);
}

// log2 of the larger of |a| and |b|, at least 0 (bounds near 0 count as 1).
double log2Scale(mpfr_srcptr a, mpfr_srcptr b)
{
    double s = 0;
    if (!mpfr_zero_p(a))
        s = std::max(s, log2Magnitude(a));
    if (!mpfr_zero_p(b))
        s = std::max(s, log2Magnitude(b));
    return s;
}

// |hi - lo| as log2, or -infinity when equal.
double log2Extent(const Mpfr& lo, const Mpfr& hi)
{
    Mpfr d(std::max(lo.bits(), hi.bits()) + 2);
    mpfr_sub(d.get(), hi.get(), lo.get(), MPFR_RNDN);
    if (mpfr_zero_p(d.get()))
        return -INFINITY;
    return log2Magnitude(d.get());
}

std::string trimmed(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

// Writes x with `digits` significant digits: plain decimals for exponents
// -4 to 15, else mantissa and exponent; trailing zeros of the fraction go.
std::string formatted(mpfr_srcptr x, int digits)
{
    if (mpfr_zero_p(x))
        return "0";
    mpfr_exp_t exp10;
    char* raw = mpfr_get_str(nullptr, &exp10, 10, std::size_t(digits), x, MPFR_RNDN);
    std::string d(raw);
    mpfr_free_str(raw);
    std::string sign;
    if (!d.empty() && d[0] == '-') {
        sign = "-";
        d.erase(0, 1);
    }
    while (d.size() > 1 && d.back() == '0')
        d.pop_back();
    const long e = long(exp10) - 1; // x = d[0].d[1..] * 10^e
    if (e >= -4 && e <= 15) {
        std::string s;
        if (e < 0) {
            s.assign("0.");
            s.append(std::size_t(-e - 1), '0');
            s.append(d);
        } else {
            const std::size_t whole = std::size_t(e) + 1;
            s = d;
            if (s.size() <= whole)
                s.append(whole - s.size(), '0');
            else
                s.insert(whole, 1, '.');
        }
        s.insert(0, sign);
        return s;
    }
    std::string s = d;
    if (s.size() > 1)
        s.insert(1, 1, '.');
    s.insert(0, sign);
    s.append("e");
    s.append(std::to_string(e));
    return s;
}

} // namespace

int significantDigits(const std::string& text)
{
    const std::string t = trimmed(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    int digits = 0, all = 0;
    bool leading = true, point = false;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (ch == '.' && !point) {
            point = true;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(ch)))
            break;
        ++all;
        if (leading && ch == '0')
            continue;
        leading = false;
        ++digits;
    }
    if (all == 0)
        return 0;
    return std::max(digits, 1);
}

std::optional<DeepView> DeepView::fromText(const std::string& xMin, const std::string& xMax,
                                           const std::string& yMin, const std::string& yMax,
                                           std::string* error)
{
    static const char* const Names[4] = {"XMin", "XMax", "YMin", "YMax"};
    auto fail = [&](std::string message) -> std::optional<DeepView> {
        if (error)
            *error = std::move(message);
        return std::nullopt;
    };
    DeepView v;
    const std::string* texts[4] = {&xMin, &xMax, &yMin, &yMax};
    for (int i = 0; i < 4; ++i) {
        const std::string t = trimmed(*texts[i]);
        if (t.size() > MaxFieldCharacters)
            return fail(std::string(Names[i]) + " has more than " +
                        std::to_string(MaxFieldCharacters) + " characters");
        const int digits = significantDigits(t);
        if (digits == 0)
            return fail(std::string(Names[i]) + " is not a number");
        // Enough bits for every typed digit, so that the text reads back.
        const auto bits = mpfr_prec_t(std::ceil(digits * Log2Of10)) + 16;
        Mpfr& b = v.bounds_[std::size_t(i)];
        b = Mpfr(std::max<mpfr_prec_t>(bits, 64));
        char* end = nullptr;
        mpfr_strtofr(b.get(), t.c_str(), &end, 10, MPFR_RNDN);
        if (end != t.c_str() + t.size() || !mpfr_number_p(b.get()))
            return fail(std::string(Names[i]) + " is not a number");
        v.typedDigits_[std::size_t(i)] = digits;
    }
    if (!checked(v, error))
        return std::nullopt;
    // A bound typed with fewer digits than the view shows ("0.1" beside
    // "0.1000...01") is read again with as many bits as the others need, so
    // that its shown digits are the typed decimal, not binary noise.
    const mpfr_prec_t need = v.boundBits();
    for (int i = 0; i < 4; ++i) {
        Mpfr& b = v.bounds_[std::size_t(i)];
        if (b.bits() >= need)
            continue;
        b = Mpfr(need);
        mpfr_strtofr(b.get(), trimmed(*texts[i]).c_str(), nullptr, 10, MPFR_RNDN);
    }
    return v;
}

bool DeepView::checked(const DeepView& v, std::string* error)
{
    const double w = log2Extent(v.bounds_[0], v.bounds_[1]);
    const double h = log2Extent(v.bounds_[2], v.bounds_[3]);
    std::string message;
    if (std::isinf(w) || std::isinf(h))
        message = "the view has no width or no height";
    else if (std::min(w, h) < -MaxDepthDecades * Log2Of10)
        message = "the view is deeper than a magnification of 1e" + std::to_string(MaxDepthDecades);
    if (message.empty())
        return true;
    if (error)
        *error = message;
    return false;
}

mpfr_prec_t DeepView::boundBits() const
{
    double bits = 0;
    for (int axis = 0; axis < 2; ++axis) {
        const Mpfr& lo = bounds_[std::size_t(axis * 2)];
        const Mpfr& hi = bounds_[std::size_t(axis * 2 + 1)];
        bits = std::max(bits, log2Scale(lo.get(), hi.get()) - log2Extent(lo, hi));
    }
    return mpfr_prec_t(std::ceil(bits)) + 96;
}

std::optional<DeepView> DeepView::fromBounds(const Mpfr& xMin, const Mpfr& xMax, const Mpfr& yMin,
                                             const Mpfr& yMax, std::string* error)
{
    DeepView v;
    v.bounds_ = {xMin, xMax, yMin, yMax};
    for (const Mpfr& b : v.bounds_)
        if (!mpfr_number_p(b.get())) {
            if (error)
                *error = "a bound is not a number";
            return std::nullopt;
        }
    if (!checked(v, error))
        return std::nullopt;
    return v;
}

std::optional<DeepView> DeepView::fromFields(const FieldTexts& fields, std::string* error)
{
    return fromText(fields[0], fields[1], fields[2], fields[3], error);
}

DeepView DeepView::fromDoubles(double xMin, double xMax, double yMin, double yMax)
{
    DeepView v;
    const double b[4] = {xMin, xMax, yMin, yMax};
    for (int i = 0; i < 4; ++i) {
        v.bounds_[std::size_t(i)] = Mpfr(64);
        mpfr_set_d(v.bounds_[std::size_t(i)].get(), b[i], MPFR_RNDN);
        v.typedDigits_[std::size_t(i)] = 17; // what tells doubles apart
    }
    return v;
}

double DeepView::log10Magnification() const
{
    const double e =
        std::min(log2Extent(bounds_[0], bounds_[1]), log2Extent(bounds_[2], bounds_[3]));
    return (std::log2(3.0) - e) / Log2Of10;
}

mpfr_prec_t DeepView::precisionFor(std::int32_t canvasWidth, std::int32_t canvasHeight) const
{
    const double scale = std::max(log2Scale(bounds_[0].get(), bounds_[1].get()),
                                  log2Scale(bounds_[2].get(), bounds_[3].get()));
    const double spacing =
        std::min(log2Extent(bounds_[0], bounds_[1]) - std::log2(std::max(canvasWidth - 1, 1)),
                 log2Extent(bounds_[2], bounds_[3]) - std::log2(std::max(canvasHeight - 1, 1)));
    const double bits = std::ceil(scale - spacing) + 64;
    return mpfr_prec_t(std::max(bits, 64.0));
}

namespace {

// lo + i * (hi - lo) / last, worked out with enough guard bits that the one
// rounding to `bits` at the end is the only one that matters.
Mpfr interpolated(const Mpfr& lo, const Mpfr& hi, std::int32_t i, std::int32_t last,
                  mpfr_prec_t bits)
{
    const mpfr_prec_t work = std::max({bits, lo.bits(), hi.bits()}) + 96;
    Mpfr d(work);
    mpfr_sub(d.get(), hi.get(), lo.get(), MPFR_RNDN);
    mpfr_mul_si(d.get(), d.get(), long(i), MPFR_RNDN);
    mpfr_div_si(d.get(), d.get(), long(std::max(last, 1)), MPFR_RNDN);
    mpfr_add(d.get(), d.get(), lo.get(), MPFR_RNDN);
    d.setBits(bits);
    return d;
}

} // namespace

Mpfr DeepView::column(std::int32_t col, std::int32_t lastCol, mpfr_prec_t bits) const
{
    return interpolated(bounds_[0], bounds_[1], col, lastCol, bits);
}

Mpfr DeepView::row(std::int32_t r, std::int32_t lastRow, mpfr_prec_t bits) const
{
    return interpolated(bounds_[3], bounds_[2], r, lastRow, bits);
}

Mpfr DeepView::centreX() const
{
    Mpfr c(std::max(bounds_[0].bits(), bounds_[1].bits()) + 2);
    mpfr_add(c.get(), bounds_[0].get(), bounds_[1].get(), MPFR_RNDN);
    mpfr_div_2ui(c.get(), c.get(), 1, MPFR_RNDN);
    return c;
}

Mpfr DeepView::centreY() const
{
    Mpfr c(std::max(bounds_[2].bits(), bounds_[3].bits()) + 2);
    mpfr_add(c.get(), bounds_[2].get(), bounds_[3].get(), MPFR_RNDN);
    mpfr_div_2ui(c.get(), c.get(), 1, MPFR_RNDN);
    return c;
}

std::string DeepView::boundText(int which) const
{
    const int axis = which / 2;
    const Mpfr& lo = bounds_[std::size_t(axis * 2)];
    const Mpfr& hi = bounds_[std::size_t(axis * 2 + 1)];
    // Digits to tell the edges apart: the scale over the extent, and six more.
    const double need = (log2Scale(lo.get(), hi.get()) - log2Extent(lo, hi)) / Log2Of10;
    const int digits = std::max({int(std::ceil(need)) + 6, 17, typedDigits_[std::size_t(which)]});
    return formatted(bounds_[std::size_t(which)].get(), digits);
}

FieldTexts DeepView::fields() const
{
    FieldTexts f;
    for (int i = 0; i < 4; ++i)
        f[std::size_t(i)] = boundText(i);
    for (int axis = 0; axis < 2; ++axis) {
        const Mpfr& lo = bounds_[std::size_t(axis * 2)];
        const Mpfr& hi = bounds_[std::size_t(axis * 2 + 1)];
        Mpfr d(std::max(lo.bits(), hi.bits()) + 2);
        mpfr_sub(d.get(), hi.get(), lo.get(), MPFR_RNDN);
        f[std::size_t(4 + axis)] = formatted(d.get(), 17);
    }
    return f;
}

bool beyondDoubles(const DeepView& v, int lastCol, int lastRow)
{
    const auto axisBeyond = [](const Mpfr& lo, const Mpfr& hi, int last, bool& overflow) {
        Mpfr largest(64), a(64), step(64);
        mpfr_abs(largest.get(), lo.get(), MPFR_RNDN);
        mpfr_abs(a.get(), hi.get(), MPFR_RNDN);
        mpfr_max(largest.get(), largest.get(), a.get(), MPFR_RNDN);
        mpfr_sub(step.get(), hi.get(), lo.get(), MPFR_RNDN);
        mpfr_abs(step.get(), step.get(), MPFR_RNDN);
        overflow = overflow || !std::isfinite(mpfr_get_d(largest.get(), MPFR_RNDN)) ||
                   !std::isfinite(mpfr_get_d(step.get(), MPFR_RNDN));
        mpfr_div_si(step.get(), step.get(), std::max(last, 1), MPFR_RNDN);
        mpfr_div(a.get(), step.get(), largest.get(), MPFR_RNDN);
        // Below a double's range the ratio reads as 0.
        return mpfr_get_d(a.get(), MPFR_RNDN) < 1e-15;
    };
    bool overflow = false;
    const bool x = axisBeyond(v.xMin(), v.xMax(), lastCol, overflow);
    const bool y = axisBeyond(v.yMin(), v.yMax(), lastRow, overflow);
    return !overflow && (x || y);
}

} // namespace explorer::deep
