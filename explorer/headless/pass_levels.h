// The headless pass's one door to the render engine: arming it for a canvas,
// asking for a pixel's level when the engine knows it, and the thread count.
// Everything the command line needs of the engine goes through here, so a
// change of the engine's interface is met in this file pair alone.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace explorer::engine {
class LevelEngine;
}

namespace explorer::headless {

class PassLevels {
public:
    // threads: how many threads the engine may use, 1 or more.
    explicit PassLevels(int threads);
    ~PassLevels();
    PassLevels(const PassLevels&) = delete;
    PassLevels& operator=(const PassLevels&) = delete;

    // For one pass over the canvas xs.size() x ys.size(); the engine may
    // decline (a view far out, a canvas it does not handle), and then no
    // level is known.
    void arm(std::span<const double> xs, std::span<const double> ys, std::int32_t maxIter,
             std::int32_t colorCycle);
    // The pass is about to evaluate pixels of `row`: the engine makes the
    // rows down to it known as far as it can.
    void prepareRows(std::int32_t row);
    // The level of pixel (col, row) when the engine knows it, else -1.
    int level(std::int32_t col, std::int32_t row);
    void release();

private:
    std::unique_ptr<engine::LevelEngine> engine_;
};

} // namespace explorer::headless
