// Deep views the window tests draw: long bounds about 0.3 + 0.6i, and views
// inside the main cardioid whose every pixel runs to the limit.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "explorer/engine/deep/deep_view.h"

namespace {

// Decimal digits to build long bounds from.
const std::string Digits = [] {
    std::string d;
    while (d.size() < 100100)
        d += "1415926535897932384626433832795028841971693993751058209749445923";
    return d;
}();

// A view of 4:3 about 0.3 + 0.6i whose bounds first differ at decimal
// place `place` (extent about 10^-place), each with `length` decimals.
inline explorer::deep::DeepView longView(int place, int length)
{
    const auto bound = [&](char lead, char atPlace) {
        std::string s = std::string("0.") + lead + Digits.substr(1, std::size_t(length - 1));
        s[std::size_t(place + 1)] = atPlace;
        return s;
    };
    auto v = explorer::deep::DeepView::fromText(bound('3', '1'), bound('3', '5'), bound('6', '1'),
                                                bound('6', '4'));
    EXPECT_TRUE(v.has_value());
    return *v;
}

// A 4:3 view about 0.1 + 0.1i, inside the main cardioid, whose bounds first
// differ at decimal place `place`: every pixel runs to the limit, so its
// levels take long enough to be cancelled on any machine.
inline explorer::deep::DeepView interiorView(int place)
{
    const auto bound = [&](char last) {
        return "0.1" + std::string(std::size_t(place - 2), '0') + last;
    };
    auto v = explorer::deep::DeepView::fromText(bound('1'), bound('5'), bound('1'), bound('4'));
    EXPECT_TRUE(v.has_value());
    return *v;
}

} // namespace
