#include "interp/locate.hpp"

namespace zaviktools {

KnotLocator::KnotLocator(std::span<const double> x) {
    keys_.reserve(x.size());
    for (double v : x) keys_.push_back(total_order_key(v));
}

}  // namespace zaviktools
