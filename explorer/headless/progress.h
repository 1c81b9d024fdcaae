// Progress of a headless render on standard error: a bar with the rows done,
// the time so far and an estimate of the rest when standard error is a
// terminal, otherwise one line at each tenth. Silent when asked to be.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace explorer::headless {

class Progress {
public:
    enum class Style { Quiet, Bar, Lines };
    // The style standard error calls for (a bar on a terminal).
    static Style styleFor(bool quiet);

    Progress(Style style, std::int64_t totalRows);
    void setLabel(std::string label) { label_ = std::move(label); }
    void advance(std::int64_t rows = 1);
    // Work before the rows (a deep view's levels): on the bar beside the
    // label, as one line per new stage elsewhere. The label stays.
    void stage(const std::string& what, int percent);
    // Ends the bar's line (a final bar at what was reached).
    void finish();

private:
    void drawBar(bool force);

    Style style_;
    std::int64_t total_, done_ = 0;
    int tenthsShown_ = 0;
    std::string label_, stage_;
    std::chrono::steady_clock::time_point start_, lastDraw_;
    bool drawn_ = false;
};

} // namespace explorer::headless
