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

// Type-7 percentiles at kLevels by selection, on a copy with at least two
// values and an unambiguous order. Each level's lower rank is selected in the
// part left of the previous level's rank, so the three selections shrink.
void select_levels(std::vector<double>& s, double out[3]) {
    const std::size_t n = s.size();
    std::size_t placed = 0;  // ranks [0, placed) are final and <= everything right of them
    for (int i = 0; i < 3; ++i) {
        const double h = static_cast<double>(n - 1) * (kLevels[i] / 100.0);
        const std::size_t lo = static_cast<std::size_t>(std::floor(h));  // lo + 1 < n for these levels
        if (lo >= placed) {
            std::nth_element(s.begin() + static_cast<std::ptrdiff_t>(placed), s.begin() + static_cast<std::ptrdiff_t>(lo),
                             s.end());
            placed = lo + 1;
        }
        const double next = *std::min_element(s.begin() + static_cast<std::ptrdiff_t>(lo + 1), s.end());
        out[i] = (next - s[lo]) * (h - static_cast<double>(lo)) + s[lo];
    }
}

}  // namespace

Result<ReservoirSummary> reservoir_summary(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input("stats: no data"));
    double p[3];
    std::vector<double> s(data.begin(), data.end());
    if (s.size() > 1 && !order_is_ambiguous(s)) {
        select_levels(s, p);
    } else {
        // One sorted copy serves the three levels: the sort is deterministic,
        // so a copy per level would read the very same list (NaN placement included).
        stable_sort_values(s);
        for (int i = 0; i < 3; ++i) p[i] = percentile_sorted(s, kLevels[i]);
    }
    return ReservoirSummary{p[0], p[1], p[2], *mean(data)};
}

std::string summary_repr(const ReservoirSummary& s) {
    return "ReservoirSummary(p90=" + fmt_num(s.p90) + ", p50=" + fmt_num(s.p50) + ", p10=" + fmt_num(s.p10) +
           ", mean=" + fmt_num(s.mean) + ")";
}

}  // namespace zaviktools
