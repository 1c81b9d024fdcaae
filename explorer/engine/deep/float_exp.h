// A number with a double mantissa and a separate 64-bit binary exponent, for
// differences far below what a double holds (down to 1e-100000 and beyond).
// Plain values; nothing here is shared between threads.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace explorer::deep {

// value = mantissa * 2^exponent, the mantissa 0 or 1 <= |mantissa| < 2. Every
// operation rounds its mantissa once, as a double does.
struct FloatExp {
    double mantissa = 0;
    std::int64_t exponent = ZeroExponent;

    // Zero's exponent: low enough that adding zero to anything is exact.
    static constexpr std::int64_t ZeroExponent = INT64_MIN / 4;

    FloatExp() = default;
    FloatExp(double v) : mantissa(v), exponent(0) { normalise(); }
    FloatExp(double m, std::int64_t e) : mantissa(m), exponent(e) { normalise(); }

    // Brings the mantissa to [1, 2) by moving its binary exponent into
    // `exponent`, reading the bits directly (frexp costs a call).
    void normalise()
    {
        std::uint64_t bits;
        std::memcpy(&bits, &mantissa, 8);
        const int biased = int(bits >> 52 & 0x7ff);
        if (biased == 0) { // zero or subnormal
            if (mantissa == 0) {
                exponent = ZeroExponent;
                return;
            }
            int e;
            mantissa = std::frexp(mantissa, &e) * 2;
            exponent += e - 1;
            return;
        }
        exponent += biased - 1023;
        bits = (bits & ~(std::uint64_t(0x7ff) << 52)) | (std::uint64_t(1023) << 52);
        std::memcpy(&mantissa, &bits, 8);
    }

    // Nearest double: 0 below the subnormals, infinity above the range.
    double toDouble() const
    {
        if (exponent < -1100)
            return 0.0;
        if (exponent > 1100)
            return mantissa * INFINITY;
        return std::ldexp(mantissa, int(exponent));
    }

    bool isZero() const { return mantissa == 0; }
};

inline FloatExp operator*(FloatExp a, FloatExp b)
{
    if (a.mantissa == 0 || b.mantissa == 0)
        return FloatExp();
    return FloatExp(a.mantissa * b.mantissa, a.exponent + b.exponent);
}

inline FloatExp operator-(FloatExp a)
{
    a.mantissa = -a.mantissa;
    return a;
}

inline FloatExp operator+(FloatExp a, FloatExp b)
{
    if (a.exponent < b.exponent)
        std::swap(a, b);
    const std::int64_t shift = b.exponent - a.exponent; // <= 0
    if (shift < -64)                                    // b below a's last bit
        return a;
    return FloatExp(a.mantissa + std::ldexp(b.mantissa, int(shift)), a.exponent);
}

inline FloatExp operator-(FloatExp a, FloatExp b)
{
    return a + -b;
}

inline FloatExp twice(FloatExp a)
{
    if (a.mantissa != 0)
        ++a.exponent;
    return a;
}

inline double toDouble(double v)
{
    return v;
}
inline double toDouble(FloatExp v)
{
    return v.toDouble();
}
inline double twice(double v)
{
    return v * 2;
}

// Comparison of magnitudes of two non-negative values.
inline bool operator<(FloatExp a, FloatExp b)
{
    if (a.mantissa == 0 || b.mantissa == 0)
        return a.mantissa < b.mantissa;
    if (a.exponent != b.exponent)
        return a.exponent < b.exponent;
    return a.mantissa < b.mantissa;
}

inline FloatExp sqrtOf(FloatExp a)
{
    if (a.mantissa <= 0)
        return FloatExp();
    double m = a.mantissa;
    std::int64_t e = a.exponent;
    if (e & 1) {
        m *= 2;
        --e;
    }
    return FloatExp(std::sqrt(m), e / 2);
}
inline double sqrtOf(double a)
{
    return std::sqrt(a);
}

inline FloatExp absOf(FloatExp a)
{
    a.mantissa = std::fabs(a.mantissa);
    return a;
}
inline double absOf(double a)
{
    return std::fabs(a);
}

inline FloatExp reciprocal(FloatExp a)
{
    return FloatExp(1.0 / a.mantissa, -a.exponent);
}
inline double reciprocal(double a)
{
    return 1.0 / a;
}

inline FloatExp maxOf(FloatExp a, FloatExp b)
{
    return a < b ? b : a;
}
inline FloatExp minOf(FloatExp a, FloatExp b)
{
    return a < b ? a : b;
}
inline double maxOf(double a, double b)
{
    return a < b ? b : a;
}
inline double minOf(double a, double b)
{
    return a < b ? a : b;
}

// A complex number over double or FloatExp.
template <class T> struct Complex {
    T re{}, im{};
};

template <class T> inline Complex<T> operator+(Complex<T> a, Complex<T> b)
{
    return {a.re + b.re, a.im + b.im};
}
template <class T> inline Complex<T> operator*(Complex<T> a, Complex<T> b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
template <class T> inline T norm(Complex<T> a)
{
    return a.re * a.re + a.im * a.im;
}
template <class T> inline T magnitude(Complex<T> a)
{
    return sqrtOf(norm(a));
}

} // namespace explorer::deep
