// Choosing between a double and a deep view (see chosen_view.h).
#include "chosen_view.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace explorer::headless {

namespace {

constexpr int MaxDoubleDigits = 17; // significant digits a double holds

// Exactly what the command line always read: strtod in the C locale.
std::optional<double> plainDouble(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<deep::Mpfr> decimal(const std::string& text)
{
    if (text.empty() || text.size() > deep::MaxFieldCharacters ||
        deep::significantDigits(text) == 0)
        return std::nullopt;
    deep::Mpfr m(mpfr_prec_t(text.size()) * 4 + 64);
    char* end = nullptr;
    mpfr_strtofr(m.get(), text.c_str(), &end, 10, MPFR_RNDN);
    if (end != text.c_str() + text.size() || !mpfr_number_p(m.get()))
        return std::nullopt;
    return m;
}

PlaneRect nearestDoubles(const deep::DeepView& v)
{
    return {mpfr_get_d(v.xMin().get(), MPFR_RNDN), mpfr_get_d(v.xMax().get(), MPFR_RNDN),
            mpfr_get_d(v.yMin().get(), MPFR_RNDN), mpfr_get_d(v.yMax().get(), MPFR_RNDN)};
}

} // namespace

std::optional<double> NearestDouble(const std::string& text)
{
    if (const auto d = plainDouble(text))
        return d;
    const auto m = decimal(text);
    if (!m)
        return std::nullopt;
    const double d = mpfr_get_d(m->get(), MPFR_RNDN);
    return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

bool IsDecimalNumber(const std::string& text)
{
    return plainDouble(text) || decimal(text);
}

bool LongerThanDoubles(const std::string& text)
{
    return !plainDouble(text) || deep::significantDigits(text) > MaxDoubleDigits;
}

std::optional<ChosenView> ChooseView(const BoundTexts& texts, int width, int height,
                                     std::string* error)
{
    bool plain = true;
    PlaneRect doubles{};
    double* slots[4] = {&doubles.xMin, &doubles.xMax, &doubles.yMin, &doubles.yMax};
    for (int i = 0; i < 4; ++i) {
        const auto d = plainDouble(texts[std::size_t(i)]);
        plain = plain && d && !LongerThanDoubles(texts[std::size_t(i)]);
        if (d)
            *slots[i] = *d;
    }
    std::string why;
    const auto deepView = deep::DeepView::fromText(texts[0], texts[1], texts[2], texts[3], &why);
    // Doubles that hold the view on this canvas draw it as they always did
    // (a view of no extent included: the pass says what that gives).
    if (plain && (!deepView || !deep::beyondDoubles(*deepView, width - 1, height - 1)))
        return ChosenView{doubles, std::nullopt, true};
    if (!deepView) {
        if (error)
            *error = why;
        return std::nullopt;
    }
    return ChosenView{plain ? doubles : nearestDoubles(*deepView), deepView, plain};
}

std::optional<ChosenView> ChooseView(const deep::DeepView& view, int width, int height,
                                     std::string* error)
{
    return ChooseView(
        BoundTexts{view.boundText(0), view.boundText(1), view.boundText(2), view.boundText(3)},
        width, height, error);
}

bool TakesDeepPass(const ChosenView& view, int width, int height)
{
    return view.deep && deep::beyondDoubles(*view.deep, width - 1, height - 1);
}

} // namespace explorer::headless
