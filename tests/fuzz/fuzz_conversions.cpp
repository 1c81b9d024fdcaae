// Fuzz target: the calculator's conversions. Typed text becomes currency or
// the overflow error; every text form parses back to the value it shows.
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "calculator/conversions.h"
#include "toolkit/runtime_error.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

template <class F> bool raisesOverflowOr(F f)
{
    try {
        f();
        return true;
    } catch (const tk::RuntimeError& e) {
        check(e.number() == tk::ErrOverflow);
        return false;
    }
}

void currencyRoundTrip(calculator::Currency c)
{
    const QString text = calculator::CurrencyText(c);
    check(calculator::CurrencyFromText(text) == c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    calculator::Currency c = 0;
    if (raisesOverflowOr([&] { c = calculator::CurrencyFromText(text); }))
        currencyRoundTrip(c);
    std::int32_t months = 0;
    raisesOverflowOr([&] { months = tk::RoundToInt32(tk::Val(text)); });
    check(tk::Val(calculator::IntegerText(months)) == months);

    if (size >= 8) {
        double v;
        std::memcpy(&v, data, sizeof v);
        calculator::Currency fromDouble = 0;
        if (raisesOverflowOr([&] { fromDouble = calculator::ToCurrency(v); })) {
            // Within half a ten-thousandth, plus the rounding of the double.
            const double back = calculator::CurrencyToDouble(fromDouble);
            check(std::fabs(back - v) <= 0.00005 + std::fabs(v) * 1e-15);
            currencyRoundTrip(fromDouble);
        }
        if (std::isfinite(v)) {
            const QString shown = calculator::DoubleText(v);
            check(!shown.startsWith(u' '));
            double back = 0;
            if (raisesOverflowOr([&] { back = tk::Val(shown); }) && std::fabs(v) >= 1e-300)
                check(std::fabs(back - v) <= std::fabs(v) * 1.1e-14);
        }
    }
    if (size >= 8) {
        std::int64_t raw;
        std::memcpy(&raw, data, sizeof raw);
        currencyRoundTrip(raw);
    }
    return 0;
}
