// The programs' flag type: a signed 16-bit integer with every bit set for
// true, so that a toggle is the bitwise complement. Shared by both windows.
#pragma once

#include <cstdint>

namespace tk {

using Flag = std::int16_t;
constexpr Flag True = -1;
constexpr Flag False = 0;

} // namespace tk
