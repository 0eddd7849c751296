// The memory budget of a call: before anything is allocated, a call that
// builds a result whose size its arguments choose (a count, a lattice, a
// step) states what the result and its working storage will take, and is
// refused with MemoryError when that exceeds the memory this process can
// have. A request that cannot fit fails at once instead of growing until the
// kernel ends the process; every request that fits runs as before.
//
//     if (!zkpy::fits_in_memory("place_wells", {zkpy::points_list(n) + 16 * n, 16 * n})) return nullptr;
//
// Sizes beyond any address space are the core's to refuse (a ValueError with
// its own text): an estimate whose native part exceeds kAddressSpace passes.
#pragma once

#include <cstdint>

#include "foundation/memory.hpp"

namespace zkpy {

// Saturating byte arithmetic: an estimate never wraps.
constexpr std::uint64_t sat_add(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r = 0;
    return __builtin_add_overflow(a, b, &r) ? UINT64_MAX : r;
}
constexpr std::uint64_t sat_mul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r = 0;
    return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

// What Python objects of a result take on a 64-bit CPython: a float object,
// a list's header (with its collector link) and each of its slots.
inline constexpr std::uint64_t kFloatBytes = 24;
inline constexpr std::uint64_t kListBytes = 56;
inline constexpr std::uint64_t kSlotBytes = 8;

// A list of n floats.
constexpr std::uint64_t float_list(std::uint64_t n) {
    return sat_add(kListBytes, sat_mul(n, kFloatBytes + kSlotBytes));
}
// A list of n [x, y] lists.
constexpr std::uint64_t points_list(std::uint64_t n) {
    return sat_add(kListBytes, sat_mul(n, kSlotBytes + float_list(2)));
}
// A field as ncol lists of nrow floats.
constexpr std::uint64_t nested_field(std::uint64_t ncol, std::uint64_t nrow) {
    return sat_add(sat_mul(ncol, kSlotBytes + kListBytes), sat_mul(sat_mul(ncol, nrow), kFloatBytes + kSlotBytes));
}
// A field as one bytes object, or as nested lists.
constexpr std::uint64_t field_result(std::uint64_t ncol, std::uint64_t nrow, bool flat) {
    return flat ? sat_mul(sat_mul(ncol, nrow), 8) : nested_field(ncol, nrow);
}

// Larger native storage is refused by the core as unaddressable.
using zaviktools::kAddressSpace;

struct Estimate {
    std::uint64_t bytes = 0;   // the peak: result objects, native buffers and working storage
    std::uint64_t native = 0;  // the core's own storage within `bytes`
};

// True when `e` fits in the memory this process can have: the machine's
// physical memory, or the address-space limit (RLIMIT_AS) when that is
// lower. Otherwise false with MemoryError set, naming `what`, the estimate
// and the memory.
bool fits_in_memory(const char* what, Estimate e);

// A call over an ncol × nrow lattice: `native_per_node` bytes of the core's
// fields and working storage per node, and `fields` result fields, flat bytes
// or nested lists.
inline bool lattice_fits(const char* what, std::uint64_t ncol, std::uint64_t nrow, std::uint64_t native_per_node,
                         std::uint64_t fields, bool flat) {
    const std::uint64_t native = sat_mul(sat_mul(ncol, nrow), native_per_node);
    return fits_in_memory(what, {sat_add(native, sat_mul(fields, field_result(ncol, nrow, flat))), native});
}

}  // namespace zkpy
