// The picture of a pass's levels as File > Export View writes it: palette
// colours, black where a pixel is not done, and the view in PNG text chunks.
// Shared by the window's export and the command line; needs no display.
#pragma once

#include <QImage>

#include <cstdint>

#include "view_export.h"

namespace explorer {

// levels and done hold width x height bytes row by row; done may be null
// when every pixel is done.
QImage ViewPicture(const std::uint8_t* levels, const std::uint8_t* done, int width, int height,
                   const std::int32_t* palette, const SavedView& saved);

} // namespace explorer
