// The deep view's text in and out, its pixel values and its precision rule,
// and the input it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "explorer/engine/deep/deep_view.h"

namespace deep = explorer::deep;
using deep::DeepView;
using deep::Mpfr;

namespace {

// `n` random decimal digits, the first not 0.
std::string randomDigits(std::mt19937_64& rng, int n)
{
    std::string s(1, char('1' + rng() % 9));
    for (int i = 1; i < n; ++i)
        s += char('0' + rng() % 10);
    return s;
}

bool sameValue(const Mpfr& a, const Mpfr& b)
{
    return mpfr_equal_p(a.get(), b.get()) != 0;
}

TEST(DeepView, FieldsOfATinyViewReadBackToTheSameBounds)
{
    std::mt19937_64 rng(7);
    // A view about 1e-300 wide and high near -0.75 + 0.1i: bounds of about
    // 300 digits, the last ones random.
    const std::string common = randomDigits(rng, 299);
    auto bound = [&](const char* head, const char* tail) { return head + common + tail; };
    const DeepView v = *DeepView::fromText(bound("-0.75", "123"), bound("-0.75", "527"),
                                           bound("0.1", "204"), bound("0.1", "507"));
    const deep::FieldTexts f = v.fields();
    const auto back = DeepView::fromFields(f);
    ASSERT_TRUE(back);
    EXPECT_TRUE(sameValue(back->xMin(), v.xMin())) << f[0];
    EXPECT_TRUE(sameValue(back->xMax(), v.xMax())) << f[1];
    EXPECT_TRUE(sameValue(back->yMin(), v.yMin())) << f[2];
    EXPECT_TRUE(sameValue(back->yMax(), v.yMax())) << f[3];
    // And the texts themselves are stable.
    EXPECT_EQ(back->fields(), f);
    EXPECT_GT(v.log10Magnification(), 299);
}

TEST(DeepView, EveryTypedDigitComesBack)
{
    // Seventy typed digits on a view much wider than they need.
    std::mt19937_64 rng(5);
    const std::string typed = "-1." + randomDigits(rng, 68) + "7";
    ASSERT_EQ(deep::significantDigits(typed), 70);
    const auto v = DeepView::fromText(typed, "-1.7", "-0.1", "0.1");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->boundText(0), typed);
    EXPECT_EQ(v->fields()[0], typed);
}

TEST(DeepView, FewTypedDigitsBesideManyShowAsTyped)
{
    // XMin "0.1" beside an XMax 1e-60 away: no binary noise in its text.
    const std::string xMax = "0.1" + std::string(59, '0') + "1";
    const auto v = DeepView::fromText("0.1", xMax, "0", "1e-60");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->boundText(0), "0.1");
    EXPECT_EQ(v->boundText(1), xMax);
}

struct DigitsCase {
    int log10Width;
    int minDigits, maxDigits;
};

class ShownDigits : public ::testing::TestWithParam<DigitsCase> {};

TEST_P(ShownDigits, AreWhatTellsTheEdgesApart)
{
    const DigitsCase k = GetParam();
    // Bounds worked out by arithmetic (as a zoom makes them): a third and
    // a seventh of the width from -0.5, far more bits than the view needs.
    const mpfr_prec_t bits = 8000;
    Mpfr w(bits), lo(bits), hi(bits), y0(bits), y1(bits);
    mpfr_set_str(w.get(), ("1e" + std::to_string(k.log10Width)).c_str(), 10, MPFR_RNDN);
    mpfr_div_ui(lo.get(), w.get(), 3, MPFR_RNDN);
    mpfr_sub_d(lo.get(), lo.get(), 0.5, MPFR_RNDN);
    mpfr_div_ui(hi.get(), w.get(), 7, MPFR_RNDN);
    mpfr_add(hi.get(), hi.get(), w.get(), MPFR_RNDN);
    mpfr_add(hi.get(), hi.get(), lo.get(), MPFR_RNDN);
    mpfr_set_d(y0.get(), 0.25, MPFR_RNDN);
    mpfr_add(y1.get(), y0.get(), w.get(), MPFR_RNDN);
    const auto v = DeepView::fromBounds(lo, hi, y0, y1);
    ASSERT_TRUE(v);
    const std::string shown = v->boundText(0);
    const int digits = deep::significantDigits(shown);
    EXPECT_GE(digits, k.minDigits) << shown;
    EXPECT_LE(digits, k.maxDigits) << shown;
    // What is shown lies within a millionth of the width of the bound.
    Mpfr back(bits), diff(bits);
    mpfr_set_str(back.get(), shown.c_str(), 10, MPFR_RNDN);
    mpfr_sub(diff.get(), back.get(), lo.get(), MPFR_RNDN);
    mpfr_div(diff.get(), diff.get(), w.get(), MPFR_RNDN);
    EXPECT_LT(std::fabs(mpfr_get_d(diff.get(), MPFR_RNDN)), 1e-6) << shown;
}

