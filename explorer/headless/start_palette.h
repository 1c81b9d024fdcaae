// The explorer's start-up palette as a value, for passes drawn without the
// window: blue, cyan, green, yellow, red and magenta bands of 32 levels each
// getting darker, then very dark greys, and black for the set.
#pragma once

#include <array>
#include <cstdint>

namespace explorer::headless {

constexpr std::array<std::int32_t, 256> StartPalette()
{
    std::array<std::int32_t, 256> p{};
    const auto rgb = [](std::int32_t r, std::int32_t g, std::int32_t b) {
        return r + 256 * g + 65536 * b;
    };
    for (std::int32_t i = 0; i <= 31; ++i) {
        const std::int32_t s = 255 - 6 * i;
        p[std::size_t(1 + i)] = rgb(0, 0, s);
        p[std::size_t(33 + i)] = rgb(0, s, s);
        p[std::size_t(65 + i)] = rgb(0, s, 0);
        p[std::size_t(97 + i)] = rgb(s, s, 0);
        p[std::size_t(129 + i)] = rgb(s, 0, 0);
        p[std::size_t(161 + i)] = rgb(s, 0, s);
    }
    for (std::int32_t i = 1; i <= 63; ++i)
        p[std::size_t(192 + i)] = rgb(i, i, i);
    p[0] = rgb(0, 0, 0);
    return p;
}

} // namespace explorer::headless
