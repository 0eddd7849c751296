// Sample counts of the depth-sampled synthetic series: rounding a real to a
// count, and the refusal of sizes no series could ever hold.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/memory.hpp"

namespace zaviktools {

// Nearest integer, halves away from zero, saturating: negative and NaN give 0,
// anything at or beyond 2^64 the largest count.
inline std::uint64_t round_to_count(double x) {
    if (!(x > 0.0)) return 0;
    const double r = std::round(x);
    if (r >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(r);
}

// Largest sample count a series may have: its doubles must stay addressable.
inline constexpr std::uint64_t kMaxSeriesSamples =
    static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double);

inline AlgoError cannot_allocate(const char* op, std::uint64_t n) {
    return AlgoError::invalid_argument(std::string(op) + ": cannot allocate " + std::to_string(n) + " samples");
}

// Runs `body` (which allocates the series' storage and then draws). A series
// beyond any address space is refused first with the "cannot allocate"
// InvalidArgument; an allocation that fails below that is out of memory.
template <class T, class Body>
Result<T> with_series_storage(const char* op, std::uint64_t n, Body&& body) {
    if (n > kMaxSeriesSamples || !addressable(n, sizeof(double))) return fail(cannot_allocate(op, n));
    const auto out_of_memory = [&] {
        return fail(AlgoError::out_of_memory(std::string(op) + ": cannot allocate " + std::to_string(n) + " samples"));
    };
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    } catch (const std::length_error&) {
        return out_of_memory();
    }
}

}  // namespace zaviktools
