// Independent parts of one computation spread over worker threads.
//
//     const bool done = run_parts(workers, parts, [&] {
//         return [&, scratch = Scratch{}](std::size_t part) mutable { ... };
//     });
//
// Each worker builds its own state with make() and runs it on the parts it
// takes, one at a time, from a shared counter; so a part's result must not
// depend on which worker runs it, and the outcome is the same at every
// worker count. The calling thread (worker 0) polls the installed StopPoll
// between parts and a stop it sees ends every worker at its next part.
#pragma once

#include <atomic>
#include <cstddef>

#include "foundation/interrupt.hpp"
#include "foundation/threads.hpp"

namespace zaviktools {

// False when a stop ended the run before every part ran.
template <class MakeWorker>
bool run_parts(std::size_t workers, std::size_t parts, MakeWorker&& make) {
    std::atomic<std::size_t> next{0};
    SharedStop stop;
    run_workers(workers, [&](std::size_t) {
        StopCheck stopped(1, &stop);  // a part should take well under a millisecond
        auto work = make();
        for (std::size_t p = next.fetch_add(1, std::memory_order_relaxed); p < parts && !stopped();
             p = next.fetch_add(1, std::memory_order_relaxed))
            work(p);
    });
    return !stop.raised();
}

}  // namespace zaviktools
