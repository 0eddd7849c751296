// The statistics' one sort: stable, ascending under `a < b` on doubles.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>

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

}  // namespace zaviktools
