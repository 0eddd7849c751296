#include "sampling/summary.hpp"

#include <vector>

#include "foundation/format.hpp"
#include "stats/descriptive.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

Result<ReservoirSummary> reservoir_summary(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input("stats: no data"));
    // One sorted copy serves the three percentiles: the sort is deterministic,
    // so each percentile sorting its own copy would read the very same list
    // (NaN placement included).
    std::vector<double> sorted(data.begin(), data.end());
    stable_sort_values(sorted);
    ReservoirSummary s{};
    s.p90 = percentile_sorted(sorted, 10.0);
    s.p50 = percentile_sorted(sorted, 50.0);
    s.p10 = percentile_sorted(sorted, 90.0);
    s.mean = *mean(data);
    return s;
}

std::string summary_repr(const ReservoirSummary& s) {
    return "ReservoirSummary(p90=" + fmt_num(s.p90) + ", p50=" + fmt_num(s.p50) + ", p10=" + fmt_num(s.p10) +
           ", mean=" + fmt_num(s.mean) + ")";
}

}  // namespace zaviktools
