// The natural spline's second derivatives, for comparison with other solvers.
#include <vector>

#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "interp/spline.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(spline_second_derivatives, "spline_second_derivatives(x, y)", "") {
    std::vector<double> x, y;
    if (!args.parse(x, y)) return nullptr;
    auto spline = zk::CubicSpline1d::create(x, y);
    if (!spline) return zkpy::to_pyerr(std::move(spline).error());
    return zkpy::to_py(spline->second_derivatives());
}

ZK_FUNCTION(spline_evaluate, "spline_evaluate(x, y, q, extrapolate)", "") {
    std::vector<double> x, y;
    double q = 0.0;
    bool extrapolate = false;
    if (!args.parse(x, y, q, extrapolate)) return nullptr;
    auto spline = zk::CubicSpline1d::create(x, y);
    if (!spline) return zkpy::to_pyerr(std::move(spline).error());
    return zkpy::to_py(spline->evaluate(q, extrapolate));
}
