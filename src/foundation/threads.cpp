#include "foundation/threads.hpp"

#include <sched.h>

#include <mutex>
#include <thread>
#include <vector>

namespace zaviktools {

std::optional<std::size_t> parse_thread_count(std::string_view text) {
    auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::size_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        // Saturate instead of wrapping: any long run of digits is "many".
        value = value > kMaxThreads ? value : value * 10 + static_cast<std::size_t>(ch - '0');
    }
    if (value == 0) return std::nullopt;
    return value < kMaxThreads ? value : kMaxThreads;
}

std::size_t available_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<std::size_t>(n);
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw > 0 ? hw : 1;
}

std::size_t default_thread_count(const char* setting) {
    if (setting) {
        if (auto n = parse_thread_count(setting)) return *n;
    }
    const std::size_t cpus = available_cpus();
    return cpus < kMaxThreads ? cpus : kMaxThreads;
}

void run_workers(std::size_t workers, const std::function<void(std::size_t)>& work) {
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto guarded = [&](std::size_t w) {
        try {
            work(w);
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failure_lock);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    try {
        threads.reserve(workers > 1 ? workers - 1 : 0);
        for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(guarded, w);
    } catch (...) {
        // No room or no thread: the workers already started and the caller
        // share the items between them.
    }
    guarded(0);
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace zaviktools
