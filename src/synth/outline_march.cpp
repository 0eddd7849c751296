// Marching squares over a lattice field: the segment table and the edge
// crossings of closure_outline.
#include <cmath>
#include <cstddef>
#include <vector>

#include "synth/outline_contour.hpp"

namespace zaviktools::outline_detail {

namespace {

// Smallest positive normal double: an edge whose two values differ by less is
// treated as flat and crossed at its midpoint.
constexpr double kFlatEdge = 2.2250738585072014e-308;

// The level crossing on the edge from `first` to `second`, interpolated from
// the first corner.
Xy crossing(Xy first, double z_first, Xy second, double z_second, double level) {
    const double dz = z_second - z_first;
    const double t = std::fabs(dz) < kFlatEdge ? 0.5 : (level - z_first) / dz;
    return {first.x + t * (second.x - first.x), first.y + t * (second.y - first.y)};
}

}  // namespace

void march_segments(const Field& surface, const Lattice& lattice, double level, std::vector<ContourSegment>& out) {
    const std::size_t ncol = lattice.ncol();
    const std::size_t nrow = lattice.nrow();
    for (std::size_t i = 0; i + 1 < ncol; ++i) {
        const double* left = surface.column(i).data();
        const double* right = surface.column(i + 1).data();
        for (std::size_t j = 0; j + 1 < nrow; ++j) {
            const double zv = left[j];
            const double zu = right[j];
            const double ze = right[j + 1];
            const double zw = left[j + 1];
            const unsigned code = (zv > level ? 1u : 0u) | (zu > level ? 2u : 0u) | (ze > level ? 4u : 0u) |
                                  (zw > level ? 8u : 0u);
            // A NaN corner compares as not above, so a NaN cell can only look
            // like cases 0 to 14; the holes are taken out here.
            if (code == 0 || code == 15) continue;
            if (std::isnan(zv) || std::isnan(zu) || std::isnan(ze) || std::isnan(zw)) continue;

            const Xy pv = lattice.node_xy(i, j);
            const Xy pu = lattice.node_xy(i + 1, j);
            const Xy pe = lattice.node_xy(i + 1, j + 1);
            const Xy pw = lattice.node_xy(i, j + 1);
            const auto bottom = [&] { return crossing(pv, zv, pu, zu, level); };
            const auto right_edge = [&] { return crossing(pu, zu, pe, ze, level); };
            const auto top = [&] { return crossing(pe, ze, pw, zw, level); };
            const auto left_edge = [&] { return crossing(pw, zw, pv, zv, level); };

            // Fixed saddle resolution (cases 5 and 10), no centre value.
            switch (code) {
                case 1: case 14: out.push_back({left_edge(), bottom()}); break;
                case 2: case 13: out.push_back({bottom(), right_edge()}); break;
                case 3: case 12: out.push_back({left_edge(), right_edge()}); break;
                case 4: case 11: out.push_back({right_edge(), top()}); break;
                case 5:
                    out.push_back({left_edge(), bottom()});
                    out.push_back({right_edge(), top()});
                    break;
                case 6: case 9: out.push_back({bottom(), top()}); break;
                case 7: case 8: out.push_back({top(), left_edge()}); break;
                case 10:
                    out.push_back({bottom(), right_edge()});
                    out.push_back({top(), left_edge()});
                    break;
                default: break;
            }
        }
    }
}

}  // namespace zaviktools::outline_detail
