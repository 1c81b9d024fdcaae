// Runs a piece of clean-up when a scope is left, normally or by an error, so
// that a procedure that can be abandoned by a run-time error still restores
// what it changed.
#pragma once

#include <utility>

namespace tk {

template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() { f_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F f_;
};

} // namespace tk
