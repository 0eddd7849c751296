// sample_surface and tops_from_surface.
#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/interrupt.hpp"
#include "synth/wells/tops.hpp"

namespace zaviktools {

double sample_surface(const Field& surface, const Lattice& lattice, double x, double y) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    // A surface of another shape than its lattice has no node for the point.
    if (surface.ncol() != lattice.ncol() || surface.nrow() != lattice.nrow()) return nan;
    const auto ij = lattice.world_to_intrinsic(x, y);
    if (!ij) return nan;
    const double fi = ij->fi, fj = ij->fj;
    // The last index is formed in doubles: with no columns (or rows) it is −1
    // and every point lies outside instead of an unsigned count wrapping.
    const double last_i = static_cast<double>(lattice.ncol()) - 1.0;
    const double last_j = static_cast<double>(lattice.nrow()) - 1.0;
    if (fi < 0.0 || fj < 0.0 || fi > last_i || fj > last_j) return nan;
    // The clamps only matter where a count beyond 2^53 rounded up in last_i.
    const auto i0 = std::min(lattice.ncol() - 1, static_cast<std::size_t>(std::floor(fi)));
    const auto j0 = std::min(lattice.nrow() - 1, static_cast<std::size_t>(std::floor(fj)));
    const std::size_t i1 = std::min(lattice.ncol() - 1, i0 + 1);
    const std::size_t j1 = std::min(lattice.nrow() - 1, j0 + 1);
    const double a = surface(i0, j0), b = surface(i1, j0);
    const double c = surface(i0, j1), d = surface(i1, j1);
    if (std::isnan(a) || std::isnan(b) || std::isnan(c) || std::isnan(d)) return nan;
    const double tx = fi - static_cast<double>(i0);
    const double ty = fj - static_cast<double>(j0);
    return (1.0 - ty) * ((1.0 - tx) * a + tx * b) + ty * ((1.0 - tx) * c + tx * d);
}

Result<std::vector<double>> tops_from_surface(const Field& surface, const Lattice& lattice,
                                              std::span<const Xy> wells, const Sampler& residual, std::uint64_t seed) {
    Rng rng = seeded_rng(seed);
    std::vector<double> tops;
    tops.reserve(wells.size());
    StopCheck stop;  // a well takes tens of nanoseconds: asked between runs of 4096
    const bool done = run_chunked(stop, wells.size(), 4096, [&](std::size_t k) {
        const double value = sample_surface(surface, lattice, wells[k].x, wells[k].y);
        tops.push_back(value + residual.sample(rng));
        return true;
    });
    if (!done) return fail(AlgoError::interrupted("tops_from_surface"));
    return tops;
}

}  // namespace zaviktools
