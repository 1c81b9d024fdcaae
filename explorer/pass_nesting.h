// How deep "Re&start" nests render passes. A restart runs a whole new pass
// inside the running pass's yield, so every restart adds a pass to the stack;
// past a few levels a restart is coalesced instead into one pending restart,
// which the innermost pass takes up after its row by starting over.
#pragma once

#include <utility>

namespace explorer {

class PassNesting {
public:
    // Passes a person can pile up by clicking during a pass; far more than
    // anyone clicks while one pass draws, and a few hundred kilobytes of
    // stack at most.
    static constexpr int MaxDepth = 16;

    int depth() const { return depth_; }
    bool atLimit() const { return depth_ >= MaxDepth; }

    // A restart that is not run at once: the innermost pass starts over
    // after its current row. Any number of requests before then are one.
    void requestRestart() { pending_ = true; }
    bool restartPending() const { return pending_; }
    bool takeRestart() { return std::exchange(pending_, false); }

    // One pass on the stack, for as long as the scope lives.
    class Pass {
    public:
        explicit Pass(PassNesting& nesting) : nesting_(nesting) { ++nesting_.depth_; }
        ~Pass()
        {
            // With no pass left nobody could take up a restart: drop it.
            if (--nesting_.depth_ == 0)
                nesting_.pending_ = false;
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        PassNesting& nesting_;
    };

private:
    int depth_ = 0;
    bool pending_ = false;
};

} // namespace explorer
