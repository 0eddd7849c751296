// Ctrl-C in long calls: the core's StopPoll for one Python call.
//
// Every entry point installs a SignalPoll for the lock-holding part of the
// call, and the lock-released part installs one of its own, so any core loop
// or conversion loop that holds a StopCheck stops on a signal whose handler
// raises. The handler's exception (KeyboardInterrupt) stays set and the entry
// point returns it.
#pragma once

#include "foundation/interrupt.hpp"
#include "frame/python.hpp"

namespace zkpy {

class SignalPoll final : public zaviktools::StopPoll {
public:
    // The lock is held: polling runs the pending signal handlers directly.
    SignalPoll() noexcept = default;
    // The lock is released (`released` is the thread state it was saved
    // from): polling takes it back for the check. Handlers run only on the
    // main thread of the main interpreter, so elsewhere the poll never takes
    // the lock and never stops.
    explicit SignalPoll(PyThreadState* released) noexcept : released_(released) {}

    bool stop_requested() noexcept override;

private:
    enum class Thread : unsigned char { Unknown, Main, Other };
    PyThreadState* released_ = nullptr;
    Thread thread_ = Thread::Unknown;
};

// The poll of the lock-holding part of a call, installed for a scope.
class HeldSignalPoll {
public:
    HeldSignalPoll() noexcept : scope_(&poll_) {}

private:
    SignalPoll poll_;
    zaviktools::StopScope scope_;
};

}  // namespace zkpy
