// The frames of a zoom sequence that goes deeper than doubles: the same zoom
// as zoom_sequence.h (extents geometric, the fixed point kept in place)
// worked out in MPFR from the two ends' every digit. Pure functions; every
// process of a split sequence works out the same frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "chosen_view.h"

namespace explorer::headless {

// Frame `index` of `frames` from `from` to `to`; the first and last frames
// are the ends themselves. Nothing (and the reason) for a frame the
// explorer cannot take.
std::optional<deep::DeepView> DeepFrameView(const deep::DeepView& from, const deep::DeepView& to,
                                            std::int32_t frames, std::int32_t index,
                                            std::string* error);

// The view of frame `index` as drawn on a width x height canvas: between two
// ends typed as doubles, the frames doubles resolve are the double frames
// the sequence always had, and only frames the canvas needs more for are
// worked out in MPFR; with an end typed beyond doubles, every frame is.
std::optional<ChosenView> FrameOfSequence(const ChosenView& from, const ChosenView& to,
                                          std::int32_t frames, std::int32_t index,
                                          std::int32_t width, std::int32_t height,
                                          std::string* error);

// Whether two views' widths and heights are non-zero and of one sign each,
// compared exactly (a sequence needs it).
bool SameOrientation(const ChosenView& from, const ChosenView& to);

} // namespace explorer::headless
