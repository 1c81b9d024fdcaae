// Leading-number parse, signed number text and the checked arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace {

TEST(Val, LeadingNumber)
{
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"-2.5", -2.5}, {"1.5e-3", 0.0015}, {"1,5", 1},   {"", 0},          {"-", 0},
        {".", 0},       {"x1", 0},          {"  42", 42}, {"\t-7", -7},     {"+3", 3},
        {".5", 0.5},    {"5.", 5},          {"1e", 1},    {"1e+", 1},       {"2E2", 200},
        {"1.2.3", 1.2}, {"3e-2x", 0.03},    {"0.1", 0.1}, {"-0", 0},        {"12abc", 12},
        {"1e-400", 0},  {"- 5", 0},         {" 4", 4},    {"1.5e+3", 1500},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tk::Val(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

TEST(Val, IsCorrectlyRoundedAndLocaleFree)
{
    // The decimal texts of doubles must come back to the same double.
    for (double v : {0.1, -0.7454, 0.11315, 1.0 / 3.0, 6.02214076e23, 2.2250738585072014e-308})
        EXPECT_EQ(tk::Val(QString::number(v, 'g', 17)), v);
    setlocale(LC_ALL, "de_DE.UTF-8"); // a decimal comma locale, where installed
    EXPECT_EQ(tk::Val("2.5"), 2.5);
    setlocale(LC_ALL, "C");
}

TEST(Val, BeyondDoubleRangeRaisesOverflow)
{
    for (const char* text : {"1e999", "-1e400", "99999e99999"}) {
        try {
            tk::Val(QString::fromLatin1(text));
            ADD_FAILURE() << text << " gave no error";
        } catch (const tk::RuntimeError& e) {
            EXPECT_EQ(e.number(), tk::ErrOverflow) << text;
        }
    }
}

TEST(Str, SignedNumberText)
{
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {4, " 4"},
        {-4, "-4"},
        {0, " 0"},
        {-0.0, " 0"},
        {8, " 8"},
        {2.5, " 2.5"},
        {-0.5, "-0.5"},
        {0.0015, " 0.0015"},
        {1e-5, " 0.00001"},
        {1.5e-7, " 1.5E-07"},
        {123456789012345, " 123456789012345"},
        {1e15, " 1E+15"},
        {-1.25e20, "-1.25E+20"},
        {0.1 + 0.2, " 0.3"},
        {1.0 / 3.0, " 0.333333333333333"},
        {2.0 / 3.0, " 0.666666666666667"},
        {-0.7454, "-0.7454"},
        {1e300, " 1E+300"},
        {99999999999999.99, " 100000000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tk::Str(c.value).toStdString(), c.text) << c.value;
}

TEST(Str, ParsesBackWithinFifteenDigits)
{
    for (double v : {-4.0, 0.11315, -0.7452, 1e-9, 3.14159265358979, 123.456e100}) {
        const double back = tk::Val(tk::Str(v));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << v;
    }
}

// Found by fuzzing: the 15-digit text of the largest doubles rounded past
// the range and could not be parsed back.
TEST(Str, TopOfTheRangeParsesBack)
{
    const double max = std::numeric_limits<double>::max();
    for (double v : {max, -max, std::nextafter(max, 0.0), 1.797693134862315e308}) {
        const QString text = tk::Str(v);
        EXPECT_NO_THROW(tk::Val(text)) << text.toStdString();
    }
    EXPECT_EQ(tk::Str(-max).toStdString(), "-1.79769313486231E+308");
    EXPECT_EQ(tk::Str(1.79769313486231e308).toStdString(), " 1.79769313486231E+308");
}

TEST(Rounding, HalvesToEvenAndOverflow)
{
    EXPECT_EQ(tk::RoundToInt32(0.5), 0);
    EXPECT_EQ(tk::RoundToInt32(1.5), 2);
    EXPECT_EQ(tk::RoundToInt32(2.5), 2);
    EXPECT_EQ(tk::RoundToInt32(-2.5), -2);
    EXPECT_EQ(tk::RoundToInt32(12.5), 12);
    EXPECT_EQ(tk::RoundToInt32(13.5), 14);
    EXPECT_EQ(tk::RoundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(tk::RoundToInt32(-2147483648.4), -2147483647 - 1);
    for (double bad : {2147483647.5, -2147483648.6, 1e10, std::nan("")})
        EXPECT_THROW(tk::RoundToInt32(bad), tk::RuntimeError) << bad;
    EXPECT_EQ(tk::Div(-335, 2), -167);
    EXPECT_EQ(tk::RGB(1, 1, 1), 65793);
}

TEST(CheckedArithmetic, DivisionAndOverflow)
{
    EXPECT_EQ(tk::Divide(1, 4), 0.25);
    auto errorOf = [](auto f) {
        try {
            f();
        } catch (const tk::RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf([] { tk::Divide(1, 0); }), tk::ErrDivisionByZero);
    EXPECT_EQ(errorOf([] { tk::Divide(0, 0); }), tk::ErrOverflow);
    EXPECT_EQ(errorOf([] { tk::Divide(1e300, 1e-300); }), tk::ErrOverflow);
    EXPECT_EQ(errorOf([] { tk::CheckFloat(std::numeric_limits<double>::max() * 2); }),
              tk::ErrOverflow);
    EXPECT_EQ(errorOf([] { tk::CheckFloat(std::nan("")); }), tk::ErrOverflow);
    EXPECT_EQ(tk::CheckFloat(1e-320), 1e-320) << "underflow is no error";
}

} // namespace
