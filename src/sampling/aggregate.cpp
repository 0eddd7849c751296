#include "sampling/aggregate.hpp"

#include <algorithm>

#include "foundation/interrupt.hpp"
#include "foundation/name_table.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

namespace {

constexpr NameRow<Correlation> kCorrelations[] = {
    {Correlation::Independent, "independent", {"indep"}},
    {Correlation::Comonotonic, "comonotonic", {"comono"}},
};

}  // namespace

Result<Correlation> parse_correlation(std::string_view text) {
    return parse_name(NameTable<NameRow<Correlation>>{"correlation", kCorrelations}, text);
}

Result<std::vector<double>> aggregate(std::span<const std::vector<double>> segments, Correlation mode) {
    if (segments.empty()) return std::vector<double>{};
    std::size_t m = segments[0].size();
    for (const auto& seg : segments) m = std::min(m, seg.size());
    if (m == 0) return std::vector<double>{};

    const AlgoError stopped = AlgoError::interrupted("aggregate");
    std::vector<double> total(m, 0.0);
    StopCheck stop;  // a sum takes a nanosecond: asked between runs of 4096
    if (mode == Correlation::Independent) {
        for (const auto& seg : segments) {
            const bool done = run_chunked(stop, m, 4096, [&](std::size_t k) {
                total[k] = seg[k] + total[k];
                return true;
            });
            if (!done || stop()) return fail(stopped);  // many short segments still add up to a check
        }
        return total;
    }
    // Ranks are taken within the leading m trials of each segment, not its m smallest.
    std::vector<double> sorted(m);
    for (const auto& seg : segments) {
        if (stop()) return fail(stopped);
        std::copy(seg.begin(), seg.begin() + static_cast<std::ptrdiff_t>(m), sorted.begin());
        if (!stable_sort_values_stoppable(sorted)) return fail(stopped);
        for (std::size_t k = 0; k < m; ++k) total[k] = sorted[k] + total[k];
    }
    return total;
}

}  // namespace zaviktools
