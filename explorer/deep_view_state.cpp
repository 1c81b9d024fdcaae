// The deep view beside the double bounds: the field, lock, selection and
// wheel arithmetic in MPFR, and the switch between double and deep views.
#include "deep_view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "form1.h"
#include "toolkit/runtime_error.h"
#include "toolkit/scope_exit.h"
#include "view_file.h"

namespace explorer {

using deep::DeepView;
using deep::Mpfr;

namespace {

mpfr_prec_t widestBits(const DeepView& v)
{
    return std::max({v.xMin().bits(), v.xMax().bits(), v.yMin().bits(), v.yMax().bits()});
}

Mpfr fromDouble(double d)
{
    Mpfr m(53);
    mpfr_set_d(m.get(), d, MPFR_RNDN);
    return m;
}

// Decimal text as a number, with the bits its digits need; nothing when it
// is not a whole number in decimal notation.
std::optional<Mpfr> parsed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos || text.size() > deep::MaxFieldCharacters)
        return std::nullopt;
    const std::string trimmed = text.substr(first, text.find_last_not_of(' ') - first + 1);
    Mpfr m(mpfr_prec_t(trimmed.size()) * 4 + 64);
    if (mpfr_set_str(m.get(), trimmed.c_str(), 10, MPFR_RNDN) != 0 || !mpfr_number_p(m.get()))
        return std::nullopt;
    return m;
}

constexpr int MaxDoubleDigits = 17; // significant digits a double holds

bool longerThanDoubles(const DeepView& v)
{
    for (int i = 0; i < 4; ++i)
        if (deep::significantDigits(v.boundText(i)) > MaxDoubleDigits)
            return true;
    return false;
}

} // namespace

const DeepView* DeepViewState::current(const Form1& form) const
{
    return view_ && shadow_ == form.shownView() ? &*view_ : nullptr;
}

void DeepViewState::show(Form1& form, const DeepView& view)
{
    form.XMin = mpfr_get_d(view.xMin().get(), MPFR_RNDN);
    form.XMax = mpfr_get_d(view.xMax().get(), MPFR_RNDN);
    form.YMin = mpfr_get_d(view.yMin().get(), MPFR_RNDN);
    form.YMax = mpfr_get_d(view.yMax().get(), MPFR_RNDN);
    view_ = view;
    shadow_ = form.shownView();
}

bool DeepViewState::beyondDoubles(const DeepView& v, int lastCol, int lastRow)
{
    return deep::beyondDoubles(v, lastCol, lastRow);
}

std::optional<DeepView> DeepViewState::ofDoubles(const PlaneView& view)
{
    return DeepView::fromBounds(fromDouble(view.xMin), fromDouble(view.xMax), fromDouble(view.yMin),
                                fromDouble(view.yMax));
}

std::optional<DeepView> DeepViewState::reshaped(const DeepView& v, int follow)
{
    const mpfr_prec_t p = widestBits(v) + 72;
    Mpfr mid(p), half(p), lo(p), hi(p);
    if (follow == 0) { // the height follows the width
        mpfr_add(mid.get(), v.yMin().get(), v.yMax().get(), MPFR_RNDN);
        mpfr_div_2ui(mid.get(), mid.get(), 1, MPFR_RNDN);
        mpfr_sub(half.get(), v.xMax().get(), v.xMin().get(), MPFR_RNDN);
        mpfr_mul_ui(half.get(), half.get(), 3, MPFR_RNDN);
        mpfr_div_2ui(half.get(), half.get(), 3, MPFR_RNDN);
    } else { // the width follows the height
        mpfr_add(mid.get(), v.xMin().get(), v.xMax().get(), MPFR_RNDN);
        mpfr_div_2ui(mid.get(), mid.get(), 1, MPFR_RNDN);
        mpfr_sub(half.get(), v.yMax().get(), v.yMin().get(), MPFR_RNDN);
        mpfr_mul_ui(half.get(), half.get(), 2, MPFR_RNDN);
        mpfr_div_ui(half.get(), half.get(), 3, MPFR_RNDN);
    }
    mpfr_sub(lo.get(), mid.get(), half.get(), MPFR_RNDN);
    mpfr_add(hi.get(), mid.get(), half.get(), MPFR_RNDN);
    return follow == 0 ? DeepView::fromBounds(v.xMin(), v.xMax(), lo, hi)
                       : DeepView::fromBounds(lo, hi, v.yMin(), v.yMax());
}

