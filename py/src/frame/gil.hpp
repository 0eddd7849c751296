// Interpreter-lock release around long core computations. The lock is taken
// back in the destructor, so it is held again even when the body throws.
// Meanwhile a SignalPoll lets the core's long loops stop on Ctrl-C.
#pragma once

#include <utility>

#include "frame/interrupt.hpp"
#include "frame/python.hpp"

namespace zkpy {

class ReleasedGil {
public:
    ReleasedGil() : state_(PyEval_SaveThread()), poll_(state_), scope_(&poll_) {}
    ~ReleasedGil() { PyEval_RestoreThread(state_); }
    ReleasedGil(const ReleasedGil&) = delete;
    ReleasedGil& operator=(const ReleasedGil&) = delete;

private:
    PyThreadState* state_;
    SignalPoll poll_;
    zaviktools::StopScope scope_;
};

// Run `f` on native values only, with the lock released.
template <class F>
decltype(auto) without_gil(F&& f) {
    ReleasedGil released;
    return std::forward<F>(f)();
}

}  // namespace zkpy
