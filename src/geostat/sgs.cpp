#include "geostat/sgs.hpp"

#include <cmath>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "foundation/format.hpp"

namespace zaviktools {

namespace {

bool neighbourhood_ok(std::size_t max_neighbours, double radius) {
    return max_neighbours >= 1 && std::isfinite(radius) && radius > 0.0;
}

// A lattice node as a map key (col * nrow + row could wrap on huge lattices).
struct NodeKey {
    std::size_t col;
    std::size_t row;
    bool operator==(const NodeKey&) const = default;
};

struct NodeKeyHash {
    std::size_t operator()(const NodeKey& k) const noexcept {
        return std::hash<std::size_t>{}(k.col) ^ (std::hash<std::size_t>{}(k.row) * 0x9E3779B97F4A7C15ull);
    }
};

// Every simulated score is standard normal under the model, so one beyond +-8
// (probability about 1e-15 per node) is no draw of it: the sweep has been
// amplifying values that contradict the variogram, which kriging systems of a
// very continuous model (a gaussian one without nugget) do without bound once
// the values they condition on disagree. Refused rather than clamped into a
// plausible-looking field by the back transform.
constexpr double kMaxScore = 8.0;

std::optional<AlgoError> exploded(const Field& scores, const char* op) {
    for (std::size_t col = 0; col < scores.ncol(); ++col) {
        for (std::size_t row = 0; row < scores.nrow(); ++row) {
            const double v = scores(col, row);
            if (!(std::fabs(v) > kMaxScore)) continue;  // NaN is not an explosion
            return AlgoError::invalid_argument(
                std::string(op) + ": simulated normal score " + fmt_fixed(v, 1) + " at node (" +
                std::to_string(col) + ", " + std::to_string(row) +
                ") is beyond ±8: the variogram is too continuous for the values it conditions on (a gaussian "
                "model without nugget); add a nugget, e.g. 1% of the sill");
        }
    }
    return std::nullopt;
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
    std::vector<std::size_t> chosen;  // per fixed node: the input row of its nearest datum
    std::vector<double> nearest;      // and that datum's squared distance to the node
    std::unordered_map<NodeKey, std::size_t, NodeKeyHash> at;  // node -> its fixed node
    const double ncol = static_cast<double>(lattice.ncol());
    const double nrow = static_cast<double>(lattice.nrow());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        const auto ij = lattice.world_to_intrinsic(p[0], p[1]);
        if (!ij) continue;
        const double col = std::round(ij->fi);
        const double row = std::round(ij->fj);
        if (col < 0.0 || row < 0.0 || col >= ncol || row >= nrow) continue;
        const std::size_t c = static_cast<std::size_t>(col), r = static_cast<std::size_t>(row);
        const Xy node = lattice.node_xy(c, r);
        const double dx = p[0] - node.x, dy = p[1] - node.y;
        const double d2 = dx * dx + dy * dy;
        const auto [it, first] = at.try_emplace(NodeKey{c, r}, fixed.size());
        if (first) {
            fixed.push_back({c, r, 0.0});
            chosen.push_back(i);
            nearest.push_back(d2);
        } else if (d2 < nearest[it->second]) {  // ties keep the earlier datum
            chosen[it->second] = i;
            nearest[it->second] = d2;
        }
    }
    for (std::size_t k = 0; k < fixed.size(); ++k) fixed[k].score = transform.forward(points[chosen[k]][2]);
    return fixed;
}

Result<SgsConditioning> sgs_conditioning(std::span<const DataPoint> points, const Lattice& lattice,
                                         const SgsParams& params) {
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
        std::vector<FixedNode> fixed = snap_fixed(points, lattice, *transform);
        // A lattice without nodes has nothing to condition; otherwise a field
        // that honours none of the data given would pass for a conditioned one.
        if (fixed.empty() && lattice.ncol() != 0 && lattice.nrow() != 0)
            return fail(AlgoError::invalid_argument("sgs: no datum lies on the lattice"));
        return SgsConditioning{std::move(*transform), std::move(fixed)};
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("sgs: cannot allocate working storage for " +
                                             std::to_string(points.size()) + " data"));
    }
}

Result<Field> sgs_sweep(const SgsConditioning& conditioning, const Lattice& lattice, const SgsParams& params,
                        SgsScratch& scratch, SharedStop* shared) {
    auto field = simulate_scores(lattice, params.variogram, params.max_neighbours, params.radius, params.seed,
                                 conditioning.fixed, scratch, shared);
    if (!field) return fail(std::move(field).error());
    if (auto e = exploded(*field, "sgs")) return fail(std::move(*e));
    return field;
}

Result<SgsScores> sgs_scores(std::span<const DataPoint> points, const Lattice& lattice, const SgsParams& params) {
    auto conditioning = sgs_conditioning(points, lattice, params);
    if (!conditioning) return fail(std::move(conditioning).error());
    SgsScratch scratch;
    auto field = sgs_sweep(*conditioning, lattice, params, scratch);
    if (!field) return fail(std::move(field).error());
    return SgsScores{std::move(*field), std::move(conditioning->transform)};
}

Result<Field> sgs(std::span<const DataPoint> points, const Lattice& lattice, const SgsParams& params) {
    auto run = sgs_scores(points, lattice, params);
    if (!run) return fail(std::move(run).error());
    double* v = run->scores.data();
    for (std::size_t k = 0; k < run->scores.size(); ++k) v[k] = run->transform.back(v[k]);
    return std::move(run->scores);
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
    if (auto e = exploded(*field, "sgs_unconditional")) return fail(std::move(*e));
    const double sd = std::sqrt(variance);
    double* v = field->data();
    for (std::size_t k = 0; k < field->size(); ++k) v[k] = v[k] * sd + mean;
    return std::move(*field);
}

}  // namespace zaviktools