bool DeepViewState::fieldTyped(Form1& form, int which, const std::string& text)
{
    if (writing_)
        return true;
    if (plain_)
        return false;
    const DeepView* deepNow = current(form);
    std::optional<DeepView> base =
        deepNow ? std::optional<DeepView>(*deepNow) : ofDoubles(form.shownView());
    if (!base)
        return false;
    const auto typed = parsed(text);
    std::optional<DeepView> next;
    std::string error;
    if (typed && which < 4) {
        // As text, so that the view shows at least the digits typed.
        // Over a double view, the other bounds as their fields show them:
        // what the user sees is what is typed against (not a rewrite's
        // hidden last digits).
        const tk::TextBox* shown[] = {form.Text1, form.Text2, form.Text3, form.Text4};
        std::array<std::string, 4> b;
        for (int i = 0; i < 4; ++i)
            b[std::size_t(i)] = i == which ? text
                                : deepNow  ? base->boundText(i)
                                           : shown[i]->Text().toStdString();
        next = DeepView::fromText(b[0], b[1], b[2], b[3], &error);
    } else if (typed) {
        // An extent: the axis keeps its centre.
        const bool x = which == 4;
        Mpfr centre = x ? base->centreX() : base->centreY();
        const mpfr_prec_t p = std::max(centre.bits(), typed->bits()) + 8;
        Mpfr half(p), lo(p), hi(p);
        mpfr_div_2ui(half.get(), typed->get(), 1, MPFR_RNDN);
        mpfr_sub(lo.get(), centre.get(), half.get(), MPFR_RNDN);
        mpfr_add(hi.get(), centre.get(), half.get(), MPFR_RNDN);
        next = x ? DeepView::fromBounds(lo, hi, base->yMin(), base->yMax(), &error)
                 : DeepView::fromBounds(base->xMin(), base->xMax(), lo, hi, &error);
    }
    // A whole number that makes the view too deep to draw is refused at
    // once, in words; half-typed text is not.
    if (typed && !next && error.find("deeper") != std::string::npos)
        throw tk::RuntimeError(tk::ErrBadInput, QStringLiteral("That view is too deep to draw: %1.")
                                                    .arg(QString::fromStdString(error)));
    if (next && form.KeepRatio == True) {
        const int follow = which == 0 || which == 1 || which == 4 ? 0 : 1;
        if (const auto shaped = reshaped(*next, follow)) {
            // Through text again, so that the axis typed keeps its typed
            // digits in the fields.
            std::array<std::string, 4> b;
            for (int i = 0; i < 4; ++i)
                b[std::size_t(i)] = (i / 2 == follow ? next : shaped)->boundText(i);
            next = DeepView::fromText(b[0], b[1], b[2], b[3]);
        }
    }
    if (!deepNow) {
        // A double view stays one unless the typed view needs more: pixels
        // closer than doubles tell apart, or more digits than they hold.
        if (!next || (!beyondDoubles(*next, form.LastCol, form.LastRow) &&
                      deep::significantDigits(text) <= MaxDoubleDigits))
            return false;
        show(form, *next);
        return true;
    }
    // A deep view keeps every digit of the other bounds while a number is
    // being typed (half-typed text changes nothing); whether it still needs
    // to be deep is decided when the fields are written or a pass starts.
    if (next) {
        show(form, *next);
    } else if (typed) {
        // A whole number the deep view cannot take (no width or no height):
        // the view goes back to doubles and the handlers take it as always.
        clear();
        return false;
    }
    return true;
}

bool DeepViewState::writeFields(Form1& form)
{
    const DeepView* deepNow = current(form);
    if (!deepNow)
        return false;
    if (!beyondDoubles(*deepNow, form.LastCol, form.LastRow) && !longerThanDoubles(*deepNow)) {
        // Typed back to a view that doubles resolve: from here the bounds
        // are their doubles, as for any other such view.
        clear();
        return false;
    }
    const DeepView view = *deepNow;
    const QStringList texts = FieldsOfDeepView(view);
    {
        writing_ = true;
        const tk::ScopeExit done{[&] { writing_ = false; }};
        tk::TextBox* boxes[] = {form.Text1, form.Text2, form.Text3,
                                form.Text4, form.Text5, form.Text6};
        for (int i = 0; i < 6; ++i)
            boxes[i]->setText(texts[i]);
    }
    show(form, view);
    return true;
}

