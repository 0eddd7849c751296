#include "interp/interp1d.hpp"

#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "foundation/interrupt.hpp"
#include "interp/knots.hpp"
#include "interp/locate.hpp"
#include "interp/spline.hpp"

namespace zaviktools {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Step readings: the value of a knot chosen by the query's position.
double nearest(std::span<const double> x, std::span<const double> y, double q, KnotPosition pos) {
    const std::size_t n = x.size(), p = pos.p;
    if (pos.hit) return y[p];
    if (p == 0) return y[0];
    if (p == n) return y[n - 1];
    const double dl = std::fabs(q - x[p - 1]);
    const double dr = std::fabs(q - x[p]);
    return dr >= dl ? y[p - 1] : y[p];  // a tie goes to the lower knot
}

double previous(std::span<const double> y, KnotPosition pos) {
    const std::size_t n = y.size(), p = pos.p;
    if (pos.hit) return y[p];
    if (p == 0) return y[0];
    if (p == n) return y[n - 1];
    return y[p - 1];
}

double next(std::span<const double> y, KnotPosition pos) {
    const std::size_t n = y.size(), p = pos.p;
    if (pos.hit || p < n) return y[p];
    return y[n - 1];
}

double linear(std::span<const double> x, std::span<const double> y, double q, KnotPosition pos) {
    const std::size_t s = segment_of(pos, x.size());
    const double offset = q - x[s];
    const double span = x[s + 1] - x[s];
    if (std::isfinite(offset) && std::isfinite(span)) return (y[s + 1] - y[s]) * (offset / span) + y[s];
    // A segment (or an extrapolated offset) wider than the largest double: the
    // fraction is the same in halved coordinates, which cannot overflow.
    return (y[s + 1] - y[s]) * ((q * 0.5 - x[s] * 0.5) / (x[s + 1] * 0.5 - x[s] * 0.5)) + y[s];
}

// The per-query loop for one reading; `read(q, pos)` sees only located,
// in-range (or extrapolated) queries.
template <class Read>
Result<std::vector<double>> evaluate_all(std::span<const double> x, std::span<const double> query, bool extrapolate,
                                         Read read) {
    const KnotLocator locator(x);
    const double lo = x.front(), hi = x.back();
    std::vector<double> out(query.size());
    StopCheck stop;  // a query takes tens of nanoseconds: asked between runs of 4096
    const bool done = run_chunked(stop, query.size(), 4096, [&](std::size_t k) {
        const double q = query[k];
        out[k] = std::isnan(q) || (!extrapolate && (q < lo || q > hi)) ? kNaN : read(q, locator.locate(q));
        return true;
    });
    if (!done) return fail(AlgoError::interrupted("interp1d"));
    return out;
}

Result<std::vector<double>> evaluate(std::span<const double> x, std::span<const double> y,
                                     std::span<const double> query, Interp1dMethod method, bool extrapolate) {
    if (method == Interp1dMethod::Cubic) {
        auto spline = CubicSpline1d::create(x, y);
        if (!spline) return fail(std::move(spline).error());
        const CubicSpline1d& sp = *spline;
        return evaluate_all(x, query, extrapolate, [&](double q, KnotPosition pos) { return sp.evaluate_at(q, pos); });
    }
    if (auto ok = validate_knots(x, y); !ok) return fail(std::move(ok).error());
    switch (method) {
        case Interp1dMethod::Nearest:
            return evaluate_all(x, query, extrapolate, [&](double q, KnotPosition pos) { return nearest(x, y, q, pos); });
        case Interp1dMethod::Previous:
            return evaluate_all(x, query, extrapolate, [&](double, KnotPosition pos) { return previous(y, pos); });
        case Interp1dMethod::Next:
            return evaluate_all(x, query, extrapolate, [&](double, KnotPosition pos) { return next(y, pos); });
        case Interp1dMethod::Linear:
        case Interp1dMethod::Cubic:
            break;
    }
    return evaluate_all(x, query, extrapolate, [&](double q, KnotPosition pos) { return linear(x, y, q, pos); });
}

}  // namespace

Result<std::vector<double>> interp1d(std::span<const double> x, std::span<const double> y,
                                     std::span<const double> query, Interp1dMethod method, bool extrapolate) {
    // Working storage is a few vectors as long as the inputs; running out of
    // memory is reported as a value, never thrown.
    try {
        return evaluate(x, y, query, method, extrapolate);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("interp1d: cannot allocate " + std::to_string(query.size()) +
                                             " results"));
    }
}

}  // namespace zaviktools
