// The adapter over explorer::engine::LevelEngine (see pass_levels.h).
#include "pass_levels.h"

#include "explorer/engine/level_engine.h"

namespace explorer::headless {

PassLevels::PassLevels(int threads) : engine_(std::make_unique<engine::LevelEngine>())
{
    // One thread is the pass's own: the engine then works out the bands on
    // it, with no helper threads beside it.
    engine_->setThreads(threads);
}

PassLevels::~PassLevels() = default;

void PassLevels::arm(std::span<const double> xs, std::span<const double> ys, std::int32_t maxIter,
                     std::int32_t colorCycle)
{
    engine_->arm(xs, ys, maxIter, colorCycle);
}

void PassLevels::prepareRows(std::int32_t row)
{
    if (engine_->armed())
        engine_->prepareRows(row);
}

int PassLevels::level(std::int32_t col, std::int32_t row)
{
    if (engine_->known(col, row) || (engine_->armed() && engine_->settle(col, row)))
        return engine_->level(col, row);
    return -1;
}

void PassLevels::release()
{
    engine_->release();
}

} // namespace explorer::headless
