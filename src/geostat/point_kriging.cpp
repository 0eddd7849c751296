// krige_points and krige_grid. Isotropic targets are grouped into buckets of
// nearby ones (cells over their bounding box) and kriged a bucket at a time
// from one candidate list, like the blocks of the lattice sweep; anisotropic
// targets are kriged one by one (krige_each). A target that is not finite
// finds no neighbours and stays undefined.
#include "geostat/point_kriging.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "foundation/parts.hpp"
#include "geostat/block_kriging.hpp"
#include "geostat/kriging_targets.hpp"

namespace zaviktools {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Targets per bucket: about the nodes of a lattice block.
constexpr std::size_t kTargetsPerPart = 64;

bool finite(Xy p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Buckets of nearby finite targets: bucket b holds order[start[b] .. start[b + 1]).
struct Buckets {
    std::vector<std::size_t> order;
    std::vector<std::size_t> start;
    std::size_t count() const { return start.size() - 1; }
};

// Cell of `v` among n equal cells over [lo, lo + span].
std::size_t cell_of(double v, double lo, double span, std::size_t n) {
    if (!(span > 0.0)) return 0;
    const double f = (v - lo) / span * static_cast<double>(n);
    return f >= static_cast<double>(n) ? n - 1 : static_cast<std::size_t>(f);
}

// About kTargetsPerPart targets per cell of a grid over the bounding box of
// the finite targets, shaped like the box; consecutive runs of targets when
// the box's size overflows.
Buckets bucket_targets(std::span<const Xy> targets) {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    std::size_t n = 0;
    for (const Xy& p : targets) {
        if (!finite(p)) continue;
        ++n;
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    const std::size_t cells = std::max<std::size_t>(1, n / kTargetsPerPart);
    const double w = x1 - x0, h = y1 - y0;
    std::size_t nx = 1, ny = cells;
    const bool gridded = n > 0 && std::isfinite(w) && std::isfinite(h);
    if (gridded) {
        double side = std::sqrt(static_cast<double>(cells) * (w / h));  // h = 0: infinite, w = h = 0: NaN
        if (!(side >= 1.0)) side = 1.0;
        nx = side >= static_cast<double>(cells) ? cells : static_cast<std::size_t>(std::lround(side));
        ny = (cells + nx - 1) / nx;
    }
    std::vector<std::size_t> cell(targets.size(), 0);
    Buckets b{std::vector<std::size_t>(n), std::vector<std::size_t>(nx * ny + 1, 0)};
    std::size_t seen = 0;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const Xy p = targets[t];
        if (!finite(p)) continue;
        cell[t] = gridded ? cell_of(p.y, y0, h, ny) * nx + cell_of(p.x, x0, w, nx)
                          : std::min(seen / kTargetsPerPart, nx * ny - 1);
        ++seen;
        ++b.start[cell[t] + 1];
    }
    for (std::size_t c = 0; c + 1 < b.start.size(); ++c) b.start[c + 1] += b.start[c];
    std::vector<std::size_t> fill(b.start.begin(), b.start.end() - 1);
    for (std::size_t t = 0; t < targets.size(); ++t)
        if (finite(targets[t])) b.order[fill[cell[t]]++] = t;
    return b;
}

// One worker's isotropic sweep over buckets.
struct BucketSweep {
    std::span<const Xy> targets;
    double* estimate;
    double* variance;
    BlockKriger kriger;
    std::vector<Xy> positions;

    // The targets `ids`: one candidate list, or four quadrants around the
    // centre of their bounding box when the list is long.
    void run(std::span<const std::size_t> ids) {
        if (ids.empty()) return;
        double x0 = targets[ids[0]].x, x1 = x0, y0 = targets[ids[0]].y, y1 = y0;
        for (std::size_t id : ids) {
            x0 = std::min(x0, targets[id].x);
            x1 = std::max(x1, targets[id].x);
            y0 = std::min(y0, targets[id].y);
            y1 = std::max(y1, targets[id].y);
        }
        const Xy centre{x0 * 0.5 + x1 * 0.5, y0 * 0.5 + y1 * 0.5};
        double reach = 0.0;
        positions.clear();
        for (std::size_t id : ids) {
            const Xy p = targets[id];
            const double dx = p.x - centre.x, dy = p.y - centre.y;
            reach = std::max(reach, std::sqrt(dx * dx + dy * dy));
            positions.push_back(p);
        }
        auto store = [&](std::size_t t, bool ok, const KrigedValue& v) {
            if (!ok) return;
            estimate[ids[t]] = v.estimate;
            variance[ids[t]] = v.variance;
        };
        if (kriger.krige(positions, centre, reach, ids.size() > 1, store)) return;
        std::vector<std::size_t> quadrant[4];
        for (std::size_t id : ids)
            quadrant[(targets[id].x >= centre.x ? 1 : 0) + (targets[id].y >= centre.y ? 2 : 0)].push_back(id);
        for (const auto& q : quadrant) {
            if (q.size() == ids.size()) {  // no split separates them: one list after all
                kriger.krige(positions, centre, reach, false, store);
                return;
            }
        }
        for (const auto& q : quadrant) run(q);
    }
};

}  // namespace

Result<KrigedPoints> krige_points(std::span<const DataPoint> points, std::span<const Xy> targets,
                                  const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                                  const KrigeRun& run) {
    constexpr const char* op = "krige_points";
    if (auto e = check_kriging_inputs(op, "krige_points: no data", points, max_neighbours, radius)) return fail(*e);
    try {
        const std::size_t m = targets.size();
        KrigedPoints out{std::vector<double>(m, kNaN), std::vector<double>(m, kNaN)};
        const IndexedData d = index_data(points, variogram, false);
        bool done = false;
        if (const auto* v = std::get_if<Variogram>(&variogram.kind)) {
            const Buckets b = bucket_targets(targets);
            done = run_parts(kriging_workers(run, m, b.count()), b.count(), [&] {
                return [&, sweep = BucketSweep{targets, out.estimate.data(), out.variance.data(),
                                               BlockKriger(*v, d.data, d.index, max_neighbours, radius, run.path),
                                               {}}](std::size_t part) mutable {
                    sweep.run(std::span(b.order).subspan(b.start[part], b.start[part + 1] - b.start[part]));
                };
            });
        } else {
            done = krige_each(
                d, variogram, max_neighbours, radius, run, m, [&](std::size_t t) { return Target{targets[t]}; },
                [&](std::size_t t, const KrigedValue& v) {
                    out.estimate[t] = v.estimate;
                    out.variance[t] = v.variance;
                });
        }
        if (!done) return fail(AlgoError::interrupted(op));
        return out;
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory(std::string(op) + ": cannot allocate working storage for " +
                                                std::to_string(targets.size()) + " targets"));
    }
}