INSTANTIATE_TEST_SUITE_P(Widths, ShownDigits,
                         ::testing::Values(DigitsCase{-1, 7, 17}, DigitsCase{-20, 20, 28},
                                           DigitsCase{-60, 60, 68}, DigitsCase{-300, 300, 308}));

TEST(DeepView, PixelsFollowTheMappingExactly)
{
    std::mt19937_64 rng(3);
    const std::string x0 = "-0." + randomDigits(rng, 120), x1 = x0 + "7";
    const std::string y0 = "0." + randomDigits(rng, 120), y1 = y0 + "5";
    const auto v = DeepView::fromText(x0, x1, y0, y1);
    ASSERT_TRUE(v);
    const int lastCol = 159, lastRow = 119;
    const mpfr_prec_t bits = v->precisionFor(lastCol + 1, lastRow + 1);
    EXPECT_TRUE(sameValue(v->column(0, lastCol, 2000), v->xMin()));
    EXPECT_TRUE(sameValue(v->column(lastCol, lastCol, 2000), v->xMax()));
    EXPECT_TRUE(sameValue(v->row(0, lastRow, 2000), v->yMax()));
    EXPECT_TRUE(sameValue(v->row(lastRow, lastRow, 2000), v->yMin()));
    // Column 57 against the mapping worked out with far more bits.
    Mpfr exact(4000), step(4000);
    mpfr_sub(step.get(), v->xMax().get(), v->xMin().get(), MPFR_RNDN);
    mpfr_mul_ui(step.get(), step.get(), 57, MPFR_RNDN);
    mpfr_div_ui(step.get(), step.get(), lastCol, MPFR_RNDN);
    mpfr_add(exact.get(), v->xMin().get(), step.get(), MPFR_RNDN);
    exact.setBits(bits);
    EXPECT_TRUE(sameValue(v->column(57, lastCol, bits), exact));
    // Neighbouring pixels differ at the precision the rule gives.
    EXPECT_FALSE(sameValue(v->column(57, lastCol, bits), v->column(58, lastCol, bits)));
}

struct DepthCase {
    int log10Width;
    int height;
};

class PrecisionRule : public ::testing::TestWithParam<DepthCase> {};

TEST_P(PrecisionRule, FollowsTheDepth)
{
    const DepthCase k = GetParam();
    const std::string w = "1e" + std::to_string(k.log10Width);
    const auto v = DeepView::fromText(
        "0", w, "1", "1." + std::string(std::size_t(-k.log10Width - 1), '0') + "1");
    ASSERT_TRUE(v);
    // log2(magnification x canvas height) + 64, the bounds being near 1.
    const double expected = -k.log10Width * std::log2(10.0) + std::log2(k.height) + 64;
    const long bits = long(v->precisionFor(k.height * 4 / 3, k.height));
    EXPECT_NEAR(double(bits), expected, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Depths, PrecisionRule,
                         ::testing::Values(DepthCase{-20, 120}, DepthCase{-60, 120},
                                           DepthCase{-300, 810}, DepthCase{-1000, 810}));

struct BadInput {
    const char* name;
    std::string xMin, xMax, yMin, yMax;
    const char* message; // part of the refusal
};

TEST(DeepView, RefusesWhatIsNoView)
{
    const std::string tooDeep = "1e-100001";
    const BadInput cases[] = {
        {"letters", "abc", "1", "0", "1", "XMin is not a number"},
        {"trailing text", "0", "1x", "0", "1", "XMax is not a number"},
        {"empty", "0", "1", "", "1", "YMin is not a number"},
        {"no width", "0.5", "0.5", "0", "1", "no width"},
        {"beyond 1e100000", "0", tooDeep, "0", tooDeep, "deeper than"},
        {"too long", std::string(300000, '1'), "1", "0", "1", "characters"},
    };
    for (const BadInput& c : cases) {
        std::string error;
        EXPECT_FALSE(DeepView::fromText(c.xMin, c.xMax, c.yMin, c.yMax, &error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

TEST(DeepView, AHundredThousandDigitFieldIsReadWhole)
{
    std::mt19937_64 rng(11);
    const std::string huge = "0." + randomDigits(rng, 99999) + "3";
    const auto v = DeepView::fromText(huge, "0.9", "0", "0.1");
    ASSERT_TRUE(v);
    // Every digit reads back.
    EXPECT_EQ(v->boundText(0), huge);
}

} // namespace
