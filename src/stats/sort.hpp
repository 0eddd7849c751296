// The statistics' one sort: stable, ascending under `a < b` on doubles.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>

#include "foundation/interrupt.hpp"

namespace zaviktools {

// Straight insertion sort up to 20 values, a stable merge sort above. NaN is
// neither less nor greater than anything, so it stays where the sort leaves it.
template <class T, class Less>
void stable_sort_by(std::span<T> v, Less less) {
    if (v.size() <= 20) {
        for (std::size_t i = 1; i < v.size(); ++i) {
            for (std::size_t j = i; j > 0 && less(v[j], v[j - 1]); --j) std::swap(v[j], v[j - 1]);
        }
        return;
    }
    std::stable_sort(v.begin(), v.end(), less);
}

inline void stable_sort_values(std::span<double> v) {
    stable_sort_by(v, [](double a, double b) { return a < b; });
}

namespace sort_detail {

// Values merged between two stops.
inline constexpr std::size_t kRun = 4096;
// Values of a block sorted whole (a few milliseconds): the library's own
// stable sort does the first passes, as it would over the whole range.
inline constexpr std::size_t kBlock = std::size_t{1} << 16;

struct Stopped {};

// Stable merge of a[0, na) and b[0, nb) into out (ties from a), asking `stop`
// every kRun values.
template <class T, class Less>
bool merge_runs(const T* a, std::size_t na, const T* b, std::size_t nb, T* out, Less& less, StopCheck& stop) {
    const T* const a_end = a + na;
    const T* const b_end = b + nb;
    while (a != a_end && b != b_end) {
        // A step takes one value from either side, so neither runs out before the end of these.
        for (auto steps = std::min({kRun, static_cast<std::size_t>(a_end - a), static_cast<std::size_t>(b_end - b)});
             steps != 0; --steps) {
            if (less(*b, *a)) *out++ = *b++;
            else *out++ = *a++;
        }
        if (a != a_end && b != b_end && stop()) return false;
    }
    out = std::copy(a, a_end, out);
    std::copy(b, b_end, out);
    return true;
}

}  // namespace sort_detail

// stable_sort_by's very order, stopping when the installed StopPoll asks
// (then returns false and `v` holds some permutation of its values).
//
// Under a strict weak order (`<` on values without NaN) every stable sort
// yields the same sequence, so blocks of 65536 are sorted and then merged
// pairwise, the stop asked between blocks and every 4096 merged values. With
// NaN the result depends on the algorithm's own steps, so std::stable_sort
// itself runs, asking the stop from the comparison (which costs some percent,
// on such data only). `strict_weak` says which case holds.
template <class T, class Less>
bool stable_sort_by(std::span<T> v, Less less, bool strict_weak) {
    const std::size_t n = v.size();
    if (n <= 20) {
        stable_sort_by(v, less);
        return true;
    }
    if (!strict_weak) {
        StopCheck stop(1024);
        try {
            std::stable_sort(v.begin(), v.end(), [&](const T& a, const T& b) {
                if (stop()) throw sort_detail::Stopped{};
                return less(a, b);
            });
        } catch (const sort_detail::Stopped&) {
            return false;
        }
        return true;
    }
    using sort_detail::kBlock;
    StopCheck stop;
    const bool sorted = run_chunked(stop, (n + kBlock - 1) / kBlock, 1, [&](std::size_t r) {
        const auto begin = v.begin() + static_cast<std::ptrdiff_t>(r * kBlock);
        std::stable_sort(begin, begin + static_cast<std::ptrdiff_t>(std::min(kBlock, n - r * kBlock)), less);
        return true;
    });
    if (!sorted) return false;
    if (n <= kBlock) return true;
    const auto buffer = std::make_unique_for_overwrite<T[]>(n);
    T* src = v.data();
    T* dst = buffer.get();
    for (std::size_t width = kBlock; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(n, lo + width), hi = std::min(n, lo + 2 * width);
            if (!sort_detail::merge_runs(src + lo, mid - lo, src + mid, hi - mid, dst + lo, less, stop)) return false;
        }
        std::swap(src, dst);
    }
    if (src != v.data()) std::copy(src, src + n, v.data());
    return true;
}

// stable_sort_values, stopping when asked (see above); false when stopped.
// `has_nan`: whether v holds a NaN.
inline bool stable_sort_values_stoppable(std::span<double> v, bool has_nan) {
    return stable_sort_by(v, [](double a, double b) { return a < b; }, !has_nan);
}

inline bool stable_sort_values_stoppable(std::span<double> v) {
    return stable_sort_values_stoppable(v, std::any_of(v.begin(), v.end(), [](double x) { return x != x; }));
}

}  // namespace zaviktools
