// Worker threads for the long core computations.
//
// Workers are std::threads created for one call and joined before it
// returns: no pool outlives a call, so a process forked after a call (Python
// multiprocessing with the fork start method) can call again.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string_view>

namespace zaviktools {

// Most workers one call starts; larger requests are clamped to it.
inline constexpr std::size_t kMaxThreads = 256;

// A thread-count setting: a positive decimal integer, optionally surrounded by
// blanks, clamped to kMaxThreads. Anything else (empty, 0, signs, fractions,
// trailing text, overflow) is nothing.
std::optional<std::size_t> parse_thread_count(std::string_view text);

// The CPUs this process may run on (its affinity mask), at least 1.
std::size_t available_cpus();

// The worker count for a thread-count setting the caller has read (its text,
// or nullptr when unset): the setting when valid, else available_cpus(), at
// most kMaxThreads. The environment is the caller's to read: only it knows
// when nothing else can be changing it.
std::size_t default_thread_count(const char* setting);

// Runs work(w) for w = 0 .. workers-1, worker 0 on the calling thread, the
// others on new threads, and joins them all before returning. When a thread
// cannot be started its share is run by the caller, so `work` should take its
// items from a shared counter rather than by worker number. An exception
// escaping a worker is caught there and rethrown on the calling thread after
// the join (the first one, when several fail).
void run_workers(std::size_t workers, const std::function<void(std::size_t)>& work);

}  // namespace zaviktools
