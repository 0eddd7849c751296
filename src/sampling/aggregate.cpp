#include "sampling/aggregate.hpp"

#include <algorithm>

#include "stats/sort.hpp"

namespace zaviktools {

std::optional<Correlation> correlation_from_name(std::string_view name) {
    if (name == "independent" || name == "indep") return Correlation::Independent;
    if (name == "comonotonic" || name == "comono") return Correlation::Comonotonic;
    return std::nullopt;
}

std::vector<double> aggregate(std::span<const std::vector<double>> segments, Correlation mode) {
    if (segments.empty()) return {};
    std::size_t m = segments[0].size();
    for (const auto& seg : segments) m = std::min(m, seg.size());
    if (m == 0) return {};

    std::vector<double> total(m, 0.0);
    if (mode == Correlation::Independent) {
        for (const auto& seg : segments)
            for (std::size_t k = 0; k < m; ++k) total[k] = seg[k] + total[k];
        return total;
    }
    // Ranks are taken within the leading m trials of each segment, not its m smallest.
    std::vector<double> sorted(m);
    for (const auto& seg : segments) {
        std::copy(seg.begin(), seg.begin() + static_cast<std::ptrdiff_t>(m), sorted.begin());
        stable_sort_values(sorted);
        for (std::size_t k = 0; k < m; ++k) total[k] = sorted[k] + total[k];
    }
    return total;
}

}  // namespace zaviktools
