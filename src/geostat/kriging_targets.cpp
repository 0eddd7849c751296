#include "geostat/kriging_targets.hpp"

#include <cmath>
#include <string>

#include "geostat/ok_system.hpp"
#include "variograms/shape.hpp"

namespace zaviktools {
namespace {

// SpatialVariogram::gamma_offset_2d of an anisotropic variogram with its sine
// and cosine taken once: the operations of gamma_offset(dx, dy, 0) in their
// order (its vertical term adds an exact 0), so the same bits, without two
// trigonometric calls per pair.
struct AnisotropicGamma {
    const AnisotropicVariogram& v;
    double s;
    double k;

    double operator()(double dx, double dy) const {
        const double along = dy * k + dx * s;
        const double across = dx * k - dy * s;
        const double u = across * v.major / v.minor;
        const double h2 = along * along + u * u;
        if (h2 == 0.0) return 0.0;
        return variogram_shape(v.model, v.nugget, v.sill, std::sqrt(h2), v.major);
    }
};

}  // namespace

NeighbourMetric::NeighbourMetric(const SpatialVariogram& variogram) {
    const auto* v = std::get_if<AnisotropicVariogram>(&variogram.kind);
    if (!v) return;
    // The projections of AnisotropicVariogram's reduced distance, applied to
    // positions instead of offsets.
    const double theta = v->azimuth * kDegToRad;
    scaled_ = true;
    s_ = std::sin(theta);
    k_ = std::cos(theta);
    ratio_ = v->major / v->minor;
}

std::optional<AlgoError> check_kriging_inputs(const char* op, const char* no_data, std::span<const DataPoint> points,
                                              std::size_t max_neighbours, double radius) {
    if (max_neighbours == 0 || !std::isfinite(radius) || radius <= 0.0)
        return AlgoError::invalid_argument(std::string(op) + ": need max_neighbours >= 1 and radius > 0");
    if (points.empty()) return AlgoError::empty_input(no_data);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return AlgoError::invalid_argument(std::string(op) + ": point " + std::to_string(i) +
                                               " is not finite (x, y and z must be finite)");
    }
    return std::nullopt;
}

IndexedData index_data(std::span<const DataPoint> points, const SpatialVariogram& variogram, bool locate) {
    IndexedData d{{}, {}, NeighbourMetric(variogram), {}};
    d.data = locate ? dedup_coincident(points, d.location_of) : dedup_coincident(points);
    std::vector<NeighbourEntry> entries;
    entries.reserve(d.data.size());
    for (std::size_t k = 0; k < d.data.size(); ++k) {
        const Xy q = d.metric.map({d.data[k][0], d.data[k][1]});
        entries.push_back({q.x, q.y, k});
    }
    d.index = Neighbourhood(entries);
    return d;
}

bool TargetKriger::krige(Xy p, KrigedValue& out, std::size_t skip) {
    const Xy q = data_.metric.map(p);
    std::vector<Neighbour>& found = scratch_.neighbours;
    if (skip == kNoSkip) {
        data_.index.nearest_into(q.x, q.y, k_, found, radius_);
    } else {
        // One more than wanted, then the skipped datum taken out: the list a
        // query of an index without it returns (same key, same order).
        data_.index.nearest_into(q.x, q.y, k_ == kNoSkip ? k_ : k_ + 1, found, radius_);
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (found[i].index != skip) continue;
            found.erase(found.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
        if (found.size() > k_) found.resize(k_);
    }
    const std::span<const DataPoint> data = data_.data;
    if (const auto* v = std::get_if<Variogram>(&variogram_.kind))
        return ordinary_kriging_at(*v, data, scratch_, out, path_);
    const auto& av = std::get<AnisotropicVariogram>(variogram_.kind);
    const double theta = av.azimuth * 0.017453292519943295;
    const AnisotropicGamma gamma{av, std::sin(theta), std::cos(theta)};
    auto pair = [&](std::size_t i, std::size_t j) {
        const DataPoint& a = data[found[i].index];
        const DataPoint& b = data[found[j].index];
        return gamma(a[0] - b[0], a[1] - b[1]);
    };
    auto fill = [&](double* a, std::size_t n, std::size_t m) { fill_pairs_from(pair, a, n, m); };
    auto target_gamma = [&](std::size_t i) {
        const DataPoint& a = data[found[i].index];
        return gamma(a[0] - p.x, a[1] - p.y);
    };
    return solve_ordinary_kriging_with(data, scratch_, fill, target_gamma, path_, out);
}

}  // namespace zaviktools
