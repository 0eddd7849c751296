// Correlations of the kriging matrix looked up by node offset. On an
// unrotated lattice whose origin and spacings share a binary grid fine enough
// for every node position (node_xy computes them exactly then, and so every
// difference of two positions), the offset between two nodes (di, dj) has the
// world components di*xinc and dj*(+-yinc) exactly, so the correlation of that
// offset can be computed once and read back, bit for bit the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/lattice.hpp"
#include "geostat/sgs/correlation.hpp"

namespace zaviktools {

// True when every node position of `lattice` (and so every difference of two)
// is computed exactly by node_xy.
bool exact_node_positions(const Lattice& lattice);

class OffsetTable {
public:
    // Tabulates rho for node offsets up to twice `radius` (the farthest two
    // neighbours of one node can be apart). False, keeping nothing, when the
    // lattice is not exact or the table would exceed `max_entries`.
    bool prepare(const Lattice& lattice, const Correlation& rho, double radius, std::size_t max_entries);
    bool ready() const { return !values_.empty(); }
    // The largest magnitude of any value (and of the unit diagonal); NaN
    // when a value is.
    double max_abs() const { return max_abs_; }

    // Node (col, row) as a key: the difference of two keys, shifted by the
    // centre, addresses the correlation of their offset.
    std::int64_t key(std::size_t col, std::size_t row) const {
        return static_cast<std::int64_t>(col) * width_ + static_cast<std::int64_t>(row);
    }
    // True when (col, row) lies within the half reach of (col0, row0), so
    // that the offset between any two such nodes is in the table.
    bool near(std::size_t col, std::size_t row, std::size_t col0, std::size_t row0) const {
        const std::size_t dc = col > col0 ? col - col0 : col0 - col;
        const std::size_t dr = row > row0 ? row - row0 : row0 - row;
        return dc <= half_i_ && dr <= half_j_;
    }
    // rho for the offset between the nodes of two keys (both near one node).
    double at(std::int64_t key_a, std::int64_t key_b) const {
        return values_[static_cast<std::size_t>(centre_ + key_a - key_b)];
    }

    // The values and the centre `at` reads them with (values()[centre() +
    // key_a - key_b]), for kernels that gather them.
    const double* values() const { return values_.data(); }
    std::int64_t centre() const { return centre_; }

private:
    std::vector<double> values_;  // (di + di_max) * width + (dj + dj_max)
    std::size_t half_i_ = 0;
    std::size_t half_j_ = 0;
    std::int64_t width_ = 0;
    std::int64_t centre_ = 0;
    double max_abs_ = 1.0;
};

}  // namespace zaviktools
