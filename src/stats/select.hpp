// Order statistics without a full sort. Under `a < b` every sort places the
// same bits at each rank unless NaN (unordered) or -0.0 (equal to +0.0 but a
// different value) is present; without them a selection gives the very ranks
// the stable sort would.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

#include "foundation/interrupt.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

// Which of the two is present: a NaN (then only the library's own sort gives
// the same order), or only -0.0 (any stable sort does).
enum class Ambiguity { None, SignedZero, NaN };

inline Ambiguity order_ambiguity(std::span<const double> v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double x = v[i];
        if (x != x) return Ambiguity::NaN;
        if (x == 0.0 && std::signbit(x)) {  // past the first -0.0 only a NaN matters
            const bool nan = std::any_of(v.begin() + static_cast<std::ptrdiff_t>(i + 1), v.end(),
                                         [](double y) { return y != y; });
            return nan ? Ambiguity::NaN : Ambiguity::SignedZero;
        }
    }
    return Ambiguity::None;
}

// What std::nth_element does (v[k] is the value a sort puts at rank k, none
// before it greater, none after it smaller) on values whose order is not
// ambiguous, so that any selection puts the same bits there; stops when the
// installed StopPoll asks (then returns false). Quickselect on a median of
// three with Hoare's partition, the stop asked every 4096 exchanges; a range
// that shrinks too slowly is sorted instead, so the time stays n log n at worst.
inline bool select_nth_stoppable(std::span<double> v, std::size_t k) {
    std::size_t lo = 0, hi = v.size();
    if (k >= hi) return true;
    int budget = 2 * std::bit_width(hi);
    StopCheck stop;
    std::size_t swaps = 0;
    while (hi - lo > 32) {
        if (budget-- == 0) return stable_sort_by(v.subspan(lo, hi - lo), [](double a, double b) { return a < b; }, true);
        const std::size_t mid = lo + (hi - lo) / 2;
        if (v[mid] < v[lo]) std::swap(v[mid], v[lo]);
        if (v[hi - 1] < v[lo]) std::swap(v[hi - 1], v[lo]);
        if (v[hi - 1] < v[mid]) std::swap(v[hi - 1], v[mid]);
        std::swap(v[lo], v[mid]);  // the median of the three leads: the split below ends short of hi - 1
        const double p = v[lo];
        std::size_t i = lo - 1, j = hi;  // wraps below 0 only until the first ++i
        for (;;) {
            do ++i; while (v[i] < p);
            do --j; while (p < v[j]);
            if (i >= j) break;
            std::swap(v[i], v[j]);
            if (++swaps == 4096) {
                swaps = 0;
                if (stop()) return false;
            }
        }
        // [lo, j] holds no value above p, [j + 1, hi) none below it.
        if (k <= j) hi = j + 1;
        else lo = j + 1;
    }
    std::sort(v.begin() + static_cast<std::ptrdiff_t>(lo), v.begin() + static_cast<std::ptrdiff_t>(hi));
    return true;
}

}  // namespace zaviktools
