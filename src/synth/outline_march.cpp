// Marching squares over a lattice surface: the segment table and the edge
// crossings of closure_outline.
//
// Only cells whose four corners are not all on one side of the level give
// segments. Per column the corners' above-level flags are packed into 64-bit
// words, so whole runs of uniform cells are passed over a word at a time and
// only the cells along the contour are looked at one by one.
#include <bit>
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

// The segments of cell (i, j), in table order; fixed saddle resolution for
// cases 5 and 10, without a centre value.
void cell_segments(const Lattice& lattice, std::size_t i, std::size_t j, const double* left, const double* right,
                   double level, std::vector<ContourSegment>& out) {
    const double zv = left[j];
    const double zu = right[j];
    const double ze = right[j + 1];
    const double zw = left[j + 1];
    if (std::isnan(zv) || std::isnan(zu) || std::isnan(ze) || std::isnan(zw)) return;
    const unsigned code =
        (zv > level ? 1u : 0u) | (zu > level ? 2u : 0u) | (ze > level ? 4u : 0u) | (zw > level ? 8u : 0u);
    const Xy pv = lattice.node_xy(i, j);
    const Xy pu = lattice.node_xy(i + 1, j);
    const Xy pe = lattice.node_xy(i + 1, j + 1);
    const Xy pw = lattice.node_xy(i, j + 1);
    const auto bottom = [&] { return crossing(pv, zv, pu, zu, level); };
    const auto right_edge = [&] { return crossing(pu, zu, pe, ze, level); };
    const auto top = [&] { return crossing(pe, ze, pw, zw, level); };
    const auto left_edge = [&] { return crossing(pw, zw, pv, zv, level); };
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
        default: break;  // 0 and 15: all corners on one side
    }
}

}  // namespace

std::optional<std::pair<std::size_t, std::size_t>> above_level(SurfaceColumns surface, double level,
                                                                std::span<std::uint64_t> above, StopCheck& stop) {
    const std::size_t nrow = surface.nrow;
    const std::size_t words = mask_words(nrow);
    for (std::size_t i = 0; i < surface.columns.size(); ++i) {
        if (stop()) return std::nullopt;
        const double* z = surface.columns[i];
        bool infinite = false;
        for (std::size_t w = 0; w < words; ++w) {
            const std::size_t base = 64 * w;
            const std::size_t n = nrow - base < 64 ? nrow - base : 64;
            std::uint64_t bits = 0;
            for (std::size_t b = 0; b < n; ++b) {
                const double v = z[base + b];
                bits |= static_cast<std::uint64_t>(v > level) << b;
                infinite |= std::fabs(v) == HUGE_VAL;
            }
            above[i * words + w] = bits;
        }
        if (infinite) {
            for (std::size_t j = 0; j < nrow; ++j) {
                if (std::isinf(z[j])) return std::pair{i, j};
            }
        }
    }
    return std::nullopt;
}

void march_segments(SurfaceColumns surface, const Lattice& lattice, double level, std::span<const std::uint64_t> above,
                    std::vector<ContourSegment>& out, StopCheck& stop) {
    const std::size_t ncol = lattice.ncol();
    const std::size_t nrow = lattice.nrow();
    const std::size_t words = mask_words(nrow);
    const std::size_t ncell_rows = nrow - 1;
    for (std::size_t i = 0; i + 1 < ncol; ++i) {
        if (stop()) return;
        const std::uint64_t* a = above.data() + i * words;
        const std::uint64_t* b = above.data() + (i + 1) * words;
        for (std::size_t w = 0; w < words; ++w) {
            const std::size_t base = 64 * w;
            if (base >= ncell_rows) break;
            // Bit j: the corner above (row j + 1) of the same column.
            const std::uint64_t a_up = (a[w] >> 1) | (w + 1 < words ? a[w + 1] << 63 : 0);
            const std::uint64_t b_up = (b[w] >> 1) | (w + 1 < words ? b[w + 1] << 63 : 0);
            std::uint64_t mixed = (a[w] ^ b[w]) | (a[w] ^ a_up) | (b[w] ^ b_up);
            if (ncell_rows - base < 64) mixed &= (std::uint64_t{1} << (ncell_rows - base)) - 1;
            while (mixed) {
                const std::size_t j = base + static_cast<std::size_t>(std::countr_zero(mixed));
                mixed &= mixed - 1;
                cell_segments(lattice, i, j, surface.columns[i], surface.columns[i + 1], level, out);
            }
        }
    }
}

}  // namespace zaviktools::outline_detail
