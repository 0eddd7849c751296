#include "interp/spline.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "interp/knots.hpp"

namespace zaviktools {

namespace {

constexpr double kEps = 2.220446049250313e-16;

// Thomas algorithm over the interior rows i = 1 .. n-2 of the natural-spline
// system: sub h[i-1], diagonal 2(h[i-1] + h[i]), super h[i], right-hand side
// 6((y[i+1]-y[i])/h[i] - (y[i]-y[i-1])/h[i-1]). Fills m[1 .. n-2].
//
// The system is diagonally dominant, so every pivot is at least three quarters
// of its diagonal. A pivot is refused as singular only when it is not finite or
// is negligible against its own diagonal: an absolute threshold would reject
// perfectly good knots spaced below 1e-16 units apart.
bool solve_natural(std::span<const double> x, std::span<const double> y, std::vector<double>& m) {
    const std::size_t n = x.size();
    if (n < 3) return true;
    std::vector<double> cp(n, 0.0), dp(n, 0.0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double h0 = x[i] - x[i - 1];
        const double h1 = x[i + 1] - x[i];
        const double diag = 2.0 * (h0 + h1);
        const double rhs = 6.0 * ((y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0);
        double pivot = diag, d = rhs;
        if (i > 1) {
            pivot = diag - h0 * cp[i - 1];
            d = rhs - h0 * dp[i - 1];
        }
        if (!std::isfinite(pivot) || std::fabs(pivot) <= kEps * std::fabs(diag)) return false;
        cp[i] = h1 / pivot;  // unused for the last row, which has no super-diagonal
        dp[i] = d / pivot;
    }
    m[n - 2] = dp[n - 2];
    for (std::size_t i = n - 2; i-- > 1;) m[i] = dp[i] - cp[i] * m[i + 1];
    for (double v : m) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// A natural spline does not depend on the scale of x, but h*h and the second
// derivatives (about dy / h^2) leave the range of doubles for knots spanning
// more than about 2^500, and the span itself may overflow. Knots spanning
// 2^256 or more are taken times the power of two that brings their span into
// [1, 2); the product is exact wherever it stays normal. Narrower knots keep
// scale 1, and with it every bit of their results.
double knot_scale(std::span<const double> x) {
    const double half_span = x.back() * 0.5 - x.front() * 0.5;
    if (half_span < 0x1p255) return 1.0;
    return std::ldexp(1.0, -(std::ilogb(half_span) + 1));
}

}  // namespace

CubicSpline1d::CubicSpline1d(std::vector<double> x, std::vector<double> y, std::vector<double> m, double scale)
    : x_(std::move(x)), y_(std::move(y)), m_(std::move(m)), scale_(scale), locator_(x_) {}

Result<CubicSpline1d> CubicSpline1d::create(std::span<const double> x, std::span<const double> y) {
    if (auto ok = validate_knots(x, y); !ok) return fail(std::move(ok).error());
    try {
        const double scale = knot_scale(x);
        std::vector<double> xs(x.begin(), x.end());
        if (scale != 1.0)
            for (double& v : xs) v *= scale;
        std::vector<double> m(x.size(), 0.0);
        if (!solve_natural(xs, y, m)) return fail(AlgoError::invalid_geometry("singular spline system"));
        return CubicSpline1d(std::move(xs), std::vector<double>(y.begin(), y.end()), std::move(m), scale);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("CubicSpline1d: cannot allocate " + std::to_string(x.size()) +
                                             " knots"));
    }
}

double CubicSpline1d::evaluate_at(double query, KnotPosition pos) const {
    const double q = query * scale_;  // exact for scale 1, NaN and -0.0 included
    const std::size_t s = segment_of(pos, x_.size());
    const double h = x_[s + 1] - x_[s];
    const double a = (x_[s + 1] - q) / h;
    const double b = (q - x_[s]) / h;
    return ((a * a * a - a) * m_[s] + (b * b * b - b) * m_[s + 1]) * (h * h) / 6.0 + (a * y_[s] + b * y_[s + 1]);
}

double CubicSpline1d::evaluate(double q, bool extrapolate) const {
    if (std::isnan(q)) return std::numeric_limits<double>::quiet_NaN();
    const double qs = q * scale_;
    if (!extrapolate && (qs < x_.front() || qs > x_.back())) return std::numeric_limits<double>::quiet_NaN();
    return evaluate_at(q, locator_.locate(qs));
}

}  // namespace zaviktools
