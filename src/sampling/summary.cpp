#include "sampling/summary.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/format.hpp"
#include "stats/descriptive.hpp"
#include "stats/select.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

namespace {

constexpr double kLevels[3] = {10.0, 50.0, 90.0};

using Iter = std::vector<double>::iterator;

// Type-7 interpolation between the selected rank lo and the smallest value of
// [next_begin, next_end), which holds rank lo + 1.
double type7_at(double h, std::size_t lo, double at_lo, Iter next_begin, Iter next_end) {
    const double next = *std::min_element(next_begin, next_end);
    return (next - at_lo) * (h - static_cast<double>(lo)) + at_lo;
}

// The three levels by selection, on a copy with at least two values and an
// unambiguous order: the median over the whole copy first, then the 10th
// percentile in the part left of it and the 90th in the part right of it.
// (For these levels lo + 1 < n always holds.)
bool select_levels(std::vector<double>& s, double out[3]) {
    const std::size_t n = s.size();
    double h[3];
    std::size_t lo[3];
    for (int i = 0; i < 3; ++i) {
        h[i] = static_cast<double>(n - 1) * (kLevels[i] / 100.0);
        lo[i] = static_cast<std::size_t>(std::floor(h[i]));
    }
    const Iter b = s.begin(), e = s.end();
    const auto at = [&](std::size_t k) { return b + static_cast<std::ptrdiff_t>(k); };
    const std::span<double> all(s);

    if (!select_nth_stoppable(all, lo[1])) return false;
    out[1] = type7_at(h[1], lo[1], s[lo[1]], at(lo[1] + 1), e);
    if (lo[0] < lo[1]) {
        if (!select_nth_stoppable(all.first(lo[1]), lo[0])) return false;
        out[0] = type7_at(h[0], lo[0], s[lo[0]], at(lo[0] + 1), at(lo[1] + 1));
    } else {
        out[0] = type7_at(h[0], lo[0], s[lo[0]], at(lo[0] + 1), e);
    }
    if (lo[2] > lo[1] && !select_nth_stoppable(all.subspan(lo[1] + 1), lo[2] - lo[1] - 1)) return false;
    out[2] = type7_at(h[2], lo[2], s[lo[2]], at(lo[2] + 1), e);
    return true;
}

}  // namespace

Result<ReservoirSummary> reservoir_summary(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input("stats: no data"));
    double p[3];
    std::vector<double> s(data.begin(), data.end());
    const AlgoError stopped = AlgoError::interrupted("reservoir_summary");
    const Ambiguity a = order_ambiguity(s);
    if (s.size() > 1 && a == Ambiguity::None) {
        if (!select_levels(s, p)) return fail(stopped);
    } else {
        // One sorted copy serves the three levels: the sort is deterministic,
        // so a copy per level would read the very same list (NaN placement included).
        if (!stable_sort_values_stoppable(s, a == Ambiguity::NaN)) return fail(stopped);
        for (int i = 0; i < 3; ++i) p[i] = percentile_sorted(s, kLevels[i]);
    }
    const auto m = mean(data);
    if (!m) return fail(stopped);  // data is not empty: only a stop fails here
    return ReservoirSummary{p[0], p[1], p[2], *m};
}

std::string summary_repr(const ReservoirSummary& s) {
    return "ReservoirSummary(p90=" + fmt_num(s.p90) + ", p50=" + fmt_num(s.p50) + ", p10=" + fmt_num(s.p10) +
           ", mean=" + fmt_num(s.mean) + ")";
}

}  // namespace zaviktools
