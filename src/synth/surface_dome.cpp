// synth_dome_surface: a Gaussian four-way closure with a regional tilt and
// correlated noise, laid out in world coordinates.
#include <algorithm>
#include <cmath>

#include "synth/surface.hpp"

namespace zaviktools {

namespace {

// Guards the semi-axes and the width of a lattice one node wide or tall.
constexpr double kMinNormal = 2.2250738585072014e-308;

bool finite_point(Xy p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

Result<Field> synth_dome_surface(const Lattice& lattice, double relief, double aspect, double tilt,
                                 const NoiseSpec& noise, std::uint64_t seed) {
    if (!std::isfinite(relief) || !std::isfinite(tilt))
        return fail(AlgoError::invalid_argument("synth_dome_surface: relief and tilt must be finite"));
    if (!std::isfinite(aspect) || !(aspect > 0.0))
        return fail(AlgoError::invalid_argument("synth_dome_surface: aspect must be finite and > 0"));
    const std::size_t ncol = lattice.ncol();
    const std::size_t nrow = lattice.nrow();
    const bool has_nodes = ncol > 0 && nrow > 0;
    Xy corners[4] = {};
    if (has_nodes) {
        corners[0] = lattice.node_xy(0, 0);
        corners[1] = lattice.node_xy(ncol - 1, 0);
        corners[2] = lattice.node_xy(0, nrow - 1);
        corners[3] = lattice.node_xy(ncol - 1, nrow - 1);
        for (const Xy& c : corners) {
            if (!finite_point(c))
                return fail(AlgoError::invalid_argument("synth_dome_surface: lattice geometry must be finite"));
        }
    }

    // The noise is the field the dome is added onto; without it, zeros and no draw.
    auto field = noise.variance > 0.0 ? surface_field(lattice, noise.variogram, seed, 0.0, noise.variance)
                                      : Field::create(ncol, nrow, 0.0);
    if (!field || !has_nodes) return field;

    double xmin = corners[0].x, xmax = corners[0].x, ymin = corners[0].y, ymax = corners[0].y;
    for (const Xy& c : corners) {
        xmin = std::min(xmin, c.x);
        xmax = std::max(xmax, c.x);
        ymin = std::min(ymin, c.y);
        ymax = std::max(ymax, c.y);
    }
    const double wx = xmax - xmin;
    const double wy = ymax - ymin;
    const double cx = (xmin + xmax) / 2.0;
    const double cy = (ymin + ymax) / 2.0;
    const double root = std::sqrt(aspect);
    const double ax = std::max(0.25 * wx * root, kMinNormal);
    const double ay = std::max(0.25 * wy / root, kMinNormal);
    const double wxs = std::max(wx, kMinNormal);

    for (std::size_t i = 0; i < ncol; ++i) {
        double* column = field->column(i).data();
        for (std::size_t j = 0; j < nrow; ++j) {
            const Xy p = lattice.node_xy(i, j);
            const double dx = (p.x - cx) / ax;
            const double dy = (p.y - cy) / ay;
            column[j] = relief * std::exp(-0.5 * (dx * dx + dy * dy)) + tilt * ((p.x - xmin) / wxs - 0.5) + column[j];
        }
    }
    return field;
}

}  // namespace zaviktools
