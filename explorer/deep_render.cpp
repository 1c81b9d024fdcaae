// Working out a deep view's levels on worker threads while the window's
// thread draws the rows already done, and waiting for the rows not yet done.
#include "deep_render.h"

#include <algorithm>
#include <chrono>

#include "form1.h"
#include "toolkit/events.h"
#include "toolkit/runtime_error.h"

namespace explorer {

namespace {
// How long a wait for rows sleeps between two looks at the window's events.
constexpr std::chrono::milliseconds EventSlice{15};
} // namespace

DeepRender::~DeepRender()
{
    cancelAll();
    reap(true);
}

void DeepRender::cancelAll()
{
    for (const auto& job : jobs_) {
        job->cancel = true;
        job->feed.wake();
    }
}

void DeepRender::reap(bool all)
{
    std::erase_if(jobs_, [&](const std::shared_ptr<Job>& job) {
        if (!all && !job->feed.finished())
            return false;
        if (job->worker.joinable())
            job->worker.join();
        return true;
    });
}

void DeepRender::release()
{
    if (current_) {
        current_->cancel = true;
        current_->feed.wake();
    }
    current_.reset();
    readyRows_ = levelWidth_ = 0;
    levelData_ = nullptr;
    reap(false);
}

void DeepRender::hold(bool on)
{
    if (current_)
        current_->feed.hold(on);
}

bool DeepRender::takesPass(const Form1& form)
{
    const deep::DeepView* current = form.Deep.current(form);
    return current && DeepViewState::beyondDoubles(*current, form.LastCol, form.LastRow);
}

std::size_t DeepRender::runningComputations()
{
    reap(false);
    return jobs_.size();
}

std::int32_t DeepRender::rowsAhead() const
{
    if (rowsAheadLimit >= 0)
        return rowsAheadLimit;
    const unsigned threads =
        options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    return std::max<std::int32_t>(8, 4 * std::int32_t(threads));
}

bool DeepRender::start(Form1& form)
{
    // A pass that starts ends any computation for an older one.
    release();
    cancelAll();
    if (!takesPass(form))
        return false; // doubles resolve it: the described pass draws it
    const deep::DeepView view = *form.Deep.current(form);
    const std::int32_t width = form.LastCol + 1, height = form.LastRow + 1;
    deep::DeepOptions opts = options;
    opts.maxIter = form.MaxIter;
    opts.colorCycle = form.ColorCycle;
    auto job = std::make_shared<Job>(waitForAllRows ? deep::DeepRowFeed::Unbounded : rowsAhead());
    job->progress = {deep::DeepStage::ReferenceOrbit,
                     0,
                     view.precisionFor(width, height),
                     view.log10Magnification(),
                     opts.maxIter,
                     -1,
                     opts.forceExtended || deep::needsExtendedExponent(view, width, height),
                     0,
                     height};
    // The job outlives its thread: it leaves jobs_ only once joined.
    Job* const work = job.get();
    job->worker = std::thread([work, view, width, height, opts] {
        deep::computeDeepLevelsInRows(
            view, width, height, opts, work->cancel,
            [work](deep::DeepStage stage, double fraction) {
                work->stage = int(stage);
                work->fraction = fraction;
                // Called between steps a few times a second: a paused pass
                // rests here.
                work->feed.waitWhileHeld(work->cancel);
            },
            work->feed, work->result);
    });
    jobs_.push_back(job);
    current_ = job;
    report(*job);
    return true;
}

void DeepRender::report(Job& job)
{
    if (!onProgress)
        return;
    Progress p = job.progress;
    p.stage = deep::DeepStage(job.stage.load());
    p.fraction = job.fraction.load();
    p.referenceIterations = job.feed.referenceIterations();
    p.rowsReady = job.feed.readyRows();
    onProgress(p);
}

void DeepRender::noteReady(Job& job, std::int32_t ready)
{
    if (&job != current_.get() || ready <= 0)
        return;
    // The levels were sized before the first row was published, and stay.
    levelData_ = job.result.levels.data();
    levelWidth_ = job.result.width;
    readyRows_ = ready;
}

bool DeepRender::awaitRows(Form1& form, std::int32_t rows, std::int32_t traceRow)
{
    const std::shared_ptr<Job> job = current_;
    if (!job)
        return false;
    const std::int32_t total = job->progress.rows;
    rows = waitForAllRows ? total : std::clamp(rows, 0, total);
    job->feed.ask(rows);
    for (;;) {
        if (job->cancel)
            return false;
        // Finished first: every row it published is then seen.
        const bool finished = job->feed.finished();
        const std::int32_t ready = job->feed.readyRows();
        noteReady(*job, ready);
        if (ready >= rows && traceRow >= 0 && waitForTraceRows && ready < total) {
            const std::int32_t needed = reach_.lastRowNeeded(
                form.DoneGrid, form.LevelGrid, levelData_, levelWidth_, ready, traceRow);
            if (needed >= ready) {
                // A region of the set goes on below the ready rows: more of
                // them, in steps that grow with it (each look floods it).
                const std::int32_t step = std::max(rowsAhead(), (ready - traceRow) / 2);
                rows = std::min(total, std::max(needed + 1, ready + step));
                job->feed.ask(rows);
                continue;
            }
        }
        if (ready >= rows && (rows < total || finished))
            break;
        if (finished) {
            if (!job->result.error.empty())
                throw tk::RuntimeError(tk::ErrBadInput, QString::fromStdString(job->result.error));
            return false;
        }
        if (form.Passes.restartPending())
            return true; // the pass takes it up before its row
        report(*job);
        tk::DoEvents();
        if (job->cancel || current_ != job)
            return false; // a newer pass has drawn over this one's canvas
        job->feed.waitForRows(rows, EventSlice);
    }
    // The reference's length goes out as soon as it is known, even when no
    // wait has reported it.
    if (!job->referenceReported && job->feed.referenceIterations() >= 0) {
        job->referenceReported = true;
        report(*job);
    }
    if (rows == total && !job->levelsReported) {
        job->levelsReported = true;
        report(*job);
        if (onLevels)
            onLevels(job->result);
    }
    return true;
}

int DeepRender::waitForLevel(std::int32_t col, std::int32_t row,
                             const std::function<void()>& answer)
{
    const std::shared_ptr<Job> job = current_;
    if (!job)
        return -1;
    // A copy: a pass nested in the answer sets a hook of its own.
    const std::function<void()> hook = answer;
    job->feed.ask(row + 1);
    using Clock = std::chrono::steady_clock;
    constexpr auto slice = engine::LevelEngine::WaitSlice;
    for (bool counted = false;; counted = true) {
        const bool finished = job->feed.finished();
        const std::int32_t ready = job->feed.readyRows();
        if (ready > row) {
            noteReady(*job, ready);
            return levelData_[std::size_t(row) * std::size_t(levelWidth_) + std::size_t(col)];
        }
        if (job->cancel || finished)
            return -1;
        levelWaits_ += counted ? 0 : 1;
        // Slices count from the last answer, in this wait or an earlier
        // one: a trace that waits a little for each of many rows answers as
        // often as one long wait.
        const Clock::time_point now = Clock::now();
        if (hook && now - lastAnswer_ >= slice) {
            report(*job); // the status line moves on while a trace waits
            hook();
            lastAnswer_ = Clock::now();
            if (job->cancel || current_ != job)
                return -1;
            continue;
        }
        job->feed.waitForRows(row + 1, hook ? lastAnswer_ + slice - now : Clock::duration(slice));
    }
}

std::int32_t DeepRender::readyRows() const
{
    return current_ ? current_->feed.readyRows() : 0;
}

std::int32_t DeepRender::rowsTaken() const
{
    return current_ ? current_->feed.rowsTaken() : 0;
}

std::int32_t DeepRender::rowsAsked() const
{
    return current_ ? current_->feed.asked() : 0;
}

std::int32_t DeepRender::rowsInHand() const
{
    return current_ ? current_->feed.rowsInHand() : 0;
}

} // namespace explorer
