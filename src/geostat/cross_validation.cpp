#include "geostat/cross_validation.hpp"

#include <limits>
#include <new>
#include <string>

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
        const bool done = krige_each(
            d, variogram, max_neighbours, radius, run, locations,
            [&](std::size_t l) { return Target{{d.data[l][0], d.data[l][1]}, l}; },
            [&](std::size_t l, const KrigedValue& v) {
                estimate[l] = v.estimate;
                variance[l] = v.variance;
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
        return fail(AlgoError::out_of_memory(std::string(op) + ": cannot allocate working storage for " +
                                                std::to_string(points.size()) + " data"));
    }
}

}  // namespace zaviktools
