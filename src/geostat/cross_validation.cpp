#include "geostat/cross_validation.hpp"

#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "foundation/parts.hpp"
#include "geostat/kriging_targets.hpp"

namespace zaviktools {

Result<CrossValidation> cross_validate(std::span<const DataPoint> points, const SpatialVariogram& variogram,
                                       std::size_t max_neighbours, double radius, const KrigeRun& run) {
    constexpr const char* op = "cross_validate";
    if (auto e = check_kriging_inputs(op, "cross_validate: no data", points, max_neighbours, radius)) return fail(*e);
    try {
        const IndexedData d = index_data(points, variogram, true);
        const std::size_t locations = d.data.size();
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        std::vector<double> estimate(locations, nan), variance(locations, nan);
        constexpr std::size_t kPerPart = 64;
        const std::size_t parts = (locations + kPerPart - 1) / kPerPart;
        const bool done = run_parts(kriging_workers(run, locations, parts), parts, [&] {
            return [&, kriger = TargetKriger(d, variogram, max_neighbours, radius, run.path)](
                       std::size_t part) mutable {
                KrigedValue v{};
                const std::size_t end = std::min(locations, (part + 1) * kPerPart);
                for (std::size_t l = part * kPerPart; l < end; ++l) {
                    if (!kriger.krige({d.data[l][0], d.data[l][1]}, v, l)) continue;
                    estimate[l] = v.estimate;
                    variance[l] = v.variance;
                }
            };
        });
        if (!done) return fail(AlgoError::interrupted(op));
        CrossValidation out;
        out.estimate.reserve(points.size());
        out.variance.reserve(points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            out.estimate.push_back(estimate[d.location_of[i]]);
            out.variance.push_back(variance[d.location_of[i]]);
        }
        return out;
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::invalid_argument(std::string(op) + ": cannot allocate working storage for " +
                                                std::to_string(points.size()) + " data"));
    }
}

}  // namespace zaviktools
