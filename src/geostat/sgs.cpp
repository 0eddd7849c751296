#include "geostat/sgs.hpp"

#include <cmath>
#include <new>
#include <string>
#include <utility>

namespace zaviktools {

namespace {

bool neighbourhood_ok(std::size_t max_neighbours, double radius) {
    return max_neighbours >= 1 && std::isfinite(radius) && radius > 0.0;
}

}  // namespace

Result<SgsParams> SgsParams::create(const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                                    std::uint64_t seed) {
    if (!neighbourhood_ok(max_neighbours, radius))
        return fail(AlgoError::invalid_argument("SgsParams: need max_neighbours >= 1 and radius > 0"));
    return SgsParams{max_neighbours, radius, seed, variogram};
}

std::vector<FixedNode> snap_fixed(std::span<const DataPoint> points, const Lattice& lattice,
                                  const NormalScore& transform) {
    std::vector<FixedNode> fixed;
    const double ncol = static_cast<double>(lattice.ncol());
    const double nrow = static_cast<double>(lattice.nrow());
    for (const DataPoint& p : points) {
        const auto ij = lattice.world_to_intrinsic(p[0], p[1]);
        if (!ij) continue;
        const double col = std::round(ij->fi);
        const double row = std::round(ij->fj);
        if (col < 0.0 || row < 0.0 || col >= ncol || row >= nrow) continue;
        fixed.push_back({static_cast<std::size_t>(col), static_cast<std::size_t>(row), transform.forward(p[2])});
    }
    return fixed;
}

Result<Field> sgs(std::span<const DataPoint> points, const Lattice& lattice, const SgsParams& params) {
    if (points.empty()) return fail(AlgoError::empty_input("sgs: no conditioning data"));
    if (!neighbourhood_ok(params.max_neighbours, params.radius))
        return fail(AlgoError::invalid_argument("sgs: need max_neighbours >= 1 and radius > 0"));
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i][2]))
            return fail(AlgoError::invalid_argument("sgs: z values must be finite (row " + std::to_string(i) + ")"));
    }
    try {
        std::vector<double> z;
        z.reserve(points.size());
        for (const DataPoint& p : points) z.push_back(p[2]);
        auto transform = NormalScore::fit(z);
        if (!transform) return fail(std::move(transform).error());
        const std::vector<FixedNode> fixed = snap_fixed(points, lattice, *transform);
        SgsScratch scratch;
        auto field = simulate_scores(lattice, params.variogram, params.max_neighbours, params.radius, params.seed,
                                     fixed, scratch);
        if (!field) return fail(std::move(field).error());
        double* v = field->data();
        for (std::size_t k = 0; k < field->size(); ++k) v[k] = transform->back(v[k]);
        return std::move(*field);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::invalid_argument("sgs: cannot allocate working storage for " +
                                                std::to_string(points.size()) + " data"));
    }
}

Result<Field> sgs_unconditional(const Lattice& lattice, const Variogram& variogram, std::size_t max_neighbours,
                                double radius, std::uint64_t seed, double mean, double variance) {
    if (!neighbourhood_ok(max_neighbours, radius))
        return fail(AlgoError::invalid_argument("sgs_unconditional: need max_neighbours >= 1 and radius > 0"));
    if (!std::isfinite(mean) || !std::isfinite(variance) || variance < 0.0)
        return fail(AlgoError::invalid_argument("sgs_unconditional: need finite mean and variance >= 0"));
    if (variance == 0.0) return Field::create(lattice.ncol(), lattice.nrow(), mean);
    SgsScratch scratch;
    auto field = simulate_scores(lattice, SpatialVariogram{variogram}, max_neighbours, radius, seed, {}, scratch);
    if (!field) return fail(std::move(field).error());
    const double sd = std::sqrt(variance);
    double* v = field->data();
    for (std::size_t k = 0; k < field->size(); ++k) v[k] = v[k] * sd + mean;
    return std::move(*field);
}

}  // namespace zaviktools