Result<KrigedGrids> krige_grid(std::span<const DataPoint> points, const Lattice& lattice,
                               const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                               const KrigeRun& run) {
    constexpr const char* op = "krige_grid";
    if (auto e = check_kriging_inputs(op, "krige_grid: no data", points, max_neighbours, radius)) return fail(*e);
    if (const auto* v = std::get_if<Variogram>(&variogram.kind)) {
        auto engine = LocalKriging::create(*v, max_neighbours, radius);
        if (!engine) return fail(std::move(engine).error());
        return engine->krige(points, lattice, run);
    }
    auto estimate = Field::create(lattice.ncol(), lattice.nrow(), kNaN);
    if (!estimate) return fail(std::move(estimate).error());
    auto variance = Field::create(lattice.ncol(), lattice.nrow(), kNaN);
    if (!variance) return fail(std::move(variance).error());
    try {
        const IndexedData d = index_data(points, variogram, false);
        // Runs of consecutive nodes in field order: down one column at a time.
        const std::size_t nrow = lattice.nrow();
        const bool done = krige_each(
            d, variogram, max_neighbours, radius, run, estimate->size(),
            [&](std::size_t t) { return Target{lattice.node_xy(t / nrow, t % nrow)}; },
            [&](std::size_t t, const KrigedValue& v) {
                estimate->data()[t] = v.estimate;
                variance->data()[t] = v.variance;
            });
        if (!done) return fail(AlgoError::interrupted(op));
        return KrigedGrids{std::move(*estimate), std::move(*variance)};
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory(std::string(op) + ": cannot allocate working storage for " +
                                                std::to_string(points.size()) + " data"));
    }
}

}  // namespace zaviktools
