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

// This thread's poll for code that holds the lock. One per thread, so its
// clock runs across all the loops of a call (many short inner loops still
// add up to a poll); between calls it only makes the first check of the next
// call poll at once, which with the lock held costs next to nothing.
SignalPoll& held_signal_poll() noexcept;

// Installs held_signal_poll() for the core's loops within a scope.
class HeldSignalPoll {
public:
    HeldSignalPoll() noexcept : scope_(&held_signal_poll()) {}

private:
    zaviktools::StopScope scope_;
};

// A StopCheck on held_signal_poll(), for the binding's long loops
// (conversions), which hold the lock.
class SignalCheck {
public:
    explicit SignalCheck(std::uint32_t stride) noexcept : check_(stride, &held_signal_poll()) {}
    bool operator()() noexcept { return check_(); }

private:
    zaviktools::StopCheck check_;
};

}  // namespace zkpy
