// The levels of a deep view's pass: worked out off the window's thread, row
// by row in order, while the pass draws the rows already done. The pass
// waits for its next rows answering every event (any handler, a new pass
// among them, may run inside the wait, and a new pass cancels the older
// computation); a pixel asked for below them (a boundary trace) waits
// answering only the window system. Window thread only, except the worker
// threads each computation owns.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "deep_trace_reach.h"
#include "explorer/engine/deep/deep_levels.h"

namespace explorer {

class Form1;

class DeepRender {
public:
    DeepRender() = default;
    ~DeepRender();
    DeepRender(const DeepRender&) = delete;
    DeepRender& operator=(const DeepRender&) = delete;

    // What the status line is told while the levels are being worked out,
    // and what the finished levels took.
    struct Progress {
        deep::DeepStage stage;
        double fraction; // of the stage
        mpfr_prec_t bits;
        double log10Magnification;
        std::int64_t iterationLimit;
        // The reference orbit's length once it is done, else -1.
        std::int64_t referenceIterations = -1;
        bool extended = false;
        std::int32_t rowsReady = 0, rows = 0;
    };
    std::function<void(const Progress&)> onProgress;
    std::function<void(const deep::DeepLevels&)> onLevels;

    // For a pass over a deep view: starts working out its levels (ending
    // any computation for an older pass) and returns true. For a double
    // view: no levels, and false.
    bool start(Form1& form);
    // Waits, answering every event meanwhile, until rows 0 .. rows - 1 of
    // the running pass are ready or a restart is pending (the pass then
    // starts over). Returns false when the pass should end without drawing
    // on (a newer pass cancelled its levels and has drawn the canvas);
    // raises the library's refusal as an error.
    // With `traceRow`, also the rows the boundary traces that row starts
    // will read, as far as the ready rows tell (deep_trace_reach.h): the
    // trace itself then rarely waits.
    bool awaitRows(Form1& form, std::int32_t rows, std::int32_t traceRow = -1);
    // Whether a pass over the view the bounds give now takes its levels
    // from here (a deep view that doubles do not resolve on this canvas).
    static bool takesPass(const Form1& form);
    // Whether the pass now running takes its levels from here.
    bool active() const { return current_ != nullptr; }
    // The level of a pixel of the running pass; a pixel whose row is not
    // ready is waited for, calling `answer` every few milliseconds. -1
    // when the levels went meanwhile (a newer pass cancelled them).
    int level(std::int32_t col, std::int32_t row, const std::function<void()>& answer)
    {
        if (row < readyRows_) [[likely]]
            return levelData_[std::size_t(row) * std::size_t(levelWidth_) + std::size_t(col)];
        return waitForLevel(col, row, answer);
    }
    // The running pass's rows whose levels are ready, and how many rows its
    // workers have taken and still have in hand (0 when no pass runs).
    std::int32_t readyRows() const;
    std::int32_t rowsTaken() const;
    std::int32_t rowsInHand() const;
    std::int32_t rowsAsked() const;
    // The rows the workers may work on beyond those the pass has asked for
    // (a paused pass keeps no more busy than that): rowsAheadLimit where it
    // is set, else four per thread and at least eight.
    std::int32_t rowsAhead() const;
    std::int32_t rowsAheadLimit = -1;
    // How often a pixel's level had to be waited for (its row not ready).
    std::int64_t levelWaits() const { return levelWaits_; }
    // Computations not yet ended (those cancelled take a moment to notice).
    std::size_t runningComputations();
    // A paused pass: its computation rests (the reference orbit and the
    // table within a tenth of a second, the pixels after the rows in hand)
    // until the pause ends. A pass started meanwhile is not held.
    void hold(bool on);
    // The pass is through: its computation stops and its levels go.
    void release();
    // Every computation still running stops soon.
    void cancelAll();

    // The pixel iteration's options (tests switch the table off or force
    // the extended exponent).
    deep::DeepOptions options;
    // The pass draws no row before every row is ready (as the progressive
    // pass must draw: tests compare the two).
    bool waitForAllRows = false;
    // Off: the rows a trace walks are waited for inside the trace only
    // (tests reach that wait this way).
    bool waitForTraceRows = true;

private:
    struct Job {
        explicit Job(std::int32_t ahead) : feed(ahead) {}
        std::atomic<bool> cancel{false};
        std::atomic<int> stage{0};
        std::atomic<double> fraction{0};
        deep::DeepRowFeed feed;
        deep::DeepLevels result;
        Progress progress{}; // what does not change while it runs
        bool referenceReported = false, levelsReported = false;
        std::thread worker;
    };
    int waitForLevel(std::int32_t col, std::int32_t row, const std::function<void()>& answer);
    void report(Job& job);
    // Rows of the running pass now ready; the first time, where their
    // levels lie.
    void noteReady(Job& job, std::int32_t ready);
    // Joins the workers of computations that have ended.
    void reap(bool all);

    std::vector<std::shared_ptr<Job>> jobs_;
    std::shared_ptr<Job> current_;
    std::int32_t readyRows_ = 0, levelWidth_ = 0;
    const std::uint8_t* levelData_ = nullptr;
    std::int64_t levelWaits_ = 0;
    DeepTraceReach reach_;
    std::chrono::steady_clock::time_point lastAnswer_{};
};

} // namespace explorer
