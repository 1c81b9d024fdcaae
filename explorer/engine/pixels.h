// Levels to pixels: a row of levels looked up in a table of 256 pixel values
// (the palette, converted once), in vector code where the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace explorer::engine {

// out[i] = table[levels[i]] for i < n.
void levelsToPixels(const std::uint8_t* levels, const std::uint32_t* table, std::uint32_t* out,
                    std::size_t n);

} // namespace explorer::engine
