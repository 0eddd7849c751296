#include "geostat/nscore.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "sampling/phi.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

double interp(std::span<const double> xs, std::span<const double> ys, double x) {
    const std::size_t k_count = xs.size();
    if (k_count == 0 || ys.size() < k_count) return std::numeric_limits<double>::quiet_NaN();
    if (k_count == 1) return ys[0];
    if (std::isnan(x)) return x;
    if (x <= xs[0]) return ys[0];
    if (x >= xs[k_count - 1]) return ys[k_count - 1];
    // lo: the last knot with xs[lo] <= x (xs ascending, so the interval is
    // the same whichever way it is found). Halving a window without a branch
    // on the comparison: a value's place among the knots is a coin toss.
    std::size_t lo = 0, len = k_count - 1;  // xs[lo] <= x < xs[lo + len]
    while (len > 1) {
        const std::size_t half = len / 2;
        lo = xs[lo + half] <= x ? lo + half : lo;
        len -= half;
    }
    return (ys[lo + 1] - ys[lo]) * ((x - xs[lo]) / (xs[lo + 1] - xs[lo])) + ys[lo];
}

Result<NormalScore> NormalScore::fit(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input("NormalScore::fit: no data"));
    for (double v : data) {
        if (!std::isfinite(v)) return fail(AlgoError::invalid_argument("NormalScore::fit: data must be finite"));
    }
    try {
        std::vector<double> sorted(data.begin(), data.end());
        stable_sort_values(sorted);
        const std::size_t n = sorted.size();
        const double nf = static_cast<double>(n);
        NormalScore ns;
        std::size_t i = 0;
        while (i < n) {
            // One run of exactly equal values: the mean of its rank scores.
            std::size_t end = i;
            double sum = 0.0;
            while (end < n && sorted[end] == sorted[i]) {
                sum = sum + phi_inv((static_cast<double>(end) + 0.5) / nf);
                ++end;
            }
            ns.values.push_back(sorted[i]);
            ns.scores.push_back(sum / static_cast<double>(end - i));
            i = end;
        }
        // One run holds every datum: its mean score is exactly 0 (the plotting
        // positions are symmetric), which the rounded sum only approximates.
        if (ns.values.size() == 1) ns.scores[0] = 0.0;
        return ns;
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("NormalScore::fit: cannot allocate " + std::to_string(data.size()) +
                                             " values"));
    }
}

}  // namespace zaviktools
