// The portable escape kernel (plain code over a few independent lanes, which
// the compiler may vectorise for the baseline instruction set, SSE2 or NEON),
// and the run-time choice among it and the x86 vector kernels.
#include "escape_kernels.h"

#include <atomic>
#include <thread>

namespace explorer::escape {

#ifdef ZELMAR_ESCAPE_X86
void countsAvx2(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                std::int32_t* out);
void cappedAvx2(const double* cx, double cy, std::size_t n, std::int32_t maxIter, std::int32_t cap,
                std::int32_t* out);
void floodAvx2(FloodJob& job);
void finishAvx2(const PointBatch& batch);
void countsAvx512(const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t* out);
void cappedAvx512(const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out);
void floodAvx512(FloodJob& job);
void finishAvx512(const PointBatch& batch);
#endif

namespace {

#include "escape_driver.inc"

struct PortableLanes {
    static constexpr int Lanes = 4;
    static constexpr int Vectors = 2;
    static constexpr int Steps = 8;

    static constexpr int Batch = 1;

    static std::uint64_t capped(const double* const* xs, const double* cy, std::uint64_t live,
                                std::int64_t maxIter, int cap, std::int64_t* counts, double* zrOut,
                                double* ziOut)
    {
        constexpr int L = Batch * SegmentWidth;
        double zr[L] = {}, zi[L] = {}, cx[L] = {};
        std::int64_t active[L];
        for (int i = 0; i < L; ++i) {
            active[i] = std::int64_t(live >> i & 1);
            cx[i] = active[i] ? xs[i / SegmentWidth][i % SegmentWidth] : 0.0;
            counts[i] = 0;
        }
        const bool checkLimit = maxIter <= cap;
        for (int step = 0; step < cap; ++step) {
            std::int64_t any = 0;
            for (int i = 0; i < L; ++i) {
                const double zr2 = zr[i] * zr[i];
                const double zi2 = zi[i] * zi[i];
                const double t = zi[i] * zr[i];
                const double sum = zr2 + zi2;
                const double newI = t * 2.0 + cy[i / SegmentWidth];
                const double newR = (zr2 - zi2) + cx[i];
                counts[i] += active[i];
                const bool escaped = sum >= 4.0;
                const bool atLimit = checkLimit && counts[i] >= maxIter;
                active[i] &= std::int64_t(!escaped && !atLimit);
                any |= active[i];
                zr[i] = newR;
                zi[i] = newI;
            }
            if (!any)
                break;
        }
        std::uint64_t running = 0;
        for (int i = 0; i < L; ++i) {
            running |= std::uint64_t(active[i]) << i;
            zrOut[i] = zr[i];
            ziOut[i] = zi[i];
        }
        return running;
    }

    static std::uint64_t pendingLanes(const std::uint8_t* done, const std::uint16_t* cells, int n)
    {
        return pendingLanesByPixel<Batch * SegmentWidth>(done, cells, n);
    }
    static void writeCells(std::uint16_t* cells, std::uint64_t live, std::uint64_t running,
                           const std::int64_t* counts, std::uint16_t deepCell)
    {
        writeCellsByPixel<Batch * SegmentWidth>(cells, live, running, counts, deepCell);
    }

    template <int L> static void stream(LaneState<L>& s, StreamBuffers& b, std::int64_t maxIter)
    {
        streamByLanes<PortableLanes, L>(s, b, maxIter);
    }

    template <int L>
    static std::uint64_t run(LaneState<L>& s, std::int64_t maxIter, std::uint64_t live,
                             std::int64_t freeChunks)
    {
        double zr[L], zi[L];
        std::int64_t cnt[L], active[L];
        for (int i = 0; i < L; ++i) {
            zr[i] = s.zr[i];
            zi[i] = s.zi[i];
            cnt[i] = s.cnt[i];
            active[i] = 1;
        }
        auto step = [&](bool checkLimit) {
            for (int i = 0; i < L; ++i) {
                const double zr2 = zr[i] * zr[i];
                const double zi2 = zi[i] * zi[i];
                const double t = zi[i] * zr[i];
                const double sum = zr2 + zi2;
                const double newI = t * 2.0 + s.cy[i];
                const double newR = (zr2 - zi2) + s.cx[i];
                cnt[i] += active[i];
                const bool escaped = sum >= 4.0;
                const bool atLimit = checkLimit && cnt[i] >= maxIter;
                active[i] &= std::int64_t(!escaped && !atLimit);
                zr[i] = newR;
                zi[i] = newI;
            }
        };
        auto stoppedLanes = [&] {
            std::uint64_t running = 0;
            for (int i = 0; i < L; ++i)
                running |= std::uint64_t(active[i]) << i;
            return ~running & live;
        };
        std::uint64_t stopped = 0;
        for (; freeChunks > 0 && stopped == 0; --freeChunks) {
            for (int i = 0; i < Steps; ++i)
                step(false);
            stopped = stoppedLanes();
        }
        while (stopped == 0) {
            step(true);
            stopped = stoppedLanes();
        }
        for (int i = 0; i < L; ++i) {
            s.zr[i] = zr[i];
            s.zi[i] = zi[i];
            s.cnt[i] = cnt[i];
        }
        return stopped;
    }
};

} // namespace

bool supported(Isa isa)
{
    switch (isa) {
    case Isa::Portable:
        return true;
#ifdef ZELMAR_ESCAPE_X86
    case Isa::Avx2:
        return __builtin_cpu_supports("avx2");
    case Isa::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#else
    case Isa::Avx2:
    case Isa::Avx512:
        return false;
#endif
    }
    return false;
}

Isa bestIsa()
{
    static const Isa best = supported(Isa::Avx512) ? Isa::Avx512
                            : supported(Isa::Avx2) ? Isa::Avx2
                                                   : Isa::Portable;
    return best;
}

const char* name(Isa isa)
{
    switch (isa) {
    case Isa::Portable:
        return "portable";
    case Isa::Avx2:
        return "avx2";
    case Isa::Avx512:
        return "avx512";
    }
    return "?";
}

void counts(Isa isa, const double* cx, const double* cy, std::size_t n, std::int32_t maxIter,
            std::int32_t* out)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return countsAvx512(cx, cy, n, maxIter, out);
    if (isa == Isa::Avx2)
        return countsAvx2(cx, cy, n, maxIter, out);
#endif
    countsWith<PortableLanes>(cx, cy, n, maxIter, out);
}

