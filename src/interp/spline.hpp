// Natural cubic spline through a knot series (second derivative 0 at both ends).
#pragma once

#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "interp/locate.hpp"

namespace zaviktools {

class CubicSpline1d {
public:
    // Validates the knots, then solves for the interior second derivatives.
    static Result<CubicSpline1d> create(std::span<const double> x, std::span<const double> y);

    // Value at `q`; NaN for a NaN query, and outside [x0, xn-1] unless
    // `extrapolate` (then the end segment's cubic is continued).
    double evaluate(double q, bool extrapolate) const;
    // The same, at a position already located among the caller's knots.
    double evaluate_at(double q, KnotPosition pos) const;

    // The spline works on the knots times scale(): 1, or for knots spanning
    // 2^256 or more the power of two that brings their span into [1, 2). x()
    // and second_derivatives() are in those coordinates.
    double scale() const { return scale_; }
    const std::vector<double>& x() const { return x_; }
    const std::vector<double>& y() const { return y_; }
    const std::vector<double>& second_derivatives() const { return m_; }

private:
    CubicSpline1d(std::vector<double> x, std::vector<double> y, std::vector<double> m, double scale);
    std::vector<double> x_, y_, m_;
    double scale_ = 1.0;
    KnotLocator locator_;
};

// Segment s of [x[s], x[s+1]] used for a located query: the hit knot (the last
// segment for the last knot), else the segment below the insertion point,
// clamped to the first and last segments.
inline std::size_t segment_of(KnotPosition pos, std::size_t n) {
    if (pos.hit) return pos.p == n - 1 ? n - 2 : pos.p;
    if (pos.p == 0) return 0;
    if (pos.p == n) return n - 2;
    return pos.p - 1;
}

}  // namespace zaviktools
