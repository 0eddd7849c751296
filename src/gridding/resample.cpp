#include "gridding/resample.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "foundation/interrupt.hpp"
#include "foundation/name_table.hpp"

namespace zaviktools {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSnap = 1e-9;

// Nearest integer, halves away from zero, exact for every double (without a
// call into the maths library: this runs several times per target node).
double round_half_away(double f) {
    if (!(std::fabs(f) < 4503599627370496.0)) return f;  // 2^52 and beyond: already integral
    const double t = static_cast<double>(static_cast<std::int64_t>(f));  // toward zero
    const double d = f - t;                                              // exact
    if (d >= 0.5) return t + 1.0;
    if (d <= -0.5) return t - 1.0;
    return t;
}

// An index within 1e-9 of an integer is that integer, so nodes shared by the
// two lattices are read exactly despite rounding in the transforms.
double snap(double f) {
    const double r = round_half_away(f);
    return std::fabs(f - r) <= kSnap ? r : f;
}

// Value at fractional source position (fi, fj), already inside the extent
// (so both are >= 0 and conversion to an index truncates = floors).
double read_nearest(const Field& src, double fi, double fj) {
    const auto ri = static_cast<std::size_t>(round_half_away(fi));
    const auto rj = static_cast<std::size_t>(round_half_away(fj));
    return src(ri, rj);
}

double read_bilinear(const Field& src, double fi, double fj) {
    const auto a = static_cast<std::size_t>(fi);
    const auto b = static_cast<std::size_t>(fj);
    const double tx = fi - static_cast<double>(a), ty = fj - static_cast<double>(b);  // exact
    const std::size_t a1 = std::min(a + 1, src.ncol() - 1);
    const std::size_t b1 = std::min(b + 1, src.nrow() - 1);
    const double v[4] = {src(a, b), src(a1, b), src(a, b1), src(a1, b1)};
    // The nearest node is the corner the fractions round to (halves away from
    // zero); a hole there stays a hole around its own node.
    if (std::isnan(v[(tx >= 0.5 ? 1 : 0) + (ty >= 0.5 ? 2 : 0)])) return kNaN;
    const double w[4] = {(1.0 - tx) * (1.0 - ty), tx * (1.0 - ty), (1.0 - tx) * ty, tx * ty};
    // Sums start from -0.0, the exact additive identity, so a -0.0 node read
    // on its own comes back as -0.0. Corners of zero weight take no part:
    // they change nothing, except that an infinite value there would turn the
    // sum into NaN.
    double acc = -0.0, wsum = -0.0;
    for (int k = 0; k < 4; ++k) {
        const bool take = !std::isnan(v[k]) && w[k] > 0.0;
        acc = take ? acc + w[k] * v[k] : acc;
        wsum = take ? wsum + w[k] : wsum;
    }
    return wsum > 0.0 ? acc / wsum : kNaN;
}

constexpr NameRow<ResampleMethod> kMethods[] = {
    {ResampleMethod::Bilinear, "bilinear", {"linear"}},
    {ResampleMethod::Nearest, "nearest", {"nn"}},
};

std::string pair_text(std::size_t a, std::size_t b) {
    return "(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

}  // namespace

Result<ResampleMethod> parse_resample_method(std::string_view text) {
    return parse_name(NameTable<NameRow<ResampleMethod>>{"resample method", kMethods}, text);
}

Result<Field> resample(const Field& src, const Lattice& sl, const Lattice& target, ResampleMethod method) {
    if (src.ncol() != sl.ncol() || src.nrow() != sl.nrow())
        return fail(AlgoError::invalid_argument("resample: src_grid shape " + pair_text(src.ncol(), src.nrow()) +
                                                " does not match src_georef " + pair_text(sl.ncol(), sl.nrow())));
    if (sl.ncol() == 0 || sl.nrow() == 0 || sl.xinc() == 0.0 || sl.yinc() == 0.0)
        return fail(AlgoError::invalid_geometry("resample: degenerate source geometry (empty grid or zero node spacing)"));
    // Filled with NaN run by run in the loop below, so that the fill of a large
    // target stops on Ctrl-C too.
    auto out = Field::create_unfilled(target.ncol(), target.nrow());
    if (!out) return out;
    if (out->size() == 0) return out;
    bool finite = true;
    for (double v : {sl.xori(), sl.yori(), sl.xinc(), sl.yinc(), sl.rotation_deg()}) finite = finite && std::isfinite(v);
    const double last_i = static_cast<double>(sl.ncol() - 1);
    const double last_j = static_cast<double>(sl.nrow() - 1);
    // Target node positions: the forward transform of the target lattice with
    // its column part hoisted (the same operations in the same order as
    // Lattice::node_xy). Source indices: the inverse transform of the source
    // lattice (as Lattice::xy_to_ij, whose geometry checks were done above).
    const double tc = target.cos_rot(), ts = target.sin_rot();
    const double t_ix = tc * target.xinc(), t_iy = ts * target.xinc();
    const double t_jx = target.yflip() ? ts * target.yinc() : ts * (-target.yinc());
    const double t_jy = target.yflip() ? tc * (-target.yinc()) : tc * target.yinc();
    const double sc = sl.cos_rot(), ss = sl.sin_rot();
    const double sx0 = sl.xori(), sy0 = sl.yori(), sxinc = sl.xinc(), syinc = sl.yinc();
    const bool sflip = sl.yflip();
    const bool nearest = method == ResampleMethod::Nearest;
    // Every target node is independent of the others, so the nodes are visited
    // in storage order (row index fastest), in runs of up to 4096 rows; the
    // clock is read about every 4096 nodes.
    constexpr std::size_t kRun = 4096;
    const std::size_t nrow = target.nrow();
    StopCheck stop(static_cast<std::uint32_t>(std::max<std::size_t>(1, kRun / nrow)));
    for (std::size_t i = 0; i < target.ncol(); ++i) {
        if (stop()) return fail(AlgoError::interrupted("resample"));
        const double fti = static_cast<double>(i);
        const double px = fti * t_ix + target.xori();
        const double py = fti * t_iy + target.yori();
        double* col = out->column(i).data();
        const bool done = run_chunked(stop, (nrow + kRun - 1) / kRun, 1, [&](std::size_t r) {
            const std::size_t begin = r * kRun, end = std::min(nrow, begin + kRun);
            std::fill(col + begin, col + end, kNaN);
            if (!finite) return true;
            for (std::size_t j = begin; j < end; ++j) {
                const double ftj = static_cast<double>(j);
                const double x = px + t_jx * ftj;
                const double y = py + t_jy * ftj;
                if (!std::isfinite(x) || !std::isfinite(y)) continue;
                const double dx = x - sx0, dy = y - sy0;
                const double u = dy * ss + dx * sc;
                double v = dy * sc - dx * ss;
                if (sflip) v = -v;
                double fi = u / sxinc, fj = v / syinc;
                if (!std::isfinite(fi) || !std::isfinite(fj)) continue;
                fi = snap(fi);
                fj = snap(fj);
                if (fi < 0.0 || fi > last_i || fj < 0.0 || fj > last_j) continue;
                col[j] = nearest ? read_nearest(src, fi, fj) : read_bilinear(src, fi, fj);
            }
            return true;
        });
        if (!done) return fail(AlgoError::interrupted("resample"));
    }
    return out;
}

}  // namespace zaviktools