void cappedCounts(Isa isa, const double* cx, double cy, std::size_t n, std::int32_t maxIter,
                  std::int32_t cap, std::int32_t* out)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return cappedAvx512(cx, cy, n, maxIter, cap, out);
    if (isa == Isa::Avx2)
        return cappedAvx2(cx, cy, n, maxIter, cap, out);
#endif
    cappedCountsWith<PortableLanes>(cx, cy, n, maxIter, cap, out);
}

void flood(Isa isa, FloodJob& job)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return floodAvx512(job);
    if (isa == Isa::Avx2)
        return floodAvx2(job);
#endif
    floodWith<PortableLanes>(job);
}

} // namespace explorer::escape

namespace explorer::escape {

void finish(Isa isa, const PointBatch& batch)
{
    if (!supported(isa))
        isa = Isa::Portable;
#ifdef ZELMAR_ESCAPE_X86
    if (isa == Isa::Avx512)
        return finishAvx512(batch);
    if (isa == Isa::Avx2)
        return finishAvx2(batch);
#endif
    finishWith<PortableLanes>(batch);
}

// The helper's side. A batch is Posted; the helper takes it up (Running)
// and marks it Done. The poster may take a batch back that the helper has
// not taken up yet (back to Idle), so it never waits for a helper that is
// asleep or not scheduled; the points are shared out in turns, so the poster
// has done them itself by then. Stopping ends the thread.
struct Helper::Shared {
    enum State : int { Idle, Posted, Running, Done, Stopping };
    std::atomic<int> state{Idle};
    PointBatch batch{};
    Isa isa;
    std::thread thread;

    // Threads asleep in awaitChange: a change of state wakes them only if
    // there are any, sparing the system call otherwise.
    std::atomic<int> sleepers{0};

    void change(int to)
    {
        state.store(to, std::memory_order_seq_cst);
        if (sleepers.load(std::memory_order_seq_cst) > 0)
            state.notify_all();
    }

    // Waits until the state is no longer `from`: spinning for `spins`
    // rounds, since the other side usually answers within microseconds,
    // then sleeping.
    int awaitChange(int from, int spins)
    {
        for (int spin = 0; spin < spins; ++spin) {
            const int now = state.load(std::memory_order_acquire);
            if (now != from)
                return now;
#ifdef ZELMAR_ESCAPE_X86
            __builtin_ia32_pause();
#endif
        }
        sleepers.fetch_add(1, std::memory_order_seq_cst);
        int now;
        while ((now = state.load(std::memory_order_seq_cst)) == from)
            state.wait(from, std::memory_order_acquire);
        sleepers.fetch_sub(1, std::memory_order_seq_cst);
        return now;
    }

    void run()
    {
        int now = state.load(std::memory_order_acquire);
        for (;;) {
            if (now == Stopping)
                return;
            int expected = Posted;
            if (now == Posted &&
                state.compare_exchange_strong(expected, Running, std::memory_order_acquire)) {
                finish(isa, batch);
                change(Done);
                now = Done;
            }
            // Rounds of one flood follow each other closely; between floods
            // (the pass's yield, a pause) the helper sleeps.
            now = awaitChange(now, 2000);
        }
    }
};

Helper::Helper(Isa isa) : shared_(std::make_unique<Shared>())
{
    shared_->isa = isa;
    shared_->thread = std::thread([s = shared_.get()] { s->run(); });
}

Helper::~Helper()
{
    shared_->change(Shared::Stopping);
    shared_->thread.join();
}

void Helper::start(const PointBatch& batch)
{
    shared_->batch = batch;
    shared_->change(Shared::Posted);
}

void Helper::wait()
{
    int expected = Shared::Posted;
    if (shared_->state.compare_exchange_strong(expected, Shared::Idle, std::memory_order_acquire))
        return;                      // never taken up
    if (expected == Shared::Running) // what it has taken is short work
        shared_->awaitChange(Shared::Running, 1 << 20);
    shared_->state.store(Shared::Idle, std::memory_order_relaxed);
}

} // namespace explorer::escape
