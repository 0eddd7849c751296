#include "geostat/sgs/offset_table.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace zaviktools {

namespace {

// Exponent of the lowest set bit of a finite non-zero double.
int lowest_bit_exponent(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t frac = bits & ((std::uint64_t{1} << 52) - 1);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t mant = biased == 0 ? frac : (frac | (std::uint64_t{1} << 52));
    const int exp = biased == 0 ? -1074 : biased - 1075;
    return exp + std::countr_zero(mant);
}

}  // namespace

bool exact_node_positions(const Lattice& lat) {
    // sin 0 = 0 and cos 0 = 1 exactly: no rotation terms beyond signed zeros.
    if (lat.sin_rot() != 0.0 || lat.cos_rot() != 1.0) return false;
    const double values[] = {lat.xori(), lat.yori(), lat.xinc(), lat.yinc()};
    int q = INT_MAX;
    for (double v : values) {
        if (!std::isfinite(v)) return false;
        if (v != 0.0) q = std::min(q, lowest_bit_exponent(v));
    }
    if (lat.xinc() == 0.0 || lat.yinc() == 0.0) return false;
    // All positions and partial sums are multiples of 2^q; they are exact
    // while below 2^53 * 2^q (checked with a factor two to spare).
    const double limit = std::ldexp(1.0, q + 52);
    const double span_x = std::fabs(lat.xori()) + static_cast<double>(lat.ncol()) * std::fabs(lat.xinc());
    const double span_y = std::fabs(lat.yori()) + static_cast<double>(lat.nrow()) * std::fabs(lat.yinc());
    return span_x < limit && span_y < limit;
}

bool OffsetTable::prepare(const Lattice& lat, const Correlation& rho, double radius, std::size_t max_entries) {
    values_.clear();
    if (!exact_node_positions(lat) || !std::isfinite(radius) || !(radius > 0.0)) return false;
    if (lat.ncol() == 0 || lat.nrow() == 0) return false;  // no nodes, no offsets
    // A neighbour lies within `radius` of its node (to a rounding), so within
    // half_i columns and half_j rows of it; two neighbours within twice that.
    const double ncol1 = static_cast<double>(lat.ncol()) - 1.0, nrow1 = static_cast<double>(lat.nrow()) - 1.0;
    const double hi = std::min(std::floor(radius * 1.001 / std::fabs(lat.xinc())) + 1.0, ncol1);
    const double hj = std::min(std::floor(radius * 1.001 / std::fabs(lat.yinc())) + 1.0, nrow1);
    const double di = std::min(2.0 * hi, ncol1), dj = std::min(2.0 * hj, nrow1);
    if ((2.0 * di + 1.0) * (2.0 * dj + 1.0) > static_cast<double>(max_entries)) return false;
    half_i_ = static_cast<std::size_t>(hi);
    half_j_ = static_cast<std::size_t>(hj);
    const auto di_max = static_cast<std::int64_t>(di), dj_max = static_cast<std::int64_t>(dj);
    width_ = 2 * dj_max + 1;
    centre_ = di_max * width_ + dj_max;
    // The world offset of node offset (di, dj): node_xy's x grows by xinc per
    // column, its y by yinc per row (by -yinc with yflip).
    const double xstep = lat.xinc();
    const double ystep = lat.yflip() ? -lat.yinc() : lat.yinc();
    const auto w = static_cast<std::size_t>(width_);
    values_.resize(static_cast<std::size_t>(2 * di_max + 1) * w);
    std::vector<double> dx(w), dy(w);
    for (std::int64_t i = -di_max; i <= di_max; ++i) {
        for (std::int64_t j = -dj_max; j <= dj_max; ++j) {
            dx[static_cast<std::size_t>(j + dj_max)] = static_cast<double>(i) * xstep;
            dy[static_cast<std::size_t>(j + dj_max)] = static_cast<double>(j) * ystep;
        }
        rho.many(dx.data(), dy.data(), w, values_.data() + static_cast<std::size_t>(i + di_max) * w);
    }
    max_abs_ = 1.0;
    for (double v : values_) {
        if (!(std::fabs(v) <= max_abs_)) max_abs_ = std::isnan(v) ? v : std::fabs(v);
        if (std::isnan(max_abs_)) break;
    }
    return true;
}

}  // namespace zaviktools
