// Preloaded ahead of AddressSanitizer's runtime in the sanitizer stage.
// A normal build gets std::bad_alloc (MemoryError) for a single request beyond
// the machine's memory: the kernel's heuristic overcommit refuses it at once.
// Under ASan such a request either aborts the process (beyond ASan's largest
// allocation, even with allocator_may_return_null=1) or is mapped lazily and
// then filled for minutes. Both refusals are reproduced here; every other
// request goes on to ASan's own operator new, so its new/delete tracking stays
// whole.
#include <sys/sysinfo.h>

#include <algorithm>
#include <cstddef>
#include <dlfcn.h>
#include <new>

namespace {

constexpr std::size_t kAsanMaxAllocation = std::size_t{1} << 40;  // x86-64 limit

// The largest request a normal build could be granted: RAM plus swap.
std::size_t largest_request() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return kAsanMaxAllocation;
    const unsigned long long total =
        (static_cast<unsigned long long>(info.totalram) + info.totalswap) * info.mem_unit;
    return static_cast<std::size_t>(std::min<unsigned long long>(total, kAsanMaxAllocation));
}

// Read on first use: another library's constructor may allocate before this
// one's static initialisers have run.
std::size_t limit() {
    static const std::size_t value = largest_request();
    return value;
}

template <class Fn>
Fn next_symbol(const char* name) {
    void* sym = dlsym(RTLD_NEXT, name);
    if (sym == nullptr) throw std::bad_alloc();
    return reinterpret_cast<Fn>(sym);
}

using New = void* (*)(std::size_t);
using AlignedNew = void* (*)(std::size_t, std::align_val_t);

}  // namespace

void* operator new(std::size_t n) {
    static const New next = next_symbol<New>("_Znwm");
    if (n > limit()) throw std::bad_alloc();
    return next(n);
}

void* operator new[](std::size_t n) {
    static const New next = next_symbol<New>("_Znam");
    if (n > limit()) throw std::bad_alloc();
    return next(n);
}

void* operator new(std::size_t n, std::align_val_t a) {
    static const AlignedNew next = next_symbol<AlignedNew>("_ZnwmSt11align_val_t");
    if (n > limit()) throw std::bad_alloc();
    return next(n, a);
}

void* operator new[](std::size_t n, std::align_val_t a) {
    static const AlignedNew next = next_symbol<AlignedNew>("_ZnamSt11align_val_t");
    if (n > limit()) throw std::bad_alloc();
    return next(n, a);
}
