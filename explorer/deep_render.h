// The levels of a deep view's pass: worked out off the window's thread while
// the window keeps answering (the wait yields, so any handler, a new pass
// among them, may run inside it), cancelled by a newer pass, and read by
// ZelmarPoint while the pass runs its rows. Window thread only, except the
// worker each wait owns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "explorer/engine/deep/deep_levels.h"

namespace explorer {

class Form1;

class DeepRender {
public:
    // What the status line is told: progress while the levels are being
    // worked out, and what the finished levels took.
    struct Progress {
        deep::DeepStage stage;
        double fraction;
        mpfr_prec_t bits;
        double log10Magnification;
    };
    std::function<void(const Progress&)> onProgress;
    std::function<void(const deep::DeepLevels&)> onLevels;

    // For a pass over a deep view: works out its levels, yielding
    // meanwhile. Returns false when the pass should end without drawing (a
    // newer pass cancelled it); raises the library's refusal as an error.
    // For a double view: no levels, and true.
    bool computeLevels(Form1& form);
    // Whether a pass over the view the bounds give now takes its levels
    // from here (a deep view that doubles do not resolve on this canvas).
    static bool takesPass(const Form1& form);
    // Whether the pass now running takes its levels from here.
    bool active() const { return levels_ != nullptr; }
    std::uint8_t level(std::int32_t col, std::int32_t row) const
    {
        return levels_->level(col, row);
    }
    // The pass is through: its levels go.
    void release() { levels_.reset(); }
    // Every computation still running stops soon (its wait then ends).
    void cancelAll();

    // The pixel iteration's options (tests switch the table off or force
    // the extended exponent).
    deep::DeepOptions options;

private:
    struct Job {
        std::atomic<bool> cancel{false}, done{false};
        std::atomic<int> stage{0};
        std::atomic<double> fraction{0};
        deep::DeepLevels result;
    };
    std::vector<std::shared_ptr<Job>> jobs_;
    std::shared_ptr<const deep::DeepLevels> levels_;
};

} // namespace explorer
