#include "frame/budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "frame/python.hpp"

namespace zkpy {

namespace {

std::uint64_t physical_memory() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page <= 0) return UINT64_MAX;  // unknown: only the allocations themselves can refuse
    return sat_mul(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(page));
}

// Bytes in decimal gigabytes (megabytes below one), for people to read.
std::string amount(std::uint64_t bytes) {
    char text[48];
    const double b = static_cast<double>(bytes);
    if (b >= 1e9)
        std::snprintf(text, sizeof text, "%.1f GB", b / 1e9);
    else
        std::snprintf(text, sizeof text, "%.0f MB", b / 1e6);
    return text;
}

}  // namespace

bool fits_in_memory(const char* what, Estimate e) {
    if (e.native > kAddressSpace) return true;
    // The machine does not change its memory while running: read it once.
    static const std::uint64_t physical = physical_memory();
    std::uint64_t limit = physical;
    bool capped = false;
    rlimit as{};
    if (getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY && as.rlim_cur < limit) {
        limit = as.rlim_cur;
        capped = true;
    }
    if (e.bytes <= limit) return true;
    const std::string msg = std::string(what) + ": needs about " + amount(e.bytes) +
                            " of memory for its result and working storage, more than " +
                            (capped ? "this process's address-space limit of " + amount(limit)
                                    : "this machine's " + amount(limit) + " of physical memory");
    PyErr_SetString(PyExc_MemoryError, msg.c_str());
    return false;
}

}  // namespace zkpy
