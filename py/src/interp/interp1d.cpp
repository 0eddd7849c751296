// interp1d.
#include <string>
#include <vector>

#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "interp/interp1d.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(interp1d, "interp1d(x, y, query, method=\"linear\", extrapolate=False)",
            "Interpolate a 1-D series at `query` positions.\n\n"
            "`x` must be finite and strictly increasing, with the same length as `y`.\n"
            "Supported methods are `\"nearest\"`/`\"closest\"`, `\"previous\"`/`\"ffill\"`,\n"
            "`\"next\"`/`\"bfill\"`, `\"linear\"`, and `\"cubic\"`/`\"spline\"` (natural cubic).\n"
            "Out-of-bounds queries return `NaN` unless `extrapolate=True`.") {
    std::vector<double> x, y, query;
    std::string method = "linear";
    bool extrapolate = false;
    if (!args.parse(x, y, query, method, extrapolate)) return nullptr;
    auto m = zk::parse_interp1d_method(method);
    if (!m) return zkpy::to_pyerr(std::move(m).error());
    auto result = zkpy::without_gil([&] { return zk::interp1d(x, y, query, *m, extrapolate); });
    return zkpy::to_py(std::move(result));
}
