// Preloaded ahead of AddressSanitizer's runtime in the sanitizer stage.
// ASan's throwing operator new aborts the process on a request it cannot meet
// (even with allocator_may_return_null=1), where a normal build throws
// std::bad_alloc and the toolkit reports MemoryError. Requests beyond ASan's
// largest allocation throw here; every other request goes on to ASan's own
// operator new, so its new/delete tracking stays whole.
#include <cstddef>
#include <dlfcn.h>
#include <new>

namespace {

constexpr std::size_t kAsanMaxAllocation = std::size_t{1} << 40;  // x86-64 limit

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
    if (n > kAsanMaxAllocation) throw std::bad_alloc();
    return next(n);
}

void* operator new[](std::size_t n) {
    static const New next = next_symbol<New>("_Znam");
    if (n > kAsanMaxAllocation) throw std::bad_alloc();
    return next(n);
}

void* operator new(std::size_t n, std::align_val_t a) {
    static const AlignedNew next = next_symbol<AlignedNew>("_ZnwmSt11align_val_t");
    if (n > kAsanMaxAllocation) throw std::bad_alloc();
    return next(n, a);
}

void* operator new[](std::size_t n, std::align_val_t a) {
    static const AlignedNew next = next_symbol<AlignedNew>("_ZnamSt11align_val_t");
    if (n > kAsanMaxAllocation) throw std::bad_alloc();
    return next(n, a);
}
