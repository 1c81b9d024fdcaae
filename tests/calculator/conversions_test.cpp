// Currency from text and from doubles, and the calculator's text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calculator/conversions.h"
#include "toolkit/runtime_error.h"

namespace {

constexpr calculator::Currency MaxCurrency = std::numeric_limits<calculator::Currency>::max();
constexpr calculator::Currency MinCurrency = std::numeric_limits<calculator::Currency>::min();

bool overflows(auto&& convert)
{
    try {
        convert();
    } catch (const tk::RuntimeError& e) {
        return e.number() == tk::ErrOverflow;
    }
    return false;
}

TEST(CurrencyFromText, ReadsTheLeadingNumberAsValDoes)
{
    const struct {
        const char* text;
        calculator::Currency expected;
    } cases[] = {
        {"1000", 10000000}, {"  -12.5", -125000},
        {"+3", 30000},      {"7.5%", 75000},
        {"$1000", 0},       {"", 0},
        {".", 0},           {"-.25", -2500},
        {"1,000", 10000},   {"1e3", 10000000},
        {"1.5E-2", 150},    {"2e", 20000},
        {"2e+x", 20000},    {"0.00001e5", 10000},
        {"1.2.3", 12000},   {"000123.4500", 1234500},
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculator::CurrencyFromText(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(CurrencyFromText, RoundsTheTypedDigitsToTenThousandthsTiesToEven)
{
    const struct {
        const char* text;
        calculator::Currency expected;
    } cases[] = {
        {"0.00005", 0},                               // tie, 0 is even
        {"0.00015", 2},                               // tie, 2 is even
        {"0.00025", 2},                               // tie
        {"-0.00015", -2},                             // ties are symmetric
        {"0.000050000001", 1},                        // above the tie
        {"0.00004999999999", 0},                      // below it
        {"1.23456", 12346},                           // plain rounding up
        {"0.000001", 0},                              // far below a ten-thousandth
        {"99.99995", 1000000},                        // carries into the whole part
        {"12345678901234.56785", 123456789012345678}, // beyond a double's digits
    };
    for (const auto& c : cases)
        EXPECT_EQ(calculator::CurrencyFromText(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(CurrencyFromText, RaisesOverflowBeyondTheRangeOnly)
{
    EXPECT_EQ(calculator::CurrencyFromText("922337203685477.5807"), MaxCurrency);
    EXPECT_EQ(calculator::CurrencyFromText("-922337203685477.5808"), MinCurrency);
    EXPECT_EQ(calculator::CurrencyFromText("922337203685477.58074999"), MaxCurrency);
    EXPECT_EQ(calculator::CurrencyFromText("1e-400"), 0);
    EXPECT_EQ(calculator::CurrencyFromText("0e99999999999"), 0);
    for (const char* text :
         {"922337203685477.5808", "922337203685477.58075", "-922337203685477.5809", "1e15", "1e400",
          "1e99999999999", "12345678901234567890123"})
        EXPECT_TRUE(overflows([&] { calculator::CurrencyFromText(QString::fromLatin1(text)); }))
            << text;
}

TEST(ToCurrency, RoundsTheExactBinaryValueTiesToEven)
{
    // 0.03125 and 0.09375 are exact binary ties between two ten-thousandths.
    EXPECT_EQ(calculator::ToCurrency(0.03125), 312);
    EXPECT_EQ(calculator::ToCurrency(0.09375), 938);
    EXPECT_EQ(calculator::ToCurrency(-0.03125), -312);
    // The double nearest 0.00005 lies just above it, so it rounds up; a
    // product x * 10000 would round to 0.5 first and then down to 0.
    EXPECT_EQ(calculator::ToCurrency(0.00005), 1);
    EXPECT_EQ(calculator::ToCurrency(1000.01363), 10000136);
    EXPECT_EQ(calculator::ToCurrency(1200.0), 12000000);
    EXPECT_EQ(calculator::ToCurrency(-0.0), 0);
    EXPECT_EQ(calculator::ToCurrency(922337203685477.5), MaxCurrency - 807);
}

TEST(ToCurrency, RaisesOverflowForValuesOutsideTheRange)
{
    for (double v : {922337203685477.625, -922337203685477.75, 1e300, -1e16,
                     std::numeric_limits<double>::infinity(), std::nan("")})
        EXPECT_TRUE(overflows([&] { calculator::ToCurrency(v); })) << v;
}

TEST(CurrencyToDouble, GivesTheNearestDouble)
{
    EXPECT_EQ(calculator::CurrencyToDouble(10000136), 1000.0136);
    EXPECT_EQ(calculator::CurrencyToDouble(-5000), -0.5);
    EXPECT_EQ(calculator::CurrencyToDouble(0), 0.0);
    // Above 2^53 ten-thousandths a conversion to double and a division
    // would round twice; the nearest double of the decimal value is wanted.
    EXPECT_EQ(calculator::CurrencyToDouble(MaxCurrency), 922337203685477.5807);
    EXPECT_EQ(calculator::CurrencyToDouble(MinCurrency), -922337203685477.5808);
    EXPECT_EQ(calculator::CurrencyToDouble(9007199254740993), 900719925474.0993);
}

TEST(TextForms, CurrencyText)
{
    EXPECT_EQ(calculator::CurrencyText(10000136), "1000.0136");
    EXPECT_EQ(calculator::CurrencyText(12000000), "1200");
    EXPECT_EQ(calculator::CurrencyText(12345000), "1234.5");
    EXPECT_EQ(calculator::CurrencyText(1), "0.0001");
    EXPECT_EQ(calculator::CurrencyText(-5000), "-0.5");
    EXPECT_EQ(calculator::CurrencyText(0), "0");
    EXPECT_EQ(calculator::CurrencyText(MaxCurrency), "922337203685477.5807");
    EXPECT_EQ(calculator::CurrencyText(MinCurrency), "-922337203685477.5808");
}

TEST(TextForms, DoubleTextHasFifteenDigitsAndNoLeadingBlank)
{
    EXPECT_EQ(calculator::DoubleText(12.0), "12");
    EXPECT_EQ(calculator::DoubleText(1000.0 / 12.0), "83.3333333333333");
    EXPECT_EQ(calculator::DoubleText(665.3024951791870), "665.302495179187");
    EXPECT_EQ(calculator::DoubleText(-0.5), "-0.5");
    EXPECT_EQ(calculator::DoubleText(0.0), "0");
    EXPECT_EQ(calculator::DoubleText(0.1 + 0.2), "0.3");
}

TEST(TextForms, DoubleTextUsesTheExponentFormBelowOneTenThousandth)
{
    EXPECT_EQ(calculator::DoubleText(0.0001), "0.0001");
    EXPECT_EQ(calculator::DoubleText(0.000123), "0.000123");
    EXPECT_EQ(calculator::DoubleText(1.19797822328849e-05), "1.19797822328849E-05");
    EXPECT_EQ(calculator::DoubleText(-2.5e-5), "-2.5E-05");
    EXPECT_EQ(calculator::DoubleText(1e-5), "1E-05");
    EXPECT_EQ(calculator::DoubleText(7.18779009645232e-06), "7.18779009645232E-06");
    // Rounded to 15 digits it is 0.0001, written as such.
    EXPECT_EQ(calculator::DoubleText(9.9999999999999991e-05), "0.0001");
}

TEST(TextForms, IntegerText)
{
    EXPECT_EQ(calculator::IntegerText(360), "360");
    EXPECT_EQ(calculator::IntegerText(0), "0");
    EXPECT_EQ(calculator::IntegerText(-7), "-7");
    EXPECT_EQ(calculator::IntegerText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

} // namespace
