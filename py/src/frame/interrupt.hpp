// Ctrl-C in long calls: the core's StopPoll for one Python call.
//
// The lock-released part of a call installs a SignalPoll (frame/gil.hpp); an
// entry point whose core loops run long with the lock held installs one with
// HeldSignalPoll; the binding's own long loops hold a SignalCheck. A loop so
// polled stops on a signal whose handler raises; the handler's exception
// (KeyboardInterrupt) stays set and the entry point returns it. Entry points
// install nothing by default: a short call pays nothing.
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

// A StopCheck with its own lock-held poll, for the binding's long loops
// (conversions). Nested loops each need one at the outer level: an inner
// loop shorter than its stride never reads the clock.
class SignalCheck {
public:
    explicit SignalCheck(std::uint32_t stride) noexcept : check_(stride, &poll_) {}
    bool operator()() noexcept { return check_(); }

private:
    SignalPoll poll_;
    zaviktools::StopCheck check_;
};

}  // namespace zkpy
