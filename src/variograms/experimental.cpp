#include "variograms/experimental.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "geostat/pair_kernel.hpp"

namespace zaviktools {

namespace {

// Number of accumulator bins a pair can reach. No computed separation exceeds
// the one of the bounding box's corners (rounding is monotone), so bins above
// floor(diagonal / lag) stay empty and need no storage: a huge n_lags costs
// nothing. The cut-off itself still uses n_lags * lag.
std::size_t reachable_bins(std::span<const std::array<double, 3>> points, std::uint64_t n_lags, double lag) {
    double xmin = points[0][0], xmax = xmin, ymin = points[0][1], ymax = ymin;
    for (const auto& p : points) {
        xmin = std::min(xmin, p[0]);
        xmax = std::max(xmax, p[0]);
        ymin = std::min(ymin, p[1]);
        ymax = std::max(ymax, p[1]);
    }
    const double dx = xmax - xmin;
    const double dy = ymax - ymin;
    const double reach = std::floor(std::sqrt(dx * dx + dy * dy) / lag) + 1.0;
    if (reach < static_cast<double>(n_lags)) return static_cast<std::size_t>(reach);
    return static_cast<std::size_t>(n_lags);
}

// Dense accumulator storage is one bin per reachable lag class; a lag this
// fine for the data extent is a request that cannot be met, refused before
// anything is allocated.
constexpr std::size_t kMaxLagClasses = std::size_t{1} << 24;

}  // namespace

Result<ExperimentalVariogram> experimental_variogram(std::span<const std::array<double, 3>> points,
                                                     std::uint64_t n_lags, double lag) {
    if (points.size() < 2) return fail(AlgoError::empty_input("experimental_variogram: need at least two data"));
    if (!std::isfinite(lag) || lag <= 0.0 || n_lags == 0)
        return fail(AlgoError::invalid_argument("experimental_variogram: need lag > 0 (finite) and n_lags >= 1"));
    // A NaN coordinate would give a NaN separation that passes the cut-off and
    // lands in bin 0; non-finite values would poison a class. Refuse both.
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return fail(AlgoError::invalid_argument("experimental_variogram: x, y and z must be finite (row " +
                                                    std::to_string(i) + ")"));
    }

    PairColumns cols;
    const std::size_t n_bins = reachable_bins(points, n_lags, lag);
    if (n_bins > kMaxLagClasses)
        return fail(AlgoError::invalid_argument(
            "experimental_variogram: lag too small for the data extent (more than " +
            std::to_string(kMaxLagClasses) + " lag classes reachable)"));

    cols.x.reserve(points.size());
    cols.y.reserve(points.size());
    cols.z.reserve(points.size());
    for (const auto& p : points) {
        cols.x.push_back(p[0]);
        cols.y.push_back(p[1]);
        cols.z.push_back(p[2]);
    }

    const double cutoff = static_cast<double>(n_lags) * lag;
    std::vector<LagBin> bins(n_bins);
    if (!accumulate_pairs(cols, lag, cutoff, bins)) return fail(AlgoError::interrupted("experimental_variogram"));

    ExperimentalVariogram ev;
    for (const LagBin& b : bins) {
        if (b.count == 0) continue;
        const double n = static_cast<double>(b.count);
        ev.lags.push_back(b.sum_h / n);
        ev.semivariances.push_back(b.sum_sq / (2.0 * n));
        ev.counts.push_back(b.count);
    }
    return ev;
}

}  // namespace zaviktools
