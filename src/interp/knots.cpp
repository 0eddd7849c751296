#include "interp/knots.hpp"

#include <cmath>
#include <string>

namespace zaviktools {

Result<void> validate_knots(std::span<const double> x, std::span<const double> y) {
    if (x.size() != y.size())
        return fail(AlgoError::invalid_argument("x/y length mismatch: " + std::to_string(x.size()) +
                                                " != " + std::to_string(y.size())));
    if (x.size() < 2) return fail(AlgoError::empty_input("interp1d requires at least two knots"));
    for (double v : x) {
        if (!std::isfinite(v)) return fail(AlgoError::invalid_argument("x values must be finite"));
    }
    for (double v : y) {
        if (!std::isfinite(v)) return fail(AlgoError::invalid_argument("y values must be finite"));
    }
    for (std::size_t i = 0; i + 1 < x.size(); ++i) {
        if (x[i] >= x[i + 1]) return fail(AlgoError::invalid_argument("x values must be strictly increasing"));
    }
    return {};
}

}  // namespace zaviktools
