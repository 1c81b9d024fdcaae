// Fuzz target: the leading-number parse and the signed number text. Any
// text must parse without crashing to a finite value or the overflow
// error, and the text of a value must parse back to it within the fifteen
// significant digits the text keeps.
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void roundTrip(double v)
{
    if (!std::isfinite(v))
        return;
    const QString text = tk::Str(v);
    check(text.size() >= 2 && (text[0] == u' ' || text[0] == u'-'));
    check((text[0] == u'-') == (v < 0));
    const double back = tk::Val(text);
    check(std::isfinite(back));
    // 15 significant digits: the text is within half a unit of its 15th
    // digit, and the parse adds at most one rounding of its own.
    // (Subnormals have fewer digits of their own, so skip them.)
    const double a = std::fabs(v);
    if (a >= 1e-300) {
        const double digitUnit = std::pow(10.0, std::floor(std::log10(a) + 1e-12) - 14);
        const double ulp = std::nextafter(a, INFINITY) - a;
        // At the very top the text is held below the largest double, which
        // can cost up to a whole unit of the last digit.
        const double allowed = a > 1.79769313486231e308 ? digitUnit : 0.5 * digitUnit;
        check(std::fabs(back - v) <= allowed + ulp);
    }
    // The text of the parsed value is the same text.
    check(tk::Str(back) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const double v = tk::Val(text);
        check(std::isfinite(v));
        roundTrip(v);
    } catch (const tk::RuntimeError& e) {
        check(e.number() == tk::ErrOverflow);
    }
    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        roundTrip(v);
    }
    return 0;
}
