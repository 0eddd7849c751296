// Cooperative stopping of long computations (the user pressed Ctrl-C).
//
// The caller of a core operation may install a StopPoll on its thread for the
// length of one call (StopScope). A long loop holds a StopCheck and calls it
// once per step: most calls are one decrement, every `stride` calls it reads
// the steady clock, and at most every kPollInterval it asks the poll. Once
// the poll says stop, the check stays stopped; the loop unwinds, frees its
// storage and the operation returns AlgoError::interrupted. Without a poll
// nothing ever stops, and no result depends on the checks.
//
// Worker threads see no poll of their own: the calling thread's check raises
// a SharedStop that the others read.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zaviktools {

// Longest stretch of work between two polls.
inline constexpr std::chrono::milliseconds kPollInterval{20};

class StopPoll {
public:
    // True when the computation should stop. Called only on the thread that
    // installed the poll, at most every kPollInterval.
    virtual bool stop_requested() noexcept = 0;

    // Whether a poll is due at `now`. The clock starts at the first reading,
    // and it belongs to the poll, not to one loop: loops that start and end
    // many times within a call (one per list of a nested result) still poll.
    bool due(std::chrono::steady_clock::time_point now) noexcept {
        if (next_ == std::chrono::steady_clock::time_point{}) next_ = now + kPollInterval;
        return now >= next_;
    }
    // Measured from after a poll: one that waited for the interpreter lock
    // does not bring the next one forward.
    void polled() noexcept { next_ = std::chrono::steady_clock::now() + kPollInterval; }

protected:
    ~StopPoll() = default;

private:
    std::chrono::steady_clock::time_point next_{};
};

// Installs `poll` on the calling thread until the scope ends (then the one
// installed before is back).
class StopScope {
public:
    explicit StopScope(StopPoll* poll) noexcept;
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    StopPoll* previous_;
};

// The poll installed on this thread, or nullptr.
StopPoll* installed_stop_poll() noexcept;

// A stop raised by one thread and read by the others of one computation.
class SharedStop {
public:
    bool raised() const noexcept { return flag_.load(std::memory_order_relaxed); }
    void raise() noexcept { flag_.store(true, std::memory_order_relaxed); }

private:
    std::atomic<bool> flag_{false};
};

class StopCheck {
public:
    // `stride`: steps between clock reads, chosen so that they take well
    // under a millisecond. `shared`, when given, is raised on a stop and
    // read at every clock read (every step on a thread without a poll).
    explicit StopCheck(std::uint32_t stride = 1, SharedStop* shared = nullptr) noexcept
        : StopCheck(stride, installed_stop_poll(), shared) {}
    // The same with `poll` instead of the one installed on this thread.
    StopCheck(std::uint32_t stride, StopPoll* poll, SharedStop* shared = nullptr) noexcept;

    // True once the computation should stop.
    bool operator()() noexcept {
        if (--left_ != 0) return false;
        return slow();
    }
    bool stopped() const noexcept { return stopped_; }

private:
    bool slow() noexcept;

    StopPoll* poll_;
    SharedStop* shared_;
    std::uint32_t stride_;
    std::uint32_t left_;
    bool stopped_ = false;
};

// Runs step(k) for k = 0 .. n-1, asking `stop` after every `chunk` steps
// while more remain, so a loop of very short steps pays nothing per step and
// a loop shorter than a chunk nothing at all (its caller's loop asks). Ends
// early when `stop` says so or a step returns false; returns whether every
// step ran.
template <class Check, class Step>
bool run_chunked(Check& stop, std::size_t n, std::size_t chunk, Step&& step) {
    for (std::size_t k = 0; k < n;) {
        const std::size_t end = n - k > chunk ? k + chunk : n;
        for (; k < end; ++k)
            if (!step(k)) return false;
        if (k < n && stop()) return false;
    }
    return true;
}

}  // namespace zaviktools