bool DeepViewState::lockRatio(Form1& form)
{
    const DeepView* deepNow = current(form);
    if (!deepNow)
        return false;
    const mpfr_prec_t p = widestBits(*deepNow) + 8;
    Mpfr w(p), h(p);
    mpfr_sub(w.get(), deepNow->xMax().get(), deepNow->xMin().get(), MPFR_RNDN);
    mpfr_sub(h.get(), deepNow->yMax().get(), deepNow->yMin().get(), MPFR_RNDN);
    mpfr_mul_ui(w.get(), w.get(), 3, MPFR_RNDN); // w > 4/3 h  <=>  3w > 4h
    mpfr_mul_ui(h.get(), h.get(), 4, MPFR_RNDN);
    if (const auto next = reshaped(*deepNow, mpfr_greater_p(w.get(), h.get()) ? 0 : 1))
        show(form, *next);
    return true;
}

void DeepViewState::saveForSelection(const Form1& form)
{
    const DeepView* deepNow = current(form);
    saved_ = deepNow ? std::optional<DeepView>(*deepNow) : std::nullopt;
    savedShadow_ = shadow_;
}

void DeepViewState::restoreSelection(Form1& form)
{
    if (saved_ && savedShadow_ == form.shownView()) {
        view_ = saved_;
        shadow_ = savedShadow_;
    } else {
        clear();
    }
}

bool DeepViewState::selectionReleased(Form1& form, int left, int right, int top, int bottom)
{
    const DeepView* deepNow = current(form);
    const std::optional<DeepView> base =
        deepNow ? std::optional<DeepView>(*deepNow) : ofDoubles(form.shownView());
    if (!base)
        return false;
    const int lastCol = std::max(form.LastCol, 1), lastRow = std::max(form.LastRow, 1);
    const mpfr_prec_t bits =
        std::max(base->precisionFor(lastCol + 1, lastRow + 1), widestBits(*base)) + 32;
    // The pass's own pixel mapping: the edge pixels become the new first
    // and last ones.
    const auto next =
        DeepView::fromBounds(base->column(left, lastCol, bits), base->column(right, lastCol, bits),
                             base->row(bottom, lastRow, bits), base->row(top, lastRow, bits));
    if (!deepNow && (!next || !beyondDoubles(*next, lastCol, lastRow)))
        return false;
    if (next)
        show(form, *next); // a band of no extent leaves the view as it was
    return true;
}

std::optional<DeepView> DeepViewState::zoomedAbout(const DeepView& shown, double x, double y,
                                                   int lastCol, int lastRow, int notches,
                                                   std::string* error)
{
    lastCol = std::max(lastCol, 1);
    lastRow = std::max(lastRow, 1);
    const mpfr_prec_t p =
        std::max(shown.precisionFor(lastCol + 1, lastRow + 1), widestBits(shown)) +
        std::abs(notches) + 32;
    Mpfr re(p), im(p), t(p), xMin(p), xMax(p), yMin(p), yMax(p);
    // The plane point under the pointer: XMin + x (XMax - XMin) / lastCol.
    mpfr_sub(t.get(), shown.xMax().get(), shown.xMin().get(), MPFR_RNDN);
    mpfr_mul_d(t.get(), t.get(), x, MPFR_RNDN);
    mpfr_div_si(t.get(), t.get(), lastCol, MPFR_RNDN);
    mpfr_add(re.get(), shown.xMin().get(), t.get(), MPFR_RNDN);
    mpfr_sub(t.get(), shown.yMin().get(), shown.yMax().get(), MPFR_RNDN);
    mpfr_mul_d(t.get(), t.get(), y, MPFR_RNDN);
    mpfr_div_si(t.get(), t.get(), lastRow, MPFR_RNDN);
    mpfr_add(im.get(), shown.yMax().get(), t.get(), MPFR_RNDN);
    // Each edge's distance from that point scaled by 2^-notches.
    const auto edge = [&](Mpfr& out, const Mpfr& bound, const Mpfr& centre) {
        mpfr_sub(t.get(), bound.get(), centre.get(), MPFR_RNDN);
        mpfr_mul_2si(t.get(), t.get(), -notches, MPFR_RNDN);
        mpfr_add(out.get(), centre.get(), t.get(), MPFR_RNDN);
    };
    edge(xMin, shown.xMin(), re);
    edge(xMax, shown.xMax(), re);
    edge(yMin, shown.yMin(), im);
    edge(yMax, shown.yMax(), im);
    return DeepView::fromBounds(xMin, xMax, yMin, yMax, error);
}

} // namespace explorer
