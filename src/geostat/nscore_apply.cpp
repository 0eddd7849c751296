#include "geostat/nscore_apply.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "foundation/parts.hpp"

namespace zaviktools {

Result<NormalScore> normal_score_table(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input("NormalScore::fit: no data"));
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (!std::isfinite(data[i]))
            return fail(AlgoError::invalid_argument("NormalScore::fit: value " + std::to_string(i) + " is not finite"));
    }
    return NormalScore::fit(data);
}

Result<std::vector<double>> normal_score_apply(const NormalScore& transform, std::span<const double> values,
                                               ScoreDirection direction, std::size_t threads) {
    // A part is a few hundred microseconds of lookups; a worker is worth
    // starting for a few parts.
    constexpr std::size_t kPerPart = 8192;
    constexpr std::size_t kPerWorker = 4 * kPerPart;
    try {
        const std::size_t n = values.size();
        std::vector<double> out(n);
        const std::size_t parts = (n + kPerPart - 1) / kPerPart;
        const std::size_t workers = std::max<std::size_t>(1, std::min(threads, n / kPerWorker));
        const bool forward = direction == ScoreDirection::Forward;
        const bool done = run_parts(workers, parts, [&] {
            return [&](std::size_t part) {
                const std::size_t end = std::min(n, (part + 1) * kPerPart);
                for (std::size_t i = part * kPerPart; i < end; ++i) {
                    const double v = values[i];
                    out[i] = std::isnan(v) ? v : forward ? transform.forward(v) : transform.back(v);
                }
            };
        });
        if (!done) return fail(AlgoError::interrupted("NormalScore"));
        return out;
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("NormalScore: cannot allocate " + std::to_string(values.size()) +
                                                " values"));
    }
}

}  // namespace zaviktools
