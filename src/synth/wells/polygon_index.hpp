// Horizontal bands over a polygon's edges, so that the even-odd inside test of
// a point looks only at the edges whose y-range can hold the point's y.
//
// The test of an edge is exactly that of inside_polygon: it flips the result
// when (y < yᵢ) != (y < yⱼ) and x < xᵢ + (y − yᵢ)·(xⱼ − xᵢ)/(yⱼ − yᵢ). The
// result is the parity of the flipping edges, which does not depend on the
// order the edges are visited in, so banding changes no answer. Edges with a
// NaN coordinate can never flip and are left out.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/lattice.hpp"

namespace zaviktools {

class PolygonIndex {
public:
    // `ymin` < `ymax`, both finite: the polygon's vertical extent (NaN ignored).
    PolygonIndex(std::span<const Xy> polygon, double ymin, double ymax);

    // inside_polygon(polygon, p), for p.y in [ymin, ymax].
    bool inside(Xy p) const;

private:
    struct Edge {
        double xi, yi, dx, dy, yj;  // dx = xj − xi, dy = yj − yi
    };
    std::uint32_t band_of(double y) const;

    double ymin_ = 0.0;
    double scale_ = 0.0;  // bands per unit of y
    std::uint32_t bands_ = 1;
    std::vector<std::size_t> start_;  // edges of band k: edges_[start_[k] .. start_[k + 1])
    std::vector<Edge> edges_;
};

}  // namespace zaviktools
