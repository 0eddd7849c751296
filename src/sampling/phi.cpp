#include "sampling/phi.hpp"

#include <cmath>
#include <limits>

#include <boost/math/special_functions/erf.hpp>

namespace zaviktools {

namespace {

namespace bmp = boost::math::policies;

// Never throws: out-of-domain arguments and poles give NaN or ±∞ instead.
using NoThrow = bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::overflow_error<bmp::ignore_error>,
                            bmp::pole_error<bmp::ignore_error>, bmp::evaluation_error<bmp::ignore_error>,
                            bmp::rounding_error<bmp::ignore_error>>;

constexpr double kSqrt2 = 1.4142135623730951;

}  // namespace

double phi(double z) { return 0.5 * boost::math::erfc(-z / kSqrt2, NoThrow()); }

double erfc_inv(double y) {
    if (std::isnan(y)) return y;
    if (y <= 0.0) return std::numeric_limits<double>::infinity();
    if (y >= 2.0) return -std::numeric_limits<double>::infinity();
    return boost::math::erfc_inv(y, NoThrow());
}

double phi_inv(double p) { return -kSqrt2 * erfc_inv(2.0 * p); }

}  // namespace zaviktools
