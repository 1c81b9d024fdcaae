// The adapter over explorer::engine::LevelEngine (see pass_levels.h).
#include "pass_levels.h"

#include "explorer/engine/level_engine.h"

namespace explorer::headless {

namespace {

// The engine of this build floods with one thread beside the caller's and
// takes no thread count. One thread therefore means the engine stays off and
// the pass iterates every pixel it needs on its own thread; more threads
// mean the engine as it comes. When the engine takes a count, it goes here.
void setEngineThreads(engine::LevelEngine& engine, int threads)
{
    engine.setEnabled(threads > 1);
}

} // namespace

PassLevels::PassLevels(int threads) : engine_(std::make_unique<engine::LevelEngine>())
{
    setEngineThreads(*engine_, threads);
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
